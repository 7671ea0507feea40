// Captures what a log4cpp category writes, one "PRIORITY message" line each.
#pragma once

#include "tests/support/LogCapture.h"

namespace sound_testing {

using testsupport::LogCapture;

}  // namespace sound_testing
