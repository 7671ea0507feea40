// Quadtree range queries: bounds included, result order, boxes outside the tree, and that the box test
// keeps a query to the nodes that meet it.
#include "scenery/QuadTree.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

BBox Box(double lat, double lon, double halfLat, double halfLon)
{
    return BBox(BBoxPoint(lat, lon), BBoxPoint(halfLat, halfLon));
}

std::vector<int32_t> Groups(const std::vector<QuadTreeEntry>& entries)
{
    std::vector<int32_t> groups;
    for (const QuadTreeEntry& e : entries) groups.push_back(e.groupIndex);
    return groups;
}

// 64 entries in the root far from everything, then one in each quadrant: root and four leaves.
class QueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 64; ++i) ASSERT_TRUE(tree.Insert({-60.0, -150.0, 100, nullptr}));
        ASSERT_TRUE(tree.Insert({45.0, -90.0, 0, nullptr}));
        ASSERT_TRUE(tree.Insert({45.0, 90.0, 1, nullptr}));
        ASSERT_TRUE(tree.Insert({-45.0, -90.0, 2, nullptr}));
        ASSERT_TRUE(tree.Insert({-45.0, 90.0, 3, nullptr}));
        ASSERT_TRUE(tree.HasChildren());
    }
    QuadTree tree{QuadTree::WorldBox()};
};

TEST_F(QueryTest, BoundsOfTheQueryBoxAreIncluded)
{
    struct Case {
        BBox range;
        std::vector<int32_t> groups;
    };
    const Case cases[] = {
        {Box(40, 90, 5, 1), {1}},       // lower latitude edge... upper edge at 45 exactly
        {Box(50, 90, 5, 1), {1}},       // lower edge at 45
        {Box(45, 85, 1, 5), {1}},       // east edge at 90
        {Box(45, 95, 1, 5), {1}},       // west edge at 90
        {Box(45, 90, 0, 0), {1}},       // a point box on the entry
        {Box(44, 90, 0.999, 1), {}},    // just short of it
        {Box(0, 0, 45, 90), {0, 1, 2, 3}},  // the four corners of this box
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.range.GetCentre().latitude << "/" << c.range.GetCentre().longitude);
        EXPECT_EQ(Groups(tree.QueryRange(c.range)), c.groups);
    }
}

TEST_F(QueryTest, OwnEntriesComeBeforeTheChildrensInChildOrder)
{
    const std::vector<QuadTreeEntry> all = tree.QueryRange(QuadTree::WorldBox());
    ASSERT_EQ(all.size(), 68u);
    for (size_t i = 0; i < 64; ++i) EXPECT_EQ(all[i].groupIndex, 100);
    EXPECT_EQ(Groups({all.begin() + 64, all.end()}), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST_F(QueryTest, AQueryInOneQuadrantVisitsOnlyTheNodesItMeets)
{
    struct Case {
        BBox range;
        size_t visits;
    };
    const Case cases[] = {
        {Box(45, 90, 1, 1), 2},     // root and the north-east leaf
        {Box(-45, -90, 1, 1), 2},   // root and the south-west leaf
        {Box(0, 90, 1, 1), 3},      // on the equator: both eastern leaves
        {Box(0, 0, 1, 1), 5},       // on the centre: every leaf
        {Box(0, 300, 10, 10), 0},   // outside the world: not even the root
        {Box(95, 0, 1, 1), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.range.GetCentre().latitude << "/" << c.range.GetCentre().longitude);
        tree.QueryRange(c.range);
        EXPECT_EQ(tree.GetLastQueryNodeVisits(), c.visits);
    }
}

TEST_F(QueryTest, ABoxOutsideANodeGetsNothingFromItOrItsChildren)
{
    EXPECT_TRUE(tree.QueryRange(Box(0, 300, 10, 10)).empty());
    // A box that meets the root but holds none of its entries, and only an empty part of a leaf.
    EXPECT_TRUE(tree.QueryRange(Box(10, 10, 1, 1)).empty());
}

TEST(QuadTreeQuery, AnEmptyTreeAnswersEmpty)
{
    QuadTree tree(QuadTree::WorldBox());
    EXPECT_TRUE(tree.QueryRange(QuadTree::WorldBox()).empty());
    EXPECT_EQ(tree.GetLastQueryNodeVisits(), 1u);
}

}  // namespace
