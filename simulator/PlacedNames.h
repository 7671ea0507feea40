// What a scenery author named the objects orvane places, read from the plain XML placement files under
// the machine root (SDX containers are not opened), so that the picture labels an object as its author
// knows it: a jetway by its name, a guidance display and a gate number box with their stand.
#pragma once

#include "simulator/MapPicture.h"

#include <string>
#include <vector>

namespace simulator {

struct PlacedName {
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    std::vector<std::string> titles;  // SimTitle and StaticSimTitle of its models
    std::string name;                 // the SimObject's Name
    std::string stand;                // "B22": its stand's designator letter and number; empty outside a stand
};

// The placements of one placement file's text, one entry per Placement; nothing for a text that does not
// parse.
std::vector<PlacedName> ParsePlacedNames(const std::string& xmlText);

// Those of every *.xml file under <root>/c/ProgramData/Quorvath/VELK/xml, in path order.
std::vector<PlacedName> ReadPlacedNames(const std::string& root);

// Gives each item that stands on a placement (within 1 m, a title beginning with one of its model titles,
// without regard to case) its author's label: a jetway and any other object by its name, a guidance
// display as "B22 display", a gate number box as "B22 gate number". Items without one keep their title.
void NamePlacedItems(MapScene& scene, const std::vector<PlacedName>& names);

}  // namespace simulator
