// Reads the leading field of fuzzed index expressions (an index file from
// another program may hold any text) against a table with a few fields.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "framework/dbtables.h"
#include "grid/ix_lookup_search.h"
#include "grid/ix_table.h"

namespace {

grid::TixTable* table = nullptr;

void Setup() {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("grid_index_fuzz_" + std::to_string(getpid()));
  fs::create_directories(dir);
  framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  using namespace framework;
  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName("BRANDS.DBF");
  t.FieldDefs().Add("NAME", ftString, 20);
  t.FieldDefs().Add("ID", ftInteger);
  t.FieldDefs().Add("BOUGHT", ftDate);
  t.CreateTable();
  table = new grid::TixTable;
  table->SetDatabaseName(dir.string());
  table->SetTableName("BRANDS");
  table->Open();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!table) Setup();
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (framework::TIndexOptions options : {framework::TIndexOptions{0}, framework::TIndexOptions{framework::ixExpression}}) {
    const std::string field = grid::IndexLeadingField(framework::TIndexDef("T", text, options), *table);
    if (!field.empty() && (options & framework::ixExpression) && table->FindField(field) == nullptr) __builtin_trap();
  }
  return 0;
}
