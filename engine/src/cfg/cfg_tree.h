// The configuration tree the engine keeps in memory, its text file form
// (cfg_format.txt beside this file) and the built-in defaults.
//
// Text here is Windows-1252, as in the file; the exported entries convert
// to and from the OEM code page at their boundary.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orb::cfg {

// Limits, in bytes without the terminator; they keep every value within the
// fixed buffers of the interface.
inline constexpr size_t kMaxPath = 127;
inline constexpr size_t kMaxNodeName = 31;
inline constexpr size_t kMaxParamName = 31;
inline constexpr size_t kMaxValue = 127;
inline constexpr size_t kMaxHelp = 255;
inline constexpr size_t kMaxParamsPerNode = 1000;
inline constexpr size_t kMaxNodes = 20000;
inline constexpr size_t kMaxFileBytes = 4 * 1024 * 1024;

struct Param {
  std::string name;
  std::string value;
  std::string help;
};

struct Node {
  std::string name;  // "" for the root
  std::string help;
  std::vector<Param> params;
  std::vector<std::unique_ptr<Node>> children;

  Node* Child(std::string_view childName) const;
  Param* FindParam(std::string_view paramName);
  std::unique_ptr<Node> Clone() const;
};

bool EqualNoCase(std::string_view a, std::string_view b);

// Splits "\A\B" into {"A", "B"}; "\" gives {}. False for a path that is not
// absolute, has an empty component, a component or path over the limits, or
// a control character.
bool SplitPath(std::string_view path, std::vector<std::string>& components);
bool ValidParamName(std::string_view name);
bool ValidValue(std::string_view value, size_t maxBytes);

Node* FindNode(Node& root, std::string_view path);
// Finds or creates the node and its parents; null for an invalid path.
Node* EnsureNode(Node& root, std::string_view path, size_t* created = nullptr);
size_t CountNodes(const Node& root);

enum class ParseResult { kOk, kBadFormat };
// Reads the text form into `root` (replaced). On kBadFormat `root` is empty
// and *line (when given) is the 1-based line at fault.
ParseResult Parse(std::string_view text, Node& root, size_t* line = nullptr);
std::string Serialize(const Node& root);

// Every node of `source` into `target`; the source's values (and non-empty
// descriptions) replace the target's.
void Merge(Node& target, const Node& source);

// The built-in defaults, parsed once.
const Node& Defaults();
std::string_view DefaultsText();

}  // namespace orb::cfg
