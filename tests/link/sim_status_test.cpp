#include "link/SimStatus.h"

#include <gtest/gtest.h>

TEST(SimStatus, BothFlagsStartClear)
{
    SimStatus status;
    EXPECT_FALSE(status.IsPaused());
    EXPECT_FALSE(status.IsSoundOff());
}

// Readers keep the addresses and see every later change through them.
TEST(SimStatus, FlagAddressesFollowTheEvents)
{
    SimStatus status;
    const std::atomic<bool>* paused = status.GetPausedFlag();
    const std::atomic<bool>* soundOff = status.GetSoundOffFlag();
    ASSERT_NE(paused, soundOff);

    // "Pause" with data non-zero, then zero.
    status.SetPaused(1 != 0);
    EXPECT_TRUE(paused->load());
    status.SetPaused(0 != 0);
    EXPECT_FALSE(paused->load());

    // "Sound" with data 0 switches the sound off, with data 1 back on.
    status.SetSoundOff(0 == 0);
    EXPECT_TRUE(soundOff->load());
    EXPECT_FALSE(paused->load());
    status.SetSoundOff(1 == 0);
    EXPECT_FALSE(soundOff->load());

    EXPECT_EQ(paused, status.GetPausedFlag());
    EXPECT_EQ(soundOff, status.GetSoundOffFlag());
}
