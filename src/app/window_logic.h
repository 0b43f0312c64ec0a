// The window's rules that need no widgets: reading field texts as numbers,
// path splitting and the proposed result path, the segment-count preference
// and the check of the modify parameters. The display formats it shares with
// the CLI are in texts/display_texts.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "texts/display_texts.h"
#include "analysis/track_ends.h"

namespace torvix::app {

// ---- Numbers in field and setting texts -------------------------------------

// The longest decimal number at the start of the text: blanks (space, tab,
// line feed) are skipped anywhere, an optional sign, digits with at most one
// point, an optional exponent ("E" or "e", sign, digits). Reading stops at the
// first character that cannot continue the number; empty or non-numeric text
// reads as 0. The point is the decimal separator whatever the locale.
double ReadNumber(std::string_view text);

// Nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value);

// Plain number text: up to 15 significant digits, a point as the decimal
// separator and a leading space in place of the sign for values >= 0
// (" 2.05", "-3", " 61").
std::string NumberText(double value);

// ---- Paths ------------------------------------------------------------------

struct PathRules {
    std::string_view separators;       // any of these ends the folder part
    std::string_view kept_separators;  // those that stay with the folder ("C:")
    char join = '/';                   // used to put a folder and a name together
};

inline constexpr PathRules kWindowsPathRules{":\\", ":", '\\'};
inline constexpr PathRules kPosixPathRules{"/", "", '/'};

#ifdef _WIN32
inline constexpr PathRules kNativePathRules = kWindowsPathRules;
#else
inline constexpr PathRules kNativePathRules = kPosixPathRules;
#endif

// The folder part of a path: decided by the last separator. A kept separator
// stays with the folder, any other is dropped; no separator gives "".
std::string GetFilePath(std::string_view path, const PathRules& rules = kNativePathRules);

// The part after the last separator; "" when the path has none.
std::string GetFileName(std::string_view path, const PathRules& rules = kNativePathRules);

// Folder for the result: the stored "SavePath", or the folder of the loaded
// file when none is stored (or it is empty).
std::string ProposedSaveFolder(std::string_view stored_save_path, std::string_view load_folder);

// The full path proposed in the save dialog for the file loaded from
// `load_file`: the save folder, a separator, the name of its ResultPath
// (track/result_path.h), which is never the loaded file's own.
std::string ProposedSavePath(std::string_view save_folder, std::string_view load_file,
                             const PathRules& rules = kNativePathRules);

// ---- Segment-count preference -----------------------------------------------

// True when the "WantSL" setting asks for the segment count to follow the
// last run's average segment length (its value is exactly 1).
bool WantsSegmentLength(std::string_view want_sl_text);

// Segments text for a track of `length` metres at the stored average segment
// length "SL": floor(length / SL) as number text (" 61"). Nothing when SL is
// not positive (0, negative, non-numeric) or the count would not fit in 16
// bits; Segments then stays as it is.
std::optional<std::string> ProposedSegmentsText(double length, std::string_view sl_text);

// The "SL" value stored after a modify run: the track length over the
// unrounded value of the Segments text.
std::string SegmentLengthText(double length, std::string_view segments_text);

// ---- Modify parameters ------------------------------------------------------

struct ModifyFieldTexts {
    std::string segments;
    std::string precision;
    std::string filter;
    std::string heartline;
    std::string start_speed;
    std::string end_speed;
};

struct ModifyParameters {
    std::int16_t segments = 0;
    std::int16_t precision = 0;
    std::int16_t filter = 0;
    double heartline = 0;
    double start_speed = 0;
    double end_speed = 0;
};

// Either the solver's parameters or, when the solver cannot take them, what
// the user has to change: short enough for the message line, and in full.
struct ModifyRequest {
    std::optional<ModifyParameters> parameters;
    std::string refusal;
    std::string refusal_detail;
};

// Reads the six field texts and refuses what the solver cannot run: fewer than
// 1 segment or fitting point, a negative filter, more than 32766 fitting
// points (Segments x Precision) or a progress count above 32767. Run it before
// anything is written to the settings file.
ModifyRequest ReadModifyParameters(const ModifyFieldTexts& texts);

}  // namespace torvix::app
