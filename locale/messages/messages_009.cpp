// English texts of the library's status codes (the message library of
// primary language 9). Its string numbers are the status codes.
#include <cstdint>
#include <cstring>

namespace {

struct Text {
  uint16_t code;
  const char* text;
};

constexpr Text kTexts[] = {
    {0x0105, "The library has not been started for this process."},
    {0x0106, "Interface version not supported."},
    {0x0201, "The locale library file cannot be opened."},
    {0x0203, "Seek in a locale library file failed."},
    {0x0204, "Read from a locale library file failed."},
    {0x0205, "No such locale library."},
    {0x0206, "The locale library file has another format number."},
    {0x020E, "The locale library is not present."},
    {0x0305, "Locale, character set or name not found."},
    {0x0307, "Invalid locale handle, family or name."},
    {0x0401, "The category could not be created."},
    {0x0404, "Category or extension data could not be read."},
    {0x0405, "Category data not found, or no default locale name."},
    {0x0407, "The category mask names no category."},
    {0x0408, "The locale has no data for the category."},
    {0x0501, "File open failed."},
    {0x0503, "File seek failed."},
    {0x0504, "File read failed."},
    {0x0505, "File not found."},
    {0x0601, "Out of memory."},
    {0x0607, "No function given."},
    {0x060C, "Output buffer too small."},
    {0x0701, "Loading the resource failed."},
    {0x0705, "Resource not found."},
    {0x0807, "No thread object, or the locale belongs to another thread."},
    {0x0A05, "The locale has no class or translation of that index."},
    {0x0B01, "Conversion not valid."},
    {0x0B07, "Bad conversion handle."},
    {0x0B0A, "Conversion output too small."},
    {0x0B0B, "Conversion stopped at a character without mapping."},
    {0x0B0C, "In-place conversion needs two single-byte character sets."},
    {0x0B0F, "Conversion done with substitutions."},
    {0x0C07, "Invalid argument."},
    {0x0D01, "Registry key cannot be opened."},
    {0x0D02, "Registry key cannot be closed."},
    {0x0D04, "Registry value cannot be read."},
    {0x0E05, "Message library not found."},
    {0x0F05, "No match between Windows language id and locale name."},
    {0x1005, "Extension library or one of its entry points missing."},
    {0x1006, "The extension library failed to start."},
    {0x1008, "Bad extension slot or query result."},
};

}  // namespace

// Copies the text numbered `id` into the buffer, cut to size - 1 characters;
// returns the characters copied, 0 when there is no such text.
extern "C" __attribute__((visibility("default"))) int SLMSG_LoadString(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  for (const Text& t : kTexts) {
    if (t.code != id) continue;
    std::size_t n = std::strlen(t.text);
    if (n > static_cast<std::size_t>(size - 1)) n = static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, t.text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  return 0;
}
