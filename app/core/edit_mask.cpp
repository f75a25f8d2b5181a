#include "core/edit_mask.h"

#include <cctype>

namespace keldro {

EditMask::EditMask(std::string_view mask, char dateSeparator) {
  std::string_view body = mask;
  if (size_t semi = mask.find(';'); semi != std::string_view::npos) {
    body = mask.substr(0, semi);
    std::string_view rest = mask.substr(semi + 1);
    size_t next = rest.find(';');
    std::string_view keep = rest.substr(0, next);
    keepLiterals_ = keep != "0";
    if (next != std::string_view::npos && next + 1 < rest.size()) blank_ = rest[next + 1];
  }
  for (size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '!' && i == 0) continue;
    if (c == '\\' && i + 1 < body.size()) {
      slots_.push_back({Kind::Literal, false, body[++i]});
    } else if (c == '9') {
      slots_.push_back({Kind::Digit, false, 0});
    } else if (c == '0') {
      slots_.push_back({Kind::Digit, true, 0});
    } else if (c == 'c') {
      slots_.push_back({Kind::Any, false, 0});
    } else if (c == '/') {
      slots_.push_back({Kind::Literal, false, dateSeparator});
    } else {
      slots_.push_back({Kind::Literal, false, c});
    }
  }
}

std::string EditMask::EmptyCells() const {
  std::string cells(slots_.size(), ' ');
  for (size_t i = 0; i < slots_.size(); ++i)
    if (slots_[i].kind == Kind::Literal) cells[i] = slots_[i].literal;
  return cells;
}

bool EditMask::Accepts(size_t pos, char c) const {
  if (pos >= slots_.size()) return false;
  switch (slots_[pos].kind) {
    case Kind::Literal: return false;
    case Kind::Digit: return std::isdigit(static_cast<unsigned char>(c)) != 0;
    case Kind::Any: return static_cast<unsigned char>(c) >= ' ';
  }
  return false;
}

std::string EditMask::CellsFromText(std::string_view text) const {
  std::string cells = EmptyCells();
  if (keepLiterals_) {
    for (size_t i = 0; i < slots_.size() && i < text.size(); ++i)
      if (Accepts(i, text[i])) cells[i] = text[i];
    return cells;
  }
  size_t pos = NextFree(0);
  for (char c : text) {
    if (pos >= slots_.size()) break;
    if (Accepts(pos, c)) cells[pos] = c;
    pos = NextFree(pos + 1);
  }
  return cells;
}

std::string EditMask::TextOf(std::string_view cells) const {
  std::string text;
  for (size_t i = 0; i < slots_.size(); ++i) {
    const char c = i < cells.size() ? cells[i] : ' ';
    if (slots_[i].kind == Kind::Literal) {
      if (keepLiterals_) text += slots_[i].literal;
    } else {
      text += c;
    }
  }
  return text;
}

std::string EditMask::DisplayOf(std::string_view cells) const {
  std::string shown;
  for (size_t i = 0; i < slots_.size(); ++i) {
    const char c = i < cells.size() ? cells[i] : ' ';
    shown += slots_[i].kind == Kind::Literal ? slots_[i].literal : (c == ' ' ? blank_ : c);
  }
  return shown;
}

size_t EditMask::NextFree(size_t pos) const {
  while (pos < slots_.size() && slots_[pos].kind == Kind::Literal) ++pos;
  return pos;
}

size_t EditMask::PriorFree(size_t pos) const {
  while (pos > 0) {
    --pos;
    if (slots_[pos].kind != Kind::Literal) return pos;
  }
  return std::string::npos;
}

size_t EditMask::Type(std::string& cells, size_t pos, char c) const {
  if (cells.size() != slots_.size()) cells = CellsFromText(cells);
  // Typing the separator where one stands steps over it.
  if (pos < slots_.size() && slots_[pos].kind == Kind::Literal && slots_[pos].literal == c) return pos + 1;
  const size_t at = NextFree(pos);
  if (!Accepts(at, c)) return pos;
  cells[at] = c;
  return NextFree(at + 1);
}

void EditMask::Clear(std::string& cells, size_t from, size_t to) const {
  if (cells.size() != slots_.size()) cells = CellsFromText(cells);
  for (size_t i = from; i < to && i < slots_.size(); ++i)
    if (slots_[i].kind != Kind::Literal) cells[i] = ' ';
}

bool EditMask::Complete(std::string_view cells) const {
  for (size_t i = 0; i < slots_.size(); ++i)
    if (slots_[i].required && (i >= cells.size() || cells[i] == ' ')) return false;
  return true;
}

}  // namespace keldro
