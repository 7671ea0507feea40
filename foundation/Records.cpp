#include "foundation/Records.h"

#include <cmath>

void LLAData::Set(double newLatitude, double newLongitude, double newAltitude) {
    SetLatitude(newLatitude);
    SetLongitude(newLongitude);
    SetAltitude(newAltitude);
}

void PBHData::Set(double newPitch, double newBank, double newHeading) {
    SetPitch(newPitch);
    SetBank(newBank);
    SetHeading(newHeading);
}

bool PlacementData::Set(double latitude, double longitude, double altitude, bool isAgl, bool isZero,
                        double pitch, double bank, double heading) {
    LLAData::Set(latitude, longitude, altitude);
    PBHData::Set(pitch, bank, heading);
    altitudeIsAgl = isAgl;
    altitudeIsZero = isZero;
    return altitudeIsZero;
}

bool PlacementData::IsZeroAltitude(double feet) {
    // Compared as a double: a cast of feet * 100000 to a 32-bit integer overflows for large altitudes.
    return std::fabs(feet * 100000.0) < 1.0;
}
