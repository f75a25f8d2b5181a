// The record editor's rules without its window: the date entries' mask,
// numbers read from entries, the checks of an update in their order, the
// change snapshot, the pick lists and their files, the list editor.
#include "core/record_editor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/edit_mask.h"
#include "framework/sysutils.h"
#include "temp_root.h"

namespace keldro {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

// ---------------------------------------------------------------- the mask

std::string TypeAll(const EditMask& mask, std::string_view keys) {
  std::string cells = mask.EmptyCells();
  size_t pos = 0;
  for (char c : keys) pos = mask.Type(cells, pos, c);
  return cells;
}

TEST(EditMaskTest, DigitsFillThePositionsAndStepOverTheSeparators) {
  const EditMask mask(kDateEditMask, '/');
  ASSERT_EQ(mask.Length(), 10u);
  EXPECT_EQ(mask.DisplayOf(mask.EmptyCells()), "__/__/____");
  EXPECT_EQ(mask.TextOf(mask.EmptyCells()), "  /  /    ");

  struct Case {
    const char* keys;
    const char* text;
  } cases[] = {
      {"12311995", "12/31/1995"},
      {"12/31/1995", "12/31/1995"},  // typing the separator where it stands steps over it
      {"1a2b", "12/  /    "},        // letters are refused
      {"123119951234", "12/31/1995"},  // nothing past the end
      {"", "  /  /    "},
  };
  for (const Case& c : cases) EXPECT_EQ(mask.TextOf(TypeAll(mask, c.keys)), c.text) << c.keys;
}

TEST(EditMaskTest, SeparatorTextsClearingAndOtherMaskForms) {
  const EditMask dotted(kDateEditMask, '.');
  EXPECT_EQ(dotted.TextOf(dotted.CellsFromText("31.12.1995")), "31.12.1995");
  EXPECT_EQ(dotted.DisplayOf(dotted.CellsFromText("3 .1 .    ")), "3_.1_.____");

  std::string cells = dotted.CellsFromText("31.12.1995");
  dotted.Clear(cells, 0, 4);  // literals survive a cleared range
  EXPECT_EQ(dotted.TextOf(cells), "  . 2.1995");
  EXPECT_EQ(dotted.PriorFree(3), 1u);
  EXPECT_EQ(dotted.NextFree(2), 3u);

  // Literals not kept in the text; "\" makes a mask character literal; "0"
  // is required, "c" takes any character.
  const EditMask phone("(000)\\9c;0;*", '/');
  EXPECT_EQ(phone.DisplayOf(phone.EmptyCells()), "(***)9*");
  std::string p = TypeAll(phone, "12");
  EXPECT_FALSE(phone.Complete(p));
  p = TypeAll(phone, "123x");
  EXPECT_TRUE(phone.Complete(p));
  EXPECT_EQ(phone.TextOf(p), "123x");
  EXPECT_EQ(phone.TextOf(phone.CellsFromText("45")), "45  ");
}

// ---------------------------------------------------------------- numbers

TEST(RecordEditorTest, NumbersReadByTheFormatsSeparators) {
  const IntlSettings german{',', '.', 2, 2};
  struct Case {
    const char* text;
    int format;
    std::optional<double> value;
  } cases[] = {
      {"1,234.50", 1, 1234.5},   {" 12 ", 1, 12.0},     {"1.234,50", 2, 1234.5},
      {"1,5", 2, 1.5},           {"1,2,3", 2, std::nullopt}, // only the first decimal separator is read
      {"", 1, std::nullopt},     {"   ", 2, std::nullopt},   {"12abc", 1, std::nullopt},
      {"1e400", 1, std::nullopt},  // no infinity reaches a field
  };
  for (const Case& c : cases) EXPECT_EQ(ReadNumberEntry(c.text, c.format, german), c.value) << c.text;
  EXPECT_EQ(ReadWholeNumberEntry("1.000", 2, german), 1000);
  EXPECT_EQ(ReadWholeNumberEntry("1.5", 1, german), std::nullopt);
}

class CheckEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    framework::ResetFormatSettings();
    framework::DateSeparator = '/';
    framework::ShortDateFormat = "m/d/yy";
  }
  void TearDown() override { framework::ResetFormatSettings(); }
  static EntryTexts Valid() { return {"  /  /    ", "  /  /    ", "0", "0", "0", "1"}; }
};

TEST_F(CheckEntriesTest, EachFailureInItsOrderWithItsMessagePageAndEntry) {
  struct Case {
    const char* name;
    EntryTexts texts;
    const char* message;
    int page;
    EditorEntry entry;
  };
  const Case cases[] = {
      // Both dates and every number wrong: the warranty date is reported first.
      {"all", {"13/45/1999", "99/99/9999", "x", "x", "x", "x"}, "Invalid warranty date specified.  Please correct.", 2,
       eWarDate},
      {"purchase", {"  /  /    ", "13/45/1999", "x", "x", "x", "x"},
       "Invalid purchase date specified.  Please correct.", 2, ePurchDate},
      {"cost", {"", "", "x", "x", "x", "x"}, "Invalid cost specified.  Please correct.", 1, eCost},
      {"value", {"", "", "1", "x", "x", "x"}, "Invalid value specified.  Please correct.", 1, eValue},
      {"repcost", {"", "", "1", "1", "x", "x"}, "Invalid replacement cost specified.  Please correct.", 1,
       eRepCost},
      {"quantity", {"", "", "1", "1", "1", "x"}, "Invalid quantity specified.  Please correct.", 1, eQuantity},
      {"quantity with decimals", {"", "", "", "", "", "1.5"}, "Invalid quantity specified.  Please correct.", 1,
       eQuantity},
      // Numbers the fields cannot hold: N(12,2) and N(11,0).
      {"cost too large", {"", "", "1000000000", "", "", ""}, "Invalid cost specified.  Please correct.", 1, eCost},
      {"value too small", {"", "", "", "-100000000", "", ""}, "Invalid value specified.  Please correct.", 1, eValue},
      {"quantity too large", {"", "", "", "", "", "2147483648"}, "Invalid quantity specified.  Please correct.", 1,
       eQuantity},
  };
  for (const Case& c : cases) {
    const CheckedEntries r = CheckEntries(c.texts, 1, 1, IntlSettings{});
    EXPECT_FALSE(r.ok) << c.name;
    EXPECT_EQ(r.message, c.message) << c.name;
    EXPECT_EQ(r.page, c.page) << c.name;
    EXPECT_EQ(r.entry, c.entry) << c.name;
  }
}

TEST_F(CheckEntriesTest, ValuesOfAPassingUpdate) {
  EntryTexts t{"12/31/1995", "1/2/30", "999,999,999.99", "", "-99999999.99", ""};
  CheckedEntries r = CheckEntries(t, 1, 1, IntlSettings{});
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.warDate, framework::EncodeDate(1995, 12, 31));
  EXPECT_EQ(r.purchDate, framework::EncodeDate(1930, 1, 2));  // two-digit years 30-99 are 1930-1999
  EXPECT_DOUBLE_EQ(r.cost, 999999999.99);
  EXPECT_EQ(r.value, 0);  // empty numbers store 0
  EXPECT_DOUBLE_EQ(r.repCost, -99999999.99);
  EXPECT_EQ(r.quantity, 0);

  // Every blank form of a date, and day-first entry with dots.
  for (const char* blank : {"  /  /    ", "  -  -    ", "  .  .    ", ""}) {
    r = CheckEntries({blank, blank, "", "", "", "-2147483648"}, 1, 1, IntlSettings{});
    ASSERT_TRUE(r.ok) << blank;
    EXPECT_FALSE(r.warDate.has_value()) << blank;
    EXPECT_EQ(r.quantity, -2147483647 - 1);
  }
  framework::DateSeparator = '.';
  framework::ShortDateFormat = "d/m/yyyy";
  r = CheckEntries({"31.12.1995", "", "", "", "", ""}, 1, 1, IntlSettings{});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.warDate, framework::EncodeDate(1995, 12, 31));
  EXPECT_EQ(DateEntryText(framework::EncodeDate(1995, 12, 31), '.', "d/m/yy"), "31.12.1995");
  EXPECT_EQ(DateEntryText(framework::EncodeDate(2003, 2, 1), '/', "m/d/yy"), "02/01/2003");
}

// ---------------------------------------------------------- the snapshot

TEST(RecordEditorTest, SnapshotSeesCaseTrimmedDatesAndTheWarrantyOnly) {
  EditorValues v;
  v.texts[eBrand] = "Acme";
  v.texts[eWarDate] = "  /  /    ";
  v.texts[eQuantity] = std::string(10, '1');
  const EditorValues snapshot = TakeSnapshot(v);
  EXPECT_FALSE(ValuesChanged(snapshot, v));

  EditorValues w = v;
  w.texts[eBrand] = "acme";
  EXPECT_TRUE(ValuesChanged(snapshot, w));
  w = v;
  w.texts[eWarDate] = "/  /";
  EXPECT_FALSE(ValuesChanged(snapshot, w));
  w.warranty = true;
  EXPECT_TRUE(ValuesChanged(snapshot, w));
  // Quantity is kept to 10 characters: an eleventh is not seen.
  w = v;
  w.texts[eQuantity] += "2";
  EXPECT_FALSE(ValuesChanged(snapshot, w));
  w.texts[eQuantity][9] = '2';
  EXPECT_TRUE(ValuesChanged(snapshot, w));
}

TEST(RecordEditorTest, EnterWalksTheEntriesAndComesBackToItem) {
  EXPECT_EQ(NextEntry(eItem), eBrand);
  EXPECT_EQ(NextEntry(eTheOwner), eQuantity);
  EXPECT_EQ(NextEntry(eRepCost), eWarDate);
  EXPECT_EQ(NextEntry(eBought), eUserDef1);
  EXPECT_EQ(NextEntry(eUserDef4), eItem);
  EXPECT_EQ(kEditorEntries[eUserDef4].page, 3);
  EXPECT_EQ(kEditorEntries[eItem].page, 0);
}

// ------------------------------------------------------------ pick lists

TEST(RecordEditorTest, PickListAddsTrimmedNewEntriesCaseSensitively) {
  std::vector<std::string> list{"Acme"};
  EXPECT_TRUE(AddToPickList(list, " acme "));
  EXPECT_FALSE(AddToPickList(list, "Acme  "));
  EXPECT_FALSE(AddToPickList(list, "   "));
  EXPECT_EQ(list, (std::vector<std::string>{"Acme", "acme"}));
}

TEST(RecordEditorTest, PickListFilesAreCrLfAndAnUnreadableOneSaysSo) {
  TempRoot root;
  const fs::path file = root.path() / "BRAND.LST";
  EXPECT_EQ(ReadPickListFile(file).status, PickListFileStatus::Missing);
  ASSERT_TRUE(WritePickListFile(file, {"Acme", "B\xE9la"}));
  EXPECT_EQ(TempRoot::ReadFile(file), "Acme\r\nB\xE9la\r\n");
  const PickListFile read = ReadPickListFile(file);
  EXPECT_EQ(read.status, PickListFileStatus::Loaded);
  EXPECT_EQ(read.items, (std::vector<std::string>{"Acme", "B\xE9la"}));

  // A name that cannot be read as a file is reported, not taken as empty.
  const fs::path dir = root.path() / "OWNER.LST";
  fs::create_directory(dir);
  EXPECT_EQ(ReadPickListFile(dir).status, PickListFileStatus::Unreadable);
  // A write that cannot be made fails and leaves the old file.
  EXPECT_FALSE(WritePickListFile(root.path() / "missing" / "BRAND.LST", {"x"}));
  EXPECT_EQ(TempRoot::ReadFile(file), "Acme\r\nB\xE9la\r\n");
}

TEST(RecordEditorTest, ListEditorAddDeleteAndSort) {
  std::vector<std::string> items{"b"};
  EXPECT_TRUE(ListEditorAdd(items, "  Zed  "));
  EXPECT_FALSE(ListEditorAdd(items, "   "));
  EXPECT_TRUE(ListEditorAdd(items, "b"));  // duplicates are allowed
  EXPECT_EQ(items, (std::vector<std::string>{"b", "Zed", "b"}));

  EXPECT_EQ(ListEditorDelete(items, 2), 1);  // the last: the new last is selected
  EXPECT_EQ(ListEditorDelete(items, 0), 0);  // the entry now at that place
  EXPECT_EQ(ListEditorDelete(items, 5), 5);  // out of range: nothing happens
  EXPECT_EQ(items, (std::vector<std::string>{"Zed"}));
  EXPECT_EQ(ListEditorDelete(items, 0), -1);

  items = {"beta", "Alpha", "alpha", "Beta", "\xC9t\xE9", "zeta"};
  ListEditorSort(items);
  EXPECT_EQ(items, (std::vector<std::string>{"Alpha", "alpha", "Beta", "beta", "zeta", "\xC9t\xE9"}));
}

}  // namespace
}  // namespace keldro
