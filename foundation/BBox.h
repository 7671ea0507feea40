// Axis-aligned boxes on the latitude/longitude plane, given by centre and half-size (degrees).
#pragma once

struct BBoxPoint {
    BBoxPoint() = default;
    BBoxPoint(double latitude, double longitude) : latitude(latitude), longitude(longitude) {}

    double latitude = 0.0;
    double longitude = 0.0;
};

class BBox {
public:
    BBox() = default;
    // A negative half-size is taken by its magnitude.
    BBox(const BBoxPoint& centre, const BBoxPoint& halfSize);
    BBox(const BBox&) = default;
    BBox& operator=(const BBox&) = default;
    virtual ~BBox() = default;

    // Bounds included; a NaN coordinate is outside every box. Inline: the quadtree asks it at every level
    // of every insertion and query.
    bool Contains(double latitude, double longitude) const
    {
        // Written so that every comparison with NaN is false.
        return centre.latitude - halfSize.latitude <= latitude && latitude <= centre.latitude + halfSize.latitude &&
               centre.longitude - halfSize.longitude <= longitude &&
               longitude <= centre.longitude + halfSize.longitude;
    }
    // Overlap on both axes, touching included.
    bool Intersects(const BBox& other) const;

    const BBoxPoint& GetCentre() const { return centre; }
    const BBoxPoint& GetHalfSize() const { return halfSize; }

private:
    BBoxPoint centre;
    BBoxPoint halfSize;
};
