// Results of the production-index layer: one code per outcome and a message
// that names what went wrong (the table layer maps codes to engine results).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace orb::mdx {

enum class MdxCode : uint16_t {
  kOk = 0,
  kNotFound,       // no key equal to the one sought (the cursor sits at the nearest)
  kEndOfIndex,     // moved past the first or the last key
  kTagMissing,     // no tag of that name (callers may treat it as nothing to delete)
  kTagExists,      // a tag of that name is already there
  kTooManyTags,    // the tag table is full
  kBadTagName,     // empty, too long or with characters a tag name cannot hold
  kBadExpression,  // the key expression does not compile against the table's fields
  kCorrupt,        // the file's structure is damaged
  kMismatch,       // the index disagrees with its table
  kIoError,        // the file could not be read or written
  kDiskFull,       // no room left on the disk to write the file
};

// Short fixed text of a code, for messages and logs.
const char* MdxCodeText(MdxCode code);

struct MdxStatus {
  MdxCode code = MdxCode::kOk;
  std::string message;

  bool ok() const { return code == MdxCode::kOk; }
  static MdxStatus Ok() { return {}; }
  static MdxStatus Make(MdxCode c, std::string msg) { return MdxStatus{c, std::move(msg)}; }
};

}  // namespace orb::mdx
