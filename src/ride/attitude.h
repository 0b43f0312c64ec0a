// How a path holds its riders when nobody rolls it, and where a track turns
// them over without a reason. A designer expects riders upright wherever the
// path is upright (airtime floated upright, as on every airtime hill) and
// upside down only where the path itself goes over the top, or where the
// forces press them into an overbanked seat.
#pragma once

#include <span>
#include <vector>

#include "geometry/dvec3.h"

namespace torvix::ride {

// Tangents steeper than this (70 degrees from horizontal) say little about
// which way is up: across them the attitude is carried without twist.
inline constexpr double kSteepSine = 0.93969262078590838;
// A seat force at least this strong (g) may press riders into a seat turned
// more than a right angle from the natural attitude.
inline constexpr double kCallingForce = 1.0;

// The natural attitude's down vector at each point of a line, from its unit
// tangents in ride order: upright (the zero-roll down vector) except through
// steep stretches, across which it is carried without twisting; leaving one
// it continues upright or upside down, whichever the carried vector is nearer.
// So the top of a loop is upside down, a hill or a helix upright.
std::vector<geometry::DVec3> NaturalDown(std::span<const geometry::DVec3> tangents);

// Whether forces call for riders turned more than a right angle from the
// natural attitude: the seat force across the track (`force_across`, g, the
// force the seat pushes riders with, up on a level straight) points them more
// than a right angle from it and presses with at least kCallingForce.
bool ForcesCallForInversion(geometry::DVec3 natural_down, geometry::DVec3 force_across);

// Whether a track whose down vector is `down` has its riders turned over
// where nothing asks for it: more than a right angle from the natural
// attitude, and the forces do not call for it.
bool UnaskedRoll(geometry::DVec3 natural_down, geometry::DVec3 down, geometry::DVec3 force_across);

}  // namespace torvix::ride
