#include "core/utilities.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/ui.h"

namespace fs = std::filesystem;

namespace keldro {

namespace {

int ClampWidth(int width) { return std::clamp(width, 0, static_cast<int>(kMaxText)); }
int ClampDecimals(int decimals) { return std::clamp(decimals, 0, 30); }

std::string Fixed(double value, int decimals) {
  char buf[400];
  const int d = ClampDecimals(decimals);
  int n = std::snprintf(buf, sizeof buf, "%.*f", d, value);
  if (n < 0 || static_cast<size_t>(n) >= sizeof buf) n = std::snprintf(buf, sizeof buf, "%.*e", d, value);
  std::string s(buf, static_cast<size_t>(std::max(n, 0)));
  // A value that rounds to zero shows no sign.
  if (!s.empty() && s[0] == '-' && s.find_first_of("123456789") == std::string::npos) s.erase(0, 1);
  return s;
}

// Steps 2 to 4 of the number formats: separators every three digits left of
// the decimal point, no separator right after a minus sign, padding.
std::string Group(std::string s, int decimals, char separator, int width) {
  size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  s.erase(0, b);
  const bool negative = !s.empty() && s[0] == '-';
  const int d = ClampDecimals(decimals);
  for (size_t k = d == 0 ? 3 : static_cast<size_t>(d) + 4; k < s.size(); k += 4)
    s.insert(s.size() - k, 1, separator);
  if (negative && s.size() > 1 && s[1] == separator) s.erase(1, 1);
  return PadLeft(s, width);
}

}  // namespace

std::string FloatToPaddedStr(double value, int width, int decimals) { return PadLeft(Fixed(value, decimals), width); }

std::string FormatNumber(double value, int width, int decimals) {
  return Group(Fixed(value, decimals), decimals, ',', width);
}

IntlSettings LoadIntlSettings(const platform::IniFile& winIni) {
  IntlSettings intl;
  auto separator = [&](std::string_view key, char& out) {
    if (auto v = winIni.Get("intl", key)) out = v->empty() ? ' ' : (*v)[0];
  };
  // Windows allows 0 to 9 digits; anything else keeps the default.
  auto digits = [&](std::string_view key, int& out) {
    if (auto v = winIni.Get("intl", key)) {
      int n = 0;
      size_t i = 0;
      while (i < v->size() && i < 3 && (*v)[i] >= '0' && (*v)[i] <= '9') n = n * 10 + ((*v)[i++] - '0');
      if (i > 0 && n <= 9) out = n;
    }
  };
  separator("sDecimal", intl.decimal);
  separator("sThousand", intl.thousand);
  digits("iDigits", intl.digits);
  digits("iCurrDigits", intl.currDigits);
  return intl;
}

IntlSettings LoadIntlSettings() {
  platform::IniFile ini(platform::ProfilePath("WIN.INI"));
  ini.Load();
  return LoadIntlSettings(ini);
}

std::string FormatNumberIntl(double value, int width, int decimals, int numericFormat, const IntlSettings& intl) {
  if (numericFormat != 2) return FormatNumber(value, width, decimals);
  std::string s = Fixed(value, decimals);
  if (intl.decimal != '.')
    if (size_t p = s.find('.'); p != std::string::npos) s[p] = intl.decimal;
  return Group(s, decimals, intl.thousand, width);
}

std::string FormatCurrencyIntl(double value, int width, int currencyFormat, const IntlSettings& intl) {
  if (currencyFormat != 2) return FormatNumber(value, width, 2);
  return FormatNumberIntl(value, width, intl.currDigits, 2, intl);
}

std::string TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (e > b && text[e - 1] == ' ') --e;
  while (b < e && text[b] == ' ') ++b;
  return std::string(text.substr(b, e - b));
}

std::string TrimAndRemoveChar(std::string_view text, size_t maximum, char ch) {
  std::string s = TrimBlanks(text);
  if (s.size() > maximum) s.resize(maximum);
  s.erase(std::remove(s.begin(), s.end(), ch), s.end());
  if (s.size() > maximum) s.resize(maximum);
  return s;
}

std::string TrimAndRemoveCommas(std::string_view text, size_t maximum) { return TrimAndRemoveChar(text, maximum, ','); }

std::string PadRight(std::string_view text, int width) {
  std::string s(text);
  const size_t w = static_cast<size_t>(ClampWidth(width));
  if (s.size() < w) s.append(w - s.size(), ' ');
  return s;
}

std::string PadLeft(std::string_view text, int width) {
  std::string s(text);
  const size_t w = static_cast<size_t>(ClampWidth(width));
  if (s.size() < w) s.insert(0, w - s.size(), ' ');
  return s;
}

std::string RepeatChar(char ch, int count) { return std::string(static_cast<size_t>(ClampWidth(count)), ch); }

ScreenScale ChooseScreenScale(int setting, int screenWidth, int screenHeight) {
  switch (setting) {
    case 800:
      if (screenWidth >= 800 && screenHeight >= 600) return {1.25, 800};
      break;
    case 1024:
      if (screenWidth >= 1024 && screenHeight >= 768) return {1.6, 1024};
      break;
    case 1280:
      if (screenWidth >= 1280 && screenHeight >= 1024) return {2.0, 1280};
      break;
    default:
      break;
  }
  return {1.0, 640};
}

int ScalePercent(double scaleFactor) {
  if (!std::isfinite(scaleFactor)) return 100;
  return static_cast<int>(std::lround(std::clamp(scaleFactor, 0.0, 100.0) * 100.0));
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const long long num = static_cast<long long>(a) * b;
  long long q = num / c;
  const long long r = num % c;
  if (2 * std::llabs(r) >= std::llabs(static_cast<long long>(c))) q += ((num < 0) != (c < 0)) ? -1 : 1;
  q = std::clamp<long long>(q, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  return static_cast<int>(q);
}

SharedFont SharedFontFor(ComponentKind kind) {
  switch (kind) {
    case ComponentKind::Label: case ComponentKind::ListBox: case ComponentKind::CheckBox:
    case ComponentKind::RadioButton: case ComponentKind::GroupBox:
      return SharedFont::Label;
    case ComponentKind::Edit: case ComponentKind::MaskEdit: case ComponentKind::ComboBox:
    case ComponentKind::StringGrid:
      return SharedFont::Edit;
    case ComponentKind::Button:
      return SharedFont::Button;
    default:
      return SharedFont::None;
  }
}

namespace {

// What a form records of a component: bounds and font, bounds only, or nothing.
enum class Recorded { Nothing, BoundsOnly, BoundsAndFont };
Recorded RecordedFor(ComponentKind kind) {
  switch (kind) {
    case ComponentKind::Button: case ComponentKind::Label: case ComponentKind::ListBox:
    case ComponentKind::SpeedButton: case ComponentKind::StringGrid: case ComponentKind::CheckBox:
    case ComponentKind::Edit: case ComponentKind::RadioButton: case ComponentKind::RadioGroup:
    case ComponentKind::Panel: case ComponentKind::MaskEdit: case ComponentKind::ComboBox:
    case ComponentKind::TabbedNotebook:
      return Recorded::BoundsAndFont;
    case ComponentKind::Bevel:
      return Recorded::BoundsOnly;
    default:
      return Recorded::Nothing;
  }
}

}  // namespace

bool FormDimensions::Save(int clientWidth, int clientHeight, const std::vector<ComponentState>& components) {
  clientWidth_ = clientWidth;
  clientHeight_ = clientHeight;
  for (size_t i = 0; i < components.size(); ++i) {
    if (i >= kSlots) {
      platform::ui::ShowMessage(std::string(kTooManyComponentsMessage), "Error");
      return false;
    }
    const Recorded r = RecordedFor(components[i].kind);
    if (r == Recorded::Nothing) continue;
    slots_[i].recorded = true;
    slots_[i].hasFont = r == Recorded::BoundsAndFont;
    slots_[i].bounds = components[i].bounds;
    slots_[i].fontSize = components[i].fontSize;
  }
  return true;
}

FormDimensions::Placement FormDimensions::Restore(const std::vector<ComponentState>& current, double scaleFactor,
                                                  int screenWidth, int screenHeight, int frameWidth,
                                                  int frameHeight) const {
  Placement p;
  p.components = current;
  for (size_t i = 0; i < p.components.size() && i < kSlots; ++i) {
    if (!slots_[i].recorded || RecordedFor(p.components[i].kind) == Recorded::Nothing) continue;
    p.components[i].bounds = slots_[i].bounds;
    if (slots_[i].hasFont) p.components[i].fontSize = slots_[i].fontSize;
  }
  const int m = ScalePercent(scaleFactor);
  p.clientWidth = MulDiv(clientWidth_, m, 100);
  p.clientHeight = MulDiv(clientHeight_, m, 100);
  for (ComponentState& c : p.components) {
    c.bounds = {MulDiv(c.bounds.left, m, 100), MulDiv(c.bounds.top, m, 100), MulDiv(c.bounds.width, m, 100),
                MulDiv(c.bounds.height, m, 100)};
    c.fontSize = MulDiv(c.fontSize, m, 100);
  }
  p.left = (screenWidth - (p.clientWidth + frameWidth)) / 2;
  p.top = (screenHeight - (p.clientHeight + frameHeight)) / 2;
  return p;
}

bool CopyBlocks(BlockSource& source, BlockSink& sink) {
  char buffer[kCopyBlockSize];
  for (;;) {
    const long got = source.Read(buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    const long put = sink.Write(buffer, static_cast<size_t>(got));
    if (put != got) return false;
  }
}

namespace {

class FdSource : public BlockSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  long Read(char* buffer, size_t size) override {
    for (;;) {
      const ssize_t r = read(fd_, buffer, size);
      if (r < 0 && errno == EINTR) continue;
      return static_cast<long>(r);
    }
  }
 private:
  int fd_;
};

class FdSink : public BlockSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  // All of the block or a failure: a regular file only writes short when
  // the disk is full or the file too large, and the next write tells which.
  long Write(const char* buffer, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t w = write(fd_, buffer + done, size - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return static_cast<long>(done);
      done += static_cast<size_t>(w);
    }
    return static_cast<long>(done);
  }
 private:
  int fd_;
};

}  // namespace

bool CopyFileBlocks(const fs::path& source, const fs::path& target) {
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return false;
  }
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string temp = (dir / std::string(".").append(target.filename().string()).append(".copy-XXXXXX")).string();
  const int out = mkstemp(temp.data());
  if (out < 0) {
    close(in);
    return false;
  }
  // The source's permissions, but always writable by its owner: a copy
  // restored from read-only media is a database to be worked on again.
  fchmod(out, (st.st_mode & 0666) | S_IWUSR);
  FdSource reader(in);
  FdSink writer(out);
  bool ok = CopyBlocks(reader, writer);
  ok = fsync(out) == 0 && ok;
  ok = close(out) == 0 && ok;
  close(in);
  if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  // The copy is the target's only once its folder holds the new name on disk.
  if (ok) ok = platform::SyncFolder(dir);
  return ok;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec)) return std::filesystem::equivalent(a, b, ec);
  return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

}  // namespace keldro
