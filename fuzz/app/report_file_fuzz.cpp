// Report definitions files as found on disk: damaged records, odd sizes,
// length bytes past their fields. Inputs are patches over real records, so
// short inputs reach every field of the 20,622-byte layout.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "reports/report_definition.h"
#include "reports/report_file.h"

using namespace keldro::reports;

namespace {

// Applies (offset low, offset high, value) triples to the bytes.
void Patch(std::vector<uint8_t>& bytes, const uint8_t* data, size_t size) {
  for (size_t i = 0; i + 2 < size; i += 3) {
    const size_t at = (static_cast<size_t>(data[i]) | (static_cast<size_t>(data[i + 1]) << 8)) * 7 % bytes.size();
    bytes[at] = data[i + 2];
  }
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto defaults = DefaultReportDefinitions();

  // One record: decoding is stable once decoded.
  const ReportRecordBytes base = EncodeReportDefinition(defaults[data[0] % defaults.size()]);
  std::vector<uint8_t> record(base.begin(), base.end());
  Patch(record, data + 2, size - 2);
  const ReportDefinition d = ReadReportDefinition(record.data());
  Check(d.name.size() <= 30 && d.numLines >= 0 && d.numLines <= 12);
  Check(ReadReportDefinition(EncodeReportDefinition(d).data()) == d);

  // One record of the older file.
  std::vector<uint8_t> old(kOldReportDefinitionSize, 0);
  Patch(old, data + 2, size - 2);
  const ReportDefinition converted = ConvertOldReportDefinition(old.data());
  Check(ReadReportDefinition(EncodeReportDefinition(converted).data()) == converted);

  // A whole file: two records and a partial one.
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("keldro-urp-fuzz-" + std::to_string(getpid()) + ".URP");
  std::vector<uint8_t> file(record);
  file.insert(file.end(), base.begin(), base.end());
  file.resize(file.size() + data[1] * 81u, data[1]);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  ReportFile f(path);
  std::vector<ReportDefinition> all;
  Check(f.ReadAll(all).ok() && all.size() == file.size() / kReportDefinitionSize);
  ReportDefinition out;
  Check(f.Read(all.size(), out).code == ReportFileStatus::NoSuchRecord);
  Check(f.Names().size() == all.size());
  return 0;
}
