#include "objects/VisibilityData.h"

#include <algorithm>
#include <cmath>
#include <limits>

VisibilityData::~VisibilityData() = default;

InteractionData::InteractionData() : inputNames_{"A", "B"} {}
InteractionData::~InteractionData() = default;

std::string InteractionData::GetInputName(size_t index) const {
    return index < inputNames_.size() ? inputNames_[index] : std::string();
}

void InteractionData::IncrementCounter() {
    if (counter_ < std::numeric_limits<int32_t>::max()) ++counter_;
}

ControllableData::~ControllableData() = default;
TriggerableData::~TriggerableData() = default;
TriggVisibilityData::~TriggVisibilityData() = default;

bool TriggVisibilityData::HasRadioParameters() const {
    if (parameters_.size() < 3) return false;
    const int32_t clicks = parameters_[0];
    const int32_t window = parameters_[1];
    const int32_t minutes = parameters_[2];
    return clicks > 0 && window >= 0 && minutes >= 0 &&
           minutes <= std::numeric_limits<int32_t>::max() / 60;
}

bool TriggVisibilityData::StartTrigger() {
    if (!HasRadioParameters()) return false;
    ResetCounter();
    IncrementCounter();
    window_ = parameters_[1];
    triggered_ = 1;
    return true;
}

void TriggVisibilityData::DecrementWindow() {
    if (window_ > 0) --window_;
}

void TriggVisibilityData::DecrementCountdown() {
    if (countdown_ > 0) --countdown_;
}

bool TriggVisibilityData::StartCountdown() {
    if (!HasRadioParameters()) return false;
    countdown_ = parameters_[2] * 60;
    return true;
}

bool TriggVisibilityData::Activate(int32_t clicks) {
    if (!HasRadioParameters() || clicks != parameters_[0]) return false;
    countdownActive_ = 1;
    countdown_ = parameters_[2] * 60;
    return true;
}

bool RandomizedVisibilityData::SetPickProbabilityInPercent(int32_t percent) {
    if (percent < 0) return false;
    pickProbabilityInPercent_ = percent;
    return true;
}

bool GroundPolygonShiftData::SetValues(double thresholdAltitudeAGL, double shiftAltitude) {
    if (!std::isfinite(thresholdAltitudeAGL) || !std::isfinite(shiftAltitude)) return false;
    thresholdAltitudeAGL_ = thresholdAltitudeAGL;
    shiftAltitude_ = shiftAltitude;
    return true;
}

RangeData::~RangeData() = default;
RangeDataUnsigned::~RangeDataUnsigned() = default;
MultiRangeData::~MultiRangeData() = default;
EnumeratedOptionsData::~EnumeratedOptionsData() = default;

RangeData MultiRangeData::GetRange(size_t index) const {
    return index < ranges_.size() ? ranges_[index] : RangeData();
}

bool EnumeratedOptionsData::HasOption(int32_t option) const {
    return std::find(options_.begin(), options_.end(), option) != options_.end();
}
