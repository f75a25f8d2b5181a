#include <gtest/gtest.h>

#include "report/stream_format.h"

using namespace report;

namespace {

TEST(StreamFormat, OperandsAreLittleEndianAndBounded) {
  MemoryStream s;
  StreamWriter w(s);
  w.Byte(0x81);
  w.Int(-2);
  w.Float(1.5f);
  w.String("ab");
  w.String(std::string(300, 'x'));
  const std::string& b = s.Bytes();
  EXPECT_EQ(b.substr(0, 13), std::string("\x81\xFE\xFF\xFF\xFF\x00\x00\xC0\x3F\x02" "ab", 12) + "\xFF");
  EXPECT_EQ(b.size(), 12u + 1 + 255);
  s.Seek(0);
  StreamReader r(s);
  EXPECT_EQ(r.Byte(), 0x81);
  EXPECT_EQ(r.Int(), -2);
  EXPECT_EQ(r.Float(), 1.5f);
  EXPECT_EQ(r.String(), "ab");
  EXPECT_EQ(r.String().size(), 255u);
  EXPECT_THROW(r.Byte(), StreamError);
}

}  // namespace
