#include "core/item_text_file.h"

#include <algorithm>
#include <cctype>

#include "core/utilities.h"

namespace keldro {

std::string ItemTextValue(std::string_view editText) {
  // Cut to 255 after doubling, but never between the two quotes of a pair:
  // a lone quote would make a line no reader takes back.
  std::string value;
  for (char c : editText.substr(0, kItemTextValueLimit)) {
    const std::size_t width = c == '"' ? 2 : 1;
    if (value.size() + width > kItemTextValueLimit) break;
    value.append(width, c);
  }
  return std::string("\"").append(TrimBlanks(value)).append("\"");
}

std::string ItemTextLine(const std::vector<std::string>& editTexts) {
  std::string line;
  for (std::size_t i = 0; i < editTexts.size(); ++i) {
    if (i > 0) line += ',';
    line += ItemTextValue(editTexts[i]);
  }
  return line.append("\r\n");
}

ItemTextRecord ReadItemTextLine(std::string_view line, std::size_t maxValues) {
  ItemTextRecord r;
  r.values.reserve(std::min<std::size_t>(maxValues, 32));
  std::string value;
  bool opened = false;
  auto fail = [&](LineFault f) {
    r.fault = f;
    r.faultValue = r.values.size() + 1;
    return r;
  };
  auto close = [&]() -> bool {
    if (r.values.size() >= maxValues) return false;
    r.values.push_back(std::move(value));
    value.clear();
    opened = false;
    return true;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == '"') {
      if (!opened) {
        opened = true;
        continue;
      }
      // A quote inside a value: the end of the line, a comma or a second quote decides.
      std::size_t next = i + 1;
      while (next < line.size() && static_cast<unsigned char>(line[next]) < 32) ++next;
      if (next >= line.size()) {
        if (!close()) return fail(LineFault::kTooMany);
        if (r.values.size() == 1 && r.values[0].empty()) r.empty = true;
        return r;
      }
      if (line[next] == ',') {
        if (!close()) return fail(LineFault::kTooMany);
        i = next;
        continue;
      }
      if (line[next] == '"') {
        value += '"';
        i = next;
        if (value.size() > kItemTextValueLimit) return fail(LineFault::kTooLong);
        continue;
      }
      return fail(LineFault::kAfterQuote);
    }
    if (c < 32) continue;
    // A run of plain characters goes in at once.
    std::size_t run = i + 1;
    while (run < line.size() && line[run] != '"' && static_cast<unsigned char>(line[run]) >= 32) ++run;
    value.append(line.data() + i, run - i);
    i = run - 1;
    if (value.size() > kItemTextValueLimit) return fail(LineFault::kTooLong);
  }
  if (r.values.empty() && value.empty() && !opened) {
    r.empty = true;
    return r;
  }
  return fail(LineFault::kUnterminated);
}

std::vector<std::string_view> ItemTextLines(std::string_view content) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
    if (end == std::string_view::npos) end = content.size();
    std::size_t stop = end;
    if (stop > start && content[stop - 1] == '\r') --stop;
    lines.push_back(content.substr(start, stop - start));
    start = next;
  }
  return lines;
}

int FirstLineCode(const ItemTextRecord& first) {
  switch (first.fault) {
    case LineFault::kNone: return first.empty ? 2 : 0;
    case LineFault::kTooLong: return 1;
    case LineFault::kTooMany: return 3;
    default: return 2;
  }
}

std::vector<std::string> ItemTextColumnNames(const ItemTextRecord& first) {
  std::vector<std::string> names;
  for (const std::string& v : first.values) names.push_back(v.empty() ? "<BLANK FIELD>" : v.substr(0, 20));
  return names;
}

std::string FirstLineErrorText(int code) {
  std::string text =
      "The file selected does not appear to be an ASCII delimited text file.  "
      "An ASCII delimited file requires a unique format of each field being "
      "surrounded by double quotes and separated by a comma.  ";
  if (code == 1) text += "The selected file has a field that is greater than 255 characters.";
  if (code == 2) text += "The selected file had an unexpected end of a line most likely due to an unmatched quote.";
  if (code == 3)
    text += "The selected file has too many fields.  There are at least 10 more fields than are required by Stashwell.";
  return text;
}

bool ConvertImportValue(int typeCode, int width, std::string_view text, ImportValue& out, std::string& reason) {
  out = ImportValue{};
  std::string_view trimmed = text;
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
  switch (typeCode) {
    case 2: {
      if (trimmed.empty()) return true;
      int64_t v = 0;
      if (!framework::TryStrToInt(trimmed, v)) {
        reason = std::string("\"").append(trimmed).append("\" is not a whole number");
        return false;
      }
      out.blank = false;
      out.integer = v;
      return true;
    }
    case 3: {
      if (trimmed.empty()) return true;
      double v = 0;
      if (!framework::TryStrToFloat(trimmed, v, '.')) {
        reason = std::string("\"").append(trimmed).append("\" is not a number");
        return false;
      }
      out.blank = false;
      out.number = v;
      return true;
    }
    case 4: {
      bool letter = false;
      for (char c : trimmed) letter = letter || std::isalpha(static_cast<unsigned char>(c));
      if (letter || trimmed.find(framework::DateSeparator) == std::string_view::npos) return true;
      framework::TDateTime d = 0;
      if (!framework::TryStrToDate(trimmed, d)) {
        reason = std::string("\"").append(trimmed).append("\" is not a valid date");
        return false;
      }
      out.blank = false;
      out.date = d;
      return true;
    }
    default:
      out.text = std::string(text.substr(0, static_cast<std::size_t>(width > 0 ? width : 0)));
      out.blank = out.text.empty();
      return true;
  }
}

}  // namespace keldro
