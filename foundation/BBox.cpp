#include "foundation/BBox.h"

#include <cmath>

BBox::BBox(const BBoxPoint& centre, const BBoxPoint& halfSize)
    : centre(centre), halfSize(std::fabs(halfSize.latitude), std::fabs(halfSize.longitude)) {}


bool BBox::Intersects(const BBox& other) const {
    const double aMinLon = centre.longitude - halfSize.longitude;
    const double aMaxLon = centre.longitude + halfSize.longitude;
    const double bMinLon = other.centre.longitude - other.halfSize.longitude;
    const double bMaxLon = other.centre.longitude + other.halfSize.longitude;
    if (!(aMaxLon >= bMinLon && bMaxLon >= aMinLon)) {
        return false;
    }
    const double aMinLat = centre.latitude - halfSize.latitude;
    const double aMaxLat = centre.latitude + halfSize.latitude;
    const double bMinLat = other.centre.latitude - other.halfSize.latitude;
    const double bMaxLat = other.centre.latitude + other.halfSize.latitude;
    return aMaxLat >= bMinLat && bMaxLat >= aMinLat;
}
