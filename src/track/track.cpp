#include "track/track.h"

namespace torvix {

void ResetTrack(Track& track) { track = Track{}; }

}  // namespace torvix
