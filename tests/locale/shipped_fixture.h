// The locale libraries the build writes beside libSLW32.so, registered as a
// host registers them: "LOCALE.SLL" first, then "USA.SLL".
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "slw32.h"

namespace slw_test {

inline int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

class ShippedLocales : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(_SL_InitClient(1, 1, 1), 0);
    ASSERT_EQ(SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/LOCALE.SLL", 1), 0);
    ASSERT_EQ(SL_SetLocaleLibrary(SLW32_LOCALE_DIR "/USA.SLL", 0), 0);
  }
  void TearDown() override { SL_Exit(); }
  hlocale Open(const std::string& name) {
    hlocale h = nullptr;
    EXPECT_EQ(SL_OpenLocale(&h, SL_LC_ALL, name.c_str()), 0) << name;
    return h;
  }
};

}  // namespace slw_test
