// The whole track model as JSON, keys named after the model's fields.
#pragma once

#include <nlohmann/json.hpp>

#include "track/track.h"

namespace torvix::cli {

// Keeps keys in the model's order and prints Singles in their shortest form
// that reads back to the same float.
using TrackJson = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, std::int64_t,
                                       std::uint64_t, float>;

// Arrays hold exactly as many elements as their count field says (missing
// ones as zeros); a Text becomes a string whose characters are its bytes
// (U+0000 to U+00FF); a Vector3 becomes [x, y, z].
TrackJson TrackToJson(const track::Track& track);

}  // namespace torvix::cli
