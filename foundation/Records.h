// Position, attitude, vector and placement records.
//
// These are compiled into the in-simulator module as well, so they stay free of logging, files and
// platform calls. They travel between the two programs only through explicit codecs, never as raw bytes.
#pragma once

// A geographic position: degrees north and east, altitude in feet.
class LLAData {
public:
    LLAData() = default;
    LLAData(double latitude, double longitude, double altitude)
        : latitude(latitude), longitude(longitude), altitude(altitude) {}
    LLAData(const LLAData&) = default;
    LLAData& operator=(const LLAData&) = default;
    virtual ~LLAData() = default;

    void SetLatitude(double value) { latitude = value; }
    void SetLongitude(double value) { longitude = value; }
    void SetAltitude(double value) { altitude = value; }
    void Set(double newLatitude, double newLongitude, double newAltitude);

    double GetLatitude() const { return latitude; }
    double GetLongitude() const { return longitude; }
    double GetAltitude() const { return altitude; }

private:
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
};

// An attitude in degrees, in the order of the simulator's initial-position structure.
class PBHData {
public:
    PBHData() = default;
    PBHData(double pitch, double bank, double heading) : pitch(pitch), bank(bank), heading(heading) {}
    PBHData(const PBHData&) = default;
    PBHData& operator=(const PBHData&) = default;
    virtual ~PBHData() = default;

    void SetPitch(double value) { pitch = value; }
    void SetBank(double value) { bank = value; }
    void SetHeading(double value) { heading = value; }
    void Set(double newPitch, double newBank, double newHeading);

    double GetPitch() const { return pitch; }
    double GetBank() const { return bank; }
    double GetHeading() const { return heading; }

private:
    double pitch = 0.0;
    double bank = 0.0;
    double heading = 0.0;
};

// A vector in metres; its frame is the one of whatever filled it.
class XYZData {
public:
    XYZData() = default;
    XYZData(double x, double y, double z) : x(x), y(y), z(z) {}
    XYZData(const XYZData&) = default;
    XYZData& operator=(const XYZData&) = default;
    virtual ~XYZData() = default;

    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Where one object or part stands.
class PlacementData : public LLAData, public PBHData {
public:
    PlacementData() = default;
    PlacementData(const PlacementData&) = default;
    PlacementData& operator=(const PlacementData&) = default;
    ~PlacementData() override = default;

    // Replaces the position, attitude and both flags; the altitude offset stays. Returns altitudeIsZero.
    bool Set(double latitude, double longitude, double altitude, bool isAgl, bool isZero, double pitch,
             double bank, double heading);

    void SetAltitudeIsAgl(bool value) { altitudeIsAgl = value; }
    bool IsAltitudeAgl() const { return altitudeIsAgl; }
    bool IsAltitudeZero() const { return altitudeIsZero; }

    void SetAltitudeOffset(double feet) { altitudeOffset = feet; }
    double GetAltitudeOffset() const { return altitudeOffset; }

    // The zero-altitude test of a placement: |feet| below 0.00001 (feet * 100000 truncates to 0).
    // Works for any double; NaN is not zero.
    static bool IsZeroAltitude(double feet);

private:
    bool altitudeIsAgl = false;
    bool altitudeIsZero = false;
    double altitudeOffset = 0.0;
};
