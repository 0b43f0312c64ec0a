#include "geometry/vector3.h"

namespace torvix {

// Only the display needs it; the hot operations are inline in the header.
double RadToDeg(double radians) { return radians / 3.14159265358979 * 180; }

}  // namespace torvix
