#include "reports/report_file.h"
#include "reports/report_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui.h"
#include "temp_root.h"

using testing::ElementsAre;
using testing_support::TempRoot;

namespace keldro::reports {
namespace {

ReportDefinition Named(const std::string& name) {
  ReportDefinition d;
  InitReportDefinition(d);
  d.name = name;
  return d;
}

std::vector<std::string> Names(const ReportFile& f) { return f.Names(); }

class ReportFileTest : public testing::Test {
 protected:
  void SetUp() override { platform::ui::Install(ui); }
  void TearDown() override { EXPECT_TRUE(ui->unexpected.empty()); }
  std::filesystem::path urp() const { return root.programDir() / "KELDRO.URP"; }
  std::filesystem::path vivo() const { return root.programDir() / "VIVO.URP"; }
  ReportFile WithRecords(std::initializer_list<const char*> names) {
    ReportFile f(urp());
    std::vector<ReportDefinition> defs;
    for (const char* n : names) defs.push_back(Named(n));
    EXPECT_TRUE(f.Create(defs).ok());
    return f;
  }

  TempRoot root;
  std::shared_ptr<platform::ui::ScriptedUi> ui = std::make_shared<platform::ui::ScriptedUi>();
};

TEST_F(ReportFileTest, AFreshProgramFolderGetsTheEightDefaults) {
  const EnsureResult r = EnsureReportFile(root.programDir());
  EXPECT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_TRUE(r.createdDefaults);
  EXPECT_FALSE(r.convertedOldFile);
  const ReportFile f = ReportFile::InDirectory(root.programDir());
  EXPECT_EQ(f.path(), urp());
  EXPECT_THAT(Names(f), ElementsAre("Short Narrow Report", "Short Wide Report", "Medium Report", "Medium Large Report",
                                    "Full Report", "Warranty Report", "Location & Owner Report",
                                    "Statistics/Summary Report"));
  const std::string bytes = TempRoot::ReadFile(urp());
  ASSERT_EQ(bytes.size(), 8 * kReportDefinitionSize);
  const auto defaults = DefaultReportDefinitions();
  for (size_t i = 0; i < defaults.size(); ++i) {
    const ReportRecordBytes expected = EncodeReportDefinition(defaults[i]);
    EXPECT_EQ(0, std::memcmp(bytes.data() + i * kReportDefinitionSize, expected.data(), expected.size())) << i;
  }
  // The second start leaves an existing file alone.
  ReportFile(urp()).Delete(0);
  EXPECT_FALSE(EnsureReportFile(root.programDir()).createdDefaults);
  EXPECT_EQ(ReportFile(urp()).Count(), 7u);
}

std::string OldRecordBytes(const std::string& name, int chars) {
  std::string r(kOldReportDefinitionSize, '\0');
  r[0] = static_cast<char>(name.size());
  name.copy(&r[1], 30);
  r[31] = static_cast<char>(chars);
  r[86] = 1;
  const size_t cell = 256 + 1500 + 75;  // line 1, cell 1
  r[cell] = 4;
  std::memcpy(&r[cell + 1], "Item", 4);
  r[cell + 31] = 1;
  r[cell + 32] = static_cast<char>(chars);
  return r;
}

TEST_F(ReportFileTest, TheOldFileGivesOnlyItsOwnDefinitionsAndIsDeleted) {
  TempRoot::WriteFile(vivo(), OldRecordBytes("90 Column 1 Line Report", 90) + OldRecordBytes("My Rooms", 90) +
                                  OldRecordBytes("Full Report", 120) + OldRecordBytes("Wide One", 120) +
                                  std::string(500, 'x'));  // a partial record ends the file
  const EnsureResult r = EnsureReportFile(root.programDir());
  EXPECT_TRUE(r.status.ok()) << r.status.message;
  EXPECT_TRUE(r.convertedOldFile);
  EXPECT_EQ(r.convertedRecords, 2u);
  EXPECT_FALSE(std::filesystem::exists(vivo()));
  ReportFile f(urp());
  const auto names = f.Names();
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names[8], "My Rooms");
  EXPECT_EQ(names[9], "Wide One");
  ReportDefinition mine;
  ASSERT_TRUE(f.Read(8, mine).ok());
  EXPECT_EQ(mine.fonts[2].name, "Courier New");
  EXPECT_EQ(mine.fonts[2].size, 10);
  EXPECT_EQ(mine.bodyLines[0].cells[0], (ReportCell{"Item", 1, 90, ""}));
  ReportDefinition wide;
  ASSERT_TRUE(f.Read(9, wide).ok());
  EXPECT_EQ(wide.fonts[0].size, 8);
  EXPECT_TRUE(wide.fonts[0].bold);
}

TEST_F(ReportFileTest, AnOldFileOfBuiltInNamesOnlyAddsNothing) {
  WithRecords({"Kept"});
  TempRoot::WriteFile(vivo(), OldRecordBytes("1 Line Warranty Report", 120));
  const ConversionResult r = ConvertOldReportFile(root.programDir());
  EXPECT_TRUE(r.converted);
  EXPECT_EQ(r.appended, 0u);
  EXPECT_FALSE(std::filesystem::exists(vivo()));
  EXPECT_THAT(ReportFile(urp()).Names(), ElementsAre("Kept"));
}

TEST_F(ReportFileTest, AConversionThatCannotFinishKeepsTheOldFileAndAppendsNothing) {
  // No definitions file to append to.
  TempRoot::WriteFile(vivo(), OldRecordBytes("Mine", 90));
  ConversionResult r = ConvertOldReportFile(root.programDir());
  EXPECT_FALSE(r.status.ok());
  EXPECT_FALSE(r.converted);
  EXPECT_TRUE(std::filesystem::exists(vivo()));
  EXPECT_FALSE(std::filesystem::exists(urp()));

  // The old file cannot be read.
  std::filesystem::remove(vivo());
  std::filesystem::create_directory(vivo());
  WithRecords({"Kept"});
  r = ConvertOldReportFile(root.programDir());
  EXPECT_FALSE(r.status.ok());
  EXPECT_TRUE(std::filesystem::exists(vivo()));
  EXPECT_THAT(ReportFile(urp()).Names(), ElementsAre("Kept"));

  // The definitions file cannot be replaced: a directory stands where it would go.
  std::filesystem::remove(vivo());
  TempRoot::WriteFile(vivo(), OldRecordBytes("Mine", 90));
  std::filesystem::remove(urp());
  std::filesystem::create_directory(urp());
  r = ConvertOldReportFile(root.programDir());
  EXPECT_FALSE(r.status.ok());
  EXPECT_TRUE(std::filesystem::exists(vivo()));
}

TEST_F(ReportFileTest, SavingARenamedDefinitionAsks) {
  struct Case {
    const char* name;
    bool isNew;
    const char* newName;
    platform::ui::Answer answer;  // None: no question expected
    SaveResult::Outcome outcome;
    std::vector<std::string> names;
  } cases[] = {
      {"renamed, Yes appends", false, "Renamed", platform::ui::Answer::Yes, SaveResult::Appended,
       {"A", "B", "C", "Renamed"}},
      {"renamed, No overwrites", false, "Renamed", platform::ui::Answer::No, SaveResult::Overwritten,
       {"A", "Renamed", "C"}},
      {"renamed, Cancel writes nothing", false, "Renamed", platform::ui::Answer::Cancel, SaveResult::Cancelled,
       {"A", "B", "C"}},
      {"same name overwrites", false, "B", platform::ui::Answer::None, SaveResult::Overwritten, {"A", "B", "C"}},
      {"new appends", true, "B", platform::ui::Answer::None, SaveResult::Appended, {"A", "B", "C", "B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReportFile f = WithRecords({"A", "B", "C"});
    ui->calls.clear();
    if (c.answer != platform::ui::Answer::None) ui->answers.push_back(c.answer);
    ReportDefinition buffer;
    ASSERT_TRUE(f.Read(1, buffer).ok());
    buffer.name = c.newName;
    buffer.titles[0] = "changed";
    const SaveResult r = SaveReportDefinition(f, buffer, SaveRequest{c.isNew, "B", 1});
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(Names(f), c.names);
    if (c.answer == platform::ui::Answer::None) {
      EXPECT_TRUE(ui->calls.empty());
    } else {
      ASSERT_EQ(ui->calls.size(), 1u);
      const auto& box = ui->calls[0].message;
      EXPECT_EQ(box.text, kTitleChangedQuestion);
      EXPECT_EQ(box.caption, "Warning");
      EXPECT_EQ(box.buttons, platform::ui::Buttons::YesNoCancel);
      EXPECT_EQ(box.icon, platform::ui::Icon::Error);
      EXPECT_TRUE(box.beep);
    }
    if (c.outcome == SaveResult::Appended) {
      EXPECT_EQ(r.index, 3u);
      ReportDefinition old;
      ASSERT_TRUE(f.Read(1, old).ok());
      EXPECT_EQ(old, Named("B"));  // the old one unchanged
    }
    if (c.outcome == SaveResult::Overwritten) {
      EXPECT_EQ(r.index, 1u);
    }
    if (c.outcome != SaveResult::Cancelled) {
      ReportDefinition saved;
      ASSERT_TRUE(f.Read(r.index, saved).ok());
      EXPECT_EQ(saved.titles[0], "changed");
    }
  }
}

TEST_F(ReportFileTest, SavingIntoAMissingFileCreatesIt) {
  ReportFile f(urp());
  const SaveResult r = SaveReportDefinition(f, Named("First"), SaveRequest{true, "", 0});
  EXPECT_EQ(r.outcome, SaveResult::Appended);
  EXPECT_EQ(r.index, 0u);
  EXPECT_THAT(Names(f), ElementsAre("First"));
  // Overwriting a record that is not there fails cleanly.
  const SaveResult bad = SaveReportDefinition(f, Named("First"), SaveRequest{false, "First", 5});
  EXPECT_EQ(bad.outcome, SaveResult::Failed);
  EXPECT_EQ(bad.status.code, ReportFileStatus::NoSuchRecord);
}

TEST_F(ReportFileTest, DeletingMovesLaterRecordsDownAndTruncates) {
  struct Case { const char* name; size_t index; std::vector<std::string> names; } cases[] = {
      {"first", 0, {"B", "C", "D"}}, {"middle", 2, {"A", "B", "D"}}, {"last", 3, {"A", "B", "C"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReportFile f = WithRecords({"A", "B", "C", "D"});
    ui->calls.clear();
    ui->answers.push_back(platform::ui::Answer::Yes);
    const DeleteResult r = DeleteReportDefinition(f, c.index);
    EXPECT_EQ(r.outcome, DeleteResult::Deleted);
    EXPECT_EQ(Names(f), c.names);
    EXPECT_EQ(std::filesystem::file_size(urp()), 3 * kReportDefinitionSize);
    ASSERT_EQ(ui->calls.size(), 1u);
    EXPECT_EQ(ui->calls[0].message.text, "Are you sure you want to delete this report?");
    EXPECT_EQ(ui->calls[0].message.caption, "Warning");
    EXPECT_EQ(ui->calls[0].message.buttons, platform::ui::Buttons::YesNo);
    EXPECT_EQ(ui->calls[0].message.defaultButton, 1);  // No
  }
  ReportFile f = WithRecords({"A", "B"});
  ui->answers.push_back(platform::ui::Answer::No);
  EXPECT_EQ(DeleteReportDefinition(f, 0).outcome, DeleteResult::Cancelled);
  EXPECT_THAT(Names(f), ElementsAre("A", "B"));
  ui->answers.push_back(platform::ui::Answer::Yes);
  EXPECT_EQ(DeleteReportDefinition(f, 2).outcome, DeleteResult::Failed);
  ui->answers.push_back(platform::ui::Answer::Yes);
  EXPECT_EQ(DeleteReportDefinition(f, 1).outcome, DeleteResult::Deleted);
  ui->answers.push_back(platform::ui::Answer::Yes);
  EXPECT_EQ(DeleteReportDefinition(f, 0).outcome, DeleteResult::Deleted);
  EXPECT_EQ(std::filesystem::file_size(urp()), 0u);
}

TEST_F(ReportFileTest, ADamagedFileIsReadWithoutGarbage) {
  ReportFile f = WithRecords({"A", "B"});
  std::string bytes = TempRoot::ReadFile(urp());
  bytes[kReportDefinitionSize] = '\xFF';                       // B's name length
  bytes[kReportDefinitionSize + 1879] = '\xC8';                // B's first title length
  bytes += std::string(kReportDefinitionSize / 2, '\x7F');     // half a record
  TempRoot::WriteFile(urp(), bytes);

  EXPECT_EQ(f.Count(), 2u);
  ReportDefinition d;
  ASSERT_TRUE(f.Read(1, d).ok());
  EXPECT_EQ(d.name.size(), 30u);
  EXPECT_EQ(d.name.substr(0, 1), "B");
  EXPECT_EQ(d.name.substr(1), std::string(29, '\0'));
  EXPECT_EQ(d.titles[0], std::string(80, '\0'));
  const ReportFileStatus past = f.Read(2, d);
  EXPECT_EQ(past.code, ReportFileStatus::NoSuchRecord);
  EXPECT_FALSE(past.message.empty());
  EXPECT_EQ(ReportFile(root.programDir() / "NONE.URP").Read(0, d).code, ReportFileStatus::Missing);
  EXPECT_TRUE(ReportFile(root.programDir() / "NONE.URP").Names().empty());

  // Appending goes after the whole records; the partial one is dropped.
  size_t index = 0;
  ASSERT_TRUE(f.Append(Named("C"), &index).ok());
  EXPECT_EQ(index, 2u);
  EXPECT_EQ(std::filesystem::file_size(urp()), 3 * kReportDefinitionSize);
}

}  // namespace
}  // namespace keldro::reports
