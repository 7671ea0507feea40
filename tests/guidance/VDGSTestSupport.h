// Helpers of the docking guidance tests: a display object standing in for a placed scenery object, and
// a stand with a display and the user aircraft rolling towards it, stepped tick by tick.
#pragma once

#include "aircraft/UserAircraft.h"
#include "foundation/GeoMath.h"
#include "guidance/VDGSHandler.h"

#include <array>
#include <cstdint>
#include <string>

namespace vdgstest {

class FakeDisplay : public VDGSDisplayObject {
public:
    FakeDisplay(const std::string& icao, const std::string& gate, int32_t number, uint32_t objectId,
                double lat = 47.0, double lon = 8.0, double heading = 0.0)
        : objectId(objectId), latitude(lat), longitude(lon), heading(heading)
    {
        stand.Set(icao, gate, number, "", "", false);
    }

    const StandData& GetStandData() const override { return stand; }
    uint32_t GetObjectId() const override { return objectId; }
    double GetLatitude() const override { return latitude; }
    double GetLongitude() const override { return longitude; }
    double GetHeading() const override { return heading; }
    VDGS* GetCurrentVDGS() override { return hasModel ? &vdgs : nullptr; }

    StandData stand;
    uint32_t objectId;
    double latitude;
    double longitude;
    double heading;
    VDGS vdgs;
    bool hasModel = true;
};

// A display at a stand and the user aircraft, stepped as the 6 Hz event does: the display's fast
// counter, then one guidance step.
class Stand {
public:
    static constexpr double kNoseWheelX = 5.0;  // metres ahead of the aircraft's reference point

    explicit Stand(double heading = 0.0) : display("LSZH", "GATE_A", 12, 501, 47.0, 8.0, heading)
    {
        aircraft.GetNoseWheel().SetOffsets(kNoseWheelX, 0.0, -2.0);
        aircraft.SetHasNoseWheel(true);
        handler.RegisterVDGS(&display);
    }

    // Activation as the program does it when the switched-on display has been created.
    void Activate()
    {
        handler.SetCurrentStand(display.stand);
        display.vdgs.SetStateStandby();
        handler.RequestActivation();
    }

    // Puts the aircraft so that its nose wheel is `along` metres from the display against the display's
    // heading and `across` metres to the right, the aircraft heading the same way as the display.
    void PlaceNoseWheel(double along, double across = 0.0)
    {
        const LLAData nose = VDGS::StopPoint(display.latitude, display.longitude, display.heading, along, across);
        // The reference point is behind the nose wheel, on the sphere the aircraft record steps on.
        double lat = 0.0;
        double lon = 0.0;
        GeoMath::OffsetLatLon(nose.GetLatitude(), nose.GetLongitude(), display.heading, -kNoseWheelX, lat, lon);
        SetPosition(lat, lon, display.heading);
    }

    void SetPosition(double lat, double lon, double headingDeg)
    {
        const double toRad = 3.141592653589793 / 180.0;
        const std::array<double, UserAircraft::kSimDataCount> block = {
            lat, lon, 1400.0, 0.0, 0.0, headingDeg * toRad, 0.0, 0.0, 0.0, speed, speed * 1.94384};
        aircraft.SetFromSimData(block.data(), block.size());
        aircraft.UpdateNoseWheelPosition();
    }

    void SetParkingBrake(bool set)
    {
        const std::array<double, UserAircraft::kStateDataCount> block = {set ? 1.0 : 0.0, 0, 2, 0, 0, 0, 0, 0, 0, 1};
        aircraft.SetStateFromSimData(block.data(), block.size());
    }

    VDGSGuidanceOutcome Tick()
    {
        if (VDGSDisplayObject* active = handler.GetActiveVDGS()) {
            if (VDGS* vdgs = active->GetCurrentVDGS()) vdgs->AdvanceFastCounter();
        }
        last = handler.StepGuidance(aircraft, icaoType, noseDoorStand);
        return last;
    }

    // Ticks until the state changes or the limit is reached; the number of ticks taken.
    int TickUntilStateChanges(int limit)
    {
        const int32_t start = display.vdgs.GetState();
        for (int tick = 1; tick <= limit; ++tick) {
            Tick();
            if (display.vdgs.GetState() != start) return tick;
        }
        return -1;
    }

    int32_t State() const { return display.vdgs.GetState(); }

    VDGSHandler handler;
    FakeDisplay display;
    UserAircraft aircraft;
    std::string icaoType = "A320";
    bool noseDoorStand = false;
    double speed = 0.0;  // forward m/s, reported as the body velocity
    VDGSGuidanceOutcome last;
};

}  // namespace vdgstest
