// orvane's start-up: single-instance test, log, command line, components, main initialisation.
#include "app/FSProcess.h"
#include "app/LogFile.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/ExecutablePathHelper.h"
#include "aircraft/AircraftConfigData.h"
#include "aircraft/AircraftParameters.h"
#include "foundation/GeoMath.h"
#include "guidance/GateNumberBox.h"
#include "guidance/StandTextMenu.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "jetway/AIMonitor.h"
#include "jetway/IKSolver.h"
#include "jetway/JetwayHandler.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "scenery/SimBubble.h"
#include "scenery/SimObjectsFolderManager.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundEngine.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <log4cpp/Category.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>

#include <new>

using program::Flags;
using program::Parts;
using program::RootLog;

namespace {

constexpr const char* kPlatforms[] = {"FSX", "FSX-SE", "FSX:SE", "P3Dv2", "P3Dv3", "P3Dv4", "P3Dv5"};
constexpr const char* kPlatformList = "FSX, FSX-SE, FSX:SE, P3Dv2, P3Dv3, P3Dv4 or P3Dv5";
constexpr const char* kRadioClick = "RADIO_CLICK_LOOP";
constexpr int16_t kRequestIdBase = 105;

void SetUpLog()
{
    Flags().logFolder = ExecutablePathHelper::GetProgramDataFolder() + "\\log";
    // Fails when the folder exists already; a missing log is no reason to stop.
    CreateDirectoryA(Flags().logFolder.c_str(), nullptr);

    const std::string file = platform::ResolveForWrite(Flags().logFolder + "\\VELK.log").string();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        // The program runs on without a log; this is the one place that can tell.
        std::fprintf(stderr, "orvane: cannot open the log file %s (%s); running without a log\n", file.c_str(),
                     std::strerror(errno));
        RootLog().setPriority(log4cpp::Priority::DEBUG);
        return;
    }
    auto* appender = new program::LogFileAppender("default", fd, file);
    auto* layout = new log4cpp::PatternLayout();
    layout->setConversionPattern("[%d{%H:%M:%S.%l}] %p %c : %m%n");
    appender->setLayout(layout);

    for (const char* name : {"VELK.XML", "VELK.ACFTEXITS", "VELK.ACFTPARAMS", "VELK.SETTINGS", "VELK.FOLDERMANAGER",
                             "VELK.SOUNDENGINE", "VELK.IKSOLVER"})
        log4cpp::Category::getInstance(name);
    RootLog().setPriority(log4cpp::Priority::DEBUG);
    RootLog().addAppender(appender);
}

// Run from a console, the program ends without a word on it when it never connects; one line on standard
// error says why and where the log tells more. It runs with the log set up (its folder is known).
void SayWhyItEnded(const std::string& why)
{
    const std::string log = Flags().logFolder + "\\VELK.log";
    std::fprintf(stderr, "orvane: %s. The log is %s (%s).\n", why.c_str(), log.c_str(),
                 platform::ResolveForWrite(log).string().c_str());
}

// Ends the start-up early: the termination line and the log's shutdown.
int Terminate()
{
    RootLog().info("Terminate VELK.");
    log4cpp::Category::shutdown();
    return 0;
}

bool CheckCommandLine(int argc, char** argv)
{
    if (argc != 2) {
        SayWhyItEnded("no simulator platform given: start it as 'orvane PLATFORM' with one of " +
                      std::string(kPlatformList));
        if (argc > 1) {
            std::string joined;
            for (const std::string& arg : MakeArgumentList(argv, argv + argc)) joined += arg + "; ";
            RootLog().debug("CommandLineArgs [%d]: %s", argc, joined.c_str());
        } else {
            RootLog().debug("CommandLineArgs [%d]: NONE!", argc);
        }
        RootLog().fatal("No Target Simulator Platform supplied! Shuting down...");
        return false;
    }
    const std::string platform = argv[1] ? argv[1] : "";
    bool supported = false;
    for (const char* known : kPlatforms) supported = supported || StringEquals(platform, known);
    if (!supported) {
        SayWhyItEnded("the simulator platform '" + platform + "' is not supported: use one of " +
                      std::string(kPlatformList));
        RootLog().fatal("Supplied Target Simulator Platform [%s] is not supported! Shuting down...", platform.c_str());
        return false;
    }
    Flags().targetPlatform = platform;
    RootLog().info("Targetting Platform [%s]", platform.c_str());
    return true;
}

void InitializeInternalSounds()
{
    RootLog().debug("Initializing Internal Sounds...");
    SoundEngine* engine = Parts().soundEngine.get();
    if (!engine) return;
    engine->PreloadSound(kRadioClick);
    SoundBuffer& click = program::RadioClick();
    click.SetParameters(kRadioClick, true, 0, 0);
    click.SetWaveKey(kRadioClick);
    click.InitAmbient(engine, true);
}

}  // namespace

namespace FSProcess {

void ConstructComponents()
{
    program::Components& parts = Parts();
    log4cpp::Category& loop = program::LoopLog();
    parts.settings.reset(new (std::nothrow) Settings(log4cpp::Category::getInstance("VELK.SETTINGS")));
    parts.sceneryFileRegistry.reset(new (std::nothrow) SceneryFileRegistry(log4cpp::Category::getInstance("VELK.XML")));
    // The text menus are program-wide objects: they exist already.
    program::StandMenu();
    program::TriggerMenu();
    RootLog().debug("Initializing Text Menus...");
    parts.seasonal.reset(new (std::nothrow) SeasonalObjectHandler());
    if (parts.seasonal) RootLog().debug("Initializing Seasonal Object Handler...");
    parts.readProbes.reset(new (std::nothrow) EnviroDataProbeList());
    parts.activeProbes.reset(new (std::nothrow) EnviroDataProbeList());
    parts.activeObjects.reset(new (std::nothrow) SimObjectList());
    parts.allObjects.reset(new (std::nothrow) SimObjectList());
    parts.protectionZones.reset(new (std::nothrow) ProtectionZoneList());
    if (parts.activeObjects && parts.allObjects) RootLog().debug("Initializing SimObject Lists...");
    parts.quadTree.reset(new (std::nothrow) QuadTree(QuadTree::WorldBox()));
    if (parts.quadTree) RootLog().debug("Initializing QuadTree...");
    parts.geoMath.reset(new (std::nothrow) GeoMath());
    parts.aircraftConfig.reset(new (std::nothrow)
                                   AircraftConfigData(&log4cpp::Category::getInstance("VELK.ACFTEXITS")));
    parts.aircraftParameters.reset(new (std::nothrow)
                                       AircraftParameters(&log4cpp::Category::getInstance("VELK.ACFTPARAMS")));
    parts.simStatus.reset(new (std::nothrow) SimStatus());
    if (parts.simStatus && parts.geoMath) {
        const bool disable = !parts.settings || parts.settings->IsSoundEngineDisabled();
        const bool debug = parts.settings && parts.settings->IsDebugMode();
        parts.soundEngine.reset(new (std::nothrow)
                                    SoundEngine(log4cpp::Category::getInstance("VELK.SOUNDENGINE"),
                                                *parts.simStatus, *parts.geoMath, disable, debug));
    }
    if (parts.soundEngine) RootLog().debug("Initializing Sound Engine...");
    parts.folderManager.reset(new (std::nothrow) SimObjectsFolderManager(
        log4cpp::Category::getInstance("VELK.FOLDERMANAGER"), parts.soundEngine.get()));
    parts.customCommands.reset(new (std::nothrow) CustomCommandList());
    parts.simBubble.reset(new (std::nothrow) SimBubble(loop, parts.soundEngine.get(), parts.folderManager.get()));
    if (parts.simBubble) RootLog().debug("Initializing Sim Bubble...");
    parts.aiMonitor.reset(new (std::nothrow) AIMonitor(&loop));
    if (parts.aiMonitor) RootLog().debug("Initializing AI Monitor...");
    parts.ikSolver.reset(new (std::nothrow) IKSolver(&log4cpp::Category::getInstance("VELK.IKSOLVER")));
    if (parts.ikSolver) RootLog().debug("Initializing IK Solver...");
    parts.jetwayHandler.reset(new (std::nothrow) JetwayHandler());
    if (parts.jetwayHandler) RootLog().debug("Initializing Jetway Handler...");
    parts.vdgsHandler.reset(new (std::nothrow) VDGSHandler());
    if (parts.vdgsHandler) RootLog().debug("Initializing VDGS Handler...");
    parts.gateNumberBox.reset(new (std::nothrow) GateNumberBox());
    if (parts.gateNumberBox) RootLog().debug("Initializing GateNumberBox Handler...");
    parts.injectionQueue.reset(new (std::nothrow) InjectionQueue());
    if (parts.injectionQueue) RootLog().debug("Initializing Injection Handler...");
    parts.linkedObjectHandler.reset(new (std::nothrow) LinkedSimObjectHandler(&loop));
    if (parts.linkedObjectHandler) RootLog().debug("Initializing LinkedSimObject Handler...");

    // Request ids of the placed objects start here in both lists.
    if (parts.allObjects) parts.allObjects->SetRequestIdBase(kRequestIdBase);
    if (parts.activeObjects) parts.activeObjects->SetRequestIdBase(kRequestIdBase);
}

void BuildInternalMaps()
{
    program::Components& parts = Parts();
    RootLog().debug("Build internal SimObject map!");
    if (parts.folderManager) {
        parts.folderManager->BuildSimObjectsMap();
        if (parts.allObjects) parts.folderManager->CheckModels(*parts.allObjects);
    }
    if (parts.ikSolver && parts.settings) parts.ikSolver->SetFastJetways(parts.settings->IsFastJetwaysEnabled());
}

}  // namespace FSProcess

std::string MakeVersionString()
{
    return std::to_string(1) + "." + std::to_string(7) + "." + std::to_string(1);
}

std::vector<std::string> MakeArgumentList(char** first, char** last)
{
    std::vector<std::string> list;
    for (char** arg = first; arg != last; ++arg) list.emplace_back(*arg ? *arg : "");
    return list;
}

bool StringEquals(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && a.compare(b) == 0;
}

int WinMain(int argc, char** argv)
{
    if (program::InstanceMutexError() == ERROR_ALREADY_EXISTS) {
        MessageBoxA(nullptr,
                    "Another VELK process is still running in the background.\nPlease kill the process in "
                    "Task-Manager and restart the sim!",
                    "VELK Warning", MB_OK | MB_ICONWARNING);
        return 0;
    }

    SetUpLog();
    RootLog().info("VELK Version '%s'", MakeVersionString().c_str());
    if (!CheckCommandLine(argc, argv)) return Terminate();

    FSProcess::ConstructComponents();

    RootLog().debug("Start Main Initialization!");
    FSProcess::ReloadAll(false);
    FSProcess::BuildInternalMaps();
    InitializeInternalSounds();
    FSProcess::StartProcessWatchdog();

    RootLog().debug("### All Initialization Done! ###");
    FSProcess::Run();
    if (!Flags().connected) SayWhyItEnded("no simulator to connect to: start the simulator first");
    FSProcess::LogTermination();
    return 0;
}
