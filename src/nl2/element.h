// NoLimits 2 element files (.nl2elem): a description, the vertices of a
// NURBS curve and the roll points that bank it, as XML. The writer puts out
// what NoLimits 2 imports; the reader takes what exporters write, leniently:
// unknown elements, attributes, comments and any number form are passed over.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "geometry/dvec3.h"

namespace torvix::nl2 {

// Metres, y up, right-handed (as the track file's coordinates).
struct ElementVertex {
    double x = 0, y = 0, z = 0;
    bool strict = false;  // the curve passes through it; two strict vertices in a row make a straight
    bool operator==(const ElementVertex&) const = default;
};

struct RollPoint {
    geometry::DVec3 up{0, 1, 0};     // unit
    geometry::DVec3 right{1, 0, 0};  // unit, forward x up
    double coord = 0;             // heart-line distance over the element's length, 0 to 1
    bool strict = false;
    bool operator==(const RollPoint&) const = default;
};

struct Element {
    std::string description;
    std::vector<ElementVertex> vertices;
    std::vector<RollPoint> rolls;  // in increasing coord
    bool operator==(const Element&) const = default;
};

// Whether a file name ends in ".nl2elem" (any letter case).
bool HasElementExtension(std::string_view path);

// The element as XML text.
std::string ElementXml(const Element& element);

// Reads element XML. Fails, with a message naming the line, on XML that is
// not well formed, on a vertex or roll point that lacks a coordinate or holds
// something that is not a finite number, and on fewer than two vertices.
// Roll points come back sorted by coord.
base::Result<Element> ParseElementXml(std::string_view text);

base::Result<Element> ReadElementFile(const std::filesystem::path& path);

// Writes the XML whole to a temporary file beside `path` that then takes its
// place; on failure the old file is untouched.
base::Status WriteElementXmlFile(const std::filesystem::path& path, const Element& element);

}  // namespace torvix::nl2
