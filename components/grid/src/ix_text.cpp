#include "grid/ix_text.h"

#include <cctype>
#include <ctime>

#include "framework/db.h"
#include "framework/sysutils.h"

namespace grid {

std::string TStackStr::Pop() {
  if (items_.empty()) return std::string();
  std::string top = std::move(items_.back());
  items_.pop_back();
  return top;
}

void* TStackPtr::Pop() {
  if (items_.empty()) return nullptr;
  void* top = items_.back();
  items_.pop_back();
  return top;
}

void NextToken(std::string_view text, char delimiter, int& position, std::string& token) {
  token.clear();
  if (position < 1 || static_cast<size_t>(position) > text.size()) return;
  size_t from = static_cast<size_t>(position) - 1;
  size_t at = text.find(delimiter, from);
  if (at == std::string_view::npos) {
    token.assign(text.substr(from));
    position = -1;
  } else {
    token.assign(text.substr(from, at - from));
    position = static_cast<int>(at) + 2;
  }
}

void SplitString(std::string_view text, char delimiter, std::vector<std::string>& list) {
  list.clear();
  size_t from = 0;
  while (true) {
    size_t at = text.find(delimiter, from);
    if (at == std::string_view::npos) {
      list.emplace_back(text.substr(from));
      return;
    }
    list.emplace_back(text.substr(from, at - from));
    from = at + 1;
  }
}

std::string TrimCharSet(std::string_view text, std::string_view set) {
  size_t end = text.size();
  while (end > 0 && set.find(text[end - 1]) != std::string_view::npos) --end;
  return std::string(text.substr(0, end));
}

void ReplaceCharWithBlank(std::string_view text, char character, std::string& result) {
  result.assign(text);
  for (char& c : result)
    if (c == character) c = ' ';
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNumberText(std::string_view text, bool allowPoint) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (IsDigit(c) || (allowPoint && c == '.')) continue;
    if (i == 0 && c == '-' && text.size() > 1) continue;
    return false;
  }
  return true;
}

// A cursor over the typed text for the date and time scans.
struct Scan {
  std::string_view text;
  size_t pos = 0;

  void SkipBlanks() {
    while (pos < text.size() && text[pos] == ' ') ++pos;
  }
  // Digits while the value read so far is below 1000, so a run of digits
  // can never overflow; the digits left over fail the caller's next step.
  bool Number(int& value) {
    SkipBlanks();
    value = 0;
    size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos]) && value < 1000) value = value * 10 + (text[pos++] - '0');
    return pos > start;
  }
  bool Char(char c) {
    SkipBlanks();
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // Case-insensitive match of a suffix word.
  bool Word(std::string_view word) {
    if (word.empty() || text.size() - pos < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if (std::toupper(static_cast<unsigned char>(text[pos + i])) != std::toupper(static_cast<unsigned char>(word[i])))
        return false;
    pos += word.size();
    return true;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos == text.size();
  }
};

enum class DateOrder { MDY, DMY, YMD };

DateOrder CurrentDateOrder() {
  for (char c : framework::ShortDateFormat) {
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (u == 'D') return DateOrder::DMY;
    if (u == 'M') return DateOrder::MDY;
    if (u == 'Y') return DateOrder::YMD;
  }
  return DateOrder::MDY;
}

int CurrentYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

bool ScanDate(Scan& s) {
  int n1 = 0, n2 = 0, n3 = 0;
  if (!s.Number(n1) || !s.Char(framework::DateSeparator) || !s.Number(n2)) return false;
  int year, month, day;
  DateOrder order = CurrentDateOrder();
  size_t beforeThird = s.pos;
  if (s.Char(framework::DateSeparator)) {
    if (!s.Number(n3)) return false;
    switch (order) {
      case DateOrder::MDY: month = n1, day = n2, year = n3; break;
      case DateOrder::DMY: day = n1, month = n2, year = n3; break;
      case DateOrder::YMD: year = n1, month = n2, day = n3; break;
    }
    if (year < 100) year += year < 30 ? 2000 : 1900;
  } else {
    s.pos = beforeThird;
    year = CurrentYear();
    if (order == DateOrder::DMY)
      day = n1, month = n2;
    else
      month = n1, day = n2;
  }
  s.SkipBlanks();
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= framework::DaysInMonth(year, month);
}

bool ScanTime(Scan& s) {
  int hour = 0, minute = 0, second = 0;
  if (!s.Number(hour) || !s.Char(framework::TimeSeparator) || !s.Number(minute)) return false;
  size_t beforeSeconds = s.pos;
  if (s.Char(framework::TimeSeparator)) {
    if (!s.Number(second)) return false;
  } else {
    s.pos = beforeSeconds;
  }
  s.SkipBlanks();
  int offset = -1;
  if (s.Word(framework::TimeAMString) || s.Word("AM"))
    offset = 0;
  else if (s.Word(framework::TimePMString) || s.Word("PM"))
    offset = 12;
  if (offset >= 0) {
    if (hour < 1 || hour > 12) return false;
    if (hour == 12) hour = 0;
    hour += offset;
  }
  s.SkipBlanks();
  return hour <= 23 && minute <= 59 && second <= 59;
}

}  // namespace

bool IsIntegerText(std::string_view text) { return IsNumberText(text, false); }
bool IsFloatText(std::string_view text) { return IsNumberText(text, true); }

bool IsValidDate(std::string_view text) {
  Scan s{text};
  return ScanDate(s) && s.AtEnd();
}

bool IsValidDateTime(std::string_view text) {
  Scan s{text};
  return ScanDate(s) && ScanTime(s) && s.AtEnd();
}

bool CheckFieldValueText(const framework::TField& field, std::string_view text) {
  using namespace framework;
  switch (field.DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord: return IsIntegerText(text);
    case ftFloat:
    case ftCurrency:
    case ftBCD: return IsFloatText(text);
    case ftDate: return IsValidDate(text);
    case ftTime:
    case ftDateTime: return IsValidDateTime(text) || IsValidDate(text);
    default: return true;
  }
}

}  // namespace grid
