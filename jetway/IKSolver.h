// Whether a jetway reaches an aircraft door and, when it does, the joint targets its motion drives to.
//
// Works on the jetway's record: reads what "jetway.cfg" and jetway control put there and writes the
// targets, the path flags and the dip, head and hood times. Main thread only; keeps no state between
// calls. Unreachable doors come back as bits of an IKFailure mask and, on request, as a text shown in
// the simulator.
#pragma once

#include "foundation/Records.h"
#include "platform/wintypes.h"

#include <cstdint>
#include <string>

namespace log4cpp {
class Category;
}
class JetwayCore;
struct JetwayData;

// The solver's failure mask: one bit per reason.
struct IKFailure {
    static constexpr uint32_t DoorTooClose = 1;
    static constexpr uint32_t DoorTooFar = 2;
    static constexpr uint32_t RotationOutOfRange = 4;
    static constexpr uint32_t Misaligned = 8;
    static constexpr uint32_t NotParallel = 16;
    static constexpr uint32_t DipOutOfRange = 32;
    static constexpr uint32_t TooLowDuringDip = 64;
    static constexpr uint32_t TooHighDuringDip = 128;
    static constexpr uint32_t TooLowDuringExtension = 256;
    static constexpr uint32_t TooHighDuringExtension = 512;
    static constexpr uint32_t HeadOutOfRange = 1024;
    static constexpr uint32_t NoPlacement = 2048;
    static constexpr uint32_t NoJetway = 4096;
    static constexpr uint32_t All = 0x1FFF;
};

class IKSolver {
public:
    static constexpr double kHeadToleranceDeg = 2.0;
    static constexpr double kExtensionTolerance = 0.24;  // metres
    static constexpr double kSplitRotationDeg = 30.0;
    static constexpr size_t kTextCapacity = 512;  // the shown text, terminator included

    // log: "VELK.IKSOLVER", not owned; may be null.
    explicit IKSolver(log4cpp::Category* log) : log_(log) {}
    virtual ~IKSolver() = default;

    void SetConnection(HANDLE simConnect) { simConnect_ = simConnect; }
    void SetFastJetways(bool fast) { fastJetways_ = fast; }
    bool IsFastJetways() const { return fastJetways_; }

    // True when every test passed. placement: the jetway object's; heading: the aircraft's true
    // heading in degrees; door: the door's position, whose altitude may be raised for the bridge mouth
    // (the caller goes on with the raised value). Failures add their bits to mask, which the caller
    // clears. Inputs that are missing or no usable numbers fail with NoPlacement or NoJetway and leave
    // the record and the door as they were.
    bool Solve(const PlacementData* placement, JetwayCore* jetway, double heading, LLAData& door, bool showText,
               uint32_t& mask) const;

    // Appends one reason text per set bit, in the order in which a reader wants them.
    static void FailureText(uint32_t mask, std::string& text);

private:
    struct Geometry;
    class Report;

    Geometry Locate(const PlacementData& placement, JetwayData& r, const LLAData& door) const;
    void SolveHead(JetwayData& r, double heading, double bearing, bool& headClamped) const;
    bool CheckInputs(const PlacementData& placement, const JetwayData& r, const LLAData& door,
                     double heading, uint32_t& mask) const;

    HANDLE simConnect_ = nullptr;
    log4cpp::Category* log_;
    bool fastJetways_ = false;
};
