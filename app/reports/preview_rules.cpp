#include "reports/preview_rules.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/utilities.h"

namespace keldro::reports {

namespace {
template <typename T>
std::optional<T> ParseWhole(std::string_view text) {
  const std::string t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  T value{};
  const char* end = t.data() + t.size();
  auto [p, ec] = std::from_chars(t.data(), end, value);
  if (ec != std::errc() || p != end) return std::nullopt;
  return value;
}
}  // namespace

std::optional<int> ParseWholeNumber(std::string_view text) { return ParseWhole<int>(text); }

std::optional<double> ParseRealNumber(std::string_view text) {
  std::optional<double> v = ParseWhole<double>(text);
  if (v && !std::isfinite(*v)) return std::nullopt;
  return v;
}

std::string ZoomText(double zoom) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", zoom);
  std::string out = text;
  if (out.size() > 10) out.resize(10);
  return out;
}

std::string PageLabelText(int page, int firstPage, int pageCount) {
  return "Page " + std::to_string(static_cast<long long>(page) - firstPage + 1) + " of " + std::to_string(pageCount);
}

PageRange CheckPageRange(std::string_view start, std::string_view end, int pageCount) {
  PageRange r;
  const std::optional<int> s = ParseWholeNumber(start);
  if (!s || *s < 1 || *s > pageCount) {
    r.outcome = PageRange::BadStart;
    return r;
  }
  r.start = *s;
  const std::optional<int> e = ParseWholeNumber(end);
  if (!e || *e < *s || *e > pageCount) {
    r.outcome = PageRange::BadEnd;
    return r;
  }
  r.end = *e;
  return r;
}

}  // namespace keldro::reports
