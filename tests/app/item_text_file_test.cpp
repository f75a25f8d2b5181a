// The item text file: what the export writes, what the import reads back,
// and the first pass that refuses a file with any bad line.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "core/import_export.h"
#include "core/item_text_file.h"
#include "framework/sysutils.h"
#include "temp_root.h"

namespace keldro {
namespace {

TEST(ItemTextFile, ValuesAreQuotedDoubledTrimmedAndCut) {
  struct Case {
    std::string edit, written;
  } cases[] = {
      {"He said \"hi\"", "\"He said \"\"hi\"\"\""},
      {"  Acme", "\"Acme\""},
      {"", "\"\""},
      {std::string(300, 'x'), "\"" + std::string(255, 'x') + "\""},
      // Doubling can push the value past 255: it is cut again, never inside a pair.
      {std::string(254, 'x') + "\"", "\"" + std::string(254, 'x') + "\""},
      {std::string(253, 'x') + "\"", "\"" + std::string(253, 'x') + "\"\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(ItemTextValue(c.edit), c.written) << c.edit;
  EXPECT_EQ(ItemTextLine({"He said \"hi\"", "  Acme", ""}), "\"He said \"\"hi\"\"\",\"Acme\",\"\"\r\n");
}

TEST(ItemTextFile, EveryLineTheWriterMakesReadsBack) {
  const std::vector<std::string> values = {"He said \"hi\"", "a,b", "", "1/2/94", std::string(255, 'q'), "\"\"\""};
  // A value cut at its limit reads back as written.
  const std::string cut = ItemTextValue(std::string(254, 'x') + "\"\"");
  EXPECT_EQ(ReadItemTextLine(cut).values.at(0), std::string(254, 'x'));
  std::string line = ItemTextLine(values);
  line.resize(line.size() - 2);
  ItemTextRecord r = ReadItemTextLine(line);
  ASSERT_EQ(r.fault, LineFault::kNone);
  EXPECT_EQ(r.values, values);
  EXPECT_FALSE(r.empty);
}

TEST(ItemTextFile, MalformedLinesNameTheirFault) {
  struct Case {
    std::string line;
    LineFault fault;
    std::size_t value;
  } cases[] = {
      {"\"a\",\"b", LineFault::kUnterminated, 2},
      {"a,b,c", LineFault::kUnterminated, 1},
      {"\"a\"x,\"b\"", LineFault::kAfterQuote, 1},
      {"\"" + std::string(256, 'z') + "\"", LineFault::kTooLong, 1},
      {"\"a\",", LineFault::kUnterminated, 2},
  };
  for (const Case& c : cases) {
    ItemTextRecord r = ReadItemTextLine(c.line);
    EXPECT_EQ(r.fault, c.fault) << c.line;
    EXPECT_EQ(r.faultValue, c.value) << c.line;
  }
  std::string many;
  for (int i = 0; i < 33; ++i) many += std::string(i ? "," : "") + "\"v\"";
  EXPECT_EQ(ReadItemTextLine(many).fault, LineFault::kTooMany);
  many.resize(many.size() - 4);
  EXPECT_EQ(ReadItemTextLine(many).values.size(), 32u);
  EXPECT_TRUE(ReadItemTextLine("").empty);
  EXPECT_TRUE(ReadItemTextLine("\"\"").empty);
  // Control characters are skipped, also between a closing quote and its comma.
  EXPECT_EQ(ReadItemTextLine("\"a\t\"\t,\"b\"").values, (std::vector<std::string>{"a", "b"}));
}

TEST(ItemTextFile, AQuotedValueHoldsLineEndsAndTheRecordGoesOnAfterThem) {
  // Written raw by the export: the value's CR LF and LF stay in it, and the
  // record ends only at a line end after a closing quote.
  const std::string content =
      "\"line1\r\nline2\",\"b\"\r\n"
      "\"one\ntwo\",\"x\"\r\n"
      "\"last\",\"\"";
  std::size_t pos = 0;
  ItemTextRecord r = ReadItemTextRecord(content, pos);
  ASSERT_EQ(r.fault, LineFault::kNone);
  EXPECT_EQ(r.values, (std::vector<std::string>{"line1\r\nline2", "b"}));
  EXPECT_EQ(content.substr(pos, 5), "\"one\n");
  r = ReadItemTextRecord(content, pos);
  EXPECT_EQ(r.values, (std::vector<std::string>{"one\ntwo", "x"}));
  r = ReadItemTextRecord(content, pos);
  EXPECT_EQ(r.values, (std::vector<std::string>{"last", ""}));
  EXPECT_EQ(pos, content.size());
  // Outside a value a line end still ends the record.
  pos = 0;
  EXPECT_EQ(ReadItemTextRecord("\"a\",\r\n\"b\"\r\n", pos).fault, LineFault::kUnterminated);
  EXPECT_EQ(pos, 6u);
  // A value left open runs to the end of the file, or past 255 characters.
  pos = 0;
  EXPECT_EQ(ReadItemTextRecord("\"a\r\nb", pos).fault, LineFault::kUnterminated);
  pos = 0;
  EXPECT_EQ(ReadItemTextRecord("\"a\r\n" + std::string(300, 'b'), pos).fault, LineFault::kTooLong);
  // What the writer makes of such a value reads back unchanged.
  const std::vector<std::string> values = {"line1\r\nline2", "\r\n", "q\"\r\n\""};
  const std::string line = ItemTextLine(values);
  pos = 0;
  r = ReadItemTextRecord(line, pos);
  ASSERT_EQ(r.fault, LineFault::kNone);
  EXPECT_EQ(r.values, values);
  EXPECT_EQ(pos, line.size());
}

TEST(ItemTextFile, DatesAreWrittenInTheFormatsOrderWithFourDigitYears) {
  struct Case {
    char separator;
    const char* format;
    int year, month, day;
    const char* written;
  } cases[] = {
      {'/', "m/d/yy", 1999, 12, 31, "12/31/1999"},
      {'/', "m/d/yy", 1, 1, 1, "1/1/0001"},
      {'/', "m/d/yy", 9999, 12, 31, "12/31/9999"},
      {'-', "dd/mm/yy", 2005, 3, 7, "07-03-2005"},
      {'.', "d/m/yyyy", 1850, 11, 2, "2.11.1850"},
  };
  for (const Case& c : cases) {
    framework::ResetFormatSettings();
    framework::DateSeparator = c.separator;
    framework::ShortDateFormat = c.format;
    const framework::TDateTime date = framework::EncodeDate(c.year, c.month, c.day);
    EXPECT_EQ(ItemTextDate(date), c.written) << c.format;
    // The import reads the same day back.
    ImportValue v;
    std::string reason;
    ASSERT_TRUE(ConvertImportValue(kDateField, 8, c.written, v, reason)) << c.written << ": " << reason;
    EXPECT_EQ(v.date, date) << c.written;
  }
  framework::ResetFormatSettings();
}

TEST(ImportCheck, ARecordSpanningLinesIsOneRecordAndLaterLinesKeepTheirNumbers) {
  const std::string content =
      "\"Item\",\"Cost\"\r\n"
      "\"a\r\nb\r\nc\",\"1\"\r\n"
      "\"d\",\"x\"\r\n";
  ImportCheck check = CheckTextImport(content, 2, {1, 11}, true);
  EXPECT_EQ(check.goodRecords, 1u);
  EXPECT_EQ(check.badLines, 1u);
  EXPECT_EQ(check.firstBadLine, 5u);
  EXPECT_EQ(check.firstBadValue, 2u);
}

TEST(ItemTextFile, FirstLineCodesAndColumnNames) {
  std::string values33;
  for (int i = 0; i < 33; ++i) values33 += std::string(i ? "," : "") + "\"v\"";
  EXPECT_EQ(FirstLineCode(ReadItemTextLine(values33)), 3);
  EXPECT_EQ(FirstLineCode(ReadItemTextLine("\"" + std::string(256, 'a') + "\"")), 1);
  EXPECT_EQ(FirstLineCode(ReadItemTextLine("a,b")), 2);
  ItemTextRecord first = ReadItemTextLine("\"Item\",\"\",\"A very long column title here\"");
  EXPECT_EQ(FirstLineCode(first), 0);
  EXPECT_EQ(ItemTextColumnNames(first),
            (std::vector<std::string>{"Item", "<BLANK FIELD>", "A very long column t"}));
  EXPECT_NE(FirstLineErrorText(3).find("There are at least 10 more fields than are required by Stashwell."),
            std::string::npos);
}

TEST(ItemTextFile, ValuesConvertByFieldType) {
  framework::ResetFormatSettings();
  ImportValue v;
  std::string reason;
  ASSERT_TRUE(ConvertImportValue(kDateField, 8, "2/3/94", v, reason));
  EXPECT_FALSE(v.blank);
  EXPECT_EQ(framework::FormatDateTime("yyyy-mm-dd", v.date), "1994-02-03");
  for (const char* blankDate : {"Feb 3", "020394", ""}) {
    ASSERT_TRUE(ConvertImportValue(kDateField, 8, blankDate, v, reason)) << blankDate;
    EXPECT_TRUE(v.blank) << blankDate;
  }
  EXPECT_FALSE(ConvertImportValue(kDateField, 8, "13/45/99", v, reason));
  ASSERT_TRUE(ConvertImportValue(kFloatField, 12, "10.50", v, reason));
  EXPECT_DOUBLE_EQ(v.number, 10.5);
  EXPECT_FALSE(ConvertImportValue(kFloatField, 12, "ten", v, reason));
  EXPECT_NE(reason.find("ten"), std::string::npos);
  ASSERT_TRUE(ConvertImportValue(kIntegerField, 11, "", v, reason));
  EXPECT_TRUE(v.blank);
  ASSERT_TRUE(ConvertImportValue(kCharacterField, 3, "Yesterday", v, reason));
  EXPECT_EQ(v.text, "Yes");
}

TEST(ImportCheck, ABadLineAnywhereRefusesTheWholeFile) {
  std::string content = "\"Item\",\"Cost\"\r\n";
  for (int i = 1; i <= 60; ++i) content += "\"thing " + std::to_string(i) + "\",\"" + (i == 57 ? "x" : "1.5") + "\"\r\n";
  content += "\r\n";  // an empty line makes no record
  const std::vector<int> targets = {1, 11};
  ImportCheck check = CheckTextImport(content, 2, targets, true);
  EXPECT_EQ(check.badLines, 1u);
  EXPECT_EQ(check.firstBadLine, 58u);  // the title line is line 1
  EXPECT_EQ(check.firstBadValue, 2u);
  EXPECT_NE(ImportRefusedText(check).find("Line 58, value 2"), std::string::npos);

  content.replace(content.find("\"x\""), 3, "\"2\"");
  check = CheckTextImport(content, 2, targets, true);
  EXPECT_EQ(check.badLines, 0u);
  ASSERT_EQ(check.records.size(), 60u);
  EXPECT_EQ(check.records[0][0].text, "thing 1");
  EXPECT_DOUBLE_EQ(check.records[56][10].number, 2);
}

TEST(ImportCheck, MappingFollowsTheColumnsAsTheyMove) {
  // Rows 1 and 2 stand against Item and Brand; the grid swapped the columns
  // and column 3 is not used.
  std::vector<MappingRow> rows(22);
  rows[0] = {2, true};
  rows[1] = {1, true};
  rows[2] = {3, false};
  EXPECT_EQ(ColumnTargets(rows, 3), (std::vector<int>{2, 1, 0}));
}

TEST(ExportSelection, IncludedFieldsInTheirExportOrder) {
  AppSettings s;
  for (auto& f : s.fields) f.exportField = false;
  s.fields[0].exportField = s.fields[10].exportField = true;
  s.fields[10].exportOrder = 1;  // Cost first
  s.fields[0].exportOrder = 2;
  EXPECT_EQ(ExportFields(s), (std::vector<int>{11, 1}));
}

}  // namespace
// The export's file is written as its lines come, in pieces, beside the
// target: whole when finished, and when the disk refuses a piece (a file
// size limit stands for a full disk) or the export stops before its end,
// the old file stays as it was and nothing is left beside it.
TEST(ItemTextFileWriter, WritesEveryLineOrLeavesTheOldFile) {
  testing_support::TempRoot root;
  const std::filesystem::path folder = root.path() / "exports", file = folder / "ITEMS.TXT";
  std::filesystem::create_directories(folder);
  auto only = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
  };
  // 6,000 lines of 100 bytes: more than one piece.
  std::string expected;
  auto lineOf = [](int i) {
    std::string line = "\"line " + std::to_string(i) + "\",\"";
    line.append(96 - line.size(), 'x');
    return line + "\"\r\n";
  };
  for (int i = 0; i < 6000; ++i) expected += lineOf(i);
  {
    ItemTextFileWriter writer;
    int error = -1;
    ASSERT_TRUE(writer.Open(file, &error));
    for (int i = 0; i < 6000; ++i) writer.Append(lineOf(i));
    ASSERT_TRUE(writer.Finish(&error));
    EXPECT_EQ(error, 0);
  }
  EXPECT_TRUE(testing_support::TempRoot::ReadFile(file) == expected);
  EXPECT_EQ(only(), std::vector<std::string>{"ITEMS.TXT"});

  const std::string old = "\"old\"\r\n";
  testing_support::TempRoot::WriteFile(file, old);
  struct rlimit before {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  std::signal(SIGXFSZ, SIG_IGN);
  for (const rlim_t limit : {rlim_t{100000}, rlim_t{400000}}) {
    SCOPED_TRACE(limit);
    ItemTextFileWriter writer;
    int error = 0;
    ASSERT_TRUE(writer.Open(file, &error));
    struct rlimit small = before;
    small.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 0; i < 6000; ++i) writer.Append(lineOf(i));
    const bool finished = writer.Finish(&error);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(finished);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(testing_support::TempRoot::ReadFile(file), old);
    EXPECT_EQ(only(), std::vector<std::string>{"ITEMS.TXT"});
  }
  std::signal(SIGXFSZ, SIG_DFL);
  {
    ItemTextFileWriter stopped;
    int error = 0;
    ASSERT_TRUE(stopped.Open(file, &error));
    for (int i = 0; i < 6000; ++i) stopped.Append(lineOf(i));
  }
  EXPECT_EQ(testing_support::TempRoot::ReadFile(file), old);
  EXPECT_EQ(only(), std::vector<std::string>{"ITEMS.TXT"});
}

}  // namespace keldro
