// sllc SOURCE OUTPUT [--compress]: writes a locale library file.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "sllc_writer.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "--compress")) {
    std::fprintf(stderr, "usage: sllc SOURCE OUTPUT [--compress]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "sllc: cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  if (!sllc::Compile(text.str(), argv[2], argc == 4, error)) {
    std::fprintf(stderr, "sllc: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
