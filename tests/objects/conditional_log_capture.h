// Captures what the placement reader's log category writes, one "PRIORITY message" line each.
#pragma once

#include "tests/support/LogCapture.h"

namespace conditional_testing {

class XmlLogCapture : public testsupport::LogCapture {
public:
    XmlLogCapture() : LogCapture("VELK.XML") {}
};

}  // namespace conditional_testing
