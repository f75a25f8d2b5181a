// The configuration keeps its texts in Windows-1252; the windows show them
// as QString.
#pragma once

#include <QString>
#include <string>

namespace vtxcfg {

QString FromAnsi(const std::string& text);
std::string ToAnsi(const QString& text);

}  // namespace vtxcfg
