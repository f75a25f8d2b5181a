#include "filter_expr.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "fieldcodec.h"
#include "status.h"

namespace orb {

namespace {

constexpr size_t kHeader = 10;
constexpr size_t kNode = 14;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return static_cast<uint32_t>(U16(p)) | (static_cast<uint32_t>(U16(p + 2)) << 16); }

bool IsBinaryOp(uint32_t op) { return (op >= 3 && op <= 8) || op == 10 || op == 11 || op == 15 || op == 16 || op == 18 || op == 19; }

OrbResult Refuse(const std::string& why) { return Fail(ORB_ERR_FILTER_REFUSED, "filter buffer: " + why); }

// One value during evaluation.
struct Value {
  enum Kind : uint8_t { kUndefined, kNumber, kText } kind = kUndefined;
  double number = 0;
  std::string text;
};

bool Truth(const Value& v) {
  switch (v.kind) {
    case Value::kNumber: return v.number != 0;
    case Value::kText: return !v.text.empty();
    default: return false;
  }
}

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

Value FieldValue(const FieldInfo& f, const uint8_t* record) {
  Value v;
  if (f.type == 'C') {
    v.kind = Value::kText;
    v.text = TrimRight(std::string(reinterpret_cast<const char*>(record + f.offset), f.width));
    return v;
  }
  v.kind = Value::kNumber;
  int32_t blank = 0;
  if (f.type == 'N' || f.type == 'F') {
    double d = 0;
    if (DecodeField(f, record, &d, sizeof d, &blank) == ORB_OK && !blank) v.number = d;
  } else if (f.type == 'D') {
    int32_t day = 0;
    if (DecodeField(f, record, &day, sizeof day, &blank) == ORB_OK && !blank) v.number = day;
  } else if (f.type == 'L') {
    int16_t b = 0;
    if (DecodeField(f, record, &b, sizeof b, &blank) == ORB_OK && !blank) v.number = b != 0 ? 1 : 0;
  }
  return v;
}

Value Truthy(bool b) {
  Value v;
  v.kind = Value::kNumber;
  v.number = b ? 1 : 0;
  return v;
}

Value Compare(uint32_t op, const Value& a, const Value& b, const KeyOrder* order) {
  if (a.kind == Value::kUndefined || b.kind == Value::kUndefined || a.kind != b.kind) return Truthy(false);
  int c;
  if (a.kind == Value::kText) {
    std::string x = TrimRight(a.text), y = TrimRight(b.text);
    if (order) {
      // The exact dBASE compare: "=" stays equality, never a leading part.
      c = order->Compare(reinterpret_cast<const uint8_t*>(x.data()), x.size(),
                         reinterpret_cast<const uint8_t*>(y.data()), y.size(), true);
    } else {
      int r = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
      c = r != 0 ? r : (x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0));
    }
  } else {
    if (std::isnan(a.number) || std::isnan(b.number)) return Truthy(false);
    c = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  }
  switch (op) {
    case 3: return Truthy(c == 0);
    case 4: return Truthy(c != 0);
    case 5: return Truthy(c > 0);
    case 6: return Truthy(c < 0);
    case 7: return Truthy(c >= 0);
    default: return Truthy(c <= 0);
  }
}

Value Arithmetic(uint32_t op, const Value& a, const Value& b) {
  Value v;
  if (a.kind == Value::kText && b.kind == Value::kText && op == 16) {
    v.kind = Value::kText;
    v.text = a.text + b.text;
    return v;
  }
  if (a.kind != Value::kNumber || b.kind != Value::kNumber) return v;
  v.kind = Value::kNumber;
  switch (op) {
    case 15: v.number = a.number - b.number; break;
    case 16: v.number = a.number + b.number; break;
    case 18: v.number = a.number * b.number; break;
    default:
      if (b.number == 0) return Value{};
      v.number = a.number / b.number;
  }
  return v;
}

}  // namespace

size_t FilterExpr::ClaimedSize(const uint8_t* header4) {
  if (U16(header4) != 1) return 0;
  return U16(header4 + 2);
}

OrbResult FilterExpr::Parse(const uint8_t* buffer, size_t size, const std::vector<FieldInfo>& fields,
                            std::unique_ptr<FilterExpr>* out, std::shared_ptr<const KeyOrder> order) {
  if (buffer == nullptr || out == nullptr) return Fail(ORB_ERR_INVALID_PARAM, "no filter buffer");
  out->reset();
  if (size < kHeader) return Refuse("shorter than its header");
  const size_t total = U16(buffer + 2), count = U16(buffer + 4), nodeStart = U16(buffer + 6),
               literalStart = U16(buffer + 8);
  if (U16(buffer) != 1) return Refuse("version is not 1");
  if (total < kHeader || total > size) return Refuse("total size outside the buffer");
  if (count == 0) return Refuse("no nodes");
  if (nodeStart != kHeader || literalStart != kHeader + count * kNode || literalStart > total)
    return Refuse("node area does not match the node count");
  const uint8_t* pool = buffer + literalStart;
  const size_t poolSize = total - literalStart;

  auto expr = std::unique_ptr<FilterExpr>(new FilterExpr);
  expr->fields_ = fields;  // the nodes point into this copy
  if (order && order->collates()) expr->order_ = std::move(order);
  expr->nodes_.resize(count);
  std::vector<uint8_t> parents(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = buffer + kHeader + i * kNode;
    Node& n = expr->nodes_[i];
    const uint32_t cls = U32(p);
    n.op = U32(p + 4);
    const uint16_t a = U16(p + 8), b = U16(p + 10), c = U16(p + 12);
    const std::string where = "node " + std::to_string(i) + ": ";
    if (cls == 2) {
      if (!IsBinaryOp(n.op)) return Refuse(where + "unknown operator " + std::to_string(n.op));
      for (uint16_t child : {a, b}) {
        if (child % kNode != 0 || child / kNode >= count || child / kNode <= i)
          return Refuse(where + "child offset " + std::to_string(child) + " is not a later node");
        if (parents[child / kNode]++ != 0) return Refuse(where + "a node has two parents");
      }
      n.kind = 2;
      n.left = static_cast<uint16_t>(a / kNode);
      n.right = static_cast<uint16_t>(b / kNode);
    } else if (cls == 4) {
      if (n.op != 13) return Refuse(where + "field node without operator 13");
      if (b >= poolSize) return Refuse(where + "name outside the pool");
      const void* end = std::memchr(pool + b, 0, poolSize - b);
      if (end == nullptr) return Refuse(where + "name without its terminator");
      std::string name(reinterpret_cast<const char*>(pool + b));
      const FieldInfo* found = nullptr;
      for (const FieldInfo& f : expr->fields_) {
        if (f.name.size() != name.size()) continue;
        bool same = true;
        for (size_t k = 0; k < name.size() && same; ++k)
          same = std::toupper(static_cast<unsigned char>(name[k])) == static_cast<unsigned char>(f.name[k]);
        if (same) found = &f;
      }
      if (found == nullptr) return Fail(ORB_ERR_NO_SUCH_FIELD, "filter buffer: no field " + name);
      if (found->type == 'M') return Fail(ORB_ERR_FIELD_TYPE, "filter buffer: memo field " + name);
      n.kind = 4;
      n.field = found;
    } else if (cls == 5) {
      if (n.op != 14) return Refuse(where + "constant node without operator 14");
      if (c > poolSize || b > poolSize - c) return Refuse(where + "value outside the pool");
      const uint8_t* v = pool + c;
      size_t want = 0;
      switch (a) {
        case 1: want = b; break;
        case 2: case 6: case 10: want = 4; break;
        case 4: case 5: want = 2; break;
        case 7: case 11: want = 8; break;
        default: return Refuse(where + "constant type " + std::to_string(a) + " is not evaluated");
      }
      if (b != want || b == 0) return Refuse(where + "constant size " + std::to_string(b) + " does not suit its type");
      n.kind = 5;
      n.constType = a;
      switch (a) {
        case 1:
          if (v[b - 1] != 0) return Refuse(where + "text constant without its terminator");
          n.text = TrimRight(std::string(reinterpret_cast<const char*>(v), b - 1));
          break;
        case 2: case 6: n.number = static_cast<int32_t>(U32(v)); break;
        case 10: n.number = U32(v); break;
        case 4: n.number = U16(v) != 0 ? 1 : 0; break;
        case 5: n.number = static_cast<int16_t>(U16(v)); break;
        default: {
          uint64_t bits = static_cast<uint64_t>(U32(v)) | (static_cast<uint64_t>(U32(v + 4)) << 32);
          double d;
          std::memcpy(&d, &bits, sizeof d);
          n.number = a == 11 ? d / 86400000.0 : d;
        }
      }
    } else {
      return Refuse(where + "unknown node class " + std::to_string(cls));
    }
  }
  if (parents[0] != 0) return Refuse("the root is a child");
  *out = std::move(expr);
  return ORB_OK;
}

bool FilterExpr::Matches(const uint8_t* record) const {
  // Children stand after their parents: one pass from the end computes
  // every node from values already known.
  std::vector<Value> values(nodes_.size());
  for (size_t i = nodes_.size(); i-- > 0;) {
    const Node& n = nodes_[i];
    Value& v = values[i];
    if (n.kind == 4) {
      v = FieldValue(*n.field, record);
    } else if (n.kind == 5) {
      if (n.constType == 1) {
        v.kind = Value::kText;
        v.text = n.text;
      } else {
        v.kind = Value::kNumber;
        v.number = n.number;
      }
    } else {
      const Value& a = values[n.left];
      const Value& b = values[n.right];
      if (n.op <= 8)
        v = Compare(n.op, a, b, order_.get());
      else if (n.op == 10)
        v = Truthy(Truth(a) && Truth(b));
      else if (n.op == 11)
        v = Truthy(Truth(a) || Truth(b));
      else
        v = Arithmetic(n.op, a, b);
      // Children are needed by their one parent only.
      values[n.left] = Value{};
      values[n.right] = Value{};
    }
  }
  return Truth(values[0]);
}

}  // namespace orb
