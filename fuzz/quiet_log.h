// A quiet log for the fuzz targets whose readers log (kept apart from fuzz_support.h: log4cpp's headers
// need its library at link time).
#pragma once

#include <log4cpp/Category.hh>
#include <log4cpp/Priority.hh>

namespace velk_fuzz {

// A log category that writes nothing (fatal lines aside) and passes nothing to the root: a run's refusals
// are expected by the thousand and are not what a target checks.
inline log4cpp::Category& QuietLog(const char* name)
{
    log4cpp::Category& log = log4cpp::Category::getInstance(name);
    log.removeAllAppenders();
    log.setAdditivity(false);
    log.setPriority(log4cpp::Priority::FATAL);
    return log;
}

}  // namespace velk_fuzz
