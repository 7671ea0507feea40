// The simulator's local date and time as the seasonal and time-of-day conditions use them.
// Filled field by field from the per-second date and time answer.
#pragma once

#include <cstdint>

class SeasonalObjectHandler {
public:
    // Each setter takes the simulator variable as it arrives. A value that does not fit the field
    // (not a number, or out of the 32-bit range) leaves the field as it was.
    void SetMonthOfYear(double month);              // rounded, halves up
    void SetDayOfYear(double day);                  // truncated
    void SetTimeOfDay(int32_t timeOfDay);           // stored + 1: 1 dawn, 2 day, 3 dusk, 4 night
    void SetTimeZoneOffset(int32_t minutes);
    void SetZuluTime(int32_t minutes);
    void SetLocalYear(int32_t year);
    void SetDayOfMonth(double day);                 // truncated
    // asIs: the platform counts the days of the week as the conditions do; otherwise one less.
    void SetDayOfWeek(double day, bool asIs);       // rounded, halves up

    int32_t GetMonthOfYear() const { return monthOfYear_; }
    int32_t GetTimeOfDay() const { return timeOfDay_; }
    int32_t GetDayOfWeek() const { return dayOfWeek_; }
    int32_t GetDayOfMonth() const { return dayOfMonth_; }
    int32_t GetDayOfYear() const { return dayOfYear_; }
    int32_t GetTimeZoneOffset() const { return timeZoneOffset_; }
    int32_t GetZuluTime() const { return zuluTime_; }
    int32_t GetLocalYear() const { return localYear_; }

    void SetChanged(bool changed) { changed_ = changed; }
    bool IsChanged() const { return changed_; }
    // Once set it stays set.
    void SetInitialised() { initialised_ = true; }
    bool IsInitialised() const { return initialised_; }

private:
    bool initialised_ = false;
    bool changed_ = false;
    int32_t monthOfYear_ = 0;
    int32_t timeOfDay_ = 0;
    int32_t dayOfWeek_ = 7;
    int32_t dayOfMonth_ = 0;
    int32_t dayOfYear_ = 0;
    int32_t timeZoneOffset_ = 0;
    int32_t zuluTime_ = 0;
    int32_t localYear_ = 0;
};
