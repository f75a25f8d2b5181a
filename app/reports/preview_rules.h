// The checks of the preview window and its page range dialog, without a
// window: page and zoom texts, the range, and the page label.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace keldro::reports {

inline constexpr std::string_view kBadStartPage = "Invalid Starting Page specified. Please correct.";
inline constexpr std::string_view kBadEndPage = "Invalid Ending Page specified.  Please correct.";
inline constexpr std::string_view kPrintJobBusy = "Previous print job has not yet finished.  Try again later.";

// A trimmed whole number; nothing for any other text.
std::optional<int> ParseWholeNumber(std::string_view text);
// A trimmed finite number ("150", "33.3"); nothing for any other text.
std::optional<double> ParseRealNumber(std::string_view text);
// The zoom as the edit shows it: one decimal, at most 10 characters.
std::string ZoomText(double zoom);
// "Page 2 of 5": the page counted from the first recorded one.
std::string PageLabelText(int page, int firstPage, int pageCount);

struct PageRange {
  enum Outcome { Ok, BadStart, BadEnd } outcome = Ok;
  int start = 0, end = 0;
};
// The range dialog's Print: a start in 1..count, an end in start..count.
PageRange CheckPageRange(std::string_view start, std::string_view end, int pageCount);

}  // namespace keldro::reports
