// The frame's file dialogs, through platform::ui: the configuration-file
// filter, the default extension "CFG" and the completion of a typed name.
// Names are Windows-1252, as everywhere in the model.
#pragma once

#include <string>

namespace vtxcfg {

// A typed name without its blanks at either end; a name that does not exist
// and has no extension gets "." and `defaultExt`.
std::string CompleteFileName(const std::string& typed, const std::string& defaultExt);

// Asks for an existing file until one is chosen or the dialog is cancelled;
// a missing name is told in a box and the dialog comes again. true: chosen.
bool RunOpenFileDialog(const std::string& title, const std::string& initialDir, std::string& chosen);
// Asks for a file to write (the frame asks about overwriting itself).
bool RunSaveFileDialog(const std::string& title, const std::string& initialDir, std::string& chosen);

bool ConfigFileExists(const std::string& file);
bool ConfigFileReadOnly(const std::string& file);

}  // namespace vtxcfg
