// Conditional visibility of a model: calendar, clock, weather and separation-plane conditions, the
// table of the condition IDs a placement entry declared, and the logic expression that combines them.
//
// The placement reader builds a model's conditions through AddCondition (and the separation-plane
// setters); every rejected value is logged on "VELK.XML" and adds nothing, so that the rest of the file
// still reads. The injection evaluates the conditions with EvaluateConditions; the frame handler keeps
// the separation plane current with the plane's own operations.
#pragma once

#include "objects/VisibilityData.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class ConditionExpression;
class SeasonalObjectHandler;

// The kind of a condition, from its Variable keyword (exact case); any other text is None.
enum class ConditionType : int32_t {
    None = 0,
    MonthOfYear = 1,
    DayOfYear = 2,
    TimeOfDay = 3,
    WindDirection = 4,
    WindSpeed = 5,
    AirTemperature = 6,
    MetVisibility = 7,
    MetPrecipitation = 8,
    Time = 9,
    Year = 10,
    DayOfWeek = 11,
    DayOfMonth = 12,
    SeparationPlane = 13,
};

ConditionType ParseConditionType(const std::string& variable);
// The model feature number that marks a condition kind (8..20), 0 for None; and back.
int32_t ConditionFeature(ConditionType type);
ConditionType ConditionTypeOfFeature(int32_t feature);

// Keyword values (exact case). Unknown texts give 0, except the day of the week: 7.
int32_t MonthKeywordValue(const std::string& keyword);      // "JAN" 1 .. "DEC" 12
int32_t DayOfWeekKeywordValue(const std::string& keyword);  // "SUN" 0 .. "SAT" 6
int32_t TimeOfDayKeywordValue(const std::string& keyword);  // "DAWN" 1, "DAY" 2, "DUSK" 3, "NIGHT" 4
int32_t PrecipitationKeywordValue(const std::string& keyword);  // "NONE" 2, "RAIN" 4, "SNOW" 8

// The calendar and clock values the conditions test, as the local date and time record holds them.
struct ConditionDateTime {
    int32_t month = 0;           // 1..12
    int32_t dayOfYear = 0;
    int32_t dayOfMonth = 0;
    int32_t dayOfWeek = 7;       // 0 Sunday .. 6 Saturday
    int32_t timeOfDay = 0;       // 1 dawn, 2 day, 3 dusk, 4 night
    int32_t zuluMinutes = 0;     // minute of the day
    int32_t timeZoneOffset = 0;  // minutes; local = zulu - offset
    int32_t year = 0;

    static ConditionDateTime From(const SeasonalObjectHandler& record);
};

// The weather an environmental data probe reports for the object's position.
struct ConditionWeather {
    // What a probe holds before its first answer: its visibility never satisfies a condition.
    static constexpr uint32_t kUnmeasuredVisibility = 4294967295u;

    int32_t windDirection = 0;   // degrees
    int32_t windSpeed = 0;       // knots
    uint32_t visibility = kUnmeasuredVisibility;  // metres
    int32_t precipitation = 0;   // mask: 2 none, 4 rain, 8 snow
    int32_t airTemperature = 0;  // degrees Celsius
};

// Conditions over a list of option numbers (months, times of day, days of the week, precipitation).
// An item is one keyword, or for the ranged kinds "A-B": every number from A to B, ascending.
class CV_OptionsCondition : public VisibilityData, public EnumeratedOptionsData {
public:
    ~CV_OptionsCondition() override;
    // Visible when the value is one of the options; never without options.
    bool Evaluate(int32_t value);
};

class CV_MonthOfYearData : public CV_OptionsCondition {
public:
    ~CV_MonthOfYearData() override;
    // "MAR" or "FEB-APR"; a reversed pair or more than two names add nothing. An unknown name is read as
    // 0 with a warning ("XYZ-MAR" adds 0 to 3).
    bool AddItem(const std::string& item);
    // Visible when the month (1..12) is one of the options; 0, the unknown month, never is.
    bool Evaluate(int32_t month);
};

class CV_TimeOfDayData : public CV_OptionsCondition {
public:
    ~CV_TimeOfDayData() override;
    bool AddItem(const std::string& item);  // "DAY" or "DAWN-DUSK"
};

class CV_DayOfWeekData : public CV_OptionsCondition {
public:
    ~CV_DayOfWeekData() override;
    // "MON" or "MON-FRI"; an unknown name is read as 7 with a warning ("MON-XYZ" adds 1 to 7).
    bool AddItem(const std::string& item);
    // Visible when the day (0..6) is one of the options; 7, the unknown day, never is.
    bool Evaluate(int32_t day);
};

class CV_MetPrecipitationData : public CV_OptionsCondition {
public:
    ~CV_MetPrecipitationData() override;
    bool AddItem(const std::string& item);  // "NONE", "RAIN" or "SNOW"
};

// Conditions over a list of day ranges, bounds included.
class CV_DayRangesCondition : public VisibilityData, public MultiRangeData {
public:
    ~CV_DayRangesCondition() override;
    bool Evaluate(int32_t day);
};

class CV_DayOfYearData : public CV_DayRangesCondition {
public:
    ~CV_DayOfYearData() override;
    // "N" or "N-M" with 1 <= N <= M <= 366.
    bool AddItem(const std::string& item);
};

class CV_DayOfMonthData : public CV_DayRangesCondition {
public:
    ~CV_DayOfMonthData() override;
    // "N" or "N-M" with 1 <= N <= M <= 31.
    bool AddItem(const std::string& item);
};

// Conditions over one signed range. A condition whose range was never set (or only with rejected
// values) is never visible, like a list condition without entries.
class CV_RangeCondition : public VisibilityData, public RangeData {
public:
    ~CV_RangeCondition() override;
    void SetRangeValue(int32_t min, int32_t max);
    bool HasRange() const { return hasRange_ != 0; }
    // min <= v <= max.
    bool Evaluate(int32_t value);

protected:
    uint8_t hasRange_ = 0;
};

class CV_WindDirectionData : public CV_RangeCondition {
public:
    ~CV_WindDirectionData() override;
    // "N-M", degrees 0..360; N > M runs through north.
    bool SetValue(const std::string& value);
    // min <= max: min <= v <= max; min > max: min <= v < 360 or 0 <= v <= max.
    bool Evaluate(int32_t degrees);
};

class CV_WindSpeedData : public CV_RangeCondition {
public:
    ~CV_WindSpeedData() override;
    // "A-B" in knots, A an integer or "MIN" (0), B an integer or "MAX" (2147483647); "0" alone is 0-0.
    bool SetValue(const std::string& value);
};

class CV_AirTemperatureData : public CV_RangeCondition {
public:
    static constexpr int32_t kMin = -24242424;
    static constexpr int32_t kMax = 24242424;
    ~CV_AirTemperatureData() override;
    // "A-B" in degrees Celsius, "M" standing for a minus sign ("M10-M2"); "MIN" and "MAX" allowed.
    bool SetValue(const std::string& value);
};

class CV_YearData : public CV_RangeCondition {
public:
    ~CV_YearData() override;
    // "N" or "N-M".
    bool SetValue(const std::string& value);
};

class CV_MetVisibilityData : public VisibilityData, public RangeDataUnsigned {
public:
    ~CV_MetVisibilityData() override;
    // "A-B" in metres, each an integer with its base prefix (0x hexadecimal, leading 0 octal) or
    // "MIN" (0) / "MAX" (4294967295).
    bool SetValue(const std::string& value);
    void SetRangeValue(uint32_t min, uint32_t max);
    bool HasRange() const { return hasRange_ != 0; }
    // The probe's unmeasured value is never visible; else min <= v <= max.
    bool Evaluate(uint32_t metres);

private:
    uint8_t hasRange_ = 0;
};

// Clock-time ranges in minutes of the day, zulu or (with the local-time flag) local.
class CV_TimeData : public VisibilityData, public MultiRangeData {
public:
    ~CV_TimeData() override;
    // "HHMM" or "HHMM-HHMM" (hours 00..23, minutes 00..59), each time read from its first four
    // characters ("0600Z-0800Z" is valid); "LT" anywhere after the end time (or the single time) marks
    // the condition as local time.
    bool AddItem(const std::string& item);
    void SetLocalTime(bool local) { localTime_ = local ? 1 : 0; }
    bool IsLocalTime() const { return localTime_ != 0; }
    // zulu minute of the day and time-zone offset in minutes (local = zulu - offset).
    bool Evaluate(int32_t zuluMinutes, int32_t timeZoneOffset);

private:
    uint8_t localTime_ = 0;
};

// The plane that splits the space around an object: the model shows one state on each side, and the
// frame handler tells the object on which side the user aircraft is.
class CV_SeparationPlaneData : public VisibilityData {
public:
    ~CV_SeparationPlaneData() override;

    // Degrees. The normal follows from the angles, negated with FlipNormal (so set that first).
    // Angles that are not finite are refused (false, nothing changed).
    bool SetAngles(double elevation, double azimuth);
    // The plane's "Offset" in metres in the object's frame; not finite → refused.
    bool SetPoint(double x, double y, double z);
    // "x;y;z" as in the placement file.
    bool SetOffset(const std::string& text);
    void SetUseEyePoint(bool use) { useEyePoint_ = use ? 1 : 0; }
    bool GetUseEyePoint() const { return useEyePoint_ != 0; }
    void SetFlipNormal(bool flip) { flipNormal_ = flip ? 1 : 0; }
    bool GetFlipNormal() const { return flipNormal_ != 0; }

    // Reads the plane's attributes as the placement file gives them; a null text is an absent attribute.
    // Flags are "yes"/"no" (any case); bad numbers are logged and leave their part unchanged.
    void SetFromAttributes(const char* useEyePoint, const char* flipNormal, const char* elevation,
                           const char* azimuth, const char* offset);

    double GetElevation() const { return elevation_; }
    double GetAzimuth() const { return azimuth_; }
    double GetNormalX() const { return normalX_; }
    double GetNormalY() const { return normalY_; }
    double GetNormalZ() const { return normalZ_; }
    double GetPointX() const { return pointX_; }
    double GetPointY() const { return pointY_; }
    double GetPointZ() const { return pointZ_; }

    // Signed distance of p (metres, object frame) from the plane along its normal; 0 for a degenerate
    // normal or a point that is not finite.
    double Distance(double x, double y, double z) const;
    // Stores and returns whether p lies on the positive side (distance > 0).
    bool TestSide(double x, double y, double z);
    bool IsOnPositiveSide() const { return onPositiveSide_ != 0; }

    // The current side has been sent to the object since it was created; removal clears it.
    void SetDefined(bool defined) { defined_ = defined ? 1 : 0; }
    bool IsDefined() const { return defined_ != 0; }

    // The user position in the object's frame: distance d (m), bearing b from the object to the user
    // (rad), the object's heading h (rad) and both altitudes (ft):
    // (d cos(b - h), d sin(b - h), (userAlt - objectAlt) * units::kMetresPerFoot).
    static void UserPositionInObjectFrame(double distanceMetres, double bearingRad, double headingRad,
                                          double userAltitudeFt, double objectAltitudeFt, double& x,
                                          double& y, double& z);

    // For the injection: the plane acts on its own and counts as satisfied.
    bool Evaluate();

private:
    uint8_t defined_ = 0;
    uint8_t onPositiveSide_ = 0;
    uint8_t useEyePoint_ = 0;
    uint8_t flipNormal_ = 0;
    double normalX_ = 0.0;
    double normalY_ = 0.0;
    double normalZ_ = -1.0;
    double pointX_ = 0.0;
    double pointY_ = 0.0;
    double pointZ_ = 0.0;
    double elevation_ = 0.0;
    double azimuth_ = 0.0;
};

class ConditionalVisibilityData {
public:
    // Registers ID → kind of the variable, then reads the value into that condition (for a
    // SeparationPlane the value is not used: the plane's attributes are set through its own setters).
    // Returns the kind, also when the value was rejected; None (logged) for an unknown variable, whose
    // ID is still registered so that it cannot pass for a literal in the expression.
    ConditionType AddCondition(const std::string& id, const std::string& variable, const std::string& value);

    void SetLogicExpression(const std::string& expression) { logicExpression_ = expression; }
    const std::string& GetLogicExpression() const { return logicExpression_; }
    const std::map<std::string, ConditionType>& GetConditionTable() const { return conditions_; }

    // "1" or "0" from the kind's last result; "1" for the separation plane; "" for None or unknown.
    std::string GetResultText(ConditionType type) const;
    // The logic expression with every token (the text between blanks, "$", "|", "!" and parentheses)
    // that is a registered ID replaced by its result text; other tokens stay.
    std::string BuildExpression() const;

    // Evaluates the conditions whose kind bit (1u << kind) is set in kinds, in the order the injection
    // uses; the weather kinds only when weather is given. nullopt when none was evaluated, the one result
    // when one was, else the built expression through the evaluator (a syntax error gives false).
    std::optional<bool> EvaluateConditions(uint32_t kinds, const ConditionDateTime& dateTime,
                                           const ConditionWeather* weather, ConditionExpression& evaluator);
    std::optional<bool> EvaluateConditions(uint32_t kinds, const ConditionDateTime& dateTime,
                                           const ConditionWeather* weather);

    // The kinds bit set from a model's feature test (hasFeature(n) for n = 8..20).
    template <typename HasFeature>
    static uint32_t KindsFromFeatures(HasFeature hasFeature)
    {
        uint32_t kinds = 0;
        for (int32_t feature = 8; feature <= 20; ++feature) {
            if (hasFeature(feature)) kinds |= KindBit(ConditionTypeOfFeature(feature));
        }
        return kinds;
    }
    static constexpr uint32_t KindBit(ConditionType type) { return 1u << static_cast<uint32_t>(type); }

    CV_MonthOfYearData& GetMonthOfYear() { return monthOfYear_; }
    CV_DayOfYearData& GetDayOfYear() { return dayOfYear_; }
    CV_TimeOfDayData& GetTimeOfDay() { return timeOfDay_; }
    CV_WindDirectionData& GetWindDirection() { return windDirection_; }
    CV_WindSpeedData& GetWindSpeed() { return windSpeed_; }
    CV_MetVisibilityData& GetMetVisibility() { return metVisibility_; }
    CV_MetPrecipitationData& GetMetPrecipitation() { return metPrecipitation_; }
    CV_AirTemperatureData& GetAirTemperature() { return airTemperature_; }
    CV_SeparationPlaneData& GetSeparationPlane() { return separationPlane_; }
    CV_TimeData& GetTime() { return time_; }
    CV_YearData& GetYear() { return year_; }
    CV_DayOfWeekData& GetDayOfWeek() { return dayOfWeek_; }
    CV_DayOfMonthData& GetDayOfMonth() { return dayOfMonth_; }
    const CV_SeparationPlaneData& GetSeparationPlane() const { return separationPlane_; }

private:
    const VisibilityData* ConditionOf(ConditionType type) const;

    CV_MonthOfYearData monthOfYear_;
    CV_DayOfYearData dayOfYear_;
    CV_TimeOfDayData timeOfDay_;
    CV_WindDirectionData windDirection_;
    CV_WindSpeedData windSpeed_;
    CV_MetVisibilityData metVisibility_;
    CV_MetPrecipitationData metPrecipitation_;
    CV_AirTemperatureData airTemperature_;
    CV_SeparationPlaneData separationPlane_;
    CV_TimeData time_;
    CV_YearData year_;
    CV_DayOfWeekData dayOfWeek_;
    CV_DayOfMonthData dayOfMonth_;
    std::map<std::string, ConditionType> conditions_;
    std::string logicExpression_;
};
