#include "core/utilities.h"

#include <sys/resource.h>

#include <csignal>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/ui.h"
#include "temp_root.h"

using testing_support::TempRoot;

namespace keldro {
namespace {

TEST(NumberFormat, UsForm) {
  struct Case { double value; int width; int decimals; const char* expected; } cases[] = {
      {1234567, 0, 0, "1,234,567"},     {1234567.891, 0, 2, "1,234,567.89"}, {-123456, 0, 0, "-123,456"},
      {999, 0, 0, "999"},               {1000, 0, 0, "1,000"},              {-999999, 0, 0, "-999,999"},
      {-999, 0, 0, "-999"},             {0, 0, 2, "0.00"},                  {12.5, 8, 2, "   12.50"},
      {1234567, 3, 0, "1,234,567"},     {-1234.5, 0, 1, "-1,234.5"},        {-0.001, 0, 2, "0.00"},
      {123456.789, 12, 3, " 123,456.789"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatNumber(c.value, c.width, c.decimals), c.expected) << c.value << " " << c.decimals;
  EXPECT_EQ(FloatToPaddedStr(1234.5, 9, 2), "  1234.50");
  EXPECT_EQ(FloatToPaddedStr(1234.5, 1, 0), "1234");  // printf rounds half to even on the binary value
}

TEST(NumberFormat, WindowsForms) {
  IntlSettings european{',', '.', 2, 3};
  struct Case { double value; int decimals; int format; const char* expected; } cases[] = {
      {1234.5, 2, 2, "1.234,50"}, {-123456, 0, 2, "-123.456"}, {1234.5, 2, 1, "1,234.50"},
      {1234567.25, 2, 2, "1.234.567,25"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatNumberIntl(c.value, 0, c.decimals, c.format, european), c.expected) << c.value;
  EXPECT_EQ(FormatCurrencyIntl(1234.5, 0, 2, european), "1.234,500");  // iCurrDigits
  EXPECT_EQ(FormatCurrencyIntl(1234.5, 10, 1, european), "  1,234.50");
}

TEST(NumberFormat, IntlSettingsComeFromWinIni) {
  struct Case { const char* text; IntlSettings expected; } cases[] = {
      {"", {'.', ',', 2, 2}},
      {"[intl]\r\nsDecimal=,\r\nsThousand=.\r\niDigits=3\r\niCurrDigits=0\r\n", {',', '.', 3, 0}},
      {"[intl]\r\nsThousand=\r\n", {'.', ' ', 2, 2}},
      {"[Intl]\r\nsDecimal=;;\r\niCurrDigits=1000\r\niDigits=x\r\n", {';', ',', 2, 2}},
  };
  for (const Case& c : cases) {
    platform::IniFile ini;
    ini.Parse(c.text);
    EXPECT_EQ(LoadIntlSettings(ini), c.expected) << c.text;
  }
  TempRoot root;
  TempRoot::WriteFile(root.path() / "WINDOWS" / "WIN.INI", "[intl]\r\nsDecimal=,\r\n");
  EXPECT_EQ(LoadIntlSettings().decimal, ',');
}

TEST(Texts, TrimPadAndRepeat) {
  EXPECT_EQ(TrimBlanks("  a b\t "), "a b\t");
  EXPECT_EQ(TrimBlanks("\ta b"), "\ta b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimAndRemoveCommas(" 1,234.50 ", 20), "1234.50");
  EXPECT_EQ(TrimAndRemoveCommas("1,234,567", 5), "1234");  // cut, then stripped
  EXPECT_EQ(TrimAndRemoveChar("a-b-c", 10, '-'), "abc");
  EXPECT_EQ(PadRight("ab", 4), "ab  ");
  EXPECT_EQ(PadLeft("ab", 4), "  ab");
  EXPECT_EQ(PadLeft("abcdef", 4), "abcdef");
  EXPECT_EQ(PadRight("ab", -3), "ab");
  EXPECT_EQ(RepeatChar('-', 3), "---");
  EXPECT_EQ(RepeatChar('-', 0), "");
}

TEST(Scale, ScreenSizeSetting) {
  struct Case { int setting, w, h; double scale; int marked; } cases[] = {
      {640, 1920, 1080, 1.0, 640},  {800, 800, 600, 1.25, 800},    {800, 799, 600, 1.0, 640},
      {1024, 1024, 768, 1.6, 1024}, {1024, 800, 600, 1.0, 640},    {1280, 1280, 1024, 2.0, 1280},
      {1280, 1280, 1000, 1.0, 640}, {333, 4000, 4000, 1.0, 640},
  };
  for (const Case& c : cases) {
    const ScreenScale s = ChooseScreenScale(c.setting, c.w, c.h);
    EXPECT_EQ(s.scaleFactor, c.scale) << c.setting << " on " << c.w << "x" << c.h;
    EXPECT_EQ(s.markedSize, c.marked) << c.setting << " on " << c.w << "x" << c.h;
  }
  EXPECT_EQ(ScalePercent(1.25), 125);
  EXPECT_EQ(ScalePercent(1.6), 160);
  EXPECT_EQ(MulDiv(5, 125, 100), 6);   // 6.25
  EXPECT_EQ(MulDiv(3, 150, 100), 5);   // 4.5 rounds away from zero
  EXPECT_EQ(MulDiv(-3, 150, 100), -5);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(FormDimensionsTest, RestoresTheDesignThenScalesAndCentres) {
  FormDimensions dims;
  std::vector<ComponentState> design{
      {ComponentKind::Button, {10, 20, 75, 25}, 8},
      {ComponentKind::Bevel, {0, 0, 100, 50}, 8},
      {ComponentKind::Other, {1, 1, 1, 1}, 8},
  };
  ASSERT_TRUE(dims.Save(400, 300, design));

  // The form was scaled once already: restoring starts from the design again.
  std::vector<ComponentState> shown = design;
  shown[0].bounds = {999, 999, 999, 999};
  shown[0].fontSize = 99;
  shown[1].fontSize = 12;
  const auto p = dims.Restore(shown, 1.25, 1024, 768, 8, 27);
  EXPECT_EQ(p.clientWidth, 500);
  EXPECT_EQ(p.clientHeight, 375);
  EXPECT_EQ(p.components[0].bounds, (Rect{13, 25, 94, 31}));  // 12.5, 31.25 round half up
  EXPECT_EQ(p.components[0].fontSize, 10);
  EXPECT_EQ(p.components[1].bounds, (Rect{0, 0, 125, 63}));
  EXPECT_EQ(p.components[1].fontSize, 15);  // bevels keep no font: the shown one is scaled
  EXPECT_EQ(p.left, (1024 - 508) / 2);
  EXPECT_EQ(p.top, (768 - 402) / 2);

  // Unscaled and larger than the screen: centred to a negative position as designed.
  const auto q = dims.Restore(shown, 1.0, 300, 200);
  EXPECT_EQ(q.left, -50);
  EXPECT_EQ(q.top, -50);
}

TEST(FormDimensionsTest, MoreThan101ComponentsShowTheMessage) {
  auto ui = std::make_shared<platform::ui::ScriptedUi>();
  platform::ui::Install(ui);
  FormDimensions dims;
  std::vector<ComponentState> many(102, ComponentState{ComponentKind::Label, {1, 2, 3, 4}, 8});
  EXPECT_FALSE(dims.Save(10, 10, many));
  EXPECT_THAT(ui->MessageTexts(), testing::ElementsAre("Too many compenents to save dimensions."));
  EXPECT_THAT(ui->MessageCaptions(), testing::ElementsAre("Error"));
  many.resize(101);
  EXPECT_TRUE(dims.Save(10, 10, many));
  EXPECT_EQ(SharedFontFor(ComponentKind::GroupBox), SharedFont::Label);
  EXPECT_EQ(SharedFontFor(ComponentKind::StringGrid), SharedFont::Edit);
  EXPECT_EQ(SharedFontFor(ComponentKind::Button), SharedFont::Button);
  EXPECT_EQ(SharedFontFor(ComponentKind::Panel), SharedFont::None);
}

class MemorySource : public BlockSource {
 public:
  explicit MemorySource(std::string data, long failAt = -1) : data_(std::move(data)), failAt_(failAt) {}
  long Read(char* buffer, size_t size) override {
    if (failAt_ >= 0 && pos_ >= static_cast<size_t>(failAt_)) return -1;
    const size_t n = std::min(size, data_.size() - pos_);
    std::copy_n(data_.data() + pos_, n, buffer);
    pos_ += n;
    return static_cast<long>(n);
  }
 private:
  std::string data_;
  long failAt_;
  size_t pos_ = 0;
};

class MemorySink : public BlockSink {
 public:
  explicit MemorySink(size_t capacity) : capacity_(capacity) {}
  long Write(const char* buffer, size_t size) override {
    const size_t n = std::min(size, capacity_ - data.size());
    data.append(buffer, n);
    return static_cast<long>(n);
  }
  std::string data;
 private:
  size_t capacity_;
};

TEST(BlockCopy, EveryShortWriteOrErrorIsAFailure) {
  const std::string data(5000, 'x');
  struct Case { const char* name; long failReadAt; size_t sinkCapacity; bool ok; } cases[] = {
      {"whole copy", -1, 100000, true},
      {"short write in the last block", -1, 4999, false},
      {"short write in the first block", -1, 100, false},
      {"read error after the first block", 2048, 100000, false},
      {"room for exactly the data", -1, 5000, true},
  };
  for (const Case& c : cases) {
    MemorySource source(data, c.failReadAt);
    MemorySink sink(c.sinkCapacity);
    EXPECT_EQ(CopyBlocks(source, sink), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(sink.data, data) << c.name;
    }
  }
}

TEST(BlockCopy, FilesAreCopiedWhole) {
  TempRoot root;
  std::string data;
  for (int i = 0; i < 10000; ++i) data += static_cast<char>(i * 7);
  TempRoot::WriteFile(root.path() / "SRC.DBF", data);
  TempRoot::WriteFile(root.path() / "DST.DBF", "old");
  EXPECT_TRUE(CopyFileBlocks(root.path() / "SRC.DBF", root.path() / "DST.DBF"));
  EXPECT_EQ(TempRoot::ReadFile(root.path() / "DST.DBF"), data);
  EXPECT_FALSE(CopyFileBlocks(root.path() / "MISSING.DBF", root.path() / "DST2.DBF"));
  EXPECT_FALSE(std::filesystem::exists(root.path() / "DST2.DBF"));
  EXPECT_FALSE(CopyFileBlocks(root.path() / "SRC.DBF", root.path() / "NO" / "DIR" / "DST.DBF"));
}

// A backup set on read-only media must restore to a database that can be
// written again; the other permission bits follow the source.
TEST(BlockCopy, ACopyOfAReadOnlyFileCanBeWritten) {
  namespace fs = std::filesystem;
  TempRoot root;
  struct Case {
    const char* name;
    fs::perms source;
    fs::perms target;
  } cases[] = {
      {"read-only for all", fs::perms(0444), fs::perms(0644)},
      {"read-only for the owner alone", fs::perms(0400), fs::perms(0600)},
      {"writable", fs::perms(0640), fs::perms(0640)},
  };
  for (const Case& c : cases) {
    const fs::path source = root.path() / "SRC.DBF";
    const fs::path target = root.path() / "DST.DBF";
    fs::remove(source);
    fs::remove(target);
    TempRoot::WriteFile(source, "records");
    fs::permissions(source, c.source);
    EXPECT_TRUE(CopyFileBlocks(source, target)) << c.name;
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, c.target) << c.name;
    fs::permissions(source, fs::perms(0644));
  }
}

TEST(BlockCopy, AFullDiskLeavesTheOldTarget) {
  TempRoot root;
  TempRoot::WriteFile(root.path() / "SRC.DBF", std::string(10000, 'n'));
  TempRoot::WriteFile(root.path() / "DST.DBF", "the user's data");
  // A file size limit makes write(2) stop short, as a full disk does.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 3000;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool ok = CopyFileBlocks(root.path() / "SRC.DBF", root.path() / "DST.DBF");
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(TempRoot::ReadFile(root.path() / "DST.DBF"), "the user's data");
  for (const auto& e : std::filesystem::directory_iterator(root.path()))
    EXPECT_THAT(e.path().filename().string(), testing::Not(testing::HasSubstr("copy"))) << "temporary left behind";
}

}  // namespace
}  // namespace keldro

#include "core/display_formats.h"
#include "temp_root.h"

namespace keldro {
namespace {

TEST(DateFormats, EachCodeSetsItsSeparatorAndOrder) {
  struct Case {
    int code;
    bool zeros;
    DateFormat expected;
  } cases[] = {
      {1, false, {'/', "m/d/yy"}},    {1, true, {'/', "mm/dd/yy"}},     {2, false, {'-', "m/d/yy"}},
      {3, true, {'.', "mm/dd/yy"}},   {4, false, {'/', "d/m/yy"}},      {6, true, {'.', "dd/mm/yy"}},
      {7, false, {'/', "m/d/yyyy"}},  {9, true, {'.', "mm/dd/yyyy"}},   {10, false, {'/', "d/m/yyyy"}},
      {12, true, {'.', "dd/mm/yyyy"}}, {0, false, {'/', "m/d/yy"}},     {13, true, {'/', "mm/dd/yy"}},
  };
  for (const Case& c : cases) EXPECT_EQ(DateFormatFor(c.code, c.zeros), c.expected) << c.code << " " << c.zeros;
}

TEST(PickLists, LinesAreTrimmedAndEmptyOnesLeftOut) {
  testing_support::TempRoot root;
  const auto file = root.path() / "BRAND.LST";
  testing_support::TempRoot::WriteFile(file, "  Sony \r\n\r\n   \r\nPanasonic\nRCA\t\n" + std::string(300, 'x'));
  const std::vector<std::string> items = LoadPickList(file);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0], "Sony");
  EXPECT_EQ(items[1], "Panasonic");
  EXPECT_EQ(items[2], "RCA\t");  // only blanks are trimmed
  EXPECT_EQ(items[3], std::string(255, 'x'));
  EXPECT_TRUE(LoadPickList(root.path() / "MISSING.LST").empty());
}

}  // namespace
}  // namespace keldro
