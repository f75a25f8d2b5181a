#include "sql/qbe.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace orb::sql {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Trims blanks; *offset moves by the blanks cut at the front.
std::string_view Trim(std::string_view s, size_t* offset = nullptr) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  if (offset != nullptr) *offset += b;
  return s.substr(b, e - b);
}

struct Piece {
  std::string_view text;
  size_t column = 0;  // 0-based in the line
};

// Splits at `sep` outside double quotes.
std::vector<Piece> Split(std::string_view line, char sep) {
  std::vector<Piece> out;
  size_t start = 0;
  bool quoted = false;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] == '"') quoted = !quoted;
    if (i == line.size() || (!quoted && line[i] == sep)) {
      size_t off = start;
      std::string_view t = Trim(line.substr(start, i - start), &off);
      out.push_back({t, off});
      start = i + 1;
    }
  }
  return out;
}

bool Error(QbeError* error, uint32_t line, size_t column, std::string message) {
  error->line = line;
  error->column = static_cast<uint32_t>(column + 1);
  error->message = std::move(message);
  return false;
}

std::string SqlText(std::string_view s) {
  std::string out = "'";
  for (char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string SqlName(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// A value as typed: quotes make it literal (no "..", inner "" is a quote).
struct Value {
  std::string text;
  bool literal = false;
  bool ok = true;
};

Value ReadValue(std::string_view s) {
  Value v;
  if (!s.empty() && s.front() == '"') {
    v.literal = true;
    size_t i = 1;
    for (; i < s.size(); ++i) {
      if (s[i] == '"') {
        if (i + 1 < s.size() && s[i + 1] == '"') {
          v.text += '"';
          ++i;
          continue;
        }
        break;
      }
      v.text += s[i];
    }
    // A closing quote is required, and nothing may follow it.
    v.ok = i < s.size() && Trim(s.substr(i + 1)).empty();
    return v;
  }
  v.text = std::string(s);
  return v;
}

bool ParseNumber(const std::string& s, std::string* out) {
  if (s.empty() || s.size() > 40) return false;
  size_t i = 0;
  if (s[i] == '-' || s[i] == '+') ++i;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(s[i]))) {
      digits = true;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  *out = s;
  if (out->front() == '+') out->erase(0, 1);
  if (out->front() == '.') out->insert(out->begin(), '0');
  if (out->size() > 1 && out->front() == '-' && (*out)[1] == '.') out->insert(1, "0");
  if (out->back() == '.') out->pop_back();
  return true;
}

// m/d/yyyy into 'YYYY-MM-DD'.
bool ParseDate(const std::string& s, std::string* out) {
  int parts[3] = {0, 0, 0};
  int count = 0, digits = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
      if (++digits > 4) return false;
      parts[count] = parts[count] * 10 + (s[i] - '0');
    } else if (i == s.size() || s[i] == '/') {
      if (digits == 0 || count == 3) return false;
      ++count;
      digits = 0;
      if (i < s.size() && count == 3) return false;
    } else {
      return false;
    }
  }
  if (count != 3) return false;
  const int m = parts[0], d = parts[1], y = parts[2];
  if (y < 1 || m < 1 || m > 12 || d < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
  char buf[48];
  std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d'", y, m, d);
  *out = buf;
  return true;
}

bool ParseLogical(const std::string& s, std::string* out) {
  const std::string u = Upper(s);
  if (u == "T" || u == "TRUE" || u == "Y" || u == "YES" || u == "1") {
    *out = "1";
  } else if (u == "F" || u == "FALSE" || u == "N" || u == "NO" || u == "0") {
    *out = "0";
  } else {
    return false;
  }
  return true;
}

// ".." in a text becomes LIKE's "%"; LIKE's own wildcards are escaped.
std::string LikePattern(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '.' && i + 1 < s.size() && s[i + 1] == '.') {
      out += '%';
      ++i;
    } else if (s[i] == '%' || s[i] == '_' || s[i] == '\\') {
      out += '\\';
      out += s[i];
    } else {
      out += s[i];
    }
  }
  return out;
}

bool StartsWithWord(std::string_view s, std::string_view word) {
  if (s.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(s[i])) != word[i]) return false;
  }
  return s.size() == word.size() || IsBlank(s[word.size()]);
}

// One condition of a cell on a field, as SQL; false when unreadable.
bool Condition(std::string_view cond, const QbeField& f, bool blankAsZero, std::string* sql, std::string* why) {
  const std::string col = SqlName(f.name);
  const std::string upper = Upper(std::string(cond));
  if (upper == "BLANK") {
    *sql = col + " IS NULL";
    return true;
  }
  if (StartsWithWord(upper, "NOT") && Upper(std::string(Trim(cond.substr(3)))) == "BLANK") {
    *sql = col + " IS NOT NULL";
    return true;
  }
  std::string op = "=";
  static const char* const kOps[] = {"<>", "<=", ">=", "=", "<", ">"};
  for (const char* o : kOps) {
    const std::string_view ov(o);
    if (cond.substr(0, ov.size()) == ov) {
      op.assign(ov);
      cond = Trim(cond.substr(ov.size()));
      break;
    }
  }
  Value v = ReadValue(cond);
  if (!v.ok) {
    *why = "a quoted value is not closed";
    return false;
  }
  if (v.text.empty() && !v.literal) {
    *why = "a comparison needs a value";
    return false;
  }
  std::string literal;
  switch (f.type) {
    case 'N':
    case 'F': {
      if (!ParseNumber(v.text, &literal)) {
        *why = "not a number: " + v.text;
        return false;
      }
      const std::string lhs = blankAsZero ? "COALESCE(" + col + ", 0)" : col;
      *sql = lhs + " " + op + " " + literal;
      return true;
    }
    case 'D':
      if (!ParseDate(v.text, &literal)) {
        *why = "not a date (m/d/yyyy): " + v.text;
        return false;
      }
      *sql = col + " " + op + " " + literal;
      return true;
    case 'L':
      if (!ParseLogical(v.text, &literal)) {
        *why = "not a logical value: " + v.text;
        return false;
      }
      *sql = col + " " + op + " " + literal;
      return true;
    default: {
      const std::string lhs = "COALESCE(" + col + ", '')";
      const bool pattern = !v.literal && v.text.find("..") != std::string::npos;
      if (pattern && (op == "=" || op == "<>")) {
        // LIKE ignores the case of ASCII letters, as the comparisons below do.
        *sql = std::string(op == "<>" ? "NOT " : "") + lhs + " LIKE " + SqlText(LikePattern(v.text)) + " ESCAPE '\\'";
      } else {
        *sql = lhs + " " + op + " " + SqlText(v.text) + " COLLATE NOCASE";
      }
      return true;
    }
  }
}

}  // namespace

bool ParseQbe(std::string_view text, QbeQuery* query, QbeError* error) {
  *query = QbeQuery();
  *error = QbeError();
  uint32_t lineNo = 0;
  size_t pos = 0;
  bool haveSkeleton = false;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++lineNo;
    pos = end + 1;
    // A control character (a NUL above all) would cut the SQL text short.
    for (size_t i = 0; i < line.size(); ++i) {
      if (static_cast<unsigned char>(line[i]) < 0x20 && line[i] != '\t') {
        return Error(error, lineNo, i, "a control character in the query");
      }
    }
    if (Trim(line).empty()) {
      if (end == text.size()) break;
      continue;
    }
    std::vector<Piece> pieces = Split(line, '|');
    if (!haveSkeleton) {
      if (pieces.size() < 2) return Error(error, lineNo, 0, "the first line names the table and its fields: TABLE | FIELD |");
      Value table = ReadValue(pieces[0].text);
      if (table.text.empty() || !table.ok) return Error(error, lineNo, pieces[0].column, "no table name");
      query->table = table.text;
      query->tableLine = lineNo;
      for (size_t i = 1; i < pieces.size(); ++i) {
        if (i + 1 == pieces.size() && pieces[i].text.empty()) break;  // after the last "|"
        if (pieces[i].text.empty()) return Error(error, lineNo, pieces[i].column, "a field name is missing");
        query->fields.push_back(Upper(std::string(pieces[i].text)));
        query->fieldColumns.push_back(static_cast<uint32_t>(pieces[i].column + 1));
      }
      if (query->fields.empty()) return Error(error, lineNo, pieces[0].column, "no fields named");
      haveSkeleton = true;
    } else {
      if (!pieces[0].text.empty()) {
        return Error(error, lineNo, pieces[0].column, "an example row begins with \"|\"");
      }
      std::vector<QbeCell> cells;
      for (size_t i = 1; i < pieces.size(); ++i) {
        if (i + 1 == pieces.size() && pieces[i].text.empty()) break;  // after the last "|"
        cells.push_back({std::string(pieces[i].text), lineNo, static_cast<uint32_t>(pieces[i].column + 1)});
      }
      if (cells.size() != query->fields.size()) {
        return Error(error, lineNo, line.size(),
                     "the row has " + std::to_string(cells.size()) + " cells for " +
                         std::to_string(query->fields.size()) + " fields");
      }
      query->rows.push_back(std::move(cells));
    }
    if (end == text.size()) break;
  }
  if (!haveSkeleton) return Error(error, lineNo == 0 ? 1 : lineNo, 0, "the query is empty");
  return true;
}

bool QbeToSql(const QbeQuery& query, const std::vector<QbeField>& fields, bool blankAsZero, std::string* sql,
              QbeError* error) {
  *error = QbeError();
  std::vector<const QbeField*> columns;
  for (size_t i = 0; i < query.fields.size(); ++i) {
    const QbeField* found = nullptr;
    for (const QbeField& f : fields) {
      if (Upper(f.name) == query.fields[i]) found = &f;
    }
    if (found == nullptr) {
      return Error(error, query.tableLine, query.fieldColumns[i] - 1,
                   "the table has no field " + query.fields[i]);
    }
    columns.push_back(found);
  }
  std::vector<bool> checked(columns.size(), false);
  std::vector<std::string> rowTests;
  bool everyRecord = query.rows.empty();
  for (const auto& row : query.rows) {
    std::vector<std::string> tests;
    for (size_t i = 0; i < row.size(); ++i) {
      const QbeCell& cell = row[i];
      std::string_view text = cell.text;
      size_t column = cell.column - 1;
      if (StartsWithWord(text, "CHECK")) {
        checked[i] = true;
        text = Trim(text.substr(5), &column);
        column += 5;
      }
      if (text.empty()) continue;
      for (const Piece& part : Split(text, ',')) {
        if (part.text.empty()) return Error(error, cell.line, column + part.column, "an empty condition");
        std::string test, why;
        if (!Condition(part.text, *columns[i], blankAsZero, &test, &why)) {
          return Error(error, cell.line, column + part.column, why);
        }
        tests.push_back(test);
      }
    }
    if (tests.empty()) {
      everyRecord = true;
      continue;
    }
    std::string joined;
    for (const std::string& t : tests) joined += (joined.empty() ? "" : " AND ") + t;
    rowTests.push_back("(" + joined + ")");
  }
  std::string list;
  bool any = false;
  for (bool c : checked) any = any || c;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (any && !checked[i]) continue;
    // A field named twice in the skeleton is answered once.
    const std::string name = SqlName(columns[i]->name);
    if ((", " + list + ",").find(", " + name + ",") != std::string::npos) continue;
    list += (list.empty() ? "" : ", ") + name;
  }
  *sql = "SELECT DISTINCT " + list + " FROM " + SqlName(query.table);
  if (!everyRecord) {
    std::string where;
    for (const std::string& t : rowTests) where += (where.empty() ? "" : " OR ") + t;
    *sql += " WHERE " + where;
  }
  *sql += " ORDER BY " + list;
  return true;
}

}  // namespace orb::sql
