#include "core/item_text_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/utilities.h"

namespace keldro {

void AppendItemTextValue(std::string& out, std::string_view editText) {
  // Cut to 255 after doubling, but never between the two quotes of a pair:
  // a lone quote would make a line no reader takes back. Blanks count for
  // the cut and are then trimmed; a quote is never a blank, so the leading
  // ones are those of the text itself.
  out += '"';
  const std::string_view text = editText.substr(0, kItemTextValueLimit);
  std::size_t width = 0, i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  width = i;
  const std::size_t start = out.size();
  if (i < text.size() && std::memchr(text.data() + i, '"', text.size() - i) == nullptr) {
    // No quote to double: the text fits as it is, in one piece.
    out.append(text.data() + i, text.size() - i);
    i = text.size();
  }
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const std::size_t w = c == '"' ? 2 : 1;
    if (width + w > kItemTextValueLimit) break;
    width += w;
    out.append(w, c);
  }
  std::size_t end = out.size();
  while (end > start && out[end - 1] == ' ') --end;
  out.resize(end);
  out += '"';
}

std::string ItemTextValue(std::string_view editText) {
  std::string value;
  AppendItemTextValue(value, editText);
  return value;
}

std::string ItemTextLine(const std::vector<std::string>& editTexts) {
  std::string line;
  for (std::size_t i = 0; i < editTexts.size(); ++i) {
    if (i > 0) line += ',';
    AppendItemTextValue(line, editTexts[i]);
  }
  return line.append("\r\n");
}

std::string ItemTextDate(framework::TDateTime date) {
  int year = 0, month = 0, day = 0;
  framework::DecodeDate(date, year, month, day);
  const std::string& format = framework::ShortDateFormat;
  std::string text;
  for (std::size_t i = 0; i < format.size();) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
    std::size_t n = 1;
    while (i + n < format.size() && std::tolower(static_cast<unsigned char>(format[i + n])) == c) ++n;
    if (((c == 'd' || c == 'm') && n > 2) || (std::isalpha(static_cast<unsigned char>(c)) && c != 'd' && c != 'm' &&
                                               c != 'y') || c == '"' || c == '\'') {
      // Not a plain numeric format: the general writer, with the year widened.
      std::string widened;
      for (std::size_t k = 0; k < format.size();) {
        if (std::tolower(static_cast<unsigned char>(format[k])) != 'y') {
          widened += format[k++];
          continue;
        }
        while (k < format.size() && std::tolower(static_cast<unsigned char>(format[k])) == 'y') ++k;
        widened += "yyyy";
      }
      return framework::FormatDateTime(widened, date);
    }
    auto put = [&](int v, std::size_t width) {
      const std::string digits = std::to_string(v);
      if (digits.size() < width) text.append(width - digits.size(), '0');
      text += digits;
    };
    switch (c) {
      case 'y': put(year, 4); break;
      case 'm': put(month, n); break;
      case 'd': put(day, n); break;
      case '/': text += framework::DateSeparator; break;
      default: text.append(n, format[i]); break;
    }
    i += n;
  }
  return text;
}

ItemTextRecord ReadItemTextRecord(std::string_view content, std::size_t& pos, std::size_t maxValues) {
  ItemTextRecord r;
  r.values.reserve(std::min<std::size_t>(maxValues, 32));
  std::string value;
  bool opened = false;
  std::size_t i = pos;
  // A faulty record gives up the rest of its line: the next begins after it.
  auto fail = [&](LineFault f, std::size_t at) {
    r.fault = f;
    r.faultValue = r.values.size() + 1;
    const std::size_t end = content.find('\n', at);
    pos = end == std::string_view::npos ? content.size() : end + 1;
    return r;
  };
  auto close = [&]() -> bool {
    if (r.values.size() >= maxValues) return false;
    r.values.push_back(std::move(value));
    value.clear();
    opened = false;
    return true;
  };
  for (; i < content.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(content[i]);
    if (c == '"') {
      if (!opened) {
        opened = true;
        continue;
      }
      // A quote inside a value: the end of the line, a comma or a second quote decides.
      std::size_t next = i + 1;
      while (next < content.size() && content[next] != '\n' && static_cast<unsigned char>(content[next]) < 32) ++next;
      if (next >= content.size() || content[next] == '\n') {
        if (!close()) return fail(LineFault::kTooMany, i);
        if (r.values.size() == 1 && r.values[0].empty()) r.empty = true;
        pos = next >= content.size() ? content.size() : next + 1;
        return r;
      }
      if (content[next] == ',') {
        if (!close()) return fail(LineFault::kTooMany, i);
        i = next;
        continue;
      }
      if (content[next] == '"') {
        value += '"';
        i = next;
        if (value.size() > kItemTextValueLimit) return fail(LineFault::kTooLong, i);
        continue;
      }
      return fail(LineFault::kAfterQuote, i);
    }
    if (c < 32) {
      // Line ends belong to a quoted value (the export writes them raw);
      // outside one a line end ends the record. Other control characters
      // are skipped.
      if (opened && (c == '\r' || c == '\n')) {
        value += static_cast<char>(c);
        if (value.size() > kItemTextValueLimit) return fail(LineFault::kTooLong, i);
      } else if (c == '\n') {
        break;
      }
      continue;
    }
    // A run of plain characters goes in at once.
    std::size_t run = i + 1;
    while (run < content.size() && content[run] != '"' && static_cast<unsigned char>(content[run]) >= 32) ++run;
    value.append(content.data() + i, run - i);
    i = run - 1;
    if (value.size() > kItemTextValueLimit) return fail(LineFault::kTooLong, i);
  }
  if (r.values.empty() && value.empty() && !opened) {
    r.empty = true;
    pos = i < content.size() ? i + 1 : content.size();
    return r;
  }
  return fail(LineFault::kUnterminated, i);
}

ItemTextRecord ReadItemTextLine(std::string_view line, std::size_t maxValues) {
  std::size_t pos = 0;
  return ReadItemTextRecord(line, pos, maxValues);
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
