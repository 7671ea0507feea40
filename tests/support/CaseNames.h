// Names of parameterised test cases taken from the "name" field of their row, so that a case keeps the
// same name from run to run (and "ctest --rerun-failed" finds it again). Runs at test registration.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// The row's own name: letters, digits and "_", unique within its suite (the test framework refuses
// anything else when the tests are registered).
struct CaseName {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const
    {
        return std::string(info.param.name);
    }
};

}  // namespace testsupport
