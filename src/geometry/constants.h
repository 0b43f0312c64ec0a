// The numbers the solvers share, each written once. The literal solver writes
// pi and g as its reference arithmetic has them, and its output is pinned to
// the bit, so those values stay exactly as written; everything else uses the
// exact pi.
#pragma once

#include <numbers>

namespace torvix::geometry {

// Pi to 15 significant digits, as the literal solver writes it, and its double.
inline constexpr double kLiteralPi = 3.14159265358979;
inline constexpr double kLiteralTwoPi = 6.28318530717958;
// Pi as close as a double gets.
inline constexpr double kPi = std::numbers::pi;

// Standard gravity in m/s^2, and twice it as the literal solver writes it.
inline constexpr double kGravity = 9.81;
inline constexpr double kTwoGravity = 19.62;

}  // namespace torvix::geometry
