// The clusterer on a thread with a small stack: a cluster grown along a long chain must not need a call
// stack that grows with the chain, so the expansion fits however deep the chain runs.
#include "scenery/SimObjectClusterer.h"

#include "foundation/GeoMath.h"
#include "foundation/Units.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <cstddef>
#include <functional>

namespace {

// Far less than a recursion of even 32 bytes per point would need along the chain below.
constexpr size_t kStackBytes = 64 * 1024;
constexpr int kChainLength = 3000;

double EquatorDegrees(double metres) { return metres / (GeoMath::SphereRadiusKm * 1000.0) * 180.0 / units::kPi; }

// Runs work on a new thread whose stack holds kStackBytes; false when no such thread could be made.
bool RunOnSmallStack(const std::function<void()>& work)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_t thread;
    const bool made = pthread_attr_setstacksize(&attributes, kStackBytes) == 0 &&
                      pthread_create(
                          &thread, &attributes,
                          [](void* w) -> void* {
                              (*static_cast<const std::function<void()>*>(w))();
                              return nullptr;
                          },
                          const_cast<std::function<void()>*>(&work)) == 0;
    pthread_attr_destroy(&attributes);
    return made && pthread_join(thread, nullptr) == 0;
}

TEST(SimObjectClustererDepth, AChainFarLongerThanTheStackIsOneCluster)
{
    // Each point reaches only the next one on either side, so the cluster grows one point per step,
    // kChainLength steps deep. The first end is noise (a border point met before any core point).
    SimObjectClusterer clusterer(60.0, 2);
    for (int i = 0; i < kChainLength; ++i) clusterer.AddPoint(0.0, EquatorDegrees(50.0 * i), "link");
    ASSERT_TRUE(RunOnSmallStack([&clusterer] { clusterer.Run(); }));

    ASSERT_EQ(clusterer.GetClusters().size(), 1u);
    EXPECT_EQ(clusterer.GetClusters()[0].size(), static_cast<size_t>(kChainLength - 1));
    EXPECT_EQ(clusterer.GetPoints().front().label, SimObjectClusterer::Noise);
    EXPECT_EQ(clusterer.GetPoints()[1].label, 1);
    EXPECT_EQ(clusterer.GetPoints().back().label, 1);
}

}  // namespace
