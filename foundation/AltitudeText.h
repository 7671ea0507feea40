// The altitude text of a placement: a number of feet, optionally followed by "#" and a unit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct AltitudeText {
    double altitude = 0.0;  // feet
    bool isAgl = false;     // the unit is exactly "AGL"
    bool isZero = false;    // a unit was given and the altitude is zero (PlacementData::IsZeroAltitude)
};

// "12.5" gives 12.5 with both flags clear; "0#AGL" gives 0 with both flags set; "12.5#agl" is not AGL.
// Empty when the part before any "#" does not begin with a finite number; the caller logs and skips.
std::optional<AltitudeText> ParseAltitudeText(std::string_view text);
