// Compiles fuzzed filter text for a table of every field type; an accepted
// text is installed on the open table, so the engine reads the buffer and
// evaluates it against each record.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "framework/dbtables.h"
#include "grid/ix_filter.h"
#include "grid/ix_table.h"

namespace {

grid::TixTable* table = nullptr;

void Setup() {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("grid_filter_fuzz_" + std::to_string(getpid()));
  fs::create_directories(dir);
  framework::TSession::Default().LibraryDirs = {fs::canonical("/proc/self/exe").parent_path()};
  using namespace framework;
  TTable t;
  t.SetDatabaseName(dir.string());
  t.SetTableName("STOCK.DBF");
  t.FieldDefs().Add("BRAND", ftString, 20);
  t.FieldDefs().Add("PRICE", ftFloat);
  t.FieldDefs().Add("QTY", ftInteger);
  t.FieldDefs().Add("BOUGHT", ftDate);
  t.FieldDefs().Add("OK", ftBoolean);
  t.FieldDefs().Add("NOTES", ftMemo);
  t.CreateTable();
  t.Open();
  for (int i = 0; i < 4; ++i) {
    t.Append();
    if (i != 3) {
      t.FieldByName("BRAND")->SetAsString(i == 0 ? "Sony" : "Nikon  x");
      t.FieldByName("PRICE")->SetAsFloat(i * 12.5);
      t.FieldByName("QTY")->SetAsInteger(i - 1);
      t.FieldByName("BOUGHT")->SetAsDateTime(EncodeDate(1995, 12, i + 1));
      t.FieldByName("OK")->SetAsBoolean(i % 2 == 0);
    }
    t.Post();
  }
  t.Close();
  table = new grid::TixTable;
  table->SetDatabaseName(dir.string());
  table->SetTableName("STOCK");
  table->Open();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!table) Setup();
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    table->SetixFilter({text});
    table->RecordCount();
  } catch (const framework::Exception&) {
    // A constant its field cannot read is the caller's error to show.
  }
  return 0;
}
