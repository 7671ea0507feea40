// The object clusterer: DBSCAN on the haversine distance, centroids and the exported table.
#include "scenery/SimObjectClusterer.h"

#include "foundation/GeoMath.h"
#include "foundation/Units.h"
#include "tests/support/TempMachineRoot.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using Indices = std::vector<size_t>;

// Degrees of longitude on the equator for a distance in metres on the clusterer's sphere.
double EquatorDegrees(double metres) { return metres / (GeoMath::SphereRadiusKm * 1000.0) * 180.0 / units::kPi; }

std::vector<int> Labels(const SimObjectClusterer& clusterer)
{
    std::vector<int> labels;
    for (const ClusterPoint& point : clusterer.GetPoints()) labels.push_back(point.label);
    return labels;
}

TEST(SimObjectClusterer, MinPtsZeroMakesEveryConnectedGroupACluster)
{
    // A chain a-b-c, 100 m apart (a and c are 200 m apart, beyond eps), and a lone point d.
    SimObjectClusterer clusterer(150.0, 0);
    clusterer.AddPoint(0.0, 0.0, "a");
    clusterer.AddPoint(0.0, EquatorDegrees(100.0), "b");
    clusterer.AddPoint(0.0, EquatorDegrees(200.0), "c");
    clusterer.AddPoint(10.0, 10.0, "d");
    clusterer.Run();

    EXPECT_EQ(Labels(clusterer), (std::vector<int>{1, 1, 1, 2}));
    EXPECT_EQ(clusterer.GetNeighbours(0), (Indices{1}));
    EXPECT_EQ(clusterer.GetNeighbours(1), (Indices{0, 2}));
    EXPECT_EQ(clusterer.GetNeighbours(3), Indices{});
    EXPECT_EQ(clusterer.GetPoints()[1].neighbourCount, 2);
    ASSERT_EQ(clusterer.GetClusters().size(), 2u);
    EXPECT_EQ(clusterer.GetClusters()[0], (Indices{0, 1, 2}));
    EXPECT_EQ(clusterer.GetClusters()[1], (Indices{3}));
}

TEST(SimObjectClusterer, PointsExactlyEpsApartAreNeighbours)
{
    const double lat1 = 47.4612, lon1 = 8.5535, lat2 = 47.4647, lon2 = 8.5589;
    const double distance = GeoMath::HaversineDistance(lat1, lon1, lat2, lon2);
    const struct {
        double eps;
        bool neighbours;
    } cases[] = {
        {distance, true},
        {std::nextafter(distance, 0.0), false},
        {std::nextafter(distance, 1e9), true},
    };
    for (const auto& c : cases) {
        SimObjectClusterer clusterer(c.eps, 1);
        clusterer.AddPoint(lat1, lon1, "gate 1");
        clusterer.AddPoint(lat2, lon2, "gate 2");
        clusterer.Run();
        EXPECT_EQ(clusterer.GetPoints()[0].neighbourCount, c.neighbours ? 1 : 0) << c.eps;
        EXPECT_EQ(clusterer.GetClusters().size(), c.neighbours ? 1u : 0u) << c.eps;
        EXPECT_EQ(Labels(clusterer), (c.neighbours ? std::vector<int>{1, 1} : std::vector<int>{-2, -2}));
    }
}

TEST(SimObjectClusterer, ABorderPointMetBeforeItsCoreIsNoise)
{
    // On the equator: border b, core c 100 m east of it, x 100 m further east. eps 150 m, minPts 2:
    // c has two neighbours (b and x), b and x one each.
    const double b = 0.0, c = EquatorDegrees(100.0), x = EquatorDegrees(200.0);
    const struct {
        const char* label;
        std::vector<std::pair<const char*, double>> points;
        std::vector<int> labels;
        size_t clustered;
    } cases[] = {
        {"border first", {{"b", b}, {"c", c}, {"x", x}}, {-2, 1, 1}, 2},
        {"border after its core", {{"c", c}, {"b", b}, {"x", x}}, {1, 1, 1}, 3},
        {"border last", {{"x", x}, {"c", c}, {"b", b}}, {-2, 1, 1}, 2},
    };
    for (const auto& test : cases) {
        SimObjectClusterer clusterer(150.0, 2);
        for (const auto& [name, longitude] : test.points) clusterer.AddPoint(0.0, longitude, name);
        clusterer.Run();
        EXPECT_EQ(Labels(clusterer), test.labels) << test.label;
        ASSERT_EQ(clusterer.GetClusters().size(), 1u) << test.label;
        EXPECT_EQ(clusterer.GetClusters()[0].size(), test.clustered) << test.label;
    }
}

TEST(SimObjectClusterer, ClustersAreOrderedBySizeWithTheirCentroids)
{
    SimObjectClusterer clusterer(500.0, 1);
    // Cluster 1: two objects near 10N 20E; cluster 2: three objects near 30S 40W; one noise point.
    clusterer.AddPoint(10.000, 20.000, "small 1");
    clusterer.AddPoint(10.001, 20.001, "small 2");
    clusterer.AddPoint(-30.000, -40.000, "big 1");
    clusterer.AddPoint(-30.001, -40.002, "big 2");
    clusterer.AddPoint(-30.002, -40.001, "big 3");
    clusterer.AddPoint(60.0, 60.0, "alone");
    clusterer.Run();

    EXPECT_EQ(Labels(clusterer), (std::vector<int>{1, 1, 2, 2, 2, -2}));
    ASSERT_EQ(clusterer.GetClusters().size(), 2u);
    EXPECT_EQ(clusterer.GetClusters()[0], (Indices{2, 3, 4}));
    EXPECT_EQ(clusterer.GetClusters()[1], (Indices{0, 1}));
    EXPECT_EQ(clusterer.GetClusterIds(), (std::vector<int>{2, 1}));

    ASSERT_EQ(clusterer.GetCentroids().size(), 2u);
    const ClusterPoint& big = clusterer.GetCentroids()[0];
    EXPECT_DOUBLE_EQ(big.latitude, (-30.000 - 30.001 - 30.002) / 3.0);
    EXPECT_DOUBLE_EQ(big.longitude, (-40.000 - 40.002 - 40.001) / 3.0);
    EXPECT_EQ(big.name, "Centroid for Cluster");
    EXPECT_DOUBLE_EQ(clusterer.GetCentroids()[1].latitude, 10.0005);

    EXPECT_EQ(clusterer.ExportTable(),
              "ClusterID,Latitude,Longitude,SimObject Internal Name,IsCentroid\n"
              "2,-30.00000000,-40.00000000,big 1,0\n"
              "2,-30.00100000,-40.00200000,big 2,0\n"
              "2,-30.00200000,-40.00100000,big 3,0\n"
              "2,-30.00100000,-40.00100000,Centroid for Cluster,1\n"
              "1,10.00000000,20.00000000,small 1,0\n"
              "1,10.00100000,20.00100000,small 2,0\n"
              "1,10.00050000,20.00050000,Centroid for Cluster,1\n");
}

TEST(SimObjectClusterer, EqualClustersKeepTheirNumberOrder)
{
    SimObjectClusterer clusterer(100.0, 1);
    for (int i = 0; i < 3; ++i) {
        clusterer.AddPoint(i * 10.0, 0.0, "p");
        clusterer.AddPoint(i * 10.0, EquatorDegrees(50.0), "q");
    }
    clusterer.Run();
    EXPECT_EQ(clusterer.GetClusterIds(), (std::vector<int>{1, 2, 3}));
}

TEST(SimObjectClusterer, RunAgainStartsFromScratch)
{
    SimObjectClusterer clusterer(100.0, 1);
    clusterer.AddPoint(0.0, 0.0, "a");
    clusterer.AddPoint(0.0, EquatorDegrees(50.0), "b");
    clusterer.Run();
    const std::string first = clusterer.ExportTable();
    clusterer.Run();
    EXPECT_EQ(clusterer.ExportTable(), first);
    EXPECT_EQ(clusterer.GetClusters().size(), 1u);

    clusterer.AddPoint(0.0, EquatorDegrees(100.0), "c");
    clusterer.Run();
    EXPECT_EQ(clusterer.GetClusters()[0], (Indices{0, 1, 2}));
}

TEST(SimObjectClusterer, ALongChainIsOneCluster)
{
    // Each point reaches only its next ones: the cluster grows through 398 expansions. The first end
    // is a border point met before any core point, so it is noise; the last end is reached and joins.
    SimObjectClusterer clusterer(60.0, 2);
    for (int i = 0; i < 400; ++i) clusterer.AddPoint(0.0, EquatorDegrees(50.0 * i), "link");
    clusterer.Run();
    ASSERT_EQ(clusterer.GetClusters().size(), 1u);
    EXPECT_EQ(clusterer.GetClusters()[0].size(), 399u);
    EXPECT_EQ(clusterer.GetPoints().front().label, SimObjectClusterer::Noise);
    EXPECT_EQ(clusterer.GetPoints()[1].label, 1);
    EXPECT_EQ(clusterer.GetPoints().back().label, 1);
}

TEST(SimObjectClusterer, HostileInput)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    SimObjectClusterer empty(100.0, 1);
    empty.Run();
    EXPECT_TRUE(empty.GetClusters().empty());
    EXPECT_EQ(empty.ExportTable(), "ClusterID,Latitude,Longitude,SimObject Internal Name,IsCentroid\n");
    EXPECT_TRUE(empty.GetNeighbours(0).empty());

    // Bad coordinates have no neighbours; good points around them cluster as usual.
    SimObjectClusterer clusterer(100.0, 1);
    clusterer.AddPoint(nan, 0.0, "nan");
    clusterer.AddPoint(0.0, 0.0, "a");
    clusterer.AddPoint(inf, -inf, "inf");
    clusterer.AddPoint(0.0, EquatorDegrees(10.0), "b");
    clusterer.Run();
    EXPECT_EQ(Labels(clusterer), (std::vector<int>{-2, 1, -2, 1}));

    // A NaN or negative radius makes everything noise.
    for (double eps : {nan, -1.0}) {
        SimObjectClusterer none(eps, 1);
        none.AddPoint(0.0, 0.0, "a");
        none.AddPoint(0.0, 0.0, "b");
        none.Run();
        EXPECT_EQ(Labels(none), (std::vector<int>{-2, -2}));
    }

    // Names that hold the separator, quotes or line breaks stay one field.
    SimObjectClusterer names(100.0, 0);
    names.AddPoint(1.0, 2.0, "a,b");
    names.AddPoint(1.0, 2.0, "say \"hi\"\nthere");
    names.Run();
    EXPECT_EQ(names.ExportTable(),
              "ClusterID,Latitude,Longitude,SimObject Internal Name,IsCentroid\n"
              "1,1.00000000,2.00000000,\"a,b\",0\n"
              "1,1.00000000,2.00000000,\"say \"\"hi\"\"\nthere\",0\n"
              "1,1.00000000,2.00000000,Centroid for Cluster,1\n");
}

class ClustererFileTest : public testsupport::MachineRootTest {
protected:
    ClustererFileTest() : MachineRootTest({.label = "clusterer"}) {}

    void SetUp() override
    {
        MachineRootTest::SetUp();
        MakeFolder("c/out");
    }
};

TEST_F(ClustererFileTest, WritesTheTableWithWindowsLineEnds)
{
    SimObjectClusterer clusterer(100.0, 0);
    clusterer.AddPoint(1.5, -2.25, "jetway");
    clusterer.Run();
    ASSERT_TRUE(clusterer.WriteTable("C:\\out\\clusters.csv"));
    std::ifstream in(root_ / "c" / "out" / "clusters.csv", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text,
              "ClusterID,Latitude,Longitude,SimObject Internal Name,IsCentroid\r\n"
              "1,1.50000000,-2.25000000,jetway,0\r\n"
              "1,1.50000000,-2.25000000,Centroid for Cluster,1\r\n");

    EXPECT_FALSE(clusterer.WriteTable("C:\\missing\\folder\\clusters.csv"));
}

}  // namespace
