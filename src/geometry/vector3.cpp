#include "geometry/vector3.h"

#include "geometry/constants.h"

namespace torvix::geometry {

// Only the display needs it; the hot operations are inline in the header.
double RadToDeg(double radians) { return radians / kLiteralPi * 180; }

}  // namespace torvix::geometry
