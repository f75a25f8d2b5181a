// Small routines the components share: the ";"- and tab-separated property
// lines, the two stacks of the filter parser, and whether a typed text is a
// value of a field's type (checked before a lookup or a search).
//
// Dates and times are read in the order of framework::ShortDateFormat with
// framework::DateSeparator and framework::TimeSeparator; two-digit years are
// 2000-2029 for 00-29 and 1930-1999 for 30-99.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace framework {
class TField;
}

namespace grid {

// A stack of texts; popping an empty stack gives "".
class TStackStr {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  void Push(const std::string& text) { items_.push_back(text); }
  std::string Pop();

 private:
  std::vector<std::string> items_;
};

// A stack of object references; popping an empty stack gives null.
class TStackPtr {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  void Push(void* item) { items_.push_back(item); }
  void* Pop();

 private:
  std::vector<void*> items_;
};

// The piece of `text` from the 1-based `position` up to the next delimiter.
// Afterwards `position` is just past that delimiter, or -1 when there was
// none (the token is then the rest of the text). A position outside the
// text gives an empty token and leaves the position as it was.
void NextToken(std::string_view text, char delimiter, int& position, std::string& token);
// The pieces between delimiters: "" gives one empty piece, a delimiter at
// the end an empty last piece.
void SplitString(std::string_view text, char delimiter, std::vector<std::string>& list);
// Removes trailing characters that belong to `set`.
std::string TrimCharSet(std::string_view text, std::string_view set);
void ReplaceCharWithBlank(std::string_view text, char character, std::string& result);

// Digits only, a leading "-" when there is more; "" passes.
bool IsIntegerText(std::string_view text);
// Digits and points, a leading "-" when there is more; "" passes.
bool IsFloatText(std::string_view text);
// A whole date in the short date order.
bool IsValidDate(std::string_view text);
// A date followed by a time (hours, minutes, optional seconds, optional AM/PM).
bool IsValidDateTime(std::string_view text);
// The check that suits the field's type; true for types without one.
bool CheckFieldValueText(const framework::TField& field, std::string_view text);
inline bool IsMemoryLow() { return false; }

}  // namespace grid
