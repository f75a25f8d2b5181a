// The classic soundex table as sllc source lines, upper and lower case.
#pragma once

#include <string>

inline std::string ClassicSoundexLines() {
  std::string s;
  for (const char* group : {"BFPV 1", "CGJKQSXZ 2", "DT 3", "L 4", "MN 5", "R 6"}) {
    std::string g = group;
    std::string letters = g.substr(0, g.find(' ')), lower = letters;
    for (char& c : lower) c = static_cast<char>(c + 32);
    s += "    soundex " + letters + lower + g.substr(g.find(' ')) + "\n";
  }
  return s;
}
