#include "link/SeasonalObjectHandler.h"

#include <cmath>
#include <limits>

namespace {

// Truncation towards zero into *out, refused when the result would not fit.
bool TruncateInto(double value, int32_t* out)
{
    if (!std::isfinite(value)) return false;
    double t = std::trunc(value);
    if (t < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        t > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return false;
    *out = static_cast<int32_t>(t);
    return true;
}

// The simulator's rounding: the value plus one half, truncated.
bool RoundHalfUpInto(double value, int32_t* out)
{
    return TruncateInto(value + 0.5, out);
}

}  // namespace

void SeasonalObjectHandler::SetMonthOfYear(double month) { RoundHalfUpInto(month, &monthOfYear_); }

void SeasonalObjectHandler::SetDayOfYear(double day) { TruncateInto(day, &dayOfYear_); }

void SeasonalObjectHandler::SetTimeOfDay(int32_t timeOfDay)
{
    if (timeOfDay < std::numeric_limits<int32_t>::max()) timeOfDay_ = timeOfDay + 1;
}

void SeasonalObjectHandler::SetTimeZoneOffset(int32_t minutes) { timeZoneOffset_ = minutes; }

void SeasonalObjectHandler::SetZuluTime(int32_t minutes) { zuluTime_ = minutes; }

void SeasonalObjectHandler::SetLocalYear(int32_t year) { localYear_ = year; }

void SeasonalObjectHandler::SetDayOfMonth(double day) { TruncateInto(day, &dayOfMonth_); }

void SeasonalObjectHandler::SetDayOfWeek(double day, bool asIs)
{
    RoundHalfUpInto(asIs ? day : day - 1.0, &dayOfWeek_);
}
