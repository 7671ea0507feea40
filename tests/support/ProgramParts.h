// The program's components as a handler test needs them: made as the start-up makes them, without the
// files it reads, each fixture asking for what its handlers use. Main thread of the test.
#pragma once

#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/GeoMath.h"
#include "guidance/GateNumberBox.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "scenery/SimBubble.h"

#include <log4cpp/Category.hh>

namespace testsupport {

// The settings, the date and time record and the simulation status come always; the rest on request.
struct PartsWanted {
    int customCommands = -1;     // that many empty custom commands; -1 for no list
    bool objects = false;        // the active object list
    bool probes = false;         // the active probes
    bool injection = false;      // the injection queue
    bool bubble = false;         // the sim bubble, without sound engine and SimObjects folders
    bool jetways = false;        // the jetway handler, the guidance handler and the AI monitor
    bool gateNumbers = false;    // the gate number box
    bool linkedObjects = false;  // the linked-object handler, with no connection yet
    bool geoMath = false;
};

// The flags of a fresh process on P3Dv4, and the parts wanted in place of any there were.
inline program::Components& MakeProgramParts(const PartsWanted& wanted)
{
    program::Flags().Reset();
    program::Flags().targetPlatform = "P3Dv4";
    program::Components& parts = program::Parts();
    parts = program::Components{};
    parts.settings.reset(new Settings(log4cpp::Category::getInstance("VELK.SETTINGS")));
    parts.seasonal.reset(new SeasonalObjectHandler());
    parts.simStatus.reset(new SimStatus());
    if (wanted.customCommands >= 0)
        parts.customCommands.reset(new CustomCommandList(static_cast<size_t>(wanted.customCommands)));
    if (wanted.objects) parts.activeObjects.reset(new SimObjectList());
    if (wanted.probes) parts.activeProbes.reset(new EnviroDataProbeList());
    if (wanted.injection) parts.injectionQueue.reset(new InjectionQueue());
    if (wanted.bubble) parts.simBubble.reset(new SimBubble(program::LoopLog(), nullptr, nullptr));
    if (wanted.jetways) {
        parts.jetwayHandler.reset(new JetwayHandler());
        parts.vdgsHandler.reset(new VDGSHandler());
        parts.aiMonitor.reset(new AIMonitor());
    }
    if (wanted.gateNumbers) parts.gateNumberBox.reset(new GateNumberBox());
    if (wanted.linkedObjects) parts.linkedObjectHandler.reset(new LinkedSimObjectHandler());
    if (wanted.geoMath) parts.geoMath.reset(new GeoMath());
    return parts;
}

// What a fixture leaves behind: no parts, and the flags of a fresh process.
inline void ClearProgramParts()
{
    program::Parts() = program::Components{};
    program::Flags().Reset();
}

}  // namespace testsupport
