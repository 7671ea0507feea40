#include "objects/ConditionalVisibilityData.h"

#include "foundation/StringUtils.h"
#include "foundation/Units.h"
#include "link/SeasonalObjectHandler.h"
#include "objects/ConditionExpression.h"

#include <log4cpp/Category.hh>

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace {

log4cpp::Category& Log() { return log4cpp::Category::getInstance("VELK.XML"); }

constexpr int32_t kMinutesPerDay = 1440;

// The text without white space at either end, as a string of its own.
std::string TrimmedText(std::string_view text) { return std::string(Trimmed(text)); }

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    SplitString(text, separator, parts);
    return parts;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole base-10 integer with an optional sign; blanks around it allowed, nothing else.
bool ParseInt(const std::string& raw, int32_t& value)
{
    const std::string text = TrimmedText(raw);
    const char* begin = text.data();
    const char* const end = begin + text.size();
    // from_chars takes no plus sign; one is allowed, but not before another sign.
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin == end || *begin == '+' || *begin == '-') return false;
    }
    int32_t parsed = 0;
    const auto result = std::from_chars(begin, end, parsed, 10);
    if (result.ec != std::errc() || result.ptr != end) return false;
    value = parsed;
    return true;
}

// A whole unsigned integer whose prefix gives the base: 0x hexadecimal, a leading 0 octal, else decimal.
bool ParseUnsignedWithPrefix(const std::string& raw, uint32_t& value)
{
    const std::string text = TrimmedText(raw);
    const char* begin = text.data();
    const char* const end = begin + text.size();
    int base = 10;
    if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
        base = 16;
        begin += 2;
    } else if (end - begin > 1 && begin[0] == '0') {
        base = 8;
        ++begin;
    }
    if (begin == end || *begin == '-' || *begin == '+') return false;
    uint32_t parsed = 0;
    const auto result = std::from_chars(begin, end, parsed, base);
    if (result.ec != std::errc() || result.ptr != end) return false;
    value = parsed;
    return true;
}

// A whole finite decimal number; blanks around it allowed.
bool ParseDecimal(const std::string& raw, double& value)
{
    const std::string text = TrimmedText(raw);
    const char* begin = text.data();
    const char* const end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin == end || *begin == '+' || *begin == '-') return false;
    }
    double parsed = 0.0;
    const auto result = std::from_chars(begin, end, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

void LogInvalidValueString(const char* variable)
{
    Log().error("Variable '%s': Invalid Value String!", variable);
}

// One keyword or "A-B" of keywords; unknown is the number the table gives a name it does not know.
// With knownOnly, an unknown name rejects the item. Without it, the name stands for that number as the
// table gives it (a warning says so), since placement files in use rely on it: "XYZ-MAR" is every month
// up to March.
template <typename Lookup>
bool AddKeywordItem(EnumeratedOptionsData& options, const std::string& rawItem, const char* variable,
                    Lookup lookup, int32_t unknown, bool rangesAllowed, bool knownOnly)
{
    const std::string item = TrimmedText(rawItem);
    const std::vector<std::string> parts = Split(item, '-');
    if (parts.size() == 1 || (rangesAllowed && parts.size() == 2)) {
        const std::string firstName = TrimmedText(parts.front());
        const std::string lastName = TrimmedText(parts.back());
        const int32_t first = lookup(firstName);
        const int32_t last = lookup(lastName);
        if (first == unknown || last == unknown) {
            if (knownOnly) {
                Log().error("Variable '%s': Invalid Value String! Unknown name in '%s'.", variable, item.c_str());
                return false;
            }
            const std::string& name = first == unknown ? firstName : lastName;
            Log().warn("Variable '%s': Unknown name '%s' in '%s' is read as %d.", variable, name.c_str(),
                       item.c_str(), unknown);
        }
        if (last < first) {
            Log().error("Variable '%s': Invalid Value String! Range '%s' runs backwards.", variable,
                        item.c_str());
            return false;
        }
        for (int32_t option = first; option <= last; ++option) options.AddOption(option);
        return true;
    }
    LogInvalidValueString(variable);
    return false;
}

// "N" or "N-M" of integers within [lowest, highest], N <= M.
bool ParseDayRange(const std::string& rawItem, int32_t lowest, int32_t highest, int32_t& min, int32_t& max)
{
    const std::vector<std::string> parts = Split(rawItem, '-');
    if (parts.size() > 2) return false;
    if (!ParseInt(parts.front(), min) || !ParseInt(parts.back(), max)) return false;
    return lowest <= min && min <= max && max <= highest;
}

// One half of a time item: its first four characters are the digits HHMM; what follows them is not
// read, except that "LT" anywhere in it marks local time ("0600Z" is zulu, "0600 LT" local).
bool ParseClockTime(const std::string& rawHalf, int32_t& minutes, bool& local)
{
    const std::string half = TrimmedText(rawHalf);
    if (half.size() < 4 || !IsDigit(half[0]) || !IsDigit(half[1]) || !IsDigit(half[2]) || !IsDigit(half[3])) {
        return false;
    }
    const int32_t hours = (half[0] - '0') * 10 + (half[1] - '0');
    const int32_t mins = (half[2] - '0') * 10 + (half[3] - '0');
    if (hours > 23 || mins > 59) return false;
    minutes = hours * 60 + mins;
    local = half.find("LT", 4) != std::string::npos;
    return true;
}

// The characters that end an ID in a logic expression: the evaluator's blanks, operators and parentheses.
bool IsExpressionDelimiter(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '$' || c == '|' ||
           c == '!' || c == '(' || c == ')';
}

}  // namespace

// ----- kinds and keywords -----

ConditionType ParseConditionType(const std::string& variable)
{
    static const std::map<std::string, ConditionType> kTypes = {
        {"MonthOfYear", ConditionType::MonthOfYear},
        {"DayOfYear", ConditionType::DayOfYear},
        {"TimeOfDay", ConditionType::TimeOfDay},
        {"WindDirection", ConditionType::WindDirection},
        {"WindSpeed", ConditionType::WindSpeed},
        {"AirTemperature", ConditionType::AirTemperature},
        {"MetVisibility", ConditionType::MetVisibility},
        {"MetPrecipitation", ConditionType::MetPrecipitation},
        {"Time", ConditionType::Time},
        {"Year", ConditionType::Year},
        {"DayOfWeek", ConditionType::DayOfWeek},
        {"DayOfMonth", ConditionType::DayOfMonth},
        {"SeparationPlane", ConditionType::SeparationPlane},
    };
    const auto found = kTypes.find(variable);
    return found == kTypes.end() ? ConditionType::None : found->second;
}

int32_t ConditionFeature(ConditionType type)
{
    switch (type) {
    case ConditionType::MonthOfYear: return 8;
    case ConditionType::DayOfYear: return 9;
    case ConditionType::TimeOfDay: return 10;
    case ConditionType::WindDirection: return 11;
    case ConditionType::WindSpeed: return 12;
    case ConditionType::MetVisibility: return 13;
    case ConditionType::MetPrecipitation: return 14;
    case ConditionType::AirTemperature: return 15;
    case ConditionType::SeparationPlane: return 16;
    case ConditionType::Time: return 17;
    case ConditionType::Year: return 18;
    case ConditionType::DayOfMonth: return 19;
    case ConditionType::DayOfWeek: return 20;
    case ConditionType::None: break;
    }
    return 0;
}

ConditionType ConditionTypeOfFeature(int32_t feature)
{
    for (int32_t kind = 1; kind <= 13; ++kind) {
        const auto type = static_cast<ConditionType>(kind);
        if (ConditionFeature(type) == feature) return type;
    }
    return ConditionType::None;
}

int32_t MonthKeywordValue(const std::string& keyword)
{
    static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int32_t i = 0; i < 12; ++i) {
        if (keyword == kMonths[i]) return i + 1;
    }
    return 0;
}

int32_t DayOfWeekKeywordValue(const std::string& keyword)
{
    static const char* const kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    for (int32_t i = 0; i < 7; ++i) {
        if (keyword == kDays[i]) return i;
    }
    return 7;
}

int32_t TimeOfDayKeywordValue(const std::string& keyword)
{
    if (keyword == "DAWN") return 1;
    if (keyword == "DAY") return 2;
    if (keyword == "DUSK") return 3;
    if (keyword == "NIGHT") return 4;
    return 0;
}

int32_t PrecipitationKeywordValue(const std::string& keyword)
{
    if (keyword == "NONE") return 2;
    if (keyword == "RAIN") return 4;
    if (keyword == "SNOW") return 8;
    return 0;
}

ConditionDateTime ConditionDateTime::From(const SeasonalObjectHandler& record)
{
    ConditionDateTime values;
    values.month = record.GetMonthOfYear();
    values.dayOfYear = record.GetDayOfYear();
    values.dayOfMonth = record.GetDayOfMonth();
    values.dayOfWeek = record.GetDayOfWeek();
    values.timeOfDay = record.GetTimeOfDay();
    values.zuluMinutes = record.GetZuluTime();
    values.timeZoneOffset = record.GetTimeZoneOffset();
    values.year = record.GetLocalYear();
    return values;
}

// ----- option conditions -----

CV_OptionsCondition::~CV_OptionsCondition() = default;

bool CV_OptionsCondition::Evaluate(int32_t value)
{
    SetVisible(HasOption(value));
    return IsVisible();
}

CV_MonthOfYearData::~CV_MonthOfYearData() = default;
CV_TimeOfDayData::~CV_TimeOfDayData() = default;
CV_DayOfWeekData::~CV_DayOfWeekData() = default;
CV_MetPrecipitationData::~CV_MetPrecipitationData() = default;

// The unknown numbers an unknown name stands for (0, 7) are also what the date record holds before it
// knows the date: they must not make the condition visible.
bool CV_MonthOfYearData::Evaluate(int32_t month)
{
    SetVisible(month >= 1 && month <= 12 && HasOption(month));
    return IsVisible();
}

bool CV_DayOfWeekData::Evaluate(int32_t day)
{
    SetVisible(day >= 0 && day <= 6 && HasOption(day));
    return IsVisible();
}

bool CV_MonthOfYearData::AddItem(const std::string& item)
{
    return AddKeywordItem(*this, item, "MonthOfYear", MonthKeywordValue, 0, true, false);
}

bool CV_TimeOfDayData::AddItem(const std::string& item)
{
    return AddKeywordItem(*this, item, "TimeOfDay", TimeOfDayKeywordValue, 0, true, true);
}

bool CV_DayOfWeekData::AddItem(const std::string& item)
{
    return AddKeywordItem(*this, item, "DayOfWeek", DayOfWeekKeywordValue, 7, true, false);
}

bool CV_MetPrecipitationData::AddItem(const std::string& item)
{
    return AddKeywordItem(*this, item, "MetPrecipitation", PrecipitationKeywordValue, 0, false, true);
}

// ----- day ranges -----

CV_DayRangesCondition::~CV_DayRangesCondition() = default;

bool CV_DayRangesCondition::Evaluate(int32_t day)
{
    bool visible = false;
    for (size_t i = 0; i < GetRangeCount() && !visible; ++i) {
        const RangeData range = GetRange(i);
        visible = range.GetMin() <= day && day <= range.GetMax();
    }
    SetVisible(visible);
    return visible;
}

CV_DayOfYearData::~CV_DayOfYearData() = default;
CV_DayOfMonthData::~CV_DayOfMonthData() = default;

bool CV_DayOfYearData::AddItem(const std::string& item)
{
    int32_t min = 0;
    int32_t max = 0;
    if (!ParseDayRange(item, 1, 366, min, max)) {
        LogInvalidValueString("DayOfYear");
        return false;
    }
    AddRange(min, max);
    return true;
}

bool CV_DayOfMonthData::AddItem(const std::string& item)
{
    int32_t min = 0;
    int32_t max = 0;
    if (!ParseDayRange(item, 1, 31, min, max)) {
        LogInvalidValueString("DayOfMonth");
        return false;
    }
    AddRange(min, max);
    return true;
}

// ----- single ranges -----

CV_RangeCondition::~CV_RangeCondition() = default;

void CV_RangeCondition::SetRangeValue(int32_t min, int32_t max)
{
    SetRange(min, max);
    hasRange_ = 1;
}

bool CV_RangeCondition::Evaluate(int32_t value)
{
    SetVisible(hasRange_ != 0 && GetMin() <= value && value <= GetMax());
    return IsVisible();
}

CV_WindDirectionData::~CV_WindDirectionData() = default;

bool CV_WindDirectionData::SetValue(const std::string& value)
{
    const std::vector<std::string> parts = Split(TrimmedText(value), '-');
    if (parts.size() < 2) {
        Log().error("Invalid value '%s'! WindDirection Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (parts.size() > 2) {
        Log().error("Invalid value '%s'! Multiple WindDirection Ranges not supported!", value.c_str());
        return false;
    }
    int32_t min = 0;
    int32_t max = 0;
    if (!ParseInt(parts[0], min) || !ParseInt(parts[1], max)) {
        Log().error("Invalid value '%s'! WindDirection Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (min < 0 || min > 360 || max < 0 || max > 360) {
        Log().error("Invalid value '%s'! WindDirection must lie between 0 and 360 degrees.", value.c_str());
        return false;
    }
    SetRangeValue(min, max);
    return true;
}

bool CV_WindDirectionData::Evaluate(int32_t degrees)
{
    bool visible = false;
    if (hasRange_ != 0) {
        if (GetMin() <= GetMax()) {
            visible = GetMin() <= degrees && degrees <= GetMax();
        } else {
            visible = (GetMin() <= degrees && degrees < 360) || (0 <= degrees && degrees <= GetMax());
        }
    }
    SetVisible(visible);
    return visible;
}

CV_WindSpeedData::~CV_WindSpeedData() = default;

bool CV_WindSpeedData::SetValue(const std::string& value)
{
    const std::string text = TrimmedText(value);
    const std::vector<std::string> parts = Split(text, '-');
    if (parts.size() == 1) {
        if (text == "0") {
            SetRangeValue(0, 0);
            return true;
        }
        Log().error("Invalid value '%s'! WindSpeed Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (parts.size() > 2) {
        Log().error("Invalid value '%s'! Multiple WindSpeed Ranges not supported!", value.c_str());
        return false;
    }
    const std::string low = TrimmedText(parts[0]);
    const std::string high = TrimmedText(parts[1]);
    int32_t min = 0;
    int32_t max = std::numeric_limits<int32_t>::max();
    const bool minOk = low == "MIN" || ParseInt(low, min);
    const bool maxOk = high == "MAX" || ParseInt(high, max);
    if (!minOk || !maxOk) {
        Log().error("Invalid value '%s'! WindSpeed Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (min < 0 || max < min) {
        Log().error("Invalid value '%s'! WindSpeed Range must run from a speed not below 0 to a higher one.",
                    value.c_str());
        return false;
    }
    SetRangeValue(min, max);
    return true;
}

CV_AirTemperatureData::~CV_AirTemperatureData() = default;

bool CV_AirTemperatureData::SetValue(const std::string& value)
{
    const std::vector<std::string> parts = Split(TrimmedText(value), '-');
    if (parts.size() < 2) {
        Log().error("Invalid value '%s'! AirTemperature Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (parts.size() > 2) {
        Log().error("Invalid value '%s'! Multiple AirTemperature Ranges not supported!", value.c_str());
        return false;
    }
    // Every "M" is a minus sign, since "-" separates the bounds.
    auto parseBound = [](const std::string& raw, const char* keyword, int32_t keywordValue, int32_t& out) {
        std::string text = TrimmedText(raw);
        if (text == keyword) {
            out = keywordValue;
            return true;
        }
        for (char& c : text) {
            if (c == 'M') c = '-';
        }
        return ParseInt(text, out);
    };
    int32_t min = 0;
    int32_t max = 0;
    if (!parseBound(parts[0], "MIN", kMin, min) || !parseBound(parts[1], "MAX", kMax, max)) {
        Log().error("Invalid value '%s'! AirTemperature Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (max < min) {
        Log().error("Invalid value '%s'! AirTemperature Range runs backwards.", value.c_str());
        return false;
    }
    SetRangeValue(min, max);
    return true;
}

CV_YearData::~CV_YearData() = default;

bool CV_YearData::SetValue(const std::string& value)
{
    const std::vector<std::string> parts = Split(TrimmedText(value), '-');
    int32_t min = 0;
    int32_t max = 0;
    if (parts.size() > 2 || !ParseInt(parts.front(), min) || !ParseInt(parts.back(), max) || max < min) {
        LogInvalidValueString("Year");
        return false;
    }
    SetRangeValue(min, max);
    return true;
}

// ----- visibility -----

CV_MetVisibilityData::~CV_MetVisibilityData() = default;

void CV_MetVisibilityData::SetRangeValue(uint32_t min, uint32_t max)
{
    SetRange(min, max);
    hasRange_ = 1;
}

bool CV_MetVisibilityData::SetValue(const std::string& value)
{
    const std::vector<std::string> parts = Split(TrimmedText(value), '-');
    if (parts.size() < 2) {
        Log().error("Invalid value '%s'! MetVisibility Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (parts.size() > 2) {
        Log().error("Invalid value '%s'! Multiple MetVisibility Ranges not supported!", value.c_str());
        return false;
    }
    const std::string low = TrimmedText(parts[0]);
    const std::string high = TrimmedText(parts[1]);
    uint32_t min = 0;
    uint32_t max = ConditionWeather::kUnmeasuredVisibility;
    const bool minOk = low == "MIN" || ParseUnsignedWithPrefix(low, min);
    const bool maxOk = high == "MAX" || ParseUnsignedWithPrefix(high, max);
    if (!minOk || !maxOk) {
        Log().error("Invalid value '%s'! MetVisibility Range must be of format 'N-N'.", value.c_str());
        return false;
    }
    if (max < min) {
        Log().error("Invalid value '%s'! MetVisibility Range runs backwards.", value.c_str());
        return false;
    }
    SetRangeValue(min, max);
    return true;
}

bool CV_MetVisibilityData::Evaluate(uint32_t metres)
{
    SetVisible(hasRange_ != 0 && metres != ConditionWeather::kUnmeasuredVisibility && GetMin() <= metres &&
               metres <= GetMax());
    return IsVisible();
}

// ----- clock time -----

CV_TimeData::~CV_TimeData() = default;

bool CV_TimeData::AddItem(const std::string& item)
{
    const std::vector<std::string> parts = Split(TrimmedText(item), '-');
    int32_t start = 0;
    int32_t end = 0;
    bool startLocal = false;
    bool endLocal = false;
    bool ok = false;
    if (parts.size() == 1) {
        ok = ParseClockTime(parts[0], start, endLocal);
        end = start;
    } else if (parts.size() == 2) {
        ok = ParseClockTime(parts[0], start, startLocal) && ParseClockTime(parts[1], end, endLocal);
    }
    if (!ok) {
        LogInvalidValueString("Time");
        return false;
    }
    // Only the end time carries the mark; on the start time it is read past like any other suffix.
    if (startLocal && !endLocal) {
        Log().warn("Variable 'Time': 'LT' on the start time of '%s' is not read: the range is zulu time.",
                   TrimmedText(item).c_str());
    }
    AddRange(start, end);
    if (endLocal) localTime_ = 1;
    return true;
}

bool CV_TimeData::Evaluate(int32_t zuluMinutes, int32_t timeZoneOffset)
{
    int64_t minute = zuluMinutes;
    if (localTime_ != 0) {
        // Wrapped into the day whatever the offset, so that no value escapes the ranges' scale.
        minute = (static_cast<int64_t>(zuluMinutes) - timeZoneOffset) % kMinutesPerDay;
        if (minute < 0) minute += kMinutesPerDay;
    }
    bool visible = false;
    for (size_t i = 0; i < GetRangeCount() && !visible; ++i) {
        const RangeData range = GetRange(i);
        const int64_t min = range.GetMin();
        const int64_t max = range.GetMax();
        if (min <= max) {
            visible = min <= minute && minute <= max;
        } else {
            visible = (min <= minute && minute < kMinutesPerDay) || (0 <= minute && minute <= max);
        }
    }
    SetVisible(visible);
    return visible;
}

// ----- separation plane -----

CV_SeparationPlaneData::~CV_SeparationPlaneData() = default;

bool CV_SeparationPlaneData::SetAngles(double elevation, double azimuth)
{
    if (!std::isfinite(elevation) || !std::isfinite(azimuth)) return false;
    elevation_ = elevation;
    azimuth_ = azimuth;
    const double e = elevation * units::kPi / 180.0;
    const double a = azimuth * units::kPi / 180.0;
    const double sign = flipNormal_ != 0 ? -1.0 : 1.0;
    normalX_ = sign * (std::cos(a) * -std::sin(e));
    normalY_ = sign * (std::sin(a) * -std::sin(e));
    normalZ_ = sign * -std::cos(e);
    return true;
}

bool CV_SeparationPlaneData::SetPoint(double x, double y, double z)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
    pointX_ = x;
    pointY_ = y;
    pointZ_ = z;
    return true;
}

bool CV_SeparationPlaneData::SetOffset(const std::string& text)
{
    const std::vector<std::string> parts = Split(text, ';');
    if (parts.size() != 3) {
        Log().error("Invalid value '%s'! SeparationPlane Offset needs 3 parameters!", text.c_str());
        return false;
    }
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    if (!ParseDecimal(parts[0], x) || !ParseDecimal(parts[1], y) || !ParseDecimal(parts[2], z)) {
        Log().error("Invalid value '%s'! SeparationPlane Offset needs 3 numbers!", text.c_str());
        return false;
    }
    return SetPoint(x, y, z);
}

void CV_SeparationPlaneData::SetFromAttributes(const char* useEyePoint, const char* flipNormal,
                                               const char* elevation, const char* azimuth, const char* offset)
{
    auto isYes = [](const char* text) {
        if (text == nullptr) return false;
        const std::string value = TrimmedText(text);
        return value.size() == 3 && (value[0] == 'y' || value[0] == 'Y') && (value[1] == 'e' || value[1] == 'E') &&
               (value[2] == 's' || value[2] == 'S');
    };
    SetUseEyePoint(isYes(useEyePoint));
    SetFlipNormal(isYes(flipNormal));

    double e = 0.0;
    double a = 0.0;
    bool anglesOk = true;
    if (elevation != nullptr && !ParseDecimal(elevation, e)) {
        Log().error("Invalid value '%s'! SeparationPlane Elevation must be a number of degrees!", elevation);
        anglesOk = false;
    }
    if (azimuth != nullptr && !ParseDecimal(azimuth, a)) {
        Log().error("Invalid value '%s'! SeparationPlane Azimuth must be a number of degrees!", azimuth);
        anglesOk = false;
    }
    if (elevation == nullptr || azimuth == nullptr) {
        Log().warn("SeparationPlane without Elevation and/or Azimuth: the missing angle is 0!");
    }
    if (anglesOk) SetAngles(e, a);

    if (offset == nullptr) {
        Log().warn("SeparationPlane without Offset: the plane passes through the object's origin!");
    } else {
        SetOffset(offset);
    }
}

double CV_SeparationPlaneData::Distance(double x, double y, double z) const
{
    const double length = std::sqrt(normalX_ * normalX_ + normalY_ * normalY_ + normalZ_ * normalZ_);
    if (!(length > 0.0) || !std::isfinite(length)) return 0.0;
    const double distance =
        (normalX_ * (x - pointX_) + normalY_ * (y - pointY_) + normalZ_ * (z - pointZ_)) / length;
    return std::isfinite(distance) ? distance : 0.0;
}

bool CV_SeparationPlaneData::TestSide(double x, double y, double z)
{
    onPositiveSide_ = Distance(x, y, z) > 0.0 ? 1 : 0;
    return onPositiveSide_ != 0;
}

void CV_SeparationPlaneData::UserPositionInObjectFrame(double distanceMetres, double bearingRad, double headingRad,
                                                       double userAltitudeFt, double objectAltitudeFt, double& x,
                                                       double& y, double& z)
{
    x = distanceMetres * std::cos(bearingRad - headingRad);
    y = distanceMetres * std::sin(bearingRad - headingRad);
    z = (userAltitudeFt - objectAltitudeFt) * units::kMetresPerFoot;
}

bool CV_SeparationPlaneData::Evaluate()
{
    SetVisible(true);
    return true;
}

// ----- the whole set -----

ConditionType ConditionalVisibilityData::AddCondition(const std::string& id, const std::string& variable,
                                                      const std::string& value)
{
    const ConditionType type = ParseConditionType(variable);
    // An unknown kind is still entered: its ID then gives "" in the expression instead of passing for a
    // literal of the evaluator.
    if (!id.empty()) conditions_[id] = type;
    for (char c : id) {
        if (IsExpressionDelimiter(c)) {
            Log().warn("Condition ID '%s' holds a blank, an operator or a parenthesis: the logic expression "
                       "cannot refer to it.",
                       id.c_str());
            break;
        }
    }

    auto addItems = [&value, &variable](auto& condition) {
        bool any = false;
        for (const std::string& raw : Split(value, ';')) {
            const std::string item = TrimmedText(raw);
            if (item.empty()) continue;
            any = true;
            condition.AddItem(item);
        }
        if (!any) LogInvalidValueString(variable.c_str());
    };

    switch (type) {
    case ConditionType::MonthOfYear: addItems(monthOfYear_); break;
    case ConditionType::DayOfYear: addItems(dayOfYear_); break;
    case ConditionType::TimeOfDay: addItems(timeOfDay_); break;
    case ConditionType::MetPrecipitation: addItems(metPrecipitation_); break;
    case ConditionType::Time: addItems(time_); break;
    case ConditionType::DayOfWeek: addItems(dayOfWeek_); break;
    case ConditionType::DayOfMonth: addItems(dayOfMonth_); break;
    case ConditionType::WindDirection: windDirection_.SetValue(value); break;
    case ConditionType::WindSpeed: windSpeed_.SetValue(value); break;
    case ConditionType::MetVisibility: metVisibility_.SetValue(value); break;
    case ConditionType::AirTemperature: airTemperature_.SetValue(value); break;
    case ConditionType::Year: year_.SetValue(value); break;
    case ConditionType::SeparationPlane: break;
    case ConditionType::None:
        Log().error("Invalid Condition Variable: '%s'!", variable.c_str());
        break;
    }
    return type;
}

const VisibilityData* ConditionalVisibilityData::ConditionOf(ConditionType type) const
{
    switch (type) {
    case ConditionType::MonthOfYear: return &monthOfYear_;
    case ConditionType::DayOfYear: return &dayOfYear_;
    case ConditionType::TimeOfDay: return &timeOfDay_;
    case ConditionType::WindDirection: return &windDirection_;
    case ConditionType::WindSpeed: return &windSpeed_;
    case ConditionType::AirTemperature: return &airTemperature_;
    case ConditionType::MetVisibility: return &metVisibility_;
    case ConditionType::MetPrecipitation: return &metPrecipitation_;
    case ConditionType::Time: return &time_;
    case ConditionType::Year: return &year_;
    case ConditionType::DayOfWeek: return &dayOfWeek_;
    case ConditionType::DayOfMonth: return &dayOfMonth_;
    case ConditionType::SeparationPlane: return &separationPlane_;
    case ConditionType::None: break;
    }
    return nullptr;
}

std::string ConditionalVisibilityData::GetResultText(ConditionType type) const
{
    if (type == ConditionType::SeparationPlane) return "1";
    const VisibilityData* condition = ConditionOf(type);
    if (condition == nullptr) return "";
    return condition->IsVisible() ? "1" : "0";
}

std::string ConditionalVisibilityData::BuildExpression() const
{
    // Whole tokens only, in one pass: an ID is never found inside another token ("1" in "10" or "A1"),
    // and a result text just put in ("0", "1") is never taken for an ID. Tokens that are no registered
    // ID stay as they are.
    std::string expression;
    expression.reserve(logicExpression_.size());
    size_t at = 0;
    while (at < logicExpression_.size()) {
        if (IsExpressionDelimiter(logicExpression_[at])) {
            expression += logicExpression_[at++];
            continue;
        }
        size_t end = at;
        while (end < logicExpression_.size() && !IsExpressionDelimiter(logicExpression_[end])) ++end;
        const std::string token = logicExpression_.substr(at, end - at);
        const auto found = conditions_.find(token);
        expression += found == conditions_.end() ? token : GetResultText(found->second);
        at = end;
    }
    return expression;
}

std::optional<bool> ConditionalVisibilityData::EvaluateConditions(uint32_t kinds, const ConditionDateTime& dateTime,
                                                                  const ConditionWeather* weather,
                                                                  ConditionExpression& evaluator)
{
    auto has = [kinds](ConditionType type) { return (kinds & KindBit(type)) != 0; };
    int evaluated = 0;
    bool last = false;
    auto note = [&evaluated, &last](bool result) {
        ++evaluated;
        last = result;
    };

    if (has(ConditionType::SeparationPlane)) note(separationPlane_.Evaluate());
    if (has(ConditionType::MonthOfYear)) note(monthOfYear_.Evaluate(dateTime.month));
    if (has(ConditionType::DayOfWeek)) note(dayOfWeek_.Evaluate(dateTime.dayOfWeek));
    if (has(ConditionType::DayOfMonth)) note(dayOfMonth_.Evaluate(dateTime.dayOfMonth));
    if (has(ConditionType::DayOfYear)) note(dayOfYear_.Evaluate(dateTime.dayOfYear));
    if (has(ConditionType::TimeOfDay)) note(timeOfDay_.Evaluate(dateTime.timeOfDay));
    if (has(ConditionType::Time)) note(time_.Evaluate(dateTime.zuluMinutes, dateTime.timeZoneOffset));
    if (has(ConditionType::Year)) note(year_.Evaluate(dateTime.year));
    if (weather != nullptr) {
        if (has(ConditionType::WindDirection)) note(windDirection_.Evaluate(weather->windDirection));
        if (has(ConditionType::WindSpeed)) note(windSpeed_.Evaluate(weather->windSpeed));
        if (has(ConditionType::MetVisibility)) note(metVisibility_.Evaluate(weather->visibility));
        if (has(ConditionType::MetPrecipitation)) note(metPrecipitation_.Evaluate(weather->precipitation));
        if (has(ConditionType::AirTemperature)) note(airTemperature_.Evaluate(weather->airTemperature));
    }

    if (evaluated == 0) return std::nullopt;
    if (evaluated == 1) return last;
    return evaluator.Evaluate(BuildExpression());
}

std::optional<bool> ConditionalVisibilityData::EvaluateConditions(uint32_t kinds, const ConditionDateTime& dateTime,
                                                                  const ConditionWeather* weather)
{
    ConditionExpression evaluator;
    return EvaluateConditions(kinds, dateTime, weather, evaluator);
}
