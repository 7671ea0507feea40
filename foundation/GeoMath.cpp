#include "foundation/GeoMath.h"

#include <cmath>

namespace {

XYZData Cross(const XYZData& a, const XYZData& b) {
    return XYZData(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

double Dot(const XYZData& a, const XYZData& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

XYZData ToSimAxes(const XYZData& ecef) { return XYZData(ecef.y, ecef.z, -ecef.x); }

}  // namespace

XYZData GeoMath::LLAToECEF(double latitude, double longitude, double altitudeFt) {
    const double phi = DegToRad(latitude);
    const double lambda = DegToRad(longitude);
    const double h = altitudeFt * units::kMetresPerFoot;
    const double sinPhi = std::sin(phi);
    const double n = SemiMajorAxis / std::sqrt(1.0 - EccentricitySquared * sinPhi * sinPhi);
    return XYZData((n + h) * std::cos(phi) * std::cos(lambda), (n + h) * std::cos(phi) * std::sin(lambda),
                   (n * OneMinusEccentricitySquared + h) * sinPhi);
}

void GeoMath::LLAToSimXYZ(double latitude, double longitude, double altitudeFt, XYZData& out) {
    out = ToSimAxes(LLAToECEF(latitude, longitude, altitudeFt));
}

void GeoMath::VincentyInverse(VincentyResult& out, double latitude1, double longitude1, double latitude2,
                              double longitude2) {
    const double f = Flattening;
    const double phi1 = DegToRad(latitude1);
    const double phi2 = DegToRad(latitude2);
    const double bigL = DegToRad(longitude1) - DegToRad(longitude2);

    const double tanU1 = OneMinusFlattening * std::tan(phi1);
    const double cosU1 = 1.0 / std::sqrt(1.0 + tanU1 * tanU1);
    const double sinU1 = cosU1 * tanU1;
    const double tanU2 = OneMinusFlattening * std::tan(phi2);
    const double cosU2 = 1.0 / std::sqrt(1.0 + tanU2 * tanU2);
    const double sinU2 = cosU2 * tanU2;

    double lambda = bigL;
    double sinSigma = 0.0;
    double cosSigma = 0.0;
    double sigma = 0.0;
    double cosSqAlpha = 0.0;
    double cos2SigmaM = 0.0;
    bool converged = false;
    for (int round = 0; round < 100; ++round) {
        const double sinLambda = std::sin(lambda);
        const double cosLambda = std::cos(lambda);
        const double t1 = cosU2 * sinLambda;
        const double t2 = cosU1 * sinU2 - sinU1 * cosU2 * cosLambda;
        sinSigma = std::sqrt(t1 * t1 + t2 * t2);
        cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
        sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
        cosSqAlpha = 1.0 - sinAlpha * sinAlpha;
        cos2SigmaM = cosSigma - 2.0 * sinU1 * sinU2 / cosSqAlpha;
        const double k = f / 16.0 * cosSqAlpha * (4.0 + f * (4.0 - 3.0 * cosSqAlpha));
        const double next =
            bigL + (1.0 - k) * f * sinAlpha *
                       (sigma + k * sinSigma * (cos2SigmaM + k * cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)));
        if (!std::isfinite(next)) {
            // Equal points or points on the equator: the series has no value and would never settle.
            break;
        }
        if (std::fabs(next - lambda) < 1e-12) {
            converged = true;
            break;
        }
        lambda = next;
    }

    if (!converged) {
        out.distanceMetres = HaversineDistance(latitude1, longitude1, latitude2, longitude2);
        out.distanceKm = out.distanceMetres / 1000.0;
        return;
    }

    // (a^2 - b^2) / b^2 with a and b in kilometres.
    const double uSq = cosSqAlpha * 272331.6066819355 / 40408299.98408706;
    const double bigA = 1.0 + uSq / 16384.0 * (4096.0 + uSq * (-768.0 + uSq * (320.0 - 175.0 * uSq)));
    const double bigB = uSq / 1024.0 * (256.0 + uSq * (-128.0 + uSq * (74.0 - 47.0 * uSq)));
    const double deltaSigma =
        bigB * sinSigma *
        (cos2SigmaM + bigB / 4.0 *
                          (cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM) -
                           bigB / 6.0 * cos2SigmaM * (-3.0 + 4.0 * sinSigma * sinSigma) *
                               (-3.0 + 4.0 * cos2SigmaM * cos2SigmaM)));
    out.distanceKm = SemiMinorAxisKm * bigA * (sigma - deltaSigma);
    out.distanceMetres = out.distanceKm * 1000.0;
}

double GeoMath::HaversineDistance(double latitude1, double longitude1, double latitude2, double longitude2) {
    const double phi1 = DegToRad(latitude1);
    const double phi2 = DegToRad(latitude2);
    const double sinHalfPhi = std::sin((phi1 - phi2) / 2.0);
    const double sinHalfLambda = std::sin((DegToRad(longitude1) - DegToRad(longitude2)) / 2.0);
    double a = sinHalfPhi * sinHalfPhi + std::cos(phi2) * std::cos(phi1) * sinHalfLambda * sinHalfLambda;
    // Rounding can push a a hair above 1 for antipodal points.
    if (a > 1.0) {
        a = 1.0;
    }
    return 2.0 * std::atan2(std::sqrt(a), std::sqrt(1.0 - a)) * SphereRadiusKm * 1000.0;
}

double GeoMath::FlatEarthDistance(double latitude1, double longitude1, double latitude2, double longitude2) {
    const double p = DegToRad((latitude1 + latitude2) / 2.0);
    const double kmPerDegLat = 111.13209 - 0.56605 * std::cos(2.0 * p) + 0.0012 * std::cos(4.0 * p);
    const double kmPerDegLon = 111.41513 * std::cos(p) - 0.09455 * std::cos(3.0 * p) + 0.00012 * std::cos(5.0 * p);
    const double north = kmPerDegLat * (latitude2 - latitude1);
    const double east = kmPerDegLon * (longitude2 - longitude1);
    return std::sqrt(north * north + east * east) * 1000.0;
}

double GeoMath::RhumbLineBearing(double latitude1, double longitude1, double latitude2, double longitude2) {
    const double phi1 = DegToRad(latitude1);
    const double phi2 = DegToRad(latitude2);
    const double deltaPsi =
        std::log(std::tan(units::kPi / 4.0 + phi2 / 2.0) / std::tan(units::kPi / 4.0 + phi1 / 2.0));
    const double deltaLambda = DegToRad(longitude2) - DegToRad(longitude1);
    return std::atan2(deltaLambda, deltaPsi);
}

double GeoMath::RelativeBearing(double latitude1, double longitude1, double headingRad, double latitude2,
                                double longitude2) {
    double bearing = RhumbLineBearing(latitude1, longitude1, latitude2, longitude2);
    if (bearing < 0.0) {
        bearing += 2.0 * units::kPi;
    }
    double relative = bearing - headingRad;
    if (relative <= 0.0) {
        relative += 2.0 * units::kPi;
    }
    return relative;
}

double GeoMath::ElevationAngle(double latitude1, double longitude1, double altitude1Ft, double latitude2,
                               double longitude2, double altitude2Ft) {
    return std::atan2((altitude2Ft - altitude1Ft) * units::kMetresPerFoot,
                      HaversineDistance(latitude1, longitude1, latitude2, longitude2));
}

void GeoMath::OffsetLatLon(double latitude, double longitude, double headingDeg, double distance,
                           double& outLatitude, double& outLongitude) {
    const double d = distance / 1000.0;
    const double h = DegToRad(headingDeg);
    outLatitude = latitude + std::cos(h) * d / SphereRadiusKm * 180.0 / units::kPi;
    outLongitude =
        longitude + std::sin(h) * d / (std::cos(DegToRad(latitude)) * SphereRadiusKm) * 180.0 / units::kPi;
}

void GeoMath::OffsetLatLonAbeam(double latitude, double longitude, double headingDeg, double distance,
                                double& outLatitude, double& outLongitude) {
    const double d = distance / 1000.0;
    const double h = DegToRad(headingDeg);
    outLatitude = latitude - std::sin(h) * d / SphereRadiusKm * 180.0 / units::kPi;
    outLongitude =
        longitude + std::cos(h) * d / (std::cos(DegToRad(latitude)) * SphereRadiusKm) * 180.0 / units::kPi;
}

void GeoMath::MetresToDegrees(double latitude, double distance, double& outLatitudeDegrees,
                              double& outLongitudeDegrees) {
    outLatitudeDegrees = distance / SemiMinorAxis * 180.0 / units::kPi;
    outLongitudeDegrees = distance / (std::cos(DegToRad(latitude)) * SemiMajorAxis) * 180.0 / units::kPi;
}

void GeoMath::BuildLocalFrame(double latitude, double longitude, double altitudeFt, double headingRad,
                              LocalFrame& out) {
    LLAToSimXYZ(latitude, longitude, altitudeFt, out.position);

    const double phi = DegToRad(latitude);
    const double lambda = DegToRad(longitude);
    const XYZData north(-std::sin(phi) * std::cos(lambda), -std::sin(phi) * std::sin(lambda), std::cos(phi));
    const XYZData east(-std::sin(lambda), std::cos(lambda), 0.0);
    const XYZData up = Cross(east, north);
    const XYZData down(-up.x, -up.y, -up.z);

    // Turning north about the downward vertical by the heading: pi/2 points east.
    const XYZData front = RotateAboutAxis(north, down, headingRad);
    out.front = ToSimAxes(front);
    out.top = ToSimAxes(up);
}

XYZData GeoMath::RotateAboutAxis(const XYZData& v, const XYZData& unitAxis, double angleRad) {
    const double c = std::cos(angleRad);
    const double s = std::sin(angleRad);
    const XYZData kv = Cross(unitAxis, v);
    const double kDotV = Dot(unitAxis, v) * (1.0 - c);
    return XYZData(v.x * c + kv.x * s + unitAxis.x * kDotV, v.y * c + kv.y * s + unitAxis.y * kDotV,
                   v.z * c + kv.z * s + unitAxis.z * kDotV);
}

LLAData GeoMath::ECEFToLLA(const XYZData& ecef) {
    constexpr double a = SemiMajorAxis;
    constexpr double bSquared = 40408299984661.5;
    constexpr double eSquaredTimesA = 42697.672707171565;
    const double b = std::sqrt(bSquared);
    const double secondEccentricitySquared = (a * a - bSquared) / bSquared;

    const double p = std::sqrt(ecef.x * ecef.x + ecef.y * ecef.y);
    const double theta = std::atan2(ecef.z * a, p * b);
    const double sinTheta = std::sin(theta);
    const double cosTheta = std::cos(theta);
    const double phi = std::atan2(ecef.z + secondEccentricitySquared * b * sinTheta * sinTheta * sinTheta,
                                  p - eSquaredTimesA * cosTheta * cosTheta * cosTheta);
    const double lambda = std::atan2(ecef.y, ecef.x);
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double n = a / std::sqrt(1.0 - EccentricitySquared * sinPhi * sinPhi);
    // p / cos(phi) loses all precision near the poles; there the height comes from z instead.
    const double heightMetres = std::fabs(cosPhi) > 1e-9 ? p / cosPhi - n
                                                         : std::fabs(ecef.z) / std::fabs(sinPhi) -
                                                               n * OneMinusEccentricitySquared;
    return LLAData(RadToDeg(phi), RadToDeg(lambda), heightMetres * units::kFeetPerMetreEcef);
}

LLAData GeoMath::SimXYZToLLA(const XYZData& sim) {
    return ECEFToLLA(XYZData(-sim.z, sim.x, sim.y));
}

LLAData GeoMath::OffsetByBody(const LLAData& origin, double headingDeg, double lateral, double longitudinal,
                              double vertical) {
    double latitude = 0.0;
    double longitude = 0.0;
    OffsetLatLon(origin.GetLatitude(), origin.GetLongitude(), headingDeg, longitudinal, latitude, longitude);
    OffsetLatLonAbeam(latitude, longitude, headingDeg, lateral, latitude, longitude);
    return LLAData(latitude, longitude, origin.GetAltitude() + vertical * units::kFeetPerMetre);
}

XYZData GeoMath::LLAToECEFStub(double, double, double) { return XYZData(); }
