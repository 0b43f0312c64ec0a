// File-name rules of track files: the ".nltrack" extension in any letter case.
#pragma once

#include <string>

namespace torvix::track {

// True when the last eight characters, lower-cased, are ".nltrack".
bool HasTrackExtension(const std::string& path);

// `path` unchanged when it has the extension, otherwise with ".nltrack" appended.
std::string WithTrackExtension(const std::string& path);

}  // namespace torvix::track
