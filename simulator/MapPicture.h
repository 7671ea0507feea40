// A picture of the simulator's world from above, as SVG: the objects it holds (jetways and their parts,
// guidance displays, gate number boxes, everything else) and the aircraft as outlines with their doors,
// each at its place and heading, with a scale bar and a north arrow, so that one sees at a glance whether
// a jetway reached its door.
//
// Taking a picture (CaptureMap) reads the world once; drawing (DrawMap) is a pure function of what was
// read, so the same run gives the same file.
#pragma once

#include "simulator/Simulator.h"

#include <string>
#include <vector>

namespace simulator {

enum class MapKind {
    UserAircraft,
    AiAircraft,
    Jetway,      // the jetway itself (its rotunda end)
    JetwayPart,  // a part placed along it: bridge, head, ...
    Vdgs,        // a guidance display
    GateNumber,  // a gate number box
    Object,      // anything else
};

// Where a door sits on an aircraft: metres forward of and right of its reference point.
struct MapDoor {
    std::string name;
    double forwardM = 0;
    double rightM = 0;
};

struct MapItem {
    ObjectId id = 0;
    std::string title;
    MapKind kind = MapKind::Object;
    double latitudeDeg = 0;
    double longitudeDeg = 0;
    double headingDeg = 0;  // true, clockwise from north
    // The name its scenery author gave it ("B22 Jetway Front", "B22 display"); empty: the title is shown.
    std::string label;
    // What the object shows (a guidance display's reading, a gate number); empty: nothing known.
    std::string text;
    // The doors of an aircraft; empty when the simulator does not know them (only the outline is drawn).
    std::vector<MapDoor> doors;
};

// The world at one moment. Items without a usable place are left out when captured and counted here.
struct MapScene {
    double seconds = 0;
    std::vector<MapItem> items;
    int unplaced = 0;
};

// How an object's title names its kind (without regard to case): "jetway" with "head", "bridge", "tunnel",
// "cab", "hood", "stair" or "wheel" is a jetway part, other "jetway" titles a jetway; "vdgs", "guidance",
// "docking" or "apis" a guidance display; "gate number", "gatenumber" or "gate_number" a gate number box.
MapKind MapKindOfTitle(const std::string& title);

// The world as the simulator holds it now: every object with its title, place and heading, in id order.
MapScene CaptureMap(const Simulator& sim);

// The SVG document: one panel per scene, side by side (two to a row), each in its own local projection
// around what it draws. A panel draws the user aircraft (or, when it has no place, the first item) and
// everything within kMapRadiusM of it, says how many items it left out, and beside the map shows the
// ground around the user aircraft at a fixed, larger scale.
constexpr double kMapRadiusM = 3000.0;
std::string DrawMap(const std::vector<MapScene>& scenes);

// Refuses a path the picture cannot be written to (missing folder, a folder, no permission), with the
// reason in *error; leaves no file behind that was not there.
bool CheckMapPath(const std::string& path, std::string* error);
// Writes DrawMap(scenes) to path; false with the reason in *error.
bool WriteMap(const std::string& path, const std::vector<MapScene>& scenes, std::string* error);

// Text made safe for XML character data and attribute values: markup characters escaped, control
// characters and bytes that are not UTF-8 replaced by '?'.
std::string XmlEscape(const std::string& text);

}  // namespace simulator
