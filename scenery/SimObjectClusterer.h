// Groups placed objects by geographic proximity: density-based clustering (DBSCAN) on the haversine
// distance, a centroid per cluster, and the result as a comma-separated table. A stand-alone tool: the
// running program never calls it.
#pragma once

#include <string>
#include <vector>

struct ClusterPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    std::string name;
    int neighbourCount = 0;
    int label = -1;  // SimObjectClusterer::Unvisited, ::Noise or a cluster number from 1
};

class SimObjectClusterer {
public:
    static constexpr int Unvisited = -1;
    static constexpr int Noise = -2;
    static constexpr const char* CentroidName = "Centroid for Cluster";
    static constexpr const char* TableHeader = "ClusterID,Latitude,Longitude,SimObject Internal Name,IsCentroid";

    // eps: neighbourhood radius in metres; minPts: least number of neighbours of a core point.
    SimObjectClusterer(double eps, int minPts) : eps_(eps), minPts_(minPts) {}
    ~SimObjectClusterer() = default;

    // Points added after a Run count from the next Run on.
    void AddPoint(double latitude, double longitude, const std::string& name);
    // Neighbours, clustering, grouping and centroids, from scratch over every point added.
    void Run();

    double GetEps() const { return eps_; }
    int GetMinPts() const { return minPts_; }
    const std::vector<ClusterPoint>& GetPoints() const { return points_; }
    // Indices of the other points within eps of point i, in index order (empty for a bad index).
    std::vector<size_t> GetNeighbours(size_t index) const;
    // Member indices per cluster, largest cluster first; equal sizes keep their cluster number order.
    const std::vector<std::vector<size_t>>& GetClusters() const { return clusters_; }
    // Cluster number of each entry of GetClusters.
    const std::vector<int>& GetClusterIds() const { return clusterIds_; }
    // One per entry of GetClusters, at its members' mean latitude and longitude.
    const std::vector<ClusterPoint>& GetCentroids() const { return centroids_; }

    // The header, then per cluster (in GetClusters order) a line per member and its centroid's line:
    // cluster number, latitude, longitude, name, 0 for an object and 1 for a centroid.
    std::string ExportTable() const;
    // Writes ExportTable to a file (Windows path, CR LF lines). False when it cannot be written.
    bool WriteTable(const std::string& path) const;

private:
    bool IsNeighbour(size_t a, size_t b) const;
    void Expand(size_t seed, int cluster);

    double eps_;
    int minPts_;
    std::vector<ClusterPoint> points_;
    std::vector<std::vector<size_t>> clusters_;
    std::vector<int> clusterIds_;
    std::vector<ClusterPoint> centroids_;
};
