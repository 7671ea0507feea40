// Unit-named constants: every conversion factor of the system, written once. Header only, no state;
// compiled into the in-simulator module as well. Read as "<unit> per <unit>": metres = feet * kMetresPerFoot.
#pragma once

#include <numbers>

namespace units {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kDegreesPerRadian = 180.0 / kPi;
inline constexpr double kRadiansPerDegree = kPi / 180.0;

// The exact international foot.
inline constexpr double kMetresPerFoot = 0.3048;
// The rounded inverse that the simulator's variables and the jetway motion use; kept as such (the values
// written into the simulator and the stored records depend on it).
inline constexpr double kFeetPerMetre = 3.28084;
// The inverse to eight digits, used by the earth-centred conversion.
inline constexpr double kFeetPerMetreEcef = 3.2808399;

inline constexpr double kMetresPerNauticalMile = 1852.0;
inline constexpr double kSecondsPerHour = 3600.0;
// Knots to metres per second.
inline constexpr double kMetresPerSecondPerKnot = kMetresPerNauticalMile / kSecondsPerHour;

}  // namespace units
