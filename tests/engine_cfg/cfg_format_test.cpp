#include <gtest/gtest.h>

#include "cfg/cfg_tree.h"

using namespace orb::cfg;

namespace {

const std::string kHead = "ORBEX32 CONFIGURATION 1\r\n";

TEST(CfgFormat, DefaultsRoundTripThroughTheTextForm) {
  const Node& d = Defaults();
  ASSERT_NE(FindNode(const_cast<Node&>(d), "\\SYSTEM\\FORMATS\\NUMBER"), nullptr);
  std::string text = Serialize(d);
  Node back;
  ASSERT_EQ(Parse(text, back), ParseResult::kOk);
  EXPECT_EQ(Serialize(back), text);
  EXPECT_EQ(CountNodes(back), CountNodes(d));
}

TEST(CfgFormat, ReaderAcceptsWhatTheFormatAllows) {
  Node root;
  ASSERT_EQ(Parse("ORBEX32 CONFIGURATION 1\n; a comment\n\n[\\A\\B]\nX=  padded value  \nEMPTY=\n"
                  "X=later wins\n?X=help of X\n?=node help\n[\\a]\n[\\C]\n",
                  root),
            ParseResult::kOk);
  Node* b = FindNode(root, "\\A\\B");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->params.size(), 2u);
  EXPECT_EQ(b->params[0].value, "later wins");
  EXPECT_EQ(b->params[0].help, "help of X");
  EXPECT_EQ(b->params[1].value, "");
  EXPECT_EQ(b->help, "node help");
  EXPECT_EQ(root.children.size(), 2u);  // "\a" is "\A"
  Node spaces;
  ASSERT_EQ(Parse(kHead + "[\\S]\r\nOPEN MODE= \r\n", spaces), ParseResult::kOk);
  EXPECT_EQ(FindNode(spaces, "\\S")->params[0].value, " ");  // a single space is a value
}

TEST(CfgFormat, DamagedFilesAreRefusedWithTheirLine) {
  struct Case {
    const char* what;
    std::string text;
    size_t line;
  } cases[] = {
      {"empty", "", 0},
      {"wrong magic", "ORBEX32 CONFIGURATION 2\r\n", 1},
      {"parameter before a section", kHead + "X=1\r\n", 2},
      {"line without =", kHead + "[\\A]\r\nNOVALUE\r\n", 3},
      {"unclosed section", kHead + "[\\A\r\n", 2},
      {"relative section", kHead + "[A]\r\n", 2},
      {"empty component", kHead + "[\\A\\\\B]\r\n", 2},
      {"long component", kHead + "[\\" + std::string(32, 'N') + "]\r\n", 2},
      {"long path", kHead + "[\\" + std::string(20, 'A') + "\\" + std::string(20, 'B') + "\\" +
                        std::string(20, 'C') + "\\" + std::string(20, 'D') + "\\" + std::string(20, 'E') + "\\" +
                        std::string(20, 'F') + "\\" + std::string(20, 'G') + "]\r\n",
       2},
      {"long name", kHead + "[\\A]\r\n" + std::string(32, 'N') + "=1\r\n", 3},
      {"long value", kHead + "[\\A]\r\nX=" + std::string(128, 'v') + "\r\n", 3},
      {"long help", kHead + "[\\A]\r\n?=" + std::string(256, 'h') + "\r\n", 3},
      {"help of a missing parameter", kHead + "[\\A]\r\n?X=h\r\n", 3},
      {"control character", kHead + "[\\A]\r\nX=a\x01b\r\n", 3},
      {"NUL in a line", kHead + std::string("[\\A]\r\nX=a\0b\r\n", 13), 3},
  };
  for (const Case& c : cases) {
    Node root;
    root.name = "stale";
    size_t line = 99;
    EXPECT_EQ(Parse(c.text, root, &line), ParseResult::kBadFormat) << c.what;
    EXPECT_EQ(line, c.line) << c.what;
    EXPECT_TRUE(root.children.empty() && root.name.empty()) << c.what;
  }
}

}  // namespace

namespace {

// A damaged byte anywhere in a real file is refused as a whole or read as a
// whole: never half a tree.
TEST(CfgFormat, FlippedBytesOfARealFileAreRefusedOrReadWhole) {
  const std::string good = Serialize(Defaults());
  const size_t nodes = CountNodes(Defaults());
  for (size_t offset = 0; offset < good.size(); offset += 37) {
    for (char bad : {'\x01', '\n', '[', '='}) {
      std::string text = good;
      text[offset] = bad;
      Node root;
      if (Parse(text, root) == ParseResult::kOk) {
        Node again;
        ASSERT_EQ(Parse(Serialize(root), again), ParseResult::kOk) << offset;
        EXPECT_GE(CountNodes(root) + 1, nodes) << "offset " << offset;
      } else {
        EXPECT_TRUE(root.children.empty()) << offset;
      }
    }
  }
}

}  // namespace
