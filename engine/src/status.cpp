#include "status.h"

#include <cstring>

#include "ordinals.h"

namespace orb {
namespace {

struct CodeEntry {
  OrbResult code;
  const char* text;
};

// One row per code of orbex32.h.
constexpr CodeEntry kCodes[] = {
    {ORB_OK, "Success"},
    {ORB_ERR_DISK_FULL, "The disk is full: the table could not be written"},
    {ORB_ERR_WRITE_FAILED, "A write to the file failed"},
    {ORB_ERR_READ_FAILED, "A read from the file failed"},
    {ORB_ERR_NO_SUCH_TABLE, "Table does not exist"},
    {ORB_ERR_ACCESS_DENIED, "Access to the file was denied"},
    {ORB_ERR_OPEN_FAILED, "The file could not be opened"},
    {ORB_ERR_BOF, "At beginning of table"},
    {ORB_ERR_EOF, "At end of table"},
    {ORB_ERR_RECORD_DELETED, "Record was deleted"},
    {ORB_ERR_NO_CURRENT_RECORD, "No current record"},
    {ORB_ERR_NO_MORE_ITEMS, "No more items"},
    {ORB_ERR_NOT_FOUND, "Record or key not found"},
    {ORB_ERR_BLOB_END, "End of memo"},
    {ORB_ERR_CORRUPT, "The table is corrupt"},
    {ORB_ERR_NOT_DBASE, "The file is not a dBASE table"},
    {ORB_ERR_MEMO_MISSING, "The table's memo file is missing"},
    {ORB_ERR_MEMO_CORRUPT, "The memo file is corrupt"},
    {ORB_ERR_INDEX_MISSING, "The table's production index (.MDX) is missing"},
    {ORB_ERR_INDEX_CORRUPT, "The production index is corrupt"},
    {ORB_ERR_INDEX_OUT_OF_STEP, "The production index must be rebuilt"},
    {ORB_ERR_INDEX_STALE, "Index must be rebuilt"},
    {ORB_ERR_ROLLBACK_PENDING,
     "An interrupted batch of changes must be undone: open the table where it can be written"},
    {ORB_ERR_NO_MEMORY, "Not enough memory"},
    {ORB_ERR_TOO_MANY_OPEN, "Too many open handles"},
    {ORB_ERR_INVALID_HANDLE, "Invalid handle"},
    {ORB_ERR_INVALID_PARAM, "Invalid parameter"},
    {ORB_ERR_NO_SUCH_FIELD, "Field not found"},
    {ORB_ERR_NO_SUCH_INDEX, "Index not found"},
    {ORB_ERR_NO_INDEX_SUPPORT, "Indexes are not available"},
    {ORB_ERR_FILTER_REFUSED, "Filter expression not supported"},
    {ORB_ERR_FIELD_TYPE, "Operation not valid for this field type"},
    {ORB_ERR_VALUE_TOO_LONG, "Value is longer than the field"},
    {ORB_ERR_VALUE_RANGE, "Value does not fit the field"},
    {ORB_ERR_INVALID_FIELD_DEF, "Invalid field definition"},
    {ORB_ERR_INDEX_EXISTS, "An index of that name exists already"},
    {ORB_ERR_INVALID_EXPRESSION, "Invalid index expression"},
    {ORB_ERR_NOT_SUPPORTED, "Operation not supported"},
    {ORB_ERR_CURSOR_BUSY, "The cursor is busy in a filter"},
    {ORB_ERR_BUFFER_TOO_SMALL, "Buffer too small"},
    {ORB_ERR_QUERY_SYNTAX, "Syntax error in query"},
    {ORB_ERR_QUERY_FAILED, "The query could not be carried out"},
    {ORB_ERR_TABLE_IN_USE, "Table is in use"},
    {ORB_ERR_LOCKED, "Record or table locked by another user"},
    {ORB_ERR_READ_ONLY, "Table is open read-only"},
    {ORB_ERR_NEED_EXCLUSIVE, "Table must be open exclusively"},
};

thread_local std::string tContext;

}  // namespace

constinit thread_local bool tHasContext __attribute__((tls_model("initial-exec"))) = false;

const char* CodeText(OrbResult code) {
  for (const CodeEntry& e : kCodes) {
    if (e.code == code) return e.text;
  }
  return "Unknown engine error";
}

OrbResult Fail(OrbResult code, std::string detail) {
  tContext = std::move(detail);
  tHasContext = true;
  return code;
}
void ClearSetContext() {
  tContext.clear();
  tHasContext = false;
}
const std::string& Context() { return tContext; }

}  // namespace orb

namespace {

OrbResult CopyText(const char* text, char* buf, uint32_t size) {
  if (buf == nullptr || size == 0) return ORB_ERR_INVALID_PARAM;
  size_t n = std::strlen(text);
  if (n + 1 > size) {
    std::memcpy(buf, text, size - 1);
    buf[size - 1] = 0;
    return ORB_ERR_BUFFER_TOO_SMALL;
  }
  std::memcpy(buf, text, n + 1);
  return ORB_OK;
}

}  // namespace

const char* EngineErrorText(OrbResult code) { return orb::CodeText(code); }

OrbResult EngineGetErrorText(OrbResult code, char* buf, uint32_t size) {
  return CopyText(orb::CodeText(code), buf, size);
}

OrbResult EngineGetErrorContext(char* buf, uint32_t size) {
  return CopyText(orb::Context().c_str(), buf, size);
}

ORB_ORDINALS({60, (void*)&EngineGetErrorText}, {61, (void*)&EngineGetErrorContext});
