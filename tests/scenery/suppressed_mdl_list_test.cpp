// The suppressed model list: empty as built, and how a model file is matched against its two lists.
#include "scenery/SuppressedMdlList.h"

#include <gtest/gtest.h>

namespace {

const char* const kGuid = "1b2c3d4e-0a0b-4c0d-8e0f-a1b2c3d4e5f6";

TEST(SuppressedMdlList, BuiltEmptySuppressesNothing)
{
    SuppressedMdlList list;
    EXPECT_TRUE(list.GetGuids().empty());
    EXPECT_TRUE(list.GetModelNames().empty());
    EXPECT_FALSE(list.IsSuppressed(kGuid, "jetway_a"));
    EXPECT_FALSE(list.IsSuppressed("", ""));
}

TEST(SuppressedMdlList, MatchingRules)
{
    SuppressedMdlList list;
    list.AddGuid(kGuid);
    list.AddModelName("Jetway_Old");
    list.AddGuid("");       // ignored
    list.AddModelName("");  // ignored
    ASSERT_EQ(list.GetGuids().size(), 1u);
    ASSERT_EQ(list.GetModelNames().size(), 1u);

    struct Case {
        const char* label;
        const char* guid;
        const char* model;
        bool suppressed;
    } cases[] = {
        {"guid", kGuid, "other", true},
        {"guid in upper case", "1B2C3D4E-0A0B-4C0D-8E0F-A1B2C3D4E5F6", "other", true},
        {"model name lower-cased", "", "jetway_old", true},
        {"model name as written", "", "Jetway_Old", true},
        {"both", kGuid, "jetway_old", true},
        {"guid with braces", "{1b2c3d4e-0a0b-4c0d-8e0f-a1b2c3d4e5f6}", "other", false},
        {"guid prefix", "1b2c3d4e-0a0b-4c0d-8e0f-a1b2c3d4e5f", "other", false},
        {"model with extension", "", "jetway_old.mdl", false},
        {"model prefix", "", "jetway_ol", false},
        {"model name in the guid list", "jetway_old", "", false},
        {"guid in the name list", "", kGuid, false},
        {"nothing given", "", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list.IsSuppressed(c.guid, c.model), c.suppressed) << c.label;
    }
    EXPECT_TRUE(list.ContainsGuid(kGuid));
    EXPECT_FALSE(list.ContainsModelName(kGuid));
    EXPECT_TRUE(list.ContainsModelName("JETWAY_OLD"));
    EXPECT_FALSE(list.ContainsGuid("jetway_old"));
}

TEST(SuppressedMdlList, CopiesKeepTheirOwnLists)
{
    SuppressedMdlList list;
    list.AddModelName("sign");
    SuppressedMdlList copy(list);
    copy.AddModelName("pole");
    EXPECT_TRUE(copy.IsSuppressed("", "sign"));
    EXPECT_TRUE(copy.IsSuppressed("", "pole"));
    EXPECT_FALSE(list.IsSuppressed("", "pole"));
}

}  // namespace
