#include "reports/report_file.h"

#include <system_error>

#include "platform/file_io.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace keldro::reports {

namespace {

ReportFileStatus Fail(ReportFileStatus::Code code, std::string message) { return {code, std::move(message)}; }

ReportFileStatus ReadWholeFile(const fs::path& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::string text;
  switch (platform::ReadWholeFile(path, text)) {
    case platform::ReadStatus::kOk: break;
    case platform::ReadStatus::kNotFound:
      return Fail(ReportFileStatus::Missing, "The file " + path.string() + " does not exist.");
    case platform::ReadStatus::kError:
      return Fail(ReportFileStatus::ReadFailed, "The file " + path.string() + " could not be read.");
  }
  bytes.assign(text.begin(), text.end());
  return {};
}

ReportFileStatus WriteWholeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!platform::WriteFileAtomic(path, view))
    return Fail(ReportFileStatus::WriteFailed, "The file " + path.string() + " could not be written.");
  return {};
}

size_t WholeRecords(const std::vector<uint8_t>& bytes) { return bytes.size() / kReportDefinitionSize; }

void AppendRecord(std::vector<uint8_t>& bytes, const ReportDefinition& def) {
  const ReportRecordBytes record = EncodeReportDefinition(def);
  bytes.insert(bytes.end(), record.begin(), record.end());
}

ReportFileStatus NoSuchRecord(size_t index, size_t count) {
  return Fail(ReportFileStatus::NoSuchRecord,
              "Report " + std::to_string(index + 1) + " is not in the file, which holds " + std::to_string(count) + ".");
}

}  // namespace

ReportFile ReportFile::InDirectory(const fs::path& dir) {
  return ReportFile(platform::FindFileNoCase(dir, kReportFileName));
}

bool ReportFile::Exists() const {
  std::error_code ec;
  return fs::is_regular_file(path_, ec);
}

ReportFileStatus ReportFile::Load(std::vector<uint8_t>& bytes) const { return ReadWholeFile(path_, bytes); }
ReportFileStatus ReportFile::Store(const std::vector<uint8_t>& bytes) const { return WriteWholeFile(path_, bytes); }

size_t ReportFile::Count() const {
  std::error_code ec;
  const auto size = fs::file_size(path_, ec);
  return ec ? 0 : static_cast<size_t>(size / kReportDefinitionSize);
}

std::vector<std::string> ReportFile::Names() const {
  std::vector<ReportDefinition> defs;
  std::vector<std::string> names;
  if (!ReadAll(defs).ok()) return names;
  for (const ReportDefinition& d : defs) names.push_back(d.name);
  return names;
}

ReportFileStatus ReportFile::Read(size_t index, ReportDefinition& out) const {
  std::vector<uint8_t> bytes;
  if (ReportFileStatus s = Load(bytes); !s.ok()) return s;
  const size_t count = WholeRecords(bytes);
  if (index >= count) return NoSuchRecord(index, count);
  out = ReadReportDefinition(bytes.data() + index * kReportDefinitionSize);
  return {};
}

ReportFileStatus ReportFile::ReadAll(std::vector<ReportDefinition>& out) const {
  out.clear();
  std::vector<uint8_t> bytes;
  if (ReportFileStatus s = Load(bytes); !s.ok()) return s;
  for (size_t i = 0; i < WholeRecords(bytes); ++i)
    out.push_back(ReadReportDefinition(bytes.data() + i * kReportDefinitionSize));
  return {};
}

ReportFileStatus ReportFile::Overwrite(size_t index, const ReportDefinition& def) {
  std::vector<uint8_t> bytes;
  if (ReportFileStatus s = Load(bytes); !s.ok() && s.code != ReportFileStatus::Missing) return s;
  const size_t count = WholeRecords(bytes);
  if (index >= count) return NoSuchRecord(index, count);
  WriteReportDefinition(def, bytes.data() + index * kReportDefinitionSize);
  return Store(bytes);
}

ReportFileStatus ReportFile::Append(const ReportDefinition& def, size_t* index) {
  std::vector<uint8_t> bytes;
  if (ReportFileStatus s = Load(bytes); !s.ok() && s.code != ReportFileStatus::Missing) return s;
  const size_t count = WholeRecords(bytes);
  bytes.resize(count * kReportDefinitionSize);
  AppendRecord(bytes, def);
  if (ReportFileStatus s = Store(bytes); !s.ok()) return s;
  if (index) *index = count;
  return {};
}

ReportFileStatus ReportFile::AppendAll(const std::vector<ReportDefinition>& defs) {
  std::vector<uint8_t> bytes;
  if (ReportFileStatus s = Load(bytes); !s.ok() && s.code != ReportFileStatus::Missing) return s;
  bytes.resize(WholeRecords(bytes) * kReportDefinitionSize);
  for (const ReportDefinition& d : defs) AppendRecord(bytes, d);
  return Store(bytes);
}

ReportFileStatus ReportFile::Delete(size_t index) {
  std::vector<uint8_t> bytes;
  if (ReportFileStatus s = Load(bytes); !s.ok()) return s;
  const size_t count = WholeRecords(bytes);
  if (index >= count) return NoSuchRecord(index, count);
  bytes.resize(count * kReportDefinitionSize);
  const auto at = bytes.begin() + static_cast<std::ptrdiff_t>(index * kReportDefinitionSize);
  bytes.erase(at, at + static_cast<std::ptrdiff_t>(kReportDefinitionSize));
  return Store(bytes);
}

ReportFileStatus ReportFile::Create(const std::vector<ReportDefinition>& defs) {
  std::vector<uint8_t> bytes;
  for (const ReportDefinition& d : defs) AppendRecord(bytes, d);
  return Store(bytes);
}

ReportFileStatus CreateDefaultReports(const fs::path& programDir) {
  const auto defaults = DefaultReportDefinitions();
  ReportFile file = ReportFile::InDirectory(programDir);
  return file.Create(std::vector<ReportDefinition>(defaults.begin(), defaults.end()));
}

ConversionResult ConvertOldReportFile(const fs::path& programDir) {
  ConversionResult result;
  const fs::path oldPath = platform::FindFileNoCase(programDir, kOldReportFileName);
  std::vector<uint8_t> old;
  result.status = ReadWholeFile(oldPath, old);
  if (result.status.code == ReportFileStatus::Missing) {
    result.status = {};
    return result;
  }
  result.found = true;
  if (!result.status.ok()) return result;  // kept for the next start

  std::vector<ReportDefinition> carried;
  for (size_t i = 0; i < old.size() / kOldReportDefinitionSize; ++i) {
    const uint8_t* record = old.data() + i * kOldReportDefinitionSize;
    ReportDefinition d = ConvertOldReportDefinition(record);
    if (!IsOldBuiltInReportName(d.name)) carried.push_back(std::move(d));
  }

  ReportFile file = ReportFile::InDirectory(programDir);
  std::vector<uint8_t> before;
  if (!carried.empty()) {
    // Without the new file (its defaults could not be written) nothing is
    // carried over: the next start writes them and tries again.
    if (ReportFileStatus s = ReadWholeFile(file.path(), before); !s.ok()) {
      result.status = s;
      return result;
    }
    if (ReportFileStatus s = file.AppendAll(carried); !s.ok()) {
      result.status = s;
      return result;
    }
  }
  std::error_code ec;
  if (!fs::remove(oldPath, ec) || ec) {
    // Keeping both would carry the same records over again at the next start.
    if (!carried.empty()) WriteWholeFile(file.path(), before);
    result.status = Fail(ReportFileStatus::WriteFailed, "The file " + oldPath.string() + " could not be deleted.");
    return result;
  }
  result.converted = true;
  result.appended = carried.size();
  return result;
}

EnsureResult EnsureReportFile(const fs::path& programDir) {
  EnsureResult result;
  if (!ReportFile::InDirectory(programDir).Exists()) {
    result.status = CreateDefaultReports(programDir);
    result.createdDefaults = result.status.ok();
  }
  const ConversionResult conversion = ConvertOldReportFile(programDir);
  result.convertedOldFile = conversion.converted;
  result.convertedRecords = conversion.appended;
  if (result.status.ok()) result.status = conversion.status;
  return result;
}

}  // namespace keldro::reports
