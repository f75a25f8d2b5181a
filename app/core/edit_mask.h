// The framework's edit masks, as the record editor's date entries use them
// ("!99/99/9999;1;_"): the mask, then ";1" when literals are part of the
// text, then the character shown for a blank position.
//
// Mask characters: "9" an optional digit, "0" a required digit, "c" any
// optional character, "\" makes the next character a literal, "/" stands for
// the date separator, "!" (leading) keeps blanks where they are; every other
// character is a literal. The entry has one cell per position; literals
// are fixed, blanks read back as spaces.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keldro {

class EditMask {
 public:
  EditMask(std::string_view mask, char dateSeparator);

  size_t Length() const { return slots_.size(); }
  bool KeepLiterals() const { return keepLiterals_; }
  char BlankChar() const { return blank_; }
  bool IsLiteral(size_t pos) const { return pos < slots_.size() && slots_[pos].kind == Kind::Literal; }

  // The cells of an empty entry: literals in place, blanks elsewhere.
  std::string EmptyCells() const;
  // The cells from a text: with literals kept, position by position; else
  // the text's characters fill the free positions in order. Characters a
  // position does not accept become blanks.
  std::string CellsFromText(std::string_view text) const;
  // The entry's text: blanks as spaces, literals only when kept.
  std::string TextOf(std::string_view cells) const;
  // What the entry shows: blanks as the blank character.
  std::string DisplayOf(std::string_view cells) const;

  bool Accepts(size_t pos, char c) const;
  // Types `c` at `pos` (literals before it are stepped over; typing a
  // literal's own character steps over it). Returns the caret position after
  // the character, or `pos` unchanged when the character is refused.
  size_t Type(std::string& cells, size_t pos, char c) const;
  // Blanks the free positions in [from, to).
  void Clear(std::string& cells, size_t from, size_t to) const;
  // The free position at or after `pos`, or Length() when none.
  size_t NextFree(size_t pos) const;
  // The free position before `pos`, or npos when none.
  size_t PriorFree(size_t pos) const;
  // Every required position is filled.
  bool Complete(std::string_view cells) const;

 private:
  enum class Kind { Literal, Digit, Any };
  struct Slot {
    Kind kind;
    bool required;
    char literal;
  };
  std::vector<Slot> slots_;
  bool keepLiterals_ = true;
  char blank_ = '_';
};

}  // namespace keldro
