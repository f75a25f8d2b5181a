#include "grid/ix_query.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <filesystem>

#include "engine_link.h"
#include "platform/paths.h"
#include "platform/ui.h"

namespace grid {

namespace fs = std::filesystem;
using framework::EDatabaseError;

namespace {

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view word) {
  if (word.empty() || text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[at + i])) != std::toupper(static_cast<unsigned char>(word[i]))) {
      return false;
    }
  }
  return true;
}

void Tell(const std::string& text, platform::ui::Icon icon) {
  platform::ui::ShowMessage(text, icon == platform::ui::Icon::Warning ? "Warning" : "Error", platform::ui::Buttons::Ok,
                            icon);
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The answer's file system and the target directory's differ: a rename
// cannot carry the answer there.
bool OtherFileSystem(OrbCursor answer, const fs::path& targetDir) {
  char answerPath[1024] = {};
  if (detail::Engine().GetAnswerPath(answer, answerPath, sizeof answerPath) != ORB_OK) return false;
  struct stat a {}, t {};
  const fs::path answerDir = fs::path(answerPath).parent_path();
  if (::stat(answerDir.c_str(), &a) != 0 || ::stat(targetDir.empty() ? "." : targetDir.c_str(), &t) != 0) return false;
  return a.st_dev != t.st_dev;
}

// The engine cursor a scope owns.
struct OwnedCursor {
  OrbCursor handle = 0;
  ~OwnedCursor() {
    if (handle != 0) detail::Engine().CloseCursor(handle);
  }
};

}  // namespace

std::string SubstituteVariables(const std::string& line, const std::vector<std::string>& names,
                                const std::vector<std::string>& values) {
  if (line.find('~') == std::string::npos) return line;
  std::string out;
  for (size_t i = 0; i < line.size();) {
    bool replaced = false;
    if (line[i] == '~') {
      for (size_t v = names.size(); v-- > 0;) {
        if (StartsWithNoCase(line, i + 1, names[v])) {
          // The value is copied, never searched again: a value holding
          // "~name" stays as it is.
          out += v < values.size() ? values[v] : std::string();
          i += 1 + names[v].size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += line[i++];
  }
  return out;
}

std::string ResolveAliasPath(const std::string& alias) {
  if (alias.empty()) return std::string();
  char path[1024] = {};
  if (detail::Engine().GetAliasPath(alias.c_str(), path, sizeof path) != ORB_OK) return std::string();
  return path;
}

void CopyAnswerToTable(framework::TDBDataSet& dataSet, OrbCursor answer, const std::string& path) {
  detail::EngineLink& e = detail::Engine();
  uint16_t count = 0;
  OrbResult r = e.GetFieldDescs(answer, 0, nullptr, &count);
  std::vector<OrbFieldDesc> fields(count);
  if (r == ORB_OK) r = e.GetFieldDescs(answer, count, fields.data(), &count);
  if (r != ORB_OK) throw EDatabaseError(detail::EngineErrorMessage(r), r);
  const OrbDatabase db = dataSet.DBHandle();
  OwnedCursor target;
  r = e.OpenTable(db, path.c_str(), ORB_OPEN_SHARED, &target.handle);
  if (r == ORB_ERR_NO_SUCH_TABLE) {
    r = e.CreateTable(db, path.c_str(), count, fields.data(), 0);
    if (r == ORB_OK) r = e.OpenTable(db, path.c_str(), ORB_OPEN_SHARED, &target.handle);
  }
  uint32_t copied = 0;
  if (r == ORB_OK) r = e.BatchCopy(answer, target.handle, &copied);
  if (r != ORB_OK) throw EDatabaseError(detail::EngineErrorMessage(r), r);
}

bool SaveAnswerTable(framework::TDBDataSet& dataSet, OrbCursor answer, const std::string& name) {
  if (name.empty()) return false;
  try {
    std::string target = name;
    if (name[0] == ':') {
      const size_t second = name.find(':', 1);
      const std::string dir = second == std::string::npos ? std::string() : ResolveAliasPath(name.substr(1, second - 1));
      if (dir.empty()) {
        Tell("Invalid Alias in QBE", platform::ui::Icon::Error);
        return false;
      }
      const std::string table = name.substr(second + 1);
      const bool joined = IsSeparator(dir.back()) || (!table.empty() && IsSeparator(table[0]));
      target = dir + (joined ? "" : "/") + table;
    }
    // A relative name stays relative: the engine puts it in the database.
    fs::path mapped = platform::MapPath(target);
    if (mapped.is_relative()) mapped = platform::MapPath(dataSet.Database().DatabaseName()) / mapped;
    if (OtherFileSystem(answer, mapped.parent_path())) {
      CopyAnswerToTable(dataSet, answer, mapped.string());
      return true;
    }
    const OrbResult r = detail::Engine().MakePermanent(answer, mapped.string().c_str(), 1);
    if (r != ORB_OK) {
      Tell(detail::EngineErrorMessage(r) + "(" + name + ")", platform::ui::Icon::Error);
      return false;
    }
    return true;
  } catch (...) {
    Tell("Unable to create answer table " + name, platform::ui::Icon::Warning);
    return false;
  }
}

// ----------------------------------------------------------------- TixQuery

TixQuery::TixQuery() = default;

TixQuery::~TixQuery() {
  lookupTables_.clear();
  try {
    Close();
  } catch (...) {
  }
}

void TixQuery::DoOnCalcFields() {
  DropStaleEntries(*this, &LookupFieldsLines(), &LookupLinksLines(), &ControlTypeLines());
  BuildLookupFields(*this, LookupFields(), LookupLinks(), lookupTables_);
  framework::TQuery::DoOnCalcFields();
}

void TixQuery::OpenCursor() {
  framework::TQuery::OpenCursor();
  if (Handle() != 0) SaveAnswerTable(*this, Handle(), answerTable_);
}

// ------------------------------------------------------------------- TixQBE

TixQBE::TixQBE() = default;

TixQBE::~TixQBE() {
  lookupTables_.clear();
  try {
    Close();
  } catch (...) {
  }
}

void TixQBE::SetQBE(const TLines& lines) {
  qbe_ = lines;
  if (Active()) {
    Close();
    Open();
  }
}

void TixQBE::SetVariable(const std::string& name, const std::string& value) {
  for (size_t i = 0; i < variableNames_.size(); ++i) {
    if (framework::SameText(variableNames_[i], name)) {
      variableValues_[i] = value;
      return;
    }
  }
  variableNames_.push_back(name);
  variableValues_.push_back(value);
}

void TixQBE::ClearVariables() {
  variableNames_.clear();
  variableValues_.clear();
}

std::string TixQBE::QBEText() const {
  std::string text;
  for (size_t i = 0; i < qbe_.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += SubstituteVariables(qbe_[i], variableNames_, variableValues_);
  }
  return text;
}

OrbResult TixQBE::OpenQBE(OrbCursor* answer) {
  *answer = 0;
  detail::EngineLink& e = detail::Engine();
  const std::string text = QBEText();
  OrbStatement stmt = 0;
  OrbResult r = e.QueryAlloc(DBHandle(), ORB_QUERY_QBE, &stmt);
  if (r != ORB_OK) return r;
  e.QuerySetProp(stmt, ORB_QPROP_AUX_TABLES, AuxiliaryTables ? 1 : 0);
  if (BlankAsZero) e.QuerySetProp(stmt, ORB_QPROP_BLANK_AS_ZERO, 1);
  r = e.QueryPrepare(stmt, text.c_str());
  if (r == ORB_OK) {
    platform::ui::BusyCursor busy;
    r = e.QueryExecute(stmt, answer);
  }
  e.QueryFree(stmt);
  return r;
}

uint32_t TixQBE::OpenEngineCursor() {
  if (qbe_.empty() || qbe_[0].empty()) return framework::TDBDataSet::OpenEngineCursor();
  noAnswer_ = false;
  while (true) {
    OrbCursor answer = 0;
    const OrbResult r = OpenQBE(&answer);
    if (framework::TSession::IsLockConflict(r)) {
      if (framework::TSession::Default().LockRetry(r)) continue;
      return 0;
    }
    if (r != ORB_OK) throw EDatabaseError(detail::EngineErrorMessage(r), r);
    if (answer == 0) {
      noAnswer_ = true;
      return 0;
    }
    SaveAnswerTable(*this, answer, answerTable_);
    return answer;
  }
}

void TixQBE::DoOnCalcFields() {
  DropStaleEntries(*this, &LookupFieldsLines(), &LookupLinksLines(), &ControlTypeLines());
  BuildLookupFields(*this, LookupFields(), LookupLinks(), lookupTables_);
  framework::TDBDataSet::DoOnCalcFields();
}

}  // namespace grid
