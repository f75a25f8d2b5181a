// Arbitrary bytes as a report stream: the validator walks header, pages and
// records; then every page is read again from its own start, as the player
// seeks by links.
#include <cstddef>
#include <cstdint>

#include "report/stream_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace report;
  MemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  try {
    StreamSummary summary = ValidateStream(stream);
    StreamReader reader(stream);
    for (const PageStart& page : summary.pages) {
      stream.Seek(page.position);
      ReadPageStart(reader);
      while (ReadRecord(reader).code != rcPageEnd) {
      }
    }
  } catch (const StreamError&) {
  }
  // Records read one after another from anywhere, as a damaged link leads.
  for (size_t start : {size_t(0), size / 2}) {
    MemoryStream s(std::string(reinterpret_cast<const char*>(data), size));
    s.Seek(start);
    StreamReader r(s);
    try {
      for (;;) ReadRecord(r);
    } catch (const StreamError&) {
    }
  }
  return 0;
}
