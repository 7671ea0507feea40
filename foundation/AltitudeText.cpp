#include "foundation/AltitudeText.h"

#include "foundation/Records.h"
#include "foundation/StringUtils.h"

#include <vector>

std::optional<AltitudeText> ParseAltitudeText(const std::string& text) {
    std::vector<std::string> parts;
    SplitByHash(text, parts);
    AltitudeText result;
    if (!ParseLeadingDouble(parts[0], result.altitude)) {
        return std::nullopt;
    }
    if (parts.size() >= 2) {
        result.isAgl = parts[1] == "AGL";
        result.isZero = PlacementData::IsZeroAltitude(result.altitude);
    }
    return result;
}
