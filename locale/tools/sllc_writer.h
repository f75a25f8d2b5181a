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
//       ctype <class,...> <translation,...>   appends an LC_CTYPE body of the
//                                locale's family with these names (tables: the
//                                POSIX classes and case mappings)
//       extension <file name>    an LC_COLLATE body with no levels naming an
//                                extension library
//   charset <name>               a character-set record
//     body <hex bytes>
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sllc {

struct CategorySpec {
  uint16_t mask = 0;
  std::string name;
  std::string text;
  uint8_t flag68 = 0, flag69 = 0;
  std::vector<uint8_t> body;
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

}  // namespace sllc
