#include "foundation/GeoMath.h"
#include "foundation/Units.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using units::kPi;

double Length(const XYZData& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
double Dot(const XYZData& a, const XYZData& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void ExpectVector(const XYZData& v, double x, double y, double z, double tolerance) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

TEST(GeoMathTest, HaversineDistance) {
    EXPECT_EQ(GeoMath::HaversineDistance(47.3, 8.5, 47.3, 8.5), 0.0);
    EXPECT_NEAR(GeoMath::HaversineDistance(0.0, 0.0, 0.0, 1.0), 111319.49, 0.01);
    EXPECT_NEAR(GeoMath::HaversineDistance(0.0, 0.0, 1.0, 0.0), 111319.49, 0.01);
    // Symmetric, and half the circumference between antipodes (no NaN from rounding).
    EXPECT_DOUBLE_EQ(GeoMath::HaversineDistance(50.0, 10.0, 51.0, 12.0),
                     GeoMath::HaversineDistance(51.0, 12.0, 50.0, 10.0));
    EXPECT_NEAR(GeoMath::HaversineDistance(0.0, 0.0, 0.0, 180.0), kPi * 6378137.0, 0.01);
    EXPECT_NEAR(GeoMath::HaversineDistance(90.0, 0.0, -90.0, 0.0), kPi * 6378137.0, 0.01);
}

TEST(GeoMathTest, FlatEarthDistance) {
    // Kilometres per degree at the equator: 110.56724 north-south, 111.3207 east-west.
    EXPECT_NEAR(GeoMath::FlatEarthDistance(0.0, 0.0, 0.0, 1.0), 111320.7, 1e-6);
    EXPECT_NEAR(GeoMath::FlatEarthDistance(-0.5, 0.0, 0.5, 0.0), 110567.24, 1e-6);
    EXPECT_EQ(GeoMath::FlatEarthDistance(10.0, 10.0, 10.0, 10.0), 0.0);
    // A short apron distance agrees with the sphere within a metre.
    const double flat = GeoMath::FlatEarthDistance(47.4500, 8.5600, 47.4504, 8.5606);
    EXPECT_NEAR(flat, GeoMath::HaversineDistance(47.4500, 8.5600, 47.4504, 8.5606), 1.0);
    EXPECT_GT(flat, 50.0);
    EXPECT_LT(flat, 70.0);
}

TEST(GeoMathTest, RhumbLineBearing) {
    struct Case {
        double lat1, lon1, lat2, lon2, expected;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, 1.0, kPi / 2},  {0.0, 0.0, 1.0, 0.0, 0.0},     {0.0, 0.0, 0.0, -1.0, -kPi / 2},
        {0.0, 0.0, -1.0, 0.0, kPi},     {0.0, 0.0, 1.0, 1.0, kPi / 4}, {0.0, 0.0, -1.0, -1.0, -3 * kPi / 4},
        // No wrap at the date line: two degrees east across it reads as 358 degrees west.
        {0.0, 179.0, 0.0, -179.0, -kPi / 2},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(GeoMath::RhumbLineBearing(c.lat1, c.lon1, c.lat2, c.lon2), c.expected, 1e-4)
            << c.lat1 << "," << c.lon1 << " -> " << c.lat2 << "," << c.lon2;
    }
    // At higher latitudes the Mercator stretch matters: due north-east on the map is not 45 degrees here.
    const double b = GeoMath::RhumbLineBearing(60.0, 0.0, 61.0, 1.0);
    EXPECT_GT(b, 0.0);
    EXPECT_LT(b, kPi / 4);
}

TEST(GeoMathTest, RelativeBearingDeadAheadIsTwoPi) {
    // Target due east.
    EXPECT_DOUBLE_EQ(GeoMath::RelativeBearing(0.0, 0.0, kPi / 2, 0.0, 1.0), 2 * kPi);
    EXPECT_NEAR(GeoMath::RelativeBearing(0.0, 0.0, 0.0, 0.0, 1.0), kPi / 2, 1e-12);
    // Target due west, heading north: 3pi/2 (the bearing is brought into [0, 2pi) first).
    EXPECT_NEAR(GeoMath::RelativeBearing(0.0, 0.0, 0.0, 0.0, -1.0), 3 * kPi / 2, 1e-12);
    // Target due north, heading east: behind to the left, 3pi/2.
    EXPECT_NEAR(GeoMath::RelativeBearing(0.0, 0.0, kPi / 2, 1.0, 0.0), 3 * kPi / 2, 1e-12);
    // Heading due north, target due north: 2pi as well.
    EXPECT_DOUBLE_EQ(GeoMath::RelativeBearing(0.0, 0.0, 0.0, 1.0, 0.0), 2 * kPi);
}

TEST(GeoMathTest, ElevationAngle) {
    const double d = GeoMath::HaversineDistance(0.0, 0.0, 0.0, 0.01);
    EXPECT_NEAR(GeoMath::ElevationAngle(0.0, 0.0, 0.0, 0.0, 0.01, d / 0.3048), kPi / 4, 1e-12);
    EXPECT_NEAR(GeoMath::ElevationAngle(0.0, 0.0, 100.0, 0.0, 0.01, 100.0 - d / 0.3048), -kPi / 4, 1e-12);
    EXPECT_NEAR(GeoMath::ElevationAngle(5.0, 5.0, 0.0, 5.0, 5.0, 10.0), kPi / 2, 1e-12);
}

TEST(GeoMathTest, LLAToSimXYZAtTheEquatorAndThePole) {
    XYZData sim;
    GeoMath::LLAToSimXYZ(0.0, 0.0, 0.0, sim);
    ExpectVector(sim, 0.0, 0.0, -6378137.0, 1e-6);

    GeoMath::LLAToSimXYZ(90.0, 0.0, 0.0, sim);
    ExpectVector(sim, 0.0, 6356752.3142, 0.0, 1e-3);

    // Altitude in feet: 1000 ft raises the point by 304.8 m along the radius at 0/90E (sim x = earth Y).
    GeoMath::LLAToSimXYZ(0.0, 90.0, 1000.0, sim);
    ExpectVector(sim, 6378137.0 + 304.8, 0.0, 0.0, 1e-6);
}

TEST(GeoMathTest, EcefRoundTrip) {
    const LLAData points[] = {
        {0.0, 0.0, 0.0}, {47.4647, 8.5492, 1416.0}, {-33.9461, 151.1772, 21.0}, {89.9, -45.0, 100.0},
        {90.0, 0.0, 0.0}, {-90.0, 0.0, 500.0},      {51.47, -0.4543, 83.0},     {10.0, 179.99, 35000.0},
    };
    for (const LLAData& p : points) {
        const XYZData ecef = GeoMath::LLAToECEF(p.GetLatitude(), p.GetLongitude(), p.GetAltitude());
        const LLAData back = GeoMath::ECEFToLLA(ecef);
        EXPECT_NEAR(back.GetLatitude(), p.GetLatitude(), 1e-8) << p.GetLatitude();
        if (std::fabs(p.GetLatitude()) < 90.0) {
            EXPECT_NEAR(back.GetLongitude(), p.GetLongitude(), 1e-8) << p.GetLatitude();
        }
        EXPECT_NEAR(back.GetAltitude(), p.GetAltitude(), 0.01) << p.GetLatitude();

        XYZData sim;
        GeoMath::LLAToSimXYZ(p.GetLatitude(), p.GetLongitude(), p.GetAltitude(), sim);
        const LLAData fromSim = GeoMath::SimXYZToLLA(sim);
        EXPECT_NEAR(fromSim.GetLatitude(), back.GetLatitude(), 1e-12);
        EXPECT_NEAR(fromSim.GetAltitude(), back.GetAltitude(), 1e-6);
    }
}

TEST(GeoMathTest, OffsetLatLonTakesTheHeadingInDegrees) {
    const double degreesPerKm = 0.008983152841195214;  // 1 km on the 6378.137 km sphere
    double lat = 0.0;
    double lon = 0.0;

    GeoMath::OffsetLatLon(45.0, 8.0, 0.0, 1000.0, lat, lon);
    EXPECT_NEAR(lat, 45.0 + degreesPerKm, 1e-12);
    EXPECT_EQ(lon, 8.0);

    GeoMath::OffsetLatLon(45.0, 8.0, 90.0, 1000.0, lat, lon);
    EXPECT_NEAR(lat, 45.0, 1e-12);
    EXPECT_NEAR(lon, 8.0 + degreesPerKm / std::cos(45.0 * kPi / 180.0), 1e-12);

    GeoMath::OffsetLatLon(45.0, 8.0, 180.0, 1000.0, lat, lon);
    EXPECT_NEAR(lat, 45.0 - degreesPerKm, 1e-12);

    // A negative distance moves backwards.
    GeoMath::OffsetLatLon(45.0, 8.0, 0.0, -1000.0, lat, lon);
    EXPECT_NEAR(lat, 45.0 - degreesPerKm, 1e-12);
}

TEST(GeoMathTest, OffsetLatLonAbeamMovesToTheRight) {
    const double degreesPerKm = 0.008983152841195214;
    double lat = 0.0;
    double lon = 0.0;

    GeoMath::OffsetLatLonAbeam(0.0, 0.0, 0.0, 1000.0, lat, lon);
    EXPECT_EQ(lat, 0.0);
    EXPECT_NEAR(lon, degreesPerKm, 1e-12);

    // Heading east: the right-hand side is south.
    GeoMath::OffsetLatLonAbeam(0.0, 0.0, 90.0, 1000.0, lat, lon);
    EXPECT_NEAR(lat, -degreesPerKm, 1e-12);
    EXPECT_NEAR(lon, 0.0, 1e-12);

    // Negative distance: the left-hand side.
    GeoMath::OffsetLatLonAbeam(60.0, 0.0, 0.0, -1000.0, lat, lon);
    EXPECT_EQ(lat, 60.0);
    EXPECT_NEAR(lon, -2.0 * degreesPerKm, 1e-12);
}

TEST(GeoMathTest, MetresToDegrees) {
    double dLat = 0.0;
    double dLon = 0.0;
    GeoMath::MetresToDegrees(60.0, 1000.0, dLat, dLon);
    EXPECT_NEAR(dLat, 0.009013372974292617, 1e-15);
    EXPECT_NEAR(dLon, 0.017966305682390427, 1e-12);
}

TEST(GeoMathTest, VincentyConvergesForOrdinaryPoints) {
    VincentyResult r;
    GeoMath::VincentyInverse(r, 50.0, 10.0, 50.0, 11.0);
    EXPECT_NEAR(r.distanceKm, 71.69521960635511, 1e-9);
    EXPECT_NEAR(r.distanceMetres, 71695.21960635511, 1e-6);
    // Close to, but not the same as, the sphere.
    EXPECT_GT(std::fabs(r.distanceMetres - GeoMath::HaversineDistance(50.0, 10.0, 50.0, 11.0)), 10.0);

    GeoMath::VincentyInverse(r, -33.9, 151.2, 51.5, -0.13);
    EXPECT_NEAR(r.distanceKm, 16991.89610883485, 1e-6);
}

TEST(GeoMathTest, VincentyFallsBackToTheSphere) {
    struct Case {
        double lat1, lon1, lat2, lon2;
        const char* what;
    };
    const Case cases[] = {
        {0.0, 0.0, 0.0, 1.0, "both on the equator"},
        {47.0, 8.0, 47.0, 8.0, "equal points"},
        {0.0, 0.0, 0.5, 179.7, "nearly antipodal"},
    };
    for (const Case& c : cases) {
        VincentyResult r;
        GeoMath::VincentyInverse(r, c.lat1, c.lon1, c.lat2, c.lon2);
        const double sphere = GeoMath::HaversineDistance(c.lat1, c.lon1, c.lat2, c.lon2);
        EXPECT_DOUBLE_EQ(r.distanceMetres, sphere) << c.what;
        EXPECT_DOUBLE_EQ(r.distanceKm, sphere / 1000.0) << c.what;
    }
    VincentyResult r;
    GeoMath::VincentyInverse(r, 0.0, 0.0, 0.0, 1.0);
    EXPECT_NEAR(r.distanceKm, 111.31949079, 1e-8);
}

TEST(GeoMathTest, BuildLocalFrameFrontFollowsTheHeading) {
    LocalFrame frame;
    GeoMath::BuildLocalFrame(0.0, 0.0, 0.0, kPi / 2, frame);
    ExpectVector(frame.position, 0.0, 0.0, -6378137.0, 1e-6);
    // East at 0/0 is earth +Y, which is sim +x; up is earth +X, sim -z.
    ExpectVector(frame.front, 1.0, 0.0, 0.0, 1e-12);
    ExpectVector(frame.top, 0.0, 0.0, -1.0, 1e-12);

    GeoMath::BuildLocalFrame(0.0, 0.0, 0.0, 0.0, frame);
    ExpectVector(frame.front, 0.0, 1.0, 0.0, 1e-12);  // north, sim +y

    GeoMath::BuildLocalFrame(0.0, 0.0, 0.0, kPi, frame);
    ExpectVector(frame.front, 0.0, -1.0, 0.0, 1e-12);  // south

    // Anywhere: front and top are unit vectors at right angles, top points away from the centre.
    GeoMath::BuildLocalFrame(47.46, 8.55, 1400.0, 1.234, frame);
    EXPECT_NEAR(Length(frame.front), 1.0, 1e-12);
    EXPECT_NEAR(Length(frame.top), 1.0, 1e-12);
    EXPECT_NEAR(Dot(frame.front, frame.top), 0.0, 1e-12);
    EXPECT_GT(Dot(frame.top, frame.position), 0.0);
}

TEST(GeoMathTest, RotateAboutAxis) {
    const XYZData r = GeoMath::RotateAboutAxis(XYZData(1.0, 0.0, 0.0), XYZData(0.0, 0.0, 1.0), kPi / 2);
    ExpectVector(r, 0.0, 1.0, 0.0, 1e-15);
    const XYZData along = GeoMath::RotateAboutAxis(XYZData(0.0, 0.0, 2.0), XYZData(0.0, 0.0, 1.0), 1.0);
    ExpectVector(along, 0.0, 0.0, 2.0, 1e-15);
}

TEST(GeoMathTest, OffsetByBody) {
    const LLAData origin(45.0, 8.0, 1000.0);
    const LLAData ahead = GeoMath::OffsetByBody(origin, 0.0, 0.0, 1000.0, 10.0);
    EXPECT_NEAR(ahead.GetLatitude(), 45.008983152841195, 1e-12);
    EXPECT_NEAR(ahead.GetLongitude(), 8.0, 1e-12);
    EXPECT_NEAR(ahead.GetAltitude(), 1032.8084, 1e-9);

    // Heading east, 100 m to the right: south.
    const LLAData right = GeoMath::OffsetByBody(origin, 90.0, 100.0, 0.0, 0.0);
    EXPECT_LT(right.GetLatitude(), 45.0);
    EXPECT_NEAR(right.GetLongitude(), 8.0, 1e-12);
    EXPECT_EQ(right.GetAltitude(), 1000.0);
}

TEST(GeoMathTest, StubIsTheOrigin) {
    ExpectVector(GeoMath::LLAToECEFStub(45.0, 8.0, 1000.0), 0.0, 0.0, 0.0, 0.0);
}

}  // namespace
