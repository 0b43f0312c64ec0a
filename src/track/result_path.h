// Where a run's result is written by default: beside the input, under the
// input's name with "_Torvix" before the extension. The window proposes it in
// its save dialog; the command line writes there when no -o is given.
#pragma once

#include <string>
#include <string_view>

namespace torvix::track {

// `input` with its final ".nltrack" (any letter case) replaced by
// "_Torvix.nltrack", or with "_Torvix.nltrack" appended when it has no such
// ending. Never `input` itself, whatever the letter case of the file system.
std::string ResultPath(std::string_view input);

}  // namespace torvix::track
