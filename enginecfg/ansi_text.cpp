#include "ansi_text.h"

#include "platform/text.h"

namespace vtxcfg {

QString FromAnsi(const std::string& text) { return QString::fromStdString(platform::Cp1252ToUtf8(text)); }
std::string ToAnsi(const QString& text) { return platform::Utf8ToCp1252(text.toStdString()); }

}  // namespace vtxcfg
