// The core's texts are UTF-8 std::strings; the window shows QStrings.
#pragma once

#include <QString>
#include <string>

namespace torvix::app {

inline QString FromStd(const std::string& s) { return QString::fromStdString(s); }

}  // namespace torvix::app
