// sllc: writes locale library files (".SLL", layout beside the reader in
// locale/src/library_file.h) from a readable source description.
//
// Source form, one statement a line, "#" starts a comment, words separated by
// blanks, a text in double quotes may hold blanks:
//   title "text"                 library title (32 bytes)
//   format <major> <minor>       defaults 2 1 (other values make foreign files)
//   extra <b34> <b35>            header bytes 34, 35
//   locale <name>                starts a locale entry
//     description "text"
//     family <1|2|3>
//     bytes <b32> <b33> <b34> <b35>   record bytes 32 to 35 (default 1 1 1 49)
//     byte <offset> <value>      any other record byte (68, 74, 75 ...)
//     word <offset> <value>      a u16 of the record (76, 80)
//     defined <hex bytes>        start of the defined-character bitmap (default all 0xFF for 0-255)
//     leadbytes <byte> ...       lead bytes of a multi-byte locale
//     category <mask> <name>     starts a category record of that mask
//       text "text"              second text of the head
//       flags <b68> <b69>
//       body <hex bytes>         appends bytes to the body
//       zeros <n>                appends n zero bytes
//       ctype <class,...> <translation,...>   an LC_CTYPE body of the locale's
//                                family with these names (tables: the POSIX
//                                classes; "toupper" and "tolower" map a-z, A-Z)
//         class <code> <word>    the class word of a character code
//         map <t> <code> <to>    entry of translation t (0-based) for a code
//         multi <t> "src" "dst"  a multi-character entry of translation t
//                                (in a wide locale "\uNNNN" gives any unit)
//       numeric "dp" "ts" "grouping" "exponent" "list"
//       monetary "intl" "symbol" "dp" "ts" "grouping" "pos" "neg" <8 values>
//       messages "yes" "no" "third"
//       time                     an LC_TIME body with the POSIX texts
//         timetext <n> "text"    text n: 0-6 abbreviated days, 7-13 days,
//                                14-25 abbreviated months, 26-37 months, 38 AM,
//                                39 PM, 40-48 the formats (date and time, date,
//                                time, 12-hour, era date, era year, short date,
//                                before the eras, after them)
//         firstjanuary <0|1>
//         era <y> <m> <d> <y> <m> <d> "name" "format"
//         altdigits "d0" "d1" ...
//       soundex <characters> <digit>   soundex digit of each character (bytes)
//   Texts are bytes ("\xNN" gives any byte); in a wide locale each byte is
//   one 16-bit unit. Category bodies are "body"/"zeros" bytes followed by the
//   body the other statements describe.
//       extension <file name>    an LC_COLLATE body with no levels naming an
//                                extension library
//       collate <attr> ...       an LC_COLLATE body, one level per attribute
//         collrange <low> <high> lowest and highest character (default 0 and
//                                255 narrow, 0xFFFF otherwise)
//         weight <code> <e0> <e1> ...   table entries of a character per level
//         contraction <code> <seq> <w0,...> <w1,...> ...   a contraction
//                                record of the character's group: its
//                                sequence (a text, or "=" and codes separated
//                                by commas) and its weights per level; the
//                                expansion count is the number of level-0
//                                weights; a group's records are written
//                                longest sequence first
//         single <code> <w0> <w1> ...   the group's closing record (the
//                                character alone); the character's entries
//                                name its group
//   charset <name>               a character-set record
//     body <hex bytes>
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sllc {

struct CtypeSpec {
  bool present = false;
  std::vector<std::string> classes, translations;
  std::vector<std::pair<uint16_t, uint32_t>> classWords;
  struct Map { std::size_t translation; uint16_t code, to; };
  std::vector<Map> maps;
  struct Multi { std::size_t translation; std::u16string source, target; };  // units (narrow: bytes)
  std::vector<Multi> multis;
};

struct EraSpec {
  int16_t startYear = 0;
  uint8_t startMonth = 0, startDay = 0;
  int16_t endYear = 0;
  uint8_t endMonth = 0, endDay = 0;
  std::string name, format;
};

struct TimeSpec {
  bool present = false;
  std::vector<std::string> texts;  // 49, the POSIX texts unless set
  uint8_t firstJanuary = 0;
  std::vector<EraSpec> eras;
  std::vector<std::string> digits;
};

struct CollateSpec {
  bool present = false;
  std::vector<uint8_t> attributes;  // one per level
  bool range = false;
  uint16_t lowest = 0, highest = 0;
  std::map<uint16_t, std::vector<uint16_t>> entries;  // per level
  struct Record {
    uint16_t code = 0;
    std::vector<uint16_t> sequence;
    std::vector<std::vector<uint16_t>> weights;  // per level
  };
  std::vector<Record> contractions;
  std::map<uint16_t, std::vector<uint16_t>> closing;  // per level
};

// An LC_COLLATE body of a family (multi-byte sequences read with the lead bytes).
std::vector<uint8_t> CollateBody(uint8_t family, const CollateSpec& spec);

struct CategorySpec {
  uint16_t mask = 0;
  std::string name;
  std::string text;
  uint8_t flag68 = 0, flag69 = 0;
  std::vector<uint8_t> body;
  CtypeSpec ctype;
  TimeSpec time;
  std::vector<std::string> fields;  // numeric, monetary, messages texts
  std::vector<uint8_t> values;      // the eight monetary values
  char fieldKind = 0;               // 'n', 'm', 'g' when given
  std::vector<std::pair<uint8_t, uint8_t>> soundex;
  CollateSpec collate;
};

struct LocaleSpec {
  std::string name;
  std::string description;
  uint8_t family = 1;
  uint8_t bytes32[4] = {1, 1, 1, '1'};
  std::vector<std::pair<uint16_t, uint8_t>> bytes;
  std::vector<std::pair<uint16_t, uint16_t>> words;
  std::vector<uint8_t> defined;
  std::vector<uint8_t> leadBytes;
  std::vector<CategorySpec> categories;
};

struct CharsetSpec {
  std::string name;
  std::vector<uint8_t> body;
};

struct LibrarySpec {
  std::string title;
  uint8_t major = 2, minor = 1;
  uint8_t extra[2] = {0, 0};
  std::vector<LocaleSpec> locales;
  std::vector<CharsetSpec> charsets;
};

// Parses a source text; false with a message naming the line on error.
bool Parse(const std::string& source, LibrarySpec& out, std::string& error);
// The file's bytes.
std::vector<uint8_t> Build(const LibrarySpec& spec);
// Parses and writes a file (SZDD-compressed when `compressed`).
bool Compile(const std::string& source, const std::string& outputPath, bool compressed, std::string& error);

// An LC_CTYPE body in the file layout of a family.
std::vector<uint8_t> CtypeBody(uint8_t family, const std::vector<std::string>& classes,
                               const std::vector<std::string>& translations);
std::vector<uint8_t> CtypeBody(uint8_t family, const CtypeSpec& spec);
// The whole body of a category record in the layout of a family.
std::vector<uint8_t> CategoryBody(uint8_t family, const CategorySpec& spec);

}  // namespace sllc
