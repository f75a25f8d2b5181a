// sublatin_gen DIRECTORY: writes SUBLATIN.txt and SUBLATINEX.txt, the
// conversion definitions derived from ICU, into DIRECTORY
// (resources/conversions holds the copies the library compiles in).
#include <cstdio>
#include <fstream>
#include <string>

#include "sublatin.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sublatin_gen DIRECTORY\n");
    return 2;
  }
  for (bool extended : {false, true}) {
    std::string text = sublatin::DefinitionText(extended);
    if (text.empty()) {
      std::fprintf(stderr, "sublatin_gen: ICU lacks the normalizer or the Latin-ASCII transliterator\n");
      return 1;
    }
    std::string path = std::string(argv[1]) + (extended ? "/SUBLATINEX.txt" : "/SUBLATIN.txt");
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) return 1;
  }
  return 0;
}
