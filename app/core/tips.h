// The tips of the Tip of the Day window, numbered 1 to 24, and the rule of
// its Next Tip button.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace keldro {

inline constexpr int kTipCount = 24;

// Tip `number` (1..24); a number outside gives tip 1.
std::string_view TipText(int number);
// The tip shown after `number`: after 24 comes 1.
int NextTip(int number);
// A tip chosen at random (1..24) by a generator seeded with `seed`.
int RandomTip(uint64_t seed);

}  // namespace keldro
