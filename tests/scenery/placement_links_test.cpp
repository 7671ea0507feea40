// Links from one placed object to others: a probe's ClientList and a triggerable animation's
// SyncStateWith name the entries the linked SimObject actually gets, whatever of it was skipped.
#include "placement_test_support.h"

#include <gtest/gtest.h>

#include <optional>

using namespace placement_testing;

namespace {

std::string PlacementAt(const std::string& latitude)
{
    return "<Placement Lat=\"" + latitude + "\" Lon=\"8\" Alt=\"1400\" Hdg=\"0\"/>";
}

const std::string kBadPlacement = "<Placement Lat=\"95\" Lon=\"8\" Alt=\"1400\" Hdg=\"0\"/>";  // off the globe

// A probe whose ClientList and an animated object whose SyncStateWith both list `list`, before the
// other SimObjects of `targets` (so that the links are read before what they name).
std::string LinkingDocument(const std::string& list, const std::string& targets)
{
    return "<VELK>" +
           SimObjectXml("Probe",
                        "<Model SimTitle=\"P\"><EnvironmentalDataProbe ClientList=\"" + list + "\"/></Model>",
                        PlacementAt("40")) +
           SimObjectXml("Lever", "<Model SimTitle=\"L\"><TriggerableAnimation Input=\"TextMenu\" Action=\"Pull\" "
                                 "SyncStateWith=\"" + list + "\"/></Model>",
                        PlacementAt("41")) +
           targets + "</VELK>";
}

struct LinkRig {
    ReaderRig rig;
    LogCapture log;

    explicit LinkRig(const std::string& document) { rig.Read(document); }

    std::vector<std::string> ClientNames() const
    {
        for (int32_t i = 0; i < rig.probes.Count(); ++i) {
            if (rig.probes.At(i)->GetName() == "Test:Probe") return rig.probes.At(i)->GetClientList();
        }
        return {};
    }
    std::vector<std::string> SyncNames()
    {
        std::vector<std::string> names;
        SimObject* lever = rig.Find("Test:Lever");
        if (lever == nullptr) return names;
        const TriggAnimationData* animation = lever->GetModel(0)->GetTriggerableAnimation(3);
        for (size_t i = 0; i < animation->GetSyncNameCount(); ++i) {
            names.push_back(animation->GetSyncName(static_cast<int>(i)));
        }
        return names;
    }
    // The latitude of the entry each link lands on, as the sim bubble resolves it (file base name, ":"
    // and the link); nullopt for a link that lands on no entry.
    std::vector<std::optional<double>> Landings(const std::vector<std::string>& links)
    {
        std::vector<std::optional<double>> landings;
        for (const std::string& link : links) {
            const SimObject* entry = rig.Find("Test:" + link);
            landings.push_back(entry ? std::optional<double>(entry->GetLatitude()) : std::nullopt);
        }
        return landings;
    }
};

struct LinkCase {
    const char* name;
    std::string targets;                  // SimObject elements after the linking ones; the list names "Gate"
    std::vector<double> landings;         // latitudes of the entries the links land on, in order
    std::vector<std::string> warnings;    // the part after the owner and list name: "SimObject 'Gate' ..."
};

std::string Gate(const std::string& placements, const std::string& extra = "")
{
    return "<SimObject Name=\"Gate\">" + extra + placements + "<Model SimTitle=\"G\"/></SimObject>";
}

TEST(PlacementLinks, LinksLandOnTheEntriesTheLinkedObjectGets)
{
    const std::vector<LinkCase> cases = {
        {"every placement usable", Gate(PlacementAt("1") + PlacementAt("2") + PlacementAt("3")), {1, 2, 3}, {}},
        {"middle placement skipped",
         Gate(PlacementAt("1") + kBadPlacement + PlacementAt("3")),
         {1, 3},
         {"SimObject 'Gate' Placement [1] was skipped! Not linked."}},
        {"first placement skipped",
         Gate(kBadPlacement + PlacementAt("2") + PlacementAt("3")),
         {2, 3},
         {"SimObject 'Gate' Placement [0] was skipped! Not linked."}},
        {"one of three placements left",
         Gate(kBadPlacement + PlacementAt("2") + kBadPlacement),
         {2},
         {"SimObject 'Gate' Placement [0] was skipped! Not linked.",
          "SimObject 'Gate' Placement [2] was skipped! Not linked."}},
        {"no usable placement", Gate(kBadPlacement + kBadPlacement), {}, {"SimObject 'Gate' is not added! Not linked."}},
        {"object for another simulator",
         Gate(PlacementAt("1") + PlacementAt("2"), "<TargetSim ID=\"FSX\"/>"),
         {},
         {"SimObject 'Gate' is not added! Not linked."}},
        {"model without this simulator's title",
         "<SimObject Name=\"Gate\">" + PlacementAt("1") +
             "<Model SimTitle=\"G\"><TargetSim ID=\"P3Dv5\"/></Model></SimObject>",
         {},
         {"SimObject 'Gate' is not added! Not linked."}},
        {"a probe never becomes an entry",
         SimObjectXml("Gate", "<Model SimTitle=\"G\"><EnvironmentalDataProbe/></Model>", PlacementAt("1")),
         {},
         {"SimObject 'Gate' is not added! Not linked."}},
        {"one version per simulator",
         Gate(PlacementAt("1"), "<TargetSim ID=\"FSX\"/>") +
             Gate(PlacementAt("2") + kBadPlacement + PlacementAt("4"), "<TargetSim ID=\"P3Dv5\"/>"),
         {2, 4},
         {"SimObject 'Gate' Placement [1] was skipped! Not linked."}},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig links(LinkingDocument("Gate", c.targets));
        std::vector<std::optional<double>> expected(c.landings.begin(), c.landings.end());
        EXPECT_EQ(links.Landings(links.ClientNames()), expected);
        EXPECT_EQ(links.Landings(links.SyncNames()), expected);
        for (const std::string& warning : c.warnings) {
            EXPECT_TRUE(links.log.Has("WARN Environmental Data Probe 'Probe': ClientList " + warning)) << warning;
            EXPECT_TRUE(links.log.Has("WARN TriggerableAnimation: SyncStateWith " + warning)) << warning;
        }
        if (c.warnings.empty()) {
            EXPECT_FALSE(links.log.HasPrefix("WARN"));
        }
    }
}

TEST(PlacementLinks, LinkToTheThirdPlacementPastASkippedOneLandsOnTheThird)
{
    // The entries close up over the skipped placement: the third placement is "Gate #2".
    LinkRig links(LinkingDocument("Gate", Gate(PlacementAt("1") + kBadPlacement + PlacementAt("3"))));
    ASSERT_EQ(links.rig.objects.Count(), 3);  // Lever, Gate #1, Gate #2
    EXPECT_DOUBLE_EQ(links.rig.Find("Test:Gate #2")->GetLatitude(), 3.0);
    EXPECT_EQ(links.rig.Find("Test:Gate #3"), nullptr);
    EXPECT_EQ(links.ClientNames(), (std::vector<std::string>{"Gate #1", "Gate #2"}));
    EXPECT_EQ(links.SyncNames(), (std::vector<std::string>{"Gate #1", "Gate #2"}));
}

TEST(PlacementLinks, GroupMembersLinkTheirOwnEntries)
{
    LinkRig links("<VELK>" +
                  SimObjectXml("Probe",
                               "<Model SimTitle=\"P\"><EnvironmentalDataProbe ClientList=\"Gates\"/></Model>",
                               PlacementAt("40")) +
                  "<Group Name=\"Gates\">" + Gate(PlacementAt("1") + kBadPlacement + PlacementAt("3")) +
                  "<SimObject Name=\"Away\"><TargetSim ID=\"FSX\"/>" + PlacementAt("5") +
                  "<Model SimTitle=\"A\"/></SimObject>" + SimObjectXml("Sock", "<Model SimTitle=\"S\"/>", PlacementAt("6")) +
                  "</Group></VELK>");
    EXPECT_EQ(links.ClientNames(), (std::vector<std::string>{"Gate #1", "Gate #2", "Sock"}));
    EXPECT_EQ(links.Landings(links.ClientNames()), (std::vector<std::optional<double>>{1.0, 3.0, 6.0}));
    EXPECT_TRUE(links.log.Has(
        "WARN Environmental Data Probe 'Probe': ClientList SimObject 'Gate' Placement [1] was skipped! Not linked."));
    EXPECT_TRUE(links.log.Has("WARN Environmental Data Probe 'Probe': ClientList SimObject 'Away' is not added! Not linked."));
}

struct HostileListCase {
    const char* name;
    std::string list;
    std::vector<std::string> links;
    std::vector<std::string> warnings;  // probe ClientList message, then SyncStateWith message; empty: none
};

TEST(PlacementLinks, HostileListsAreLoggedAndSkipped)
{
    const std::string targets = SimObjectXml("Lamp", "<Model SimTitle=\"L\"/>", PlacementAt("1")) +
                                SimObjectXml("Twin", "<Model SimTitle=\"T\"/>", PlacementAt("2")) +
                                SimObjectXml("Twin", "<Model SimTitle=\"T\"/>", PlacementAt("3"));
    const std::vector<HostileListCase> cases = {
        {"missing object",
         "Ghost;Lamp",
         {"Lamp"},
         {"WARN Environmental Data Probe 'Probe': Listed Client SimObject 'Ghost' does not exist in the XML!",
          "WARN TriggerableAnimation: SyncStateWith SimObject 'Ghost' does not exist in the XML! Skipped."}},
        {"empty name between names",
         "Lamp;;Twin",
         {"Lamp", "Twin"},
         {"WARN Environmental Data Probe 'Probe': ClientList has an empty name! Skipped.",
          "WARN TriggerableAnimation: SyncStateWith has an empty name! Skipped."}},
        {"trailing separator",
         "Lamp;",
         {"Lamp"},
         {"WARN Environmental Data Probe 'Probe': ClientList has an empty name! Skipped.",
          "WARN TriggerableAnimation: SyncStateWith has an empty name! Skipped."}},
        {"name listed twice",
         "Lamp;Lamp",
         {"Lamp"},
         {"WARN Environmental Data Probe 'Probe': ClientList lists 'Lamp' more than once! Skipped.",
          "WARN TriggerableAnimation: SyncStateWith lists 'Lamp' more than once! Skipped."}},
        {"two objects of one name",
         "Twin",
         {"Twin"},
         {"WARN Environmental Data Probe 'Probe': ClientList entry 'Twin' is linked already! Not linked again.",
          "WARN TriggerableAnimation: SyncStateWith entry 'Twin' is linked already! Not linked again."}},
    };
    for (const HostileListCase& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig links(LinkingDocument(c.list, targets));
        EXPECT_EQ(links.ClientNames(), c.links);
        EXPECT_EQ(links.SyncNames(), c.links);
        for (const std::string& warning : c.warnings) EXPECT_EQ(links.log.Count(warning), 1u) << warning;
        // Every entry is still read.
        EXPECT_EQ(links.rig.objects.Count(), 4);
    }
}

}  // namespace
