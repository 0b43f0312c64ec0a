// Where every control of the main window sits on the skin (in twips), with
// its object name and the texts that belong to it. The window creates its
// controls in the order of this file, which is also the tab order of the
// fields and the order they are painted in. To move a control, change its
// rectangle here.
#pragma once

#include <array>

#include "app/twips.h"

namespace torvix::app::layout {

struct ParameterSpec {
    const char* name;
    TwipRect rect;
    bool allow_decimal;
    bool allow_negative;
    const char* tooltip;
};

// Segments, heartline, start speed, end speed, precision, filter.
inline constexpr std::array<ParameterSpec, 6> kParameters = {{
    {"str_segments", {2100, 1500, 615, 315}, false, false, "Number of Segments the heartlined Track should have."},
    {"str_heartline", {2100, 1950, 615, 315}, true, true,
     "Position of heartline. See the recommended values on the right."},
    {"str_startspeed", {2100, 2400, 615, 315}, true, false,
     "Speed of the train at the start of the track. Note that this must be measured in meters per second (m/s)."},
    {"str_endspeed", {2100, 2850, 615, 315}, true, false,
     "Speed of the train at the end of the track. Note that this must be measured in meters per second (m/s)."},
    {"str_precision", {2100, 3300, 615, 315}, false, false,
     "Number of points used to determine the shape of each segment. Usually 6 points or ok."},
    {"str_filter", {2100, 3750, 615, 315}, false, false,
     "Specifies how often the filter is being applied. The higher this value the smoother the transitions and "
     "the more precision is lost."},
}};

struct ResultSpec {
    const char* name;
    TwipRect rect;
    const char* text;  // shown until the first track is measured
};

// Slope, radius and tilt at the entry, then at the exit.
inline constexpr std::array<ResultSpec, 6> kResults = {{
    {"str_slope_in", {3600, 3300, 765, 315}, "Torvix"},
    {"str_radius_in", {4500, 3300, 765, 315}, ""},
    {"str_tilt_in", {5400, 3300, 765, 315}, ""},
    {"str_slope_out", {3600, 3750, 765, 315}, ""},
    {"str_radius_out", {4500, 3750, 765, 315}, ""},
    {"str_tilt_out", {5400, 3750, 765, 315}, "V1.6"},
}};

inline constexpr TwipRect kLength{3905, 2760, 900, 315};
inline constexpr TwipRect kFriction{4950, 2760, 900, 315};
inline constexpr std::array<TwipRect, 3> kLights = {{{3272, 2664, 94, 94}, {3420, 2664, 94, 94}, {3570, 2664, 94, 94}}};
inline constexpr TwipRect kProgressBar{2920, 2400, 145, 1680};
inline constexpr TwipRect kBubble{2950, 3960, 40, 40};
inline constexpr TwipRect kLoad{540, 4620, 1335, 255};
inline constexpr TwipRect kModify{2340, 4620, 1335, 255};
inline constexpr TwipRect kSave{4140, 4620, 1335, 255};
inline constexpr TwipRect kMinimize{5280, 180, 495, 315};
inline constexpr TwipRect kClose{5820, 180, 435, 315};
inline constexpr TwipRect kMessage{780, 4220, 1635, 315};

// The controls added to the original face sit on free parts of the skin, so
// every original control keeps its place: the banking switch and the report
// control on the plain strip between the results panel and the footer
// buttons, the last run's method under the status lamps, Suggest on the
// parameters panel's title bar.
inline constexpr TwipRect kModeSwitch{3300, 4215, 1680, 300};
inline constexpr TwipRect kReport{5070, 4215, 1365, 300};
inline constexpr TwipRect kRunMode{3270, 2810, 600, 230};
inline constexpr TwipRect kSuggest{1905, 735, 810, 240};

}  // namespace torvix::app::layout
