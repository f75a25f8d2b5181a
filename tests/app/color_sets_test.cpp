#include "core/color_sets.h"

#include <gtest/gtest.h>

namespace keldro {
namespace {

TEST(ColorSetsTest, SetsDeriveTheirSevenOtherColours) {
  // As the settings file keeps them, in key order.
  const struct {
    int entry;
    ColorScheme scheme;
  } cases[] = {
      {3, {{0, 12632256, 16777215, 8355711, 0, 8355711, 0, 8355711, 0, 0, 16777215, 0, 16777215}}},  // Midnight Black
      {9, {{4194432, 255, 16711935, 8388736, 255, 8388736, 255, 8388736, 255, 4194432, 16711935, 4194432, 16711935}}},
      {1, {{16777215, 0, 0, 16777215, 0, 16777215, 0, 16777215, 0, 16777215, 0, 16777215, 0}}},
  };
  for (const auto& c : cases) {
    const auto s = ColorSetEntry(c.entry);
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, c.scheme) << ColorSets[static_cast<size_t>(c.entry)].name;
  }
  for (int entry = 1; entry < kColorSetCount; ++entry) {
    const ColorScheme s = *ColorSetEntry(entry);
    EXPECT_EQ(s.colors[kListBackground], s.colors[kEditBackground]);
    EXPECT_EQ(s.colors[kComboText], s.colors[kEditText]);
    EXPECT_EQ(s.colors[kCheckBackground], s.colors[kMainBackground]);
    EXPECT_EQ(s.colors[kCheckText], s.colors[kRadioText]);
  }
  EXPECT_EQ(ColorSets[12].name, "Camouflage");
  EXPECT_EQ(ColorSets[12].minorTitle, Rgb(127, 127, 127));
}

TEST(ColorSetsTest, TheEmptyEntryAndOthersGiveNothing) {
  EXPECT_FALSE(ColorSetEntry(0));
  EXPECT_FALSE(ColorSetEntry(13));
  EXPECT_FALSE(ColorSetEntry(-1));
}

TEST(ColorSetsTest, GroupsAreStoredAloneOrAllAtOnce) {
  AppSettings s;
  s.colors[0].colors[kMainBackground] = 1;
  s.colors[3].colors[kMainBackground] = 4;
  EXPECT_EQ(WorkingColors(s, 4), s.colors[3]);
  EXPECT_EQ(WorkingColors(s, kAllColorGroups), s.colors[0]);

  const ColorScheme wine = *ColorSetEntry(9);
  AppSettings one = s;
  ASSERT_TRUE(StoreColors(one, 3, wine));
  EXPECT_EQ(one.colors[2], wine);
  for (size_t g : {0u, 1u, 3u, 4u}) EXPECT_EQ(one.colors[g], s.colors[g]);

  AppSettings all = s;
  ASSERT_TRUE(StoreColors(all, kAllColorGroups, wine));
  for (const ColorScheme& g : all.colors) EXPECT_EQ(g, wine);

  AppSettings none = s;
  EXPECT_FALSE(StoreColors(none, 0, wine));
  EXPECT_FALSE(StoreColors(none, 7, wine));
  EXPECT_EQ(none.colors, s.colors);

  EXPECT_TRUE(RepaintsMainWindow(1));
  EXPECT_TRUE(RepaintsMainWindow(6));
  EXPECT_FALSE(RepaintsMainWindow(3));
}

}  // namespace
}  // namespace keldro
