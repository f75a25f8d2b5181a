#include "grid/ix_filter.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>

#include "engine_link.h"
#include "framework/dbtables.h"
#include "grid/ix_text.h"
#include "platform/ui.h"

namespace grid {

using framework::EConvertError;
using framework::TField;
using framework::TFieldType;

framework::TTable* CompileTable = nullptr;

namespace {

// Operand and operator texts longer than this are read in pieces.
constexpr size_t kMaxTokenChars = 64;
// Field names and texts longer than this are cut when written.
constexpr size_t kMaxLiteralChars = 255;
// Every leaf writes at least one literal byte, so a tree with more nodes
// than this can never fit the pool; counting stops the parse there, before
// a long text builds a tree deep enough to exhaust the stack.
constexpr int kMaxNodes = 2 * static_cast<int>(kFilterLiteralPoolBytes) - 1;
constexpr size_t kNodeBytes = 14;
constexpr size_t kHeaderBytes = 10;

enum NodeKind : uint8_t { kRelational = 0, kLogical = 1, kArithmetic = 2, kOperand = 3 };

struct TNode {
  uint8_t Kind = kOperand;
  uint8_t ValueType = fvtNone;
  int32_t BcdScale = 0;
  std::string Text;
  uint32_t NodeOffset = 0;
  std::unique_ptr<TNode> Left, Right;
};

bool IsRelChar(char c) { return c == '<' || c == '=' || c == '>'; }

bool IsIdentFirst(unsigned char c) {
  return c == '!' || c == '#' || c == '$' || c == '*' || c == '+' || c == '/' || c == '@' || (c >= 'A' && c <= 'Z') ||
         c == '_' || (c >= 'a' && c <= 'z') || c >= 0x92;
}

bool IsIdentNext(unsigned char c) { return c == ' ' || (c >= '0' && c <= '9') || c == '`' || IsIdentFirst(c); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsRelationalOp(const std::string& t) {
  return t == "<" || t == "<>" || t == "<=" || t == ">=" || t == "=" || t == ">";
}

uint32_t OperatorCode(const std::string& t) {
  static const struct {
    const char* text;
    uint32_t code;
  } kCodes[] = {{"=", 3},   {"<>", 4}, {">", 5},  {"<", 6},  {">=", 7}, {"<=", 8},
                {"AND", 10}, {"OR", 11}, {"-", 15}, {"+", 16}, {"*", 18}, {"/", 19}};
  for (const auto& c : kCodes)
    if (t == c.text) return c.code;
  return 0;
}

uint8_t FieldTypeToFilterType(TFieldType type) {
  switch (type) {
    case framework::ftString: return fvtString;
    case framework::ftFloat:
    case framework::ftCurrency: return fvtFloat;
    case framework::ftDateTime: return fvtDateTime;
    case framework::ftDate: return fvtDate;
    case framework::ftTime: return fvtTime;
    case framework::ftBoolean: return fvtBoolean;
    case framework::ftInteger: return fvtInteger;
    case framework::ftBCD: return fvtBCD;
    case framework::ftSmallint:
    case framework::ftWord: return fvtSmallint;
    default: return fvtNone;
  }
}

TField* CompileField(const std::string& name) { return CompileTable ? CompileTable->FindField(name) : nullptr; }

// The parser's state for one compilation.
class Parser {
 public:
  explicit Parser(std::string text) : input_(std::move(text)) {}
  ~Parser() {
    while (void* p = nodes_.Pop()) delete static_cast<TNode*>(p);
  }

  bool ParseLogical();
  std::unique_ptr<TNode> PopRoot() { return std::unique_ptr<TNode>(static_cast<TNode*>(nodes_.Pop())); }

 private:
  bool ParseRelational();
  bool ParseExpr();
  bool ParseTerm();
  bool ParseFactor();
  std::string NextFilterToken();
  bool AcceptToken(const std::string& text);
  bool ReduceSymbols(int n, const char* symbol);
  bool MakeFilterNode(uint8_t kind, const std::string& text);
  bool Deeper() { return ++depth_ <= kFilterMaxDepth; }

  std::string input_;
  bool expectLogical_ = false;
  TStackStr symbols_;
  TStackPtr nodes_;
  int nodeCount_ = 0;
  int depth_ = 0;
};

std::string Cut(const std::string& token) { return token.substr(0, kMaxTokenChars); }

std::string Parser::NextFilterToken() {
  bool logical = expectLogical_;
  expectLogical_ = false;
  size_t lead = 0;
  while (lead < input_.size() && (input_[lead] == ' ' || input_[lead] == '\t')) ++lead;
  input_.erase(0, lead);
  if (input_.empty()) return std::string();
  const std::string& in = input_;
  const size_t n = in.size();
  char c = in[0];
  std::string token;
  auto upperStarts = [&](const char* word) {
    size_t len = std::strlen(word);
    if (n < len) return false;
    for (size_t i = 0; i < len; ++i)
      if (std::toupper(static_cast<unsigned char>(in[i])) != word[i]) return false;
    return true;
  };
  if (c == '(' || c == ')') {
    token = std::string(1, c);
  } else if (IsRelChar(c)) {
    token = std::string(1, c);
    if (n > 1 && IsRelChar(in[1])) token += in[1];
  } else if (logical && upperStarts("AND")) {
    token = in.substr(0, 3);
  } else if (logical && upperStarts("OR")) {
    token = in.substr(0, 2);
  } else if (IsIdentFirst(static_cast<unsigned char>(c))) {
    size_t j = 1;
    while (j < n && IsIdentNext(static_cast<unsigned char>(in[j]))) ++j;
    token = in.substr(0, j);
  } else if (c == '-' || IsDigit(c)) {
    size_t j = c == '-' ? 1 : 0;
    size_t digits = j;
    while (j < n && IsDigit(in[j])) ++j;
    if (j > digits) {
      if (j < n && in[j] == '.') {
        ++j;
        while (j < n && IsDigit(in[j])) ++j;
      }
      token = in.substr(0, j);
    }
  } else if (c == '"') {
    size_t close = in.find('"', 1);
    if (close != std::string::npos) token = in.substr(0, close + 1);
  }
  while (!token.empty() && token.back() == ' ') token.pop_back();
  return token;
}

bool Parser::AcceptToken(const std::string& text) {
  if (text.empty() || input_.compare(0, text.size(), text) != 0) return false;
  input_.erase(0, text.size());
  symbols_.Push(text);
  return true;
}

bool Parser::ReduceSymbols(int n, const char* symbol) {
  for (int i = 0; i < n; ++i) {
    if (symbols_.Count() == 0) return false;
    symbols_.Pop();
  }
  symbols_.Push(symbol);
  return true;
}

bool Parser::ParseLogical() {
  if (!ParseRelational() || !ReduceSymbols(1, "L")) return false;
  while (true) {
    std::string token = NextFilterToken();
    std::string upper = framework::UpperCase(token);
    if (upper != "AND" && upper != "OR") return true;
    if (!AcceptToken(Cut(token)) || !ParseRelational() || !ReduceSymbols(3, "L") || !MakeFilterNode(kLogical, upper))
      return false;
  }
}

bool Parser::ParseRelational() {
  if (!ParseExpr() || !ReduceSymbols(1, "R")) return false;
  std::string token = NextFilterToken();
  if (IsRelationalOp(token)) {
    if (!AcceptToken(token) || !ParseExpr() || !ReduceSymbols(3, "R") || !MakeFilterNode(kRelational, token))
      return false;
  }
  expectLogical_ = true;
  return true;
}

bool Parser::ParseExpr() {
  if (!ParseTerm() || !ReduceSymbols(1, "E")) return false;
  while (true) {
    std::string token = NextFilterToken();
    if (token != "+" && token != "-") return true;
    if (!AcceptToken(token) || !ParseTerm() || !ReduceSymbols(3, "E") || !MakeFilterNode(kArithmetic, token))
      return false;
  }
}

bool Parser::ParseTerm() {
  if (!ParseFactor() || !ReduceSymbols(1, "T")) return false;
  while (true) {
    std::string token = NextFilterToken();
    if (token != "*" && token != "/") return true;
    if (!AcceptToken(token) || !Deeper() || !ParseTerm()) return false;
    --depth_;
    if (!ReduceSymbols(3, "T") || !MakeFilterNode(kArithmetic, token)) return false;
  }
}

bool Parser::ParseFactor() {
  std::string token = NextFilterToken();
  if (token == "(") {
    if (!AcceptToken(token) || !Deeper() || !ParseLogical()) return false;
    --depth_;
    NextFilterToken();  // drops the blanks before ")"
    return AcceptToken(")") && ReduceSymbols(3, "P");
  }
  token = Cut(token);
  return AcceptToken(token) && ReduceSymbols(1, "P") && MakeFilterNode(kOperand, token);
}

bool Parser::MakeFilterNode(uint8_t kind, const std::string& text) {
  if (++nodeCount_ > kMaxNodes) return false;
  auto node = std::make_unique<TNode>();
  node->Kind = kind;
  node->Text = text;
  if (kind == kOperand) {
    nodes_.Push(node.release());
    return true;
  }
  if (nodes_.Count() < 2) return false;
  node->Right.reset(static_cast<TNode*>(nodes_.Pop()));
  node->Left.reset(static_cast<TNode*>(nodes_.Pop()));
  TNode* left = node->Left.get();
  TNode* right = node->Right.get();
  if (left->Kind == kOperand) {
    TField* field = CompileField(left->Text);
    if (!field) {
      platform::ui::ShowMessage(left->Text + "\rField not found in Table. ", "Warning", platform::ui::Buttons::Ok,
                                platform::ui::Icon::Warning);  // the compile then fails
      return false;
    }
    right->ValueType = FieldTypeToFilterType(field->DataType());
    if (field->DataType() == framework::ftBCD) right->BcdScale = field->Size();
  } else if (right->Kind == kOperand && right->ValueType == fvtNone && !CompileField(right->Text)) {
    // A value beside a computed left side is a constant of the type of the
    // field that side starts from, not a field of that name.
    TNode* first = left;
    while (first->Left) first = first->Left.get();
    if (TField* field = CompileField(first->Text)) {
      right->ValueType = FieldTypeToFilterType(field->DataType());
      if (field->DataType() == framework::ftBCD) right->BcdScale = field->Size();
    }
  }
  nodes_.Push(node.release());
  return true;
}

int CountFilterNodes(const TNode* node) {
  if (!node) return 0;
  return 1 + CountFilterNodes(node->Left.get()) + CountFilterNodes(node->Right.get());
}

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// Writes the nodes from the end of the node area backwards (post order),
// so the root lands in slot 0 and children always follow their parent.
class Emitter {
 public:
  Emitter(std::vector<uint8_t>& buffer, int count)
      : b_(buffer), index_(static_cast<size_t>(count)), literalStart_(kHeaderBytes + index_ * kNodeBytes) {}

  bool EmitFilterNode(TNode* node);
  size_t LiteralBytes() const { return used_; }

 private:
  // Appends to the pool; false when the pool would overflow.
  bool Literal(const void* bytes, size_t size, uint32_t& offset);
  bool WriteConstant(TNode* node, size_t at);

  std::vector<uint8_t>& b_;
  size_t index_;
  size_t literalStart_;
  size_t used_ = 0;
  uint32_t fieldCounter_ = 0;
};

bool Emitter::Literal(const void* bytes, size_t size, uint32_t& offset) {
  if (size > kFilterLiteralPoolBytes - used_) return false;
  offset = static_cast<uint32_t>(used_);
  if (size > 0) std::memcpy(b_.data() + literalStart_ + used_, bytes, size);
  used_ += size;
  return true;
}

std::string ConstantText(const std::string& text) {
  if (!text.empty() && text[0] == '"') return text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
  std::string t = text;
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

int64_t IntegerConstant(const std::string& text) {
  int64_t v = framework::StrToInt(text);
  if (v < INT32_MIN || v > INT32_MAX) throw EConvertError("'" + text + "' is not a valid integer value");
  return v;
}

double FloatConstant(const std::string& text) {
  double v = 0;
  // Numbers in filter text always use "." as the decimal point.
  if (!framework::TryStrToFloat(text, v, '.')) throw EConvertError("'" + text + "' is not a valid floating point value");
  return v;
}

bool Emitter::WriteConstant(TNode* node, size_t at) {
  uint8_t bytes[8] = {0};
  uint32_t code = 0, size = 0, offset = 0;
  auto le = [&](uint64_t v, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
    size = n;
  };
  auto dbl = [&](double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    le(bits, 8);
  };
  switch (node->ValueType) {
    case fvtString: {
      std::string text = ConstantText(node->Text).substr(0, kMaxLiteralChars);
      if (!Literal(text.c_str(), text.size() + 1, offset)) return false;
      code = 1;
      size = static_cast<uint32_t>(text.size() + 1);
      break;
    }
    case fvtFloat:
      code = 7;
      dbl(FloatConstant(node->Text));
      break;
    case fvtDateTime: {
      std::string text = ConstantText(node->Text);
      framework::TDateTime v =
          text.find(' ') != std::string::npos ? framework::StrToDateTime(text) : framework::StrToDate(text);
      double day = std::floor(v);
      code = 11;
      dbl(static_cast<double>(framework::DateToEngineDay(day)) * 86400000.0 +
          framework::TimeToMilliseconds(v - day));
      break;
    }
    case fvtDate:
      code = 2;
      le(static_cast<uint32_t>(framework::DateToEngineDay(framework::StrToDate(ConstantText(node->Text)))), 4);
      break;
    case fvtTime:
      code = 10;
      le(static_cast<uint32_t>(framework::TimeToMilliseconds(framework::StrToTime(ConstantText(node->Text)))), 4);
      break;
    case fvtBoolean: {
      std::string text = ConstantText(node->Text);
      code = 4;
      le(!text.empty() && (text[0] == 'T' || text[0] == 't') ? 1 : 0, 2);
      break;
    }
    case fvtInteger:
      code = 6;
      le(static_cast<uint32_t>(IntegerConstant(node->Text)), 4);
      break;
    case fvtSmallint:
      code = 5;
      le(static_cast<uint64_t>(framework::StrToInt(node->Text)) & 0xFFFF, 2);
      break;
    default:
      // The engine has no packed-decimal fields, so no table of it asks
      // for such a constant.
      return false;
  }
  if (node->ValueType != fvtString && !Literal(bytes, size, offset)) return false;
  Put32(b_, at, 5);
  Put32(b_, at + 4, 14);
  Put16(b_, at + 8, code);
  Put16(b_, at + 10, size);
  Put16(b_, at + 12, offset);
  return true;
}

bool Emitter::EmitFilterNode(TNode* node) {
  if (node->Left && !EmitFilterNode(node->Left.get())) return false;
  if (node->Right && !EmitFilterNode(node->Right.get())) return false;
  --index_;
  node->NodeOffset = static_cast<uint32_t>(index_ * kNodeBytes);
  size_t at = kHeaderBytes + index_ * kNodeBytes;
  if (node->Kind != kOperand) {
    Put32(b_, at, 2);
    Put32(b_, at + 4, OperatorCode(node->Text));
    Put16(b_, at + 8, node->Left->NodeOffset);
    Put16(b_, at + 10, node->Right->NodeOffset);
    return true;
  }
  if (node->ValueType != fvtNone) return WriteConstant(node, at);
  std::string name = node->Text.substr(0, kMaxLiteralChars);
  uint32_t offset = 0;
  if (!Literal(name.c_str(), name.size() + 1, offset)) return false;
  Put32(b_, at, 4);
  Put32(b_, at + 4, 13);
  Put16(b_, at + 8, ++fieldCounter_);
  Put16(b_, at + 10, offset);
  return true;
}

}  // namespace

std::vector<uint8_t> CompileFilter(const std::string& text) {
  Parser parser(text);
  if (!parser.ParseLogical()) return {};
  std::unique_ptr<TNode> root = parser.PopRoot();
  if (!root) return {};
  int count = CountFilterNodes(root.get());
  std::vector<uint8_t> buffer(static_cast<size_t>(count) * kNodeBytes + kHeaderBytes + kFilterLiteralPoolBytes, 0);
  Emitter emitter(buffer, count);
  if (!emitter.EmitFilterNode(root.get())) return {};
  size_t literalStart = kHeaderBytes + static_cast<size_t>(count) * kNodeBytes;
  Put16(buffer, 0, 1);
  Put16(buffer, 2, static_cast<uint32_t>(literalStart + emitter.LiteralBytes()));
  Put16(buffer, 4, static_cast<uint32_t>(count));
  Put16(buffer, 6, kHeaderBytes);
  Put16(buffer, 8, static_cast<uint32_t>(literalStart));
  return buffer;
}

void DropEngineFilter(framework::TTable& table, OrbFilter& handle) {
  if (handle == 0) return;
  OrbFilter old = handle;
  handle = 0;
  if (OrbCursor cursor = table.Handle()) {
    detail::EngineLink& e = detail::Engine();
    e.DeactivateFilter(cursor, old);
    e.DropFilter(cursor, old);
  }
}

bool ApplyFilter(const std::string& text, framework::TTable& table, OrbFilter& handle, bool force) {
  if (!table.Active() && !force) {
    handle = 0;
    return true;
  }
  if (text.empty()) {
    DropEngineFilter(table, handle);
  } else {
    std::vector<uint8_t> buffer;
    CompileTable = &table;
    try {
      buffer = CompileFilter(text);
    } catch (...) {
      CompileTable = nullptr;
      throw;
    }
    CompileTable = nullptr;
    // A refused text leaves the filter in force as it was.
    if (buffer.empty()) return false;
    OrbCursor cursor = table.Handle();
    if (cursor == 0) return false;
    detail::EngineLink& e = detail::Engine();
    OrbFilter fresh = 0;
    if (e.AddFilter(cursor, nullptr, 1, 0, buffer.data(), nullptr, &fresh) != ORB_OK) return false;
    if (e.ActivateFilter(cursor, fresh) != ORB_OK) {
      e.DropFilter(cursor, fresh);
      return false;
    }
    DropEngineFilter(table, handle);
    handle = fresh;
  }
  if (table.Active()) table.Refresh();
  return true;
}

bool InstallRecordFilter(OrbRecordFilterFn callback, framework::TTable& table, OrbFilter& handle) {
  DropEngineFilter(table, handle);
  if (callback) {
    OrbCursor cursor = table.Handle();
    if (cursor == 0) return false;
    detail::EngineLink& e = detail::Engine();
    OrbFilter fresh = 0;
    if (e.AddFilter(cursor, &table, 1, 0, nullptr, callback, &fresh) != ORB_OK) return false;
    if (e.ActivateFilter(cursor, fresh) != ORB_OK) {
      e.DropFilter(cursor, fresh);
      return false;
    }
    handle = fresh;
  }
  if (table.Active()) table.Refresh();
  return true;
}

}  // namespace grid
