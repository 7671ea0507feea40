// orvane's start-up: single-instance test, log, command line, components, main initialisation.
#include "app/FSProcess.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "foundation/ExecutablePathHelper.h"
#include "foundation/GeoMath.h"
#include "link/SeasonalObjectHandler.h"
#include "link/SimStatus.h"
#include "platform/files.h"
#include "platform/machine.h"
#include "platform/process.h"
#include "sound/SoundBuffer.h"
#include "sound/SoundEngine.h"

#include <log4cpp/Category.hh>
#include <log4cpp/FileAppender.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>

#include <new>

using program::Flags;
using program::Parts;
using program::RootLog;

namespace {

constexpr const char* kPlatforms[] = {"FSX", "FSX-SE", "FSX:SE", "P3Dv2", "P3Dv3", "P3Dv4", "P3Dv5"};
constexpr const char* kRadioClick = "RADIO_CLICK_LOOP";

void SetUpLog()
{
    Flags().logFolder = ExecutablePathHelper::GetProgramDataFolder() + "\\log";
    // Fails when the folder exists already; a missing log is no reason to stop.
    CreateDirectoryA(Flags().logFolder.c_str(), nullptr);

    const std::string file = platform::ResolveForWrite(Flags().logFolder + "\\VELK.log").string();
    auto* appender = new log4cpp::FileAppender("default", file, false, 0644);
    auto* layout = new log4cpp::PatternLayout();
    layout->setConversionPattern("[%d{%H:%M:%S.%l}] %p %c : %m%n");
    appender->setLayout(layout);

    for (const char* name : {"VELK.XML", "VELK.ACFTEXITS", "VELK.ACFTPARAMS", "VELK.SETTINGS", "VELK.FOLDERMANAGER",
                             "VELK.SOUNDENGINE", "VELK.IKSOLVER"})
        log4cpp::Category::getInstance(name);
    RootLog().setPriority(log4cpp::Priority::DEBUG);
    RootLog().addAppender(appender);
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
        RootLog().fatal("Supplied Target Simulator Platform [%s] is not supported! Shuting down...", platform.c_str());
        return false;
    }
    Flags().targetPlatform = platform;
    RootLog().info("Targetting Platform [%s]", platform.c_str());
    return true;
}

void ConstructComponents()
{
    program::Components& parts = Parts();
    parts.settings.reset(new (std::nothrow) Settings(log4cpp::Category::getInstance("VELK.SETTINGS")));
    RootLog().debug("Initializing Text Menus...");
    RootLog().debug("Initializing Seasonal Object Handler...");
    parts.seasonal.reset(new (std::nothrow) SeasonalObjectHandler());
    RootLog().debug("Initializing SimObject Lists...");
    RootLog().debug("Initializing QuadTree...");
    parts.geoMath.reset(new (std::nothrow) GeoMath());
    parts.simStatus.reset(new (std::nothrow) SimStatus());
    RootLog().debug("Initializing Sound Engine...");
    if (parts.simStatus && parts.geoMath) {
        const bool disable = !parts.settings || parts.settings->IsSoundEngineDisabled();
        const bool debug = parts.settings && parts.settings->IsDebugMode();
        parts.soundEngine.reset(new (std::nothrow)
                                    SoundEngine(log4cpp::Category::getInstance("VELK.SOUNDENGINE"),
                                                *parts.simStatus, *parts.geoMath, disable, debug));
    }
    parts.customCommands.reset(new (std::nothrow) CustomCommandList());
    RootLog().debug("Initializing Sim Bubble...");
    RootLog().debug("Initializing AI Monitor...");
    RootLog().debug("Initializing IK Solver...");
    RootLog().debug("Initializing Jetway Handler...");
    RootLog().debug("Initializing VDGS Handler...");
    RootLog().debug("Initializing GateNumberBox Handler...");
    RootLog().debug("Initializing Injection Handler...");
    RootLog().debug("Initializing LinkedSimObject Handler...");
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

    ConstructComponents();

    RootLog().debug("Start Main Initialization!");
    FSProcess::ReloadAll(false);
    RootLog().debug("Build internal SimObject map!");
    InitializeInternalSounds();
    FSProcess::StartProcessWatchdog();

    RootLog().debug("### All Initialization Done! ###");
    FSProcess::Run();
    FSProcess::LogTermination();
    return 0;
}
