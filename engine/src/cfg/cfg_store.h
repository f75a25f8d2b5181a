// What the rest of the engine sees of its configuration.
#pragma once

#include <cstdint>
#include <filesystem>

#include "cfg/cfg_tree.h"

namespace orb::cfg {

// Reads a configuration file; an engine result code (0, not found,
// access denied, bad format).
uint16_t LoadFile(const std::filesystem::path& file, Node& tree);

// The configuration the running engine started with (the defaults when it
// had no file or is not started).
const Node& ActiveConfig();
bool EngineStarted();

}  // namespace orb::cfg
