// Small value records from which a model's visibility, trigger and ground-shift features are built,
// and the value ranges and option lists that the visibility conditions and rotation drivers are made of.
// The placement reader fills them; the handlers, the injection and the menus read and change them.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The two flags every visibility condition and the triggered visibility carry. The handlers write them
// as a pair before an injection: (shown 0, visible 1) to make an object appear, (1, 0) to make it vanish.
class VisibilityData {
public:
    VisibilityData() = default;
    VisibilityData(const VisibilityData&) = default;
    VisibilityData& operator=(const VisibilityData&) = default;
    virtual ~VisibilityData();

    void SetVisible(bool visible) { visible_ = visible ? 1 : 0; }
    bool IsVisible() const { return visible_ != 0; }
    bool GetVisible() const { return visible_ != 0; }

    // The second flag ("shown"), set by the trigger handlers and model switching together with visible.
    void SetSecondFlag(bool shown) { shown_ = shown ? 1 : 0; }
    bool GetSecondFlag() const { return shown_ != 0; }
    void SetShown(bool shown) { SetSecondFlag(shown); }
    bool IsShown() const { return GetSecondFlag(); }

private:
    uint8_t visible_ = 0;
    uint8_t shown_ = 0;
};

// The user-interaction part of a controllable or triggerable item: its input texts and numbers and the
// state of a running click sequence.
class InteractionData {
public:
    InteractionData();
    InteractionData(const InteractionData&) = default;
    InteractionData& operator=(const InteractionData&) = default;
    virtual ~InteractionData();

    // Proximity trigger: names[0] "Proximity", names[1] the radius in metres. RadioTX: names[0] the
    // frequency in MHz, names[1..3] the action texts. Other inputs: the menu texts.
    void SetInputNames(std::vector<std::string> names) { inputNames_ = std::move(names); }
    std::vector<std::string> GetInputNames() const { return inputNames_; }
    const std::vector<std::string>& InputNames() const { return inputNames_; }
    // The i-th input name, or "" when there is none.
    std::string GetInputName(size_t index) const;

    // RadioTX: [0] clicks that activate, [1] click window in seconds, [2] countdown in minutes.
    void SetParameters(std::vector<int32_t> parameters) { parameters_ = std::move(parameters); }
    std::vector<int32_t> GetParameters() const { return parameters_; }
    const std::vector<int32_t>& Parameters() const { return parameters_; }

    void SetTriggered(bool triggered) { triggered_ = triggered ? 1 : 0; }
    bool IsTriggered() const { return triggered_ != 0; }
    bool GetTriggered() const { return triggered_ != 0; }

    int32_t GetCounter() const { return counter_; }
    void ResetCounter() { counter_ = 0; }
    // Stops at the largest count rather than wrapping.
    void IncrementCounter();

    void SetCountdown(int32_t seconds) { countdown_ = seconds; }
    int32_t GetCountdown() const { return countdown_; }
    void SetWindow(int32_t seconds) { window_ = seconds; }
    int32_t GetWindow() const { return window_; }

protected:
    std::vector<std::string> inputNames_;
    std::vector<int32_t> parameters_;
    uint8_t triggered_ = 0;
    int32_t counter_ = 0;
    int32_t countdown_ = 0;
    int32_t window_ = 0;
};

// An interaction item with an on/off state (a controllable animation, or any triggerable item).
class ControllableData : public InteractionData {
public:
    ControllableData() = default;
    ControllableData(const ControllableData&) = default;
    ControllableData& operator=(const ControllableData&) = default;
    ~ControllableData() override;

    void SetState(bool on) { state_ = on ? 1 : 0; }
    bool GetState() const { return state_ != 0; }
    void ToggleState() { state_ = state_ ? 0 : 1; }

    // From the "IgnoreRadiusFilter" attribute: the menus list the item at any distance.
    void SetIgnoreRadiusFilter(bool ignore) { ignoreRadiusFilter_ = ignore ? 1 : 0; }
    bool GetIgnoreRadiusFilter() const { return ignoreRadiusFilter_ != 0; }

private:
    uint8_t state_ = 0;
    uint8_t ignoreRadiusFilter_ = 0;
};

// The same record for items a trigger runs; shares the state operations so that callers can toggle
// any item through ControllableData.
class TriggerableData : public ControllableData {
public:
    TriggerableData() = default;
    TriggerableData(const TriggerableData&) = default;
    TriggerableData& operator=(const TriggerableData&) = default;
    ~TriggerableData() override;
};

// The triggered visibility of a model: by text menu, by proximity or by a sequence of radio clicks.
// For a radio trigger the parameters must hold the click count, the window and the countdown; an item
// without them (or with negative or oversized values) is never started nor activated.
class TriggVisibilityData : public TriggerableData, public VisibilityData {
public:
    TriggVisibilityData() = default;
    TriggVisibilityData(const TriggVisibilityData&) = default;
    TriggVisibilityData& operator=(const TriggVisibilityData&) = default;
    ~TriggVisibilityData() override;

    // True when the parameters describe a radio trigger that can run: at least three values, a click
    // count above 0, a window and countdown not below 0, and a countdown whose seconds fit an int32.
    bool HasRadioParameters() const;

    // First matching click: counter 1, window = parameters[1], triggered. False (nothing changed) for an
    // item without valid radio parameters.
    bool StartTrigger();
    // Counts down to 0 and stays there.
    void DecrementWindow();
    bool IsWindowReached() const { return window_ == 0; }
    void ClearTriggered() { triggered_ = 0; }

    // Counts down to 0 and stays there.
    void DecrementCountdown();
    bool IsCountdownExpired() const { return countdown_ == 0; }
    // 0 < countdown <= seconds.
    bool IsCountdownBelow(int32_t seconds) const { return countdown_ > 0 && countdown_ <= seconds; }
    // countdown = parameters[2] minutes; false (nothing changed) without valid radio parameters.
    bool StartCountdown();
    bool IsCountdownActive() const { return countdownActive_ != 0; }
    void ClearCountdownActive() { countdownActive_ = 0; }
    // When clicks equals parameters[0]: countdown active, countdown started, true. Else false and
    // nothing changed.
    bool Activate(int32_t clicks);

    // A model with a radio trigger and this flag is the object's default model.
    void SetVisibleOnLoad(bool visible) { visibleOnLoad_ = visible ? 1 : 0; }
    bool IsVisibleOnLoad() const { return visibleOnLoad_ != 0; }
    // The RadioTX input carried an "Action" attribute.
    void SetActionGiven(bool given) { actionGiven_ = given ? 1 : 0; }
    bool IsActionGiven() const { return actionGiven_ != 0; }

private:
    uint8_t visibleOnLoad_ = 0;
    uint8_t countdownActive_ = 0;
    uint8_t actionGiven_ = 0;
};

// The weight of a model when the injection picks one of an object's models at random.
class RandomizedVisibilityData {
public:
    // A negative weight is refused (false, value kept).
    bool SetPickProbabilityInPercent(int32_t percent);
    int32_t GetPickProbabilityInPercent() const { return pickProbabilityInPercent_; }

private:
    int32_t pickProbabilityInPercent_ = 100;
};

// Shifts the object's altitude while the user aircraft is below a threshold height above it.
class GroundPolygonShiftData {
public:
    // Feet. Values that are not finite are refused (false, both kept).
    bool SetValues(double thresholdAltitudeAGL, double shiftAltitude);
    double GetThresholdAltitudeAGL() const { return thresholdAltitudeAGL_; }
    double GetShiftAltitude() const { return shiftAltitude_; }
    void SetActive(bool active) { active_ = active ? 1 : 0; }
    bool IsActive() const { return active_ != 0; }

private:
    double thresholdAltitudeAGL_ = 0.0;
    double shiftAltitude_ = 0.0;
    uint8_t active_ = 0;
};

class RangeData {
public:
    RangeData() = default;
    RangeData(int32_t min, int32_t max) : min_(min), max_(max) {}
    RangeData(const RangeData&) = default;
    RangeData& operator=(const RangeData&) = default;
    virtual ~RangeData();

    void SetMin(int32_t min) { min_ = min; }
    void SetMax(int32_t max) { max_ = max; }
    void SetRange(int32_t min, int32_t max) { min_ = min; max_ = max; }
    int32_t GetMin() const { return min_; }
    int32_t GetMax() const { return max_; }

private:
    int32_t min_ = 0;
    int32_t max_ = 0;
};

class RangeDataUnsigned {
public:
    RangeDataUnsigned() = default;
    RangeDataUnsigned(uint32_t min, uint32_t max) : min_(min), max_(max) {}
    RangeDataUnsigned(const RangeDataUnsigned&) = default;
    RangeDataUnsigned& operator=(const RangeDataUnsigned&) = default;
    virtual ~RangeDataUnsigned();

    void SetMin(uint32_t min) { min_ = min; }
    void SetMax(uint32_t max) { max_ = max; }
    void SetRange(uint32_t min, uint32_t max) { min_ = min; max_ = max; }
    uint32_t GetMin() const { return min_; }
    uint32_t GetMax() const { return max_; }

private:
    uint32_t min_ = 0;
    uint32_t max_ = 0;
};

class MultiRangeData {
public:
    MultiRangeData() = default;
    MultiRangeData(const MultiRangeData&) = default;
    MultiRangeData& operator=(const MultiRangeData&) = default;
    virtual ~MultiRangeData();

    void AddRange(int32_t min, int32_t max) { ranges_.emplace_back(min, max); }
    // The i-th range; (0, 0) outside the list.
    RangeData GetRange(size_t index) const;
    size_t GetRangeCount() const { return ranges_.size(); }
    void ClearRanges() { ranges_.clear(); }

private:
    std::vector<RangeData> ranges_;
};

class EnumeratedOptionsData {
public:
    EnumeratedOptionsData() = default;
    EnumeratedOptionsData(const EnumeratedOptionsData&) = default;
    EnumeratedOptionsData& operator=(const EnumeratedOptionsData&) = default;
    virtual ~EnumeratedOptionsData();

    void AddOption(int32_t option) { options_.push_back(option); }
    // The i-th option; 0 outside the list.
    int32_t GetOption(size_t index) const { return index < options_.size() ? options_[index] : 0; }
    size_t GetOptionCount() const { return options_.size(); }
    bool HasOption(int32_t option) const;
    void ClearOptions() { options_.clear(); }

private:
    std::vector<int32_t> options_;
};
