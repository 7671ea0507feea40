// Where an aircraft's doors are, read from its aircraft.cfg ([exits] exit.N = opening rate, x, y, z, type;
// feet from the reference datum, x forward, y right), or from the program's AircraftExits.ini where that
// replaces them, for the picture of the world from above. The simulator finds the files through the
// machine root: a Windows path "C:\..." lies under <root>/c/...
#pragma once

#include "simulator/MapPicture.h"

#include <string>
#include <vector>

namespace simulator {

// The exits of one aircraft.cfg text, in their order; a door is named by the comment after its line
// ("// 1L"), else a door on the left by its number among the left doors as the program numbers them
// ("1L", "2L", ...), else "exit N". Lines that cannot be read are skipped.
std::vector<MapDoor> ParseAircraftExits(const std::string& cfgText);

// The exits that the program's AircraftExits.ini text gives an aircraft in place of its own: the first
// section whose name is contained in "ui_createdby:sim" of the aircraft.cfg text; empty when none.
std::vector<MapDoor> CustomExits(const std::string& iniText, const std::string& cfgText);

// The path of a Windows path ("C:\a\b") under the machine root ("<root>/c/a/b"); empty for a path without
// a drive letter or an empty root.
std::string MachinePath(const std::string& root, const std::string& windowsPath);

// The doors of the aircraft whose folder holds airFile (a Windows path); empty when not found.
std::vector<MapDoor> DoorsOfAirFile(const std::string& root, const std::string& airFile);

// The doors of the aircraft with this title among the folders beside the one that holds airFile (the
// sample's AI aircraft sit beside the user aircraft); empty when not found.
std::vector<MapDoor> DoorsOfTitle(const std::string& root, const std::string& airFile, const std::string& title);

}  // namespace simulator
