// Where a test puts the pictures it renders: <build>/shots/, or the folder
// $STASHWELL_SHOT_DIR names. Never the current directory or the source tree.
#pragma once

#include <string>

namespace testing_support {

// The full path for the picture `name` (the folder is created).
std::string ShotPath(const std::string& name);

}  // namespace testing_support
