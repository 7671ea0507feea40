#include "scenery/SimObjectClusterer.h"

#include "foundation/GeoMath.h"
#include "platform/files.h"

#include <algorithm>
#include <charconv>
#include <numeric>

namespace {

// Fixed notation with eight decimals (about a millimetre), the same in every locale.
std::string FormatDegrees(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 8);
    if (result.ec != std::errc()) return "nan";
    return std::string(text, result.ptr);
}

// A name holding the separator, a quote or a line break is quoted, so that it stays one field.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void AppendLine(std::string& table, int cluster, const ClusterPoint& point, bool centroid)
{
    table += std::to_string(cluster);
    table += ',';
    table += FormatDegrees(point.latitude);
    table += ',';
    table += FormatDegrees(point.longitude);
    table += ',';
    table += CsvField(point.name);
    table += centroid ? ",1\n" : ",0\n";
}

}  // namespace

void SimObjectClusterer::AddPoint(double latitude, double longitude, const std::string& name)
{
    ClusterPoint point;
    point.latitude = latitude;
    point.longitude = longitude;
    point.name = name;
    points_.push_back(std::move(point));
}

bool SimObjectClusterer::IsNeighbour(size_t a, size_t b) const
{
    if (a == b) return false;
    const ClusterPoint& p = points_[a];
    const ClusterPoint& q = points_[b];
    // A NaN distance (bad coordinates) compares false: such a point has no neighbours.
    return eps_ >= GeoMath::HaversineDistance(p.latitude, p.longitude, q.latitude, q.longitude);
}

std::vector<size_t> SimObjectClusterer::GetNeighbours(size_t index) const
{
    std::vector<size_t> neighbours;
    if (index >= points_.size()) return neighbours;
    for (size_t other = 0; other < points_.size(); ++other) {
        if (IsNeighbour(index, other)) neighbours.push_back(other);
    }
    return neighbours;
}

// Labels the seed and everything density-reachable from it that is still unvisited. The neighbour
// lists are computed as they are needed and the walk uses its own stack, so neither memory nor the
// call stack grows with the square of the point count or the depth of a chain.
void SimObjectClusterer::Expand(size_t seed, int cluster)
{
    std::vector<size_t> pending{seed};
    points_[seed].label = cluster;
    while (!pending.empty()) {
        const size_t current = pending.back();
        pending.pop_back();
        if (points_[current].neighbourCount < minPts_) continue;  // a border point is not expanded
        for (size_t other = 0; other < points_.size(); ++other) {
            if (points_[other].label != Unvisited || !IsNeighbour(current, other)) continue;
            points_[other].label = cluster;
            pending.push_back(other);
        }
    }
}

void SimObjectClusterer::Run()
{
    clusters_.clear();
    clusterIds_.clear();
    centroids_.clear();

    const size_t count = points_.size();
    for (size_t i = 0; i < count; ++i) {
        int neighbours = 0;
        for (size_t j = 0; j < count; ++j) {
            if (IsNeighbour(i, j)) ++neighbours;
        }
        points_[i].neighbourCount = neighbours;
        points_[i].label = Unvisited;
    }

    int clusterCount = 0;
    for (size_t i = 0; i < count; ++i) {
        if (points_[i].label != Unvisited) continue;
        if (points_[i].neighbourCount >= minPts_) {
            Expand(i, ++clusterCount);
        } else {
            points_[i].label = Noise;
        }
    }

    std::vector<std::vector<size_t>> members(static_cast<size_t>(clusterCount));
    for (size_t i = 0; i < count; ++i) {
        if (points_[i].label >= 1) members[static_cast<size_t>(points_[i].label - 1)].push_back(i);
    }
    std::vector<int> order(static_cast<size_t>(clusterCount));
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(), [&members](int a, int b) {
        return members[static_cast<size_t>(a - 1)].size() > members[static_cast<size_t>(b - 1)].size();
    });

    for (int id : order) {
        std::vector<size_t>& cluster = members[static_cast<size_t>(id - 1)];
        double latitudeSum = 0.0;
        double longitudeSum = 0.0;
        for (size_t index : cluster) {
            latitudeSum += points_[index].latitude;
            longitudeSum += points_[index].longitude;
        }
        ClusterPoint centroid;
        centroid.latitude = latitudeSum / static_cast<double>(cluster.size());
        centroid.longitude = longitudeSum / static_cast<double>(cluster.size());
        centroid.name = CentroidName;
        centroid.neighbourCount = 0;
        centroid.label = id;
        centroids_.push_back(std::move(centroid));
        clusterIds_.push_back(id);
        clusters_.push_back(std::move(cluster));
    }
}

std::string SimObjectClusterer::ExportTable() const
{
    std::string table = TableHeader;
    table += '\n';
    for (size_t c = 0; c < clusters_.size(); ++c) {
        for (size_t index : clusters_[c]) AppendLine(table, clusterIds_[c], points_[index], false);
        AppendLine(table, clusterIds_[c], centroids_[c], true);
    }
    return table;
}

bool SimObjectClusterer::WriteTable(const std::string& path) const
{
    return platform::WriteWholeFile(path, ExportTable(), true);
}
