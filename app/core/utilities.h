// The shared routines of keldro that need no window: number and money
// formats (U.S. or by the Windows international settings), trimming and
// padding of texts, a form's design geometry with the screen scale, and the
// block file copy of backup and restore.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class IniFile;
}

namespace keldro {

// Texts of these routines hold at most this many characters.
inline constexpr size_t kMaxText = 255;

// The value in fixed notation, left-padded with blanks to `width`.
std::string FloatToPaddedStr(double value, int width, int decimals);
// Fixed notation with "," every three digits: 1234567.891, 2 decimals ->
// "1,234,567.89"; left-padded to `width`.
std::string FormatNumber(double value, int width, int decimals);

// The "intl" section of the Windows settings (WIN.INI).
struct IntlSettings {
  char decimal = '.';
  char thousand = ',';
  int digits = 2;      // "iDigits"
  int currDigits = 2;  // "iCurrDigits"
  bool operator==(const IntlSettings&) const = default;
};
IntlSettings LoadIntlSettings(const platform::IniFile& winIni);
IntlSettings LoadIntlSettings();  // WIN.INI in the Windows directory

// numericFormat / currencyFormat: 1 the U.S. form, 2 the Windows settings.
std::string FormatNumberIntl(double value, int width, int decimals, int numericFormat, const IntlSettings& intl);
// No currency symbol in either form.
std::string FormatCurrencyIntl(double value, int width, int currencyFormat, const IntlSettings& intl);

// Blanks (spaces only) off both ends.
std::string TrimBlanks(std::string_view text);
// Trim, cut to `maximum`, delete every `ch`, cut again.
std::string TrimAndRemoveChar(std::string_view text, size_t maximum, char ch);
std::string TrimAndRemoveCommas(std::string_view text, size_t maximum);
std::string PadRight(std::string_view text, int width);
std::string PadLeft(std::string_view text, int width);
std::string RepeatChar(char ch, int count);

// ---- Screen size and scale -------------------------------------------------

// The "Window Size" setting against the screen: the scale factor and the size
// whose menu item is marked. A size the screen is too small for, or any other
// value, gives 1.0 and 640 (the setting itself is kept).
struct ScreenScale {
  double scaleFactor = 1.0;
  int markedSize = 640;
};
ScreenScale ChooseScreenScale(int windowSizeSetting, int screenWidth, int screenHeight);

// The framework's scaling is by M / 100 with M = ScaleFactor x 100 rounded.
int ScalePercent(double scaleFactor);
// a * b / c rounded to the nearest (halves away from zero), as MulDiv.
int MulDiv(int a, int b, int c);

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// The component kinds whose geometry a form records, in the order they are
// tested; fonts are recorded for all but bevels.
enum class ComponentKind {
  Button, Label, ListBox, SpeedButton, StringGrid, CheckBox, Edit, RadioButton, RadioGroup, Panel,
  MaskEdit, ComboBox, TabbedNotebook, GroupBox, Bevel, Other
};

// Which shared font a component takes (name and style only).
enum class SharedFont { None, Label, Edit, Button };
SharedFont SharedFontFor(ComponentKind kind);

struct ComponentState {
  ComponentKind kind = ComponentKind::Other;
  Rect bounds;
  int fontSize = 0;
};

inline constexpr std::string_view kTooManyComponentsMessage = "Too many compenents to save dimensions.";

// A form's design geometry: its client size and the bounds and font sizes of
// up to 101 components by index.
class FormDimensions {
 public:
  static constexpr size_t kSlots = 101;

  // Records the form; more than 101 components shows the message and keeps
  // the first 101. Returns false in that case.
  bool Save(int clientWidth, int clientHeight, const std::vector<ComponentState>& components);

  struct Placement {
    int left = 0, top = 0;
    int clientWidth = 0, clientHeight = 0;
    std::vector<ComponentState> components;  // as given, the recorded ones put back and scaled
  };
  // The design geometry put back, scaled by the factor and centred on the
  // screen. `current` supplies the components not recorded; `frameWidth`
  // and `frameHeight` are what the window adds around its client area.
  Placement Restore(const std::vector<ComponentState>& current, double scaleFactor, int screenWidth,
                    int screenHeight, int frameWidth = 0, int frameHeight = 0) const;

  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }

 private:
  struct Slot {
    bool recorded = false;
    bool hasFont = false;
    Rect bounds;
    int fontSize = 0;
  };
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  std::array<Slot, kSlots> slots_{};
};

// ---- Files ------------------------------------------------------------------

// Copies a file in blocks of 2048 bytes. Any read or write error, a short
// write or a failure to finish the target is a failure. The target is
// written beside itself and renamed into place only when complete, so a
// failed copy leaves an existing target as it was.
bool CopyFileBlocks(const std::filesystem::path& source, const std::filesystem::path& target);

// The copy loop itself, over any reader and writer (as read(2) and
// write(2): bytes done, 0 at the end, -1 on error).
class BlockSource {
 public:
  virtual ~BlockSource() = default;
  virtual long Read(char* buffer, size_t size) = 0;
};
class BlockSink {
 public:
  virtual ~BlockSink() = default;
  virtual long Write(const char* buffer, size_t size) = 0;
};
inline constexpr size_t kCopyBlockSize = 2048;
bool CopyBlocks(BlockSource& source, BlockSink& sink);

// Two paths name one file: the same device and inode when both exist, else
// the same canonical path (never a comparison of texts).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace keldro
