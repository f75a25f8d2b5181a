#include "cfg/cfg_tree.h"

#include "platform/text.h"

namespace orb::cfg {
namespace {

constexpr std::string_view kMagic = "ORBEX32 CONFIGURATION 1";

bool HasControl(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 && c != '\t') return true;
  return false;
}

bool ValidNodeName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNodeName || HasControl(name)) return false;
  return name.find('\\') == std::string_view::npos;
}

void SerializeNode(const Node& node, const std::string& path, std::string& out) {
  bool isRoot = path == "\\";
  if (!isRoot || !node.params.empty() || !node.help.empty()) {
    out += "[" + path + "]\r\n";
    if (!node.help.empty()) out += "?=" + node.help + "\r\n";
    for (const Param& p : node.params) {
      out += p.name + "=" + p.value + "\r\n";
      if (!p.help.empty()) out += "?" + p.name + "=" + p.help + "\r\n";
    }
  }
  for (const auto& child : node.children)
    SerializeNode(*child, isRoot ? "\\" + child->name : path + "\\" + child->name, out);
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && platform::AnsiCompareNoCase(a, b) == 0;
}

Node* Node::Child(std::string_view childName) const {
  for (const auto& c : children)
    if (EqualNoCase(c->name, childName)) return c.get();
  return nullptr;
}

Param* Node::FindParam(std::string_view paramName) {
  for (Param& p : params)
    if (EqualNoCase(p.name, paramName)) return &p;
  return nullptr;
}

std::unique_ptr<Node> Node::Clone() const {
  auto copy = std::make_unique<Node>();
  copy->name = name;
  copy->help = help;
  copy->params = params;
  for (const auto& c : children) copy->children.push_back(c->Clone());
  return copy;
}

bool SplitPath(std::string_view path, std::vector<std::string>& components) {
  components.clear();
  if (path.empty() || path.size() > kMaxPath || path[0] != '\\') return false;
  if (path == "\\") return true;
  size_t pos = 1;
  while (true) {
    size_t next = path.find('\\', pos);
    std::string_view part = path.substr(pos, next == std::string_view::npos ? std::string_view::npos : next - pos);
    if (!ValidNodeName(part)) return false;
    components.emplace_back(part);
    if (next == std::string_view::npos) return true;
    pos = next + 1;
  }
}

bool ValidParamName(std::string_view name) {
  if (name.empty() || name.size() > kMaxParamName || HasControl(name)) return false;
  if (name.find('=') != std::string_view::npos) return false;
  char first = name[0];
  return first != ';' && first != '[' && first != '?' && first != ' ' && first != '\t';
}

bool ValidValue(std::string_view value, size_t maxBytes) {
  return value.size() <= maxBytes && !HasControl(value);
}

Node* FindNode(Node& root, std::string_view path) {
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return nullptr;
  Node* node = &root;
  for (const std::string& part : parts) {
    node = node->Child(part);
    if (!node) return nullptr;
  }
  return node;
}

Node* EnsureNode(Node& root, std::string_view path, size_t* created) {
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return nullptr;
  Node* node = &root;
  for (const std::string& part : parts) {
    Node* child = node->Child(part);
    if (!child) {
      node->children.push_back(std::make_unique<Node>());
      child = node->children.back().get();
      child->name = part;
      if (created) ++*created;
    }
    node = child;
  }
  return node;
}

size_t CountNodes(const Node& root) {
  size_t n = 1;
  for (const auto& c : root.children) n += CountNodes(*c);
  return n;
}

ParseResult Parse(std::string_view text, Node& root, size_t* lineOut) {
  root = Node{};
  size_t lineNo = 0;
  auto fail = [&] {
    root = Node{};
    if (lineOut) *lineOut = lineNo;
    return ParseResult::kBadFormat;
  };
  if (text.size() > kMaxFileBytes) return fail();
  Node* section = nullptr;
  size_t nodes = 1;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNo == 1) {
      if (line != kMagic) return fail();
      continue;
    }
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    if (line[0] == ';') continue;
    if (HasControl(line)) return fail();
    if (line[0] == '[') {
      if (line.size() < 3 || line.back() != ']') return fail();
      std::string_view path = line.substr(1, line.size() - 2);
      std::vector<std::string> parts;
      if (!SplitPath(path, parts)) return fail();
      section = EnsureNode(root, path, &nodes);
      if (!section || nodes > kMaxNodes) return fail();
      continue;
    }
    if (!section) return fail();
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return fail();
    std::string_view name = line.substr(0, eq);
    std::string_view value = line.substr(eq + 1);
    if (name.size() >= 1 && name[0] == '?') {
      name.remove_prefix(1);
      if (!ValidValue(value, kMaxHelp)) return fail();
      if (name.empty()) {
        section->help = std::string(value);
        continue;
      }
      Param* p = section->FindParam(name);
      if (!p) return fail();
      p->help = std::string(value);
      continue;
    }
    if (!ValidParamName(name) || !ValidValue(value, kMaxValue)) return fail();
    if (Param* p = section->FindParam(name)) {
      p->value = std::string(value);
      continue;
    }
    if (section->params.size() >= kMaxParamsPerNode) return fail();
    section->params.push_back(Param{std::string(name), std::string(value), {}});
  }
  if (lineNo == 0) return fail();
  return ParseResult::kOk;
}

std::string Serialize(const Node& root) {
  std::string out(kMagic);
  out += "\r\n";
  SerializeNode(root, "\\", out);
  return out;
}

void Merge(Node& target, const Node& source) {
  if (!source.help.empty()) target.help = source.help;
  for (const Param& p : source.params) {
    if (Param* mine = target.FindParam(p.name)) {
      mine->value = p.value;
      if (!p.help.empty()) mine->help = p.help;
    } else {
      target.params.push_back(p);
    }
  }
  for (const auto& child : source.children) {
    Node* mine = target.Child(child->name);
    if (!mine) {
      target.children.push_back(child->Clone());
      continue;
    }
    Merge(*mine, *child);
  }
}

const Node& Defaults() {
  static const Node* defaults = [] {
    auto* node = new Node;
    Parse(DefaultsText(), *node);
    return node;
  }();
  return *defaults;
}

}  // namespace orb::cfg
