// The framework's run-time formats and conversions.
//
// The format globals are what every date, time and number shown or typed goes
// through; the application changes them at run time (its date format menu, its
// international settings). Conversions from text raise EConvertError on bad
// text. A TDateTime is a count of days since 30 December 1899, the fraction
// being the time of day.
//
// Two-digit years read from text: 00-29 are 2000-2029, 30-99 are 1930-1999.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace framework {

// The base of the framework's exceptions: a message the windows show as is.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Text that does not convert to a date, time or number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

using TDateTime = double;

// Days from 1 January of year 1 to 30 December 1899 (the engine's day 1 is
// 1 January of year 1, so engine day = TDateTime date part + this).
inline constexpr int32_t kDateDelta = 693594;

// Format globals (the framework's defaults, US style).
extern char DateSeparator;        // '/'
extern std::string ShortDateFormat;  // "m/d/yy"; '/' stands for DateSeparator
extern std::string LongDateFormat;   // "mmmm d, yyyy"
extern char TimeSeparator;        // ':'
extern std::string ShortTimeFormat;  // "h:nn AMPM"; ':' stands for TimeSeparator
extern std::string LongTimeFormat;   // "h:nn:ss AMPM"
extern std::string TimeAMString;     // "AM"
extern std::string TimePMString;     // "PM"
extern char DecimalSeparator;     // '.'
extern char ThousandSeparator;    // ','
extern std::string CurrencyString;   // "$"
extern uint8_t CurrencyFormat;    // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
extern uint8_t NegCurrFormat;     // 0 "($1)" ... as the Windows settings number them
extern uint8_t CurrencyDecimals;  // 2

// Puts every global back to its default (tests, and a program that re-reads
// its settings).
void ResetFormatSettings();

// Dates and times.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeDate(int year, int month, int day);  // EConvertError when invalid
void DecodeDate(TDateTime date, int& year, int& month, int& day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
TDateTime Date();  // today, from the system clock
TDateTime Now();

// Engine day numbers (1 = 1 January of year 1) and milliseconds of the day.
int32_t DateToEngineDay(TDateTime date);
TDateTime EngineDayToDate(int32_t day);
std::string EngineDayToStr(int32_t day);  // DateToStr(EngineDayToDate(day)), from the day number
int32_t TimeToMilliseconds(TDateTime time);

// Formats with the tokens d dd ddd dddd ddddd m mm mmm mmmm y yy yyyy h hh n nn
// s ss z zzz am/pm a/p ampm c t tt, "/" and ":" as the separators, and text
// in quotes kept literally. "m" right after an hour token means minutes.
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string DateToStr(TDateTime date);      // ShortDateFormat
std::string TimeToStr(TDateTime time);      // LongTimeFormat
std::string DateTimeToStr(TDateTime value);  // date, and the time when it is not midnight

// Reads a date typed in the order of ShortDateFormat, parts separated by
// DateSeparator; with two parts the current year is taken.
TDateTime StrToDate(std::string_view text);
bool TryStrToDate(std::string_view text, TDateTime& date);
TDateTime StrToTime(std::string_view text);  // h[:n[:s]] with an optional AM/PM
bool TryStrToTime(std::string_view text, TDateTime& time);
TDateTime StrToDateTime(std::string_view text);  // a date, then optionally a time
bool TryStrToDateTime(std::string_view text, TDateTime& value);

// Numbers. The float conversions use DecimalSeparator unless told otherwise.
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
std::string IntToStr(int64_t value);
int64_t StrToInt(std::string_view text);  // EConvertError "'x' is not a valid integer value"
bool TryStrToInt(std::string_view text, int64_t& value);
std::string FloatToStr(double value);
std::string FloatToStr(double value, char decimalSeparator);
// precision: significant digits (ffGeneral, ffExponent); digits: decimals
// (ffFixed, ffNumber, ffCurrency) or exponent digits (ffExponent).
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
double StrToFloat(std::string_view text);  // EConvertError "'x' is not a valid floating point value"
bool TryStrToFloat(std::string_view text, double& value);
bool TryStrToFloat(std::string_view text, double& value, char decimalSeparator);

// Text helpers the framework and its users share.
std::string Trim(std::string_view text);
std::string UpperCase(std::string_view text);  // ASCII letters only
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);  // ASCII, without regard to case

}  // namespace framework
