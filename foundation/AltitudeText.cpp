#include "foundation/AltitudeText.h"

#include "foundation/Records.h"
#include "foundation/StringUtils.h"


std::optional<AltitudeText> ParseAltitudeText(std::string_view text) {
    // "value" or "value#MODE[#...]": only the part between the first and a second '#' is the mode.
    const size_t hash = text.find('#');
    AltitudeText result;
    if (!ParseLeadingDouble(text.substr(0, hash), result.altitude)) {
        return std::nullopt;
    }
    if (hash != std::string_view::npos) {
        const std::string_view rest = text.substr(hash + 1);
        result.isAgl = rest.substr(0, rest.find('#')) == "AGL";
        result.isZero = PlacementData::IsZeroAltitude(result.altitude);
    }
    return result;
}
