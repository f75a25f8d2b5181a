#include "core/viewer_config.h"

#include <gtest/gtest.h>

#include <string>

namespace keldro {
namespace {

constexpr size_t kItem = 0, kBrand = 1, kModel = 2;

TEST(ViewerConfigTest, WidthCellsOutsideOneTo255AreStoredAsTen) {
  const struct {
    const char* cell;
    int width;
  } cases[] = {{"0", 10},   {"300", 10}, {"abc", 10}, {"", 10},  {"256", 10}, {"-5", 10},
               {"12abc", 10}, {"1", 1},  {"255", 255}, {" 42 ", 42}, {"+7", 7},  {"99999999999999999999", 10}};
  for (const auto& c : cases) EXPECT_EQ(ParseViewerWidth(c.cell), c.width) << '"' << c.cell << '"';
}

TEST(ViewerConfigTest, WriteBackCorrectsOnlyTheBadWidthCells) {
  AppSettings s;
  ViewerGrids g = ViewerGridsFor(s);
  g.widths[kItem] = "0";
  g.widths[kBrand] = "300";
  g.widths[kModel] = "abc";
  g.widths[3] = " 25";
  ApplyViewerGrids(g, s);
  EXPECT_EQ(s.fields[kItem].width, 10);
  EXPECT_EQ(s.fields[kBrand].width, 10);
  EXPECT_EQ(s.fields[kModel].width, 10);
  EXPECT_EQ(s.fields[3].width, 25);
  EXPECT_EQ(g.widths[kItem], "10");
  EXPECT_EQ(g.widths[kBrand], "10");
  EXPECT_EQ(g.widths[kModel], "10");
  EXPECT_EQ(g.widths[3], " 25");  // a good cell is left as typed
}

TEST(ViewerConfigTest, DuplicateTitlesAreFoundOnTheFormsTheFileKeeps) {
  AppSettings s;
  ViewerGrids g = ViewerGridsFor(s);
  EXPECT_FALSE(FindDuplicateTitle(g.titles));

  g.titles[kItem] = "Gear";
  g.titles[kModel] = "Gear";
  auto d = FindDuplicateTitle(g.titles);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->first, kItem);
  EXPECT_EQ(d->second, kModel);
  EXPECT_EQ(DuplicateTitleMessage(*d), "Two field names have the same name \"Gear\".  Please change one.");

  // Stored cut to 20 bytes: equal in the first 20 is equal.
  g = ViewerGridsFor(s);
  g.titles[kBrand] = "Twenty characters ab plus A";
  g.titles[kModel] = "Twenty characters ab plus B";
  d = FindDuplicateTitle(g.titles);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->title, "Twenty characters ab");

  // The settings file drops blanks at the ends of a value.
  g = ViewerGridsFor(s);
  g.titles[kItem] = "Gear ";
  g.titles[kBrand] = "Gear";
  EXPECT_TRUE(FindDuplicateTitle(g.titles));

  // Letter case counts.
  g.titles[kItem] = "gear";
  EXPECT_FALSE(FindDuplicateTitle(g.titles));
}

TEST(ViewerConfigTest, TitlesAndShownFlagsAreWrittenBack) {
  AppSettings s;
  ViewerGrids g = ViewerGridsFor(s);
  EXPECT_EQ(g.shown[kItem], "Yes");
  g.titles[kItem] = "Thing";
  g.titles[kBrand] = "A title longer than twenty";
  g.shown[kBrand] = "No";
  g.shown[kModel] = "yes";  // only "Yes" shows a field
  ApplyViewerGrids(g, s);
  EXPECT_EQ(s.fields[kItem].title, "Thing");
  EXPECT_EQ(s.fields[kBrand].title, "A title longer than ");
  EXPECT_TRUE(s.fields[kItem].display);
  EXPECT_FALSE(s.fields[kBrand].display);
  EXPECT_FALSE(s.fields[kModel].display);
}

TEST(ViewerConfigTest, OrderIsWrittenBackByFieldNotByTitle) {
  AppSettings s;
  ViewerGrids g = ViewerGridsFor(s);
  // Down on the first row.
  EXPECT_EQ(MoveOrderRow(g.orderRows, 0, +1), 1);
  EXPECT_EQ(OrderRowText(g.titles, g.orderRows[0]), "Brand");
  // Swapping two titles on the names page moves nothing more.
  std::swap(g.titles[kModel], g.titles[3]);
  ApplyViewerGrids(g, s);
  EXPECT_EQ(s.fields[kItem].order, 2);
  EXPECT_EQ(s.fields[kBrand].order, 1);
  EXPECT_EQ(s.fields[kModel].order, 3);
  EXPECT_EQ(s.fields[3].order, 4);
  EXPECT_EQ(s.fields[kModel].title, "Serial Number");
}

TEST(ViewerConfigTest, UpAndDownStopAtTheEnds) {
  std::array<int, kItemFieldCount> rows = DefaultOrderRows();
  EXPECT_EQ(MoveOrderRow(rows, 0, -1), 0);
  EXPECT_EQ(MoveOrderRow(rows, kItemFieldCount - 1, +1), kItemFieldCount - 1);
  EXPECT_EQ(rows, DefaultOrderRows());
  EXPECT_EQ(MoveOrderRow(rows, kItemFieldCount - 1, -1), kItemFieldCount - 2);
  EXPECT_EQ(rows[kItemFieldCount - 2], kItemFieldCount - 1);
}

TEST(ViewerConfigTest, DefaultsRestoreTheOrderAndKeepShownFlagsAndWidths) {
  AppSettings s;
  s.fields[kItem].order = 5;
  s.fields[4].order = 1;
  s.fields[kBrand].display = false;
  s.fields[kBrand].width = 33;
  ViewerGrids g = ViewerGridsFor(s);
  EXPECT_EQ(g.orderRows[0], 4);
  g.orderRows = DefaultOrderRows();
  ApplyViewerGrids(g, s);
  for (size_t f = 0; f < s.fields.size(); ++f) EXPECT_EQ(s.fields[f].order, static_cast<int>(f) + 1);
  EXPECT_FALSE(s.fields[kBrand].display);
  EXPECT_EQ(s.fields[kBrand].width, 33);
}

TEST(ViewerConfigTest, PositionsNamingNoRowLeaveTheFieldWhereItWas) {
  AppSettings s;
  s.fields[kItem].order = 30;     // no such row
  s.fields[kModel].order = 2;     // Brand's row too: the later field stands in it
  const ViewerGrids shown = ViewerGridsFor(s);
  EXPECT_EQ(shown.orderRows[0], -1);
  EXPECT_EQ(shown.orderRows[1], static_cast<int>(kModel));
  EXPECT_EQ(shown.orderRows[2], -1);
  EXPECT_EQ(OrderRowText(shown.titles, shown.orderRows[0]), "");
  ViewerGrids g = shown;
  ApplyViewerGrids(g, s);
  EXPECT_EQ(s.fields[kItem].order, 30);
  EXPECT_EQ(s.fields[kBrand].order, 2);
  EXPECT_EQ(s.fields[kModel].order, 2);
}

TEST(ViewerConfigTest, FontCaptionIsSizePtName) {
  EXPECT_EQ(FontCaption(GridFontSettings{0, "Arial", 12}), "12pt Arial");
  EXPECT_EQ(FontCaption(GridFontSettings{0, "Times New Roman", 9}), "9pt Times New Roman");
}

}  // namespace
}  // namespace keldro
