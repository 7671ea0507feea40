// Quadtree insertion: node capacity 64, the subdivision on the first overflow, entries that never move
// down, boundary points going to the first child that holds them, long chains of one position, points
// off the world, and clearing.
#include "scenery/QuadTree.h"

#include "objects/SimObject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

QuadTreeEntry At(double latitude, double longitude, int32_t group = -1, SimObject* object = nullptr)
{
    return QuadTreeEntry{latitude, longitude, group, object};
}

void Fill(QuadTree& tree, size_t count, double latitude, double longitude)
{
    for (size_t i = 0; i < count; ++i) ASSERT_TRUE(tree.Insert(At(latitude, longitude, static_cast<int32_t>(i))));
}

size_t ChildEntries(const QuadTree& node, int child)
{
    return node.GetChild(child) ? node.GetChild(child)->GetEntryCount() : 0;
}

TEST(QuadTreeInsert, TheRootIsTheWholeWorldBoundsIncluded)
{
    QuadTree tree(QuadTree::WorldBox());
    for (auto [lat, lon] : {std::pair{90.0, 180.0}, {-90.0, -180.0}, {0.0, 0.0}, {-90.0, 180.0}, {50.0, 8.5}}) {
        EXPECT_TRUE(tree.Insert(At(lat, lon))) << lat << "/" << lon;
    }
    EXPECT_EQ(tree.GetEntryCount(), 5u);
}

TEST(QuadTreeInsert, PointsOffTheWorldAreRefused)
{
    QuadTree tree(QuadTree::WorldBox());
    for (auto [lat, lon] : {std::pair{90.0001, 0.0}, {-91.0, 0.0}, {0.0, 180.5}, {0.0, -360.0},
                            {std::nan(""), 0.0}, {0.0, std::nan("")}, {INFINITY, 0.0}}) {
        EXPECT_FALSE(tree.Insert(At(lat, lon))) << lat << "/" << lon;
    }
    EXPECT_EQ(tree.GetEntryCount(), 0u);
    EXPECT_FALSE(tree.HasChildren());
}

TEST(QuadTreeInsert, SixtyFourStayInTheRootAndThe65thSubdivides)
{
    struct Case {
        double lat;
        double lon;
        int child;  // the first child whose box holds the 65th point
    };
    const Case cases[] = {
        {10, -20, 0}, {10, 20, 1}, {-10, -20, 2}, {-10, 20, 3},
        {0, 0, 0},     // on every child's corner: the first
        {0, 20, 1},    // on the equator, east: child 1 before child 3
        {-10, 0, 2},   // on the meridian, south: child 2 before child 3
        {90, 180, 1}, {-90, -180, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << "/" << c.lon);
        QuadTree tree(QuadTree::WorldBox());
        Fill(tree, 64, 50.0, 8.0);
        EXPECT_FALSE(tree.HasChildren());
        ASSERT_TRUE(tree.Insert(At(c.lat, c.lon, 999)));
        ASSERT_TRUE(tree.HasChildren());
        EXPECT_EQ(tree.GetEntryCount(), 64u);  // the first 64 never move down
        for (int child = 0; child < 4; ++child) EXPECT_EQ(ChildEntries(tree, child), child == c.child ? 1u : 0u);
        EXPECT_EQ(tree.GetChild(c.child)->GetEntries()[0].groupIndex, 999);
    }
}

TEST(QuadTreeInsert, ChildBoxesHalveTheParent)
{
    QuadTree tree(QuadTree::WorldBox());
    Fill(tree, 65, 1.0, 1.0);
    const double expected[4][2] = {{45, -90}, {45, 90}, {-45, -90}, {-45, 90}};
    for (int i = 0; i < 4; ++i) {
        const BBox& box = tree.GetChild(i)->GetBox();
        EXPECT_DOUBLE_EQ(box.GetCentre().latitude, expected[i][0]);
        EXPECT_DOUBLE_EQ(box.GetCentre().longitude, expected[i][1]);
        EXPECT_DOUBLE_EQ(box.GetHalfSize().latitude, 45.0);
        EXPECT_DOUBLE_EQ(box.GetHalfSize().longitude, 90.0);
    }
}

TEST(QuadTreeInsert, ThreeHundredAtOnePositionGrowOneLevelPer64)
{
    QuadTree tree(QuadTree::WorldBox());
    Fill(tree, 300, 45.0, 90.0);

    std::vector<size_t> chain;
    const QuadTree* node = &tree;
    while (node) {
        chain.push_back(node->GetEntryCount());
        const QuadTree* next = nullptr;
        for (int i = 0; i < 4 && node->HasChildren(); ++i) {
            const QuadTree* child = node->GetChild(i);
            if (child->GetEntryCount() == 0 && !child->HasChildren()) continue;
            EXPECT_EQ(next, nullptr) << "one branch only";
            next = child;
        }
        node = next;
    }
    EXPECT_EQ(chain, (std::vector<size_t>{64, 64, 64, 64, 44}));
    EXPECT_EQ(tree.QueryRange(QuadTree::WorldBox()).size(), 300u);
}

TEST(QuadTreeInsert, AVeryLongChainNeitherLosesEntriesNorExhaustsTheStack)
{
    // Thousands of objects at one spot from a hostile file: the chain gets deep, the boxes tiny.
    QuadTree tree(QuadTree::WorldBox());
    const size_t count = 64 * 400;
    for (size_t i = 0; i < count; ++i) ASSERT_TRUE(tree.Insert(At(12.345678901234, -98.7654321)));
    EXPECT_EQ(tree.QueryRange(BBox(BBoxPoint(12.345678901234, -98.7654321), BBoxPoint(0, 0))).size(), count);
    tree.Clear();
    EXPECT_FALSE(tree.HasChildren());
}

TEST(QuadTreeInsert, DuplicatesAreKeptAndEntriesKeepTheirObject)
{
    SimObject a;
    SimObject b;
    QuadTree tree(QuadTree::WorldBox());
    ASSERT_TRUE(tree.Insert(At(1, 1, 3, &a)));
    ASSERT_TRUE(tree.Insert(At(1, 1, 4, &b)));
    const std::vector<QuadTreeEntry> found = tree.QueryRange(QuadTree::WorldBox());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].object, &a);
    EXPECT_EQ(found[0].groupIndex, 3);
    EXPECT_EQ(found[1].object, &b);
}

TEST(QuadTreeInsert, ClearKeepsTheBoxAndTakesNewEntries)
{
    QuadTree tree(QuadTree::WorldBox());
    Fill(tree, 200, -33.9, 151.2);
    tree.Clear();
    EXPECT_EQ(tree.GetEntryCount(), 0u);
    EXPECT_FALSE(tree.HasChildren());
    EXPECT_DOUBLE_EQ(tree.GetBox().GetHalfSize().longitude, 180.0);
    EXPECT_TRUE(tree.QueryRange(QuadTree::WorldBox()).empty());
    EXPECT_TRUE(tree.Insert(At(0, 0)));
}

}  // namespace
