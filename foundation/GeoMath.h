// Geodesy on the WGS84 ellipsoid and on a sphere of radius 6378.137 km.
//
// Angles are degrees unless the name of the argument says radians; altitudes in feet; distances in
// metres unless said otherwise. The earth-centred frame has X towards 0/0, Y towards 0/90E and Z towards
// the north pole; the simulator's axes are (Y, Z, -X) of it.
#pragma once

#include "foundation/Records.h"
#include "foundation/Units.h"

// The inverse problem's answer.
struct VincentyResult {
    double distanceKm = 0.0;
    double distanceMetres = 0.0;
};

// Listener frame: position, front and top, all in the simulator's axes.
struct LocalFrame {
    XYZData position;
    XYZData front;
    XYZData top;
};

class GeoMath {
public:
    static constexpr double SemiMajorAxis = 6378137.0;      // a, metres
    static constexpr double SemiMinorAxis = 6356752.3142;   // b, metres
    static constexpr double EccentricitySquared = 0.00669437999014;
    static constexpr double OneMinusEccentricitySquared = 0.99330562000986;
    static constexpr double OneMinusFlattening = 0.9966471893281691;  // b / a
    static constexpr double Flattening = 0.0033528106718309306;
    static constexpr double SphereRadiusKm = 6378.137;
    static constexpr double SemiMinorAxisKm = 6356.7523142;

    GeoMath() = default;
    virtual ~GeoMath() = default;

    static double DegToRad(double degrees) { return degrees * units::kPi / 180.0; }
    static double RadToDeg(double radians) { return radians * 180.0 / units::kPi; }

    static XYZData LLAToECEF(double latitude, double longitude, double altitudeFt);
    static void LLAToSimXYZ(double latitude, double longitude, double altitudeFt, XYZData& out);

    // Vincenty's inverse formula; falls back to the haversine distance when the series does not settle
    // (equal points, both points on the equator, nearly antipodal points).
    static void VincentyInverse(VincentyResult& out, double latitude1, double longitude1, double latitude2,
                                double longitude2);
    static double HaversineDistance(double latitude1, double longitude1, double latitude2, double longitude2);
    static double FlatEarthDistance(double latitude1, double longitude1, double latitude2, double longitude2);

    // Radians in (-pi, pi], 0 = north, positive towards east; longitudes are not wrapped at the date line.
    static double RhumbLineBearing(double latitude1, double longitude1, double latitude2, double longitude2);
    // Bearing of point 2 seen from point 1 relative to a heading in radians, in (0, 2pi]: dead ahead is 2pi.
    static double RelativeBearing(double latitude1, double longitude1, double headingRad, double latitude2,
                                  double longitude2);
    // Radians, positive when point 2 is higher.
    static double ElevationAngle(double latitude1, double longitude1, double altitude1Ft, double latitude2,
                                 double longitude2, double altitude2Ft);

    // Moves a point along a heading (degrees); a negative distance moves backwards.
    static void OffsetLatLon(double latitude, double longitude, double headingDeg, double distance,
                             double& outLatitude, double& outLongitude);
    // Moves a point at right angles to the heading (degrees), to its right; negative: to its left.
    static void OffsetLatLonAbeam(double latitude, double longitude, double headingDeg, double distance,
                                  double& outLatitude, double& outLongitude);
    static void MetresToDegrees(double latitude, double distance, double& outLatitudeDegrees,
                                double& outLongitudeDegrees);

    static void BuildLocalFrame(double latitude, double longitude, double altitudeFt, double headingRad,
                                LocalFrame& out);

    // v rotated about a unit axis by an angle in radians (Rodrigues' formula).
    static XYZData RotateAboutAxis(const XYZData& v, const XYZData& unitAxis, double angleRad);
    // Earth-centred metres to geographic (Bowring's closed form), altitude in feet.
    static LLAData ECEFToLLA(const XYZData& ecef);
    // The inverse of LLAToSimXYZ.
    static LLAData SimXYZToLLA(const XYZData& sim);
    // A position moved by a body offset in metres turned by a heading in degrees: lateral to the right,
    // longitudinal forwards, vertical upwards.
    static LLAData OffsetByBody(const LLAData& origin, double headingDeg, double lateral, double longitudinal,
                                double vertical);
    // Placeholder conversion kept for completeness: always the origin.
    static XYZData LLAToECEFStub(double latitude, double longitude, double altitudeFt);
};
