// The reload of the placement data and the sim-bubble cycle: position initialisation, the reset of the
// jetway module, the removal of the old objects, the filtering and the paced creation of the new ones.
#include "app/FSProcess.h"

#include "aircraft/AircraftParameters.h"
#include "app/HandlerSupport.h"
#include "app/Program.h"
#include "app/Settings.h"
#include "guidance/StandTextMenu.h"
#include "guidance/TriggerObjectTextMenu.h"
#include "guidance/StandFacilitiesTextMenu.h"
#include "guidance/VDGSHandler.h"
#include "guidance/VarDrivenAnimationSubMenu.h"
#include "jetway/AIMonitor.h"
#include "jetway/JetwayHandler.h"
#include "jetway/core/LinkedSimObject.h"
#include "jetway/LinkedSimObjectHandler.h"
#include "link/SeasonalObjectHandler.h"
#include "objects/EnviroDataProbe.h"
#include "objects/InjectionQueue.h"
#include "objects/SimObjectList.h"
#include "platform/clock.h"
#include "scenery/QuadTree.h"
#include "scenery/SceneryFileRegistry.h"
#include "scenery/SimBubble.h"
#include "scenery/SimObjectsFolderManager.h"

#include <log4cpp/Category.hh>

using namespace velk_ids;
using program::Flags;
using program::IsDebugMode;
using program::LoopLog;
using program::Parts;
using program::RootLog;
using program::SendCreationFinished;
using program::Sim;

namespace {

constexpr DWORD kBatchPauseMs = 25;

// Empties what the placement files filled, before they are read again.
void EmptyForReload()
{
    program::Components& parts = Parts();
    if (parts.injectionQueue) parts.injectionQueue->Reset();
    if (parts.sceneryFileRegistry) parts.sceneryFileRegistry->Clear();
    if (parts.customCommands) parts.customCommands->clear();
    // The tree points into the full list: it goes first.
    if (parts.quadTree) parts.quadTree->Clear();
    if (parts.allObjects) parts.allObjects->Reset();
    if (parts.readProbes) parts.readProbes->Clear();
    if (parts.protectionZones) parts.protectionZones->Clear();
    if (parts.aircraftParameters) parts.aircraftParameters->Clear();
    if (parts.simBubble) parts.simBubble->ForgetJetwayConfigs();
    FSProcess::ResetVdgsDisplays();
    FSProcess::ProbeExternalObjects();
    if (parts.jetwayHandler) parts.jetwayHandler->Reset();
    program::StandMenu().Reset();
}

void ReadPlacementFiles()
{
    program::Components& parts = Parts();
    SceneryFileRegistry* registry = parts.sceneryFileRegistry.get();
    const bool debug = IsDebugMode();
    if (parts.folderManager) {
        parts.folderManager->SetDebugMode(debug);
        parts.folderManager->SetSimPlatform(Flags().targetPlatform);
    }
    if (registry) {
        registry->SetDebugMode(debug);
        registry->SetSimPlatform(Flags().targetPlatform);
    }
    const bool lists = registry && parts.allObjects && parts.readProbes && parts.customCommands;

    RootLog().debug("Trying to find Custom Configuration files...");
    if (registry) registry->FindSdxCfgFiles();
    RootLog().debug("Trying to build SimObject List out of Custom Config files...");
    int32_t count = 0;
    if (lists)
        count = registry->BuildListsFromSdx(0, *parts.customCommands, *parts.allObjects, *parts.readProbes,
                                            parts.protectionZones.get());
    RootLog().debug("Trying to find XML Definition files...");
    if (registry) registry->FindXmlFiles();
    RootLog().debug("Trying to build SimObject List out of XML definition files...");
    if (lists)
        registry->BuildListsFromXml(count, *parts.allObjects, *parts.readProbes, parts.protectionZones.get());

    RootLog().debug("List generated! Trying now to insert into QuadTree...");
    if (parts.quadTree && parts.allObjects) {
        SimObjectList& all = *parts.allObjects;
        for (int32_t i = 0; i < all.Count(); ++i) {
            SimObject* object = all.At(i);
            parts.quadTree->Insert({object->GetLatitude(), object->GetLongitude(), object->GetGroupIndex(), object});
        }
        RootLog().debug("QuadTree populated with SimObject references.");
    }
    Flags().objectCount = parts.allObjects ? static_cast<size_t>(parts.allObjects->Count()) : 0;
}

// Removes every active object and probe that is in the simulation.
void RemoveActiveObjects()
{
    program::Components& parts = Parts();
    if (parts.activeObjects) {
        SimObjectList& active = *parts.activeObjects;
        for (int32_t i = 0; i < active.Count(); ++i) {
            SimObject* object = active.At(i);
            if (!object->IsInSimulation()) continue;
            object->SetCreatedSimTitle(object->GetCurrentSimTitle());
            Sim().RemoveObject(object->GetObjectId(), object->GetRequestId());
            FSProcess::RemoveSimObject(object, false);
        }
    }
    if (parts.activeProbes) {
        EnviroDataProbeList& probes = *parts.activeProbes;
        for (int32_t i = 0; i < probes.Count(); ++i) {
            EnviroDataProbe* probe = probes.At(i);
            if (!probe->IsInSimulation()) continue;
            probe->SetCreatedSimTitle(probe->GetCurrentSimTitle());
            // By the probe's index: the connection stops the request that index was started with.
            Sim().StopProbeRequest(probe->GetObjectId(), static_cast<DWORD>(probe->GetLinkedIndex()));
            Sim().RemoveObject(probe->GetObjectId(), probe->GetRequestId());
            FSProcess::RemoveSimObject(probe, false);
        }
    }
}

// Everything of the previous bubble that the rebuild replaces; the module is asked to stop its jetways.
void ResetForRebuild()
{
    program::Components& parts = Parts();
    if (parts.seasonal && parts.seasonal->IsChanged()) {
        parts.seasonal->SetChanged(false);
        Sim().StopDateTimeRequest();
    }
    if (parts.injectionQueue) parts.injectionQueue->Reset();
    if (parts.aiMonitor) {
        parts.aiMonitor->Reset();
        parts.aiMonitor->ClearPending();
    }
    if (parts.activeObjects) {
        parts.activeObjects->ResetRequestedCount();
        parts.activeObjects->ResetCreatedCount();
        parts.activeObjects->GetUserAircraft().ResetExitStates();
    }
    if (parts.jetwayHandler) parts.jetwayHandler->ResetAllJetways();
    FSProcess::DeselectStand(false);
    Sleep(kBatchPauseMs);
    if (program::StandOpsMenu().IsDisplayed()) {
        Sim().CloseTextMenu(EventStandOpsPageResult);
        program::StandOpsMenu().SetDisplayed(false);
    }
    FSProcess::ResetVdgsDisplays();
    if (parts.aiMonitor) parts.aiMonitor->ClearTrackedJobs();
    Sim().TransmitEvent(EventJetwayResetAll);
    Flags().moduleResetAsked = true;
    Flags().positionInitialisation = false;
}

}  // namespace

namespace FSProcess {

void ReloadAll(bool reload)
{
    program::Components& parts = Parts();
    if (reload) EmptyForReload();
    RootLog().debug("Trying to read Settings from orvanes.ini file...");
    if (parts.settings) parts.settings->Read();
    PassSettingsToJetwayControl();
    ReadPlacementFiles();
    RootLog().debug("Trying to generate Aircraft Parameter Map from the INI file...");
    if (parts.aircraftParameters) parts.aircraftParameters->ReadParameters();
    if (!reload) {
        RootLog().debug("SDX/XML/INI Handling done! Start FS Processing...");
        return;
    }
    RootLog().debug("SDX/XML/INI Handling done! Going back to the Dispatch Loop...");
    LoopLog().debug("Initialize Position after Reset.");
    RequestPositionInit(1);
}

void ProbeExternalObjects()
{
    JetwayHandler* handler = Parts().jetwayHandler.get();
    // Every jetway a client registered, at rest or moving: one the client deleted at rest is found too.
    if (!handler || handler->GetExternalJetwayCount() == 0) return;
    for (const uint32_t id : handler->ListExternalJetwayIds()) {
        SimObject* object = handler->FindJetway(id);
        if (!object) continue;
        if (Jetway* jetway = program::CurrentJetway(*object)) jetway->StopSound();
        Sim().RequestSimDisabled(object->GetObjectId());
        Flags().reachabilityProbes[Sim().GetLastSentPacketId()] = object->GetObjectId();
    }
}

void InitDataRequests()
{
    if (!Flags().externalMode && Parts().seasonal) {
        Parts().seasonal->SetChanged(true);
        Sim().StartDateTimeRequest();
    }
    Sim().StartUserAircraftRequests();
}

void RequestPositionInit(int mode)
{
    program::State& flags = Flags();
    if (flags.externalMode) return;
    if (Parts().simBubble) Parts().simBubble->SetUpdatePending(true);
    flags.positionInitialisation = true;
    Sim().TransmitEventWithData(EventSimBubbleUpdate, static_cast<DWORD>(mode));
    flags.positionInitialised = true;
    flags.uiPositionChange = false;
}

void OnSimBubbleUpdate(int32_t mode, double latitude, double longitude, double altitudeFeet)
{
    SimBubble* bubble = Parts().simBubble.get();
    if (!bubble || !bubble->IsUpdatePending()) return;
    if (mode == SimBubble::kModePositionInitialised) {
        bubble->SetUpdatePending(false);
        return;
    }
    bubble->SetInZone(false);
    const ProtectionZoneList* zones = Parts().protectionZones.get();
    if (!Flags().positionInitialisation && mode != SimBubble::kModeCeilingCrossed && zones) {
        if (const SimBubbleProtectionZone* zone = zones->FindZone(latitude, longitude, altitudeFeet)) {
            bubble->SetInZone(true);
            bubble->SetCentre(zone->GetLatitude(), zone->GetLongitude());
            bubble->SetUpdatePending(false);
            Flags().positionInitialisation = false;
            return;
        }
    }
    ResetForRebuild();
}

void UpdateSimBubble(double latitude, double longitude, double altitudeFeet)
{
    program::Components& parts = Parts();
    if (!parts.simBubble || !parts.activeObjects || !parts.activeProbes || !parts.readProbes || !parts.quadTree ||
        !parts.injectionQueue)
        return;
    SimBubble& bubble = *parts.simBubble;
    SimObjectList& active = *parts.activeObjects;

    RemoveActiveObjects();
    bubble.SetCentre(latitude, longitude);
    bubble.FilterObjects(active, *parts.activeProbes, *parts.readProbes, *parts.quadTree, altitudeFeet);
    bubble.ResolveLinks(*parts.activeProbes, active);

    InjectionQueue& queue = *parts.injectionQueue;
    const int32_t count = active.Count();
    queue.SplitIntoBatches(count);
    if (queue.HasBatches()) {
        if (!FilterNormalObjects(0, queue.GetFrontBatch())) RefreshSimBubble();
    } else if (!FilterNormalObjects(0, count) && !FilterProbeObjects()) {
        SendCreationFinished();
    }

    // The main menu and the controllable-animation page list objects of the old bubble: the main menu
    // is shown again for the new one.
    if (program::TriggerMenu().IsDisplayed() || program::AnimationMenu().IsDisplayed())
        Sim().TransmitEventWithData(EventShowMainMenu, static_cast<DWORD>(Flags().lastMainMenuRequest));
    bubble.SetUpdatePending(false);
}

bool FilterNormalObjects(int32_t first, int32_t count)
{
    program::Components& parts = Parts();
    if (!parts.activeObjects) return false;
    bool created = false;
    for (int32_t i = first; i < first + count; ++i) {
        SimObject* object = parts.activeObjects->At(i);
        if (!object) break;
        const int32_t request = InjectSimObject(object, "SimBubble Filter, Normal Objects");
        if (request == 0) continue;
        created = true;
        if (parts.injectionQueue) parts.injectionQueue->SetLastRequestId(request);
    }
    return created;
}

bool FilterProbeObjects()
{
    program::Components& parts = Parts();
    if (!parts.activeProbes) return false;
    bool created = false;
    for (int32_t i = 0; i < parts.activeProbes->Count(); ++i) {
        if (InjectSimObject(parts.activeProbes->At(i), "SimBubble Filter, Probe Objects") == 0) continue;
        created = true;
        if (parts.injectionQueue) parts.injectionQueue->SetLastRequestId(0);
    }
    return created;
}

void RefreshSimBubble()
{
    InjectionQueue* queue = Parts().injectionQueue.get();
    if (!queue) return;
    for (;;) {
        if (!queue->PopBatch()) {
            if (!FilterProbeObjects()) SendCreationFinished();
            return;
        }
        Sleep(kBatchPauseMs);
        if (FilterNormalObjects(queue->GetTotal(), queue->GetFrontBatch())) return;
    }
}

void PlaceCreatedObject(uint32_t slot, SimObject* jetway, DWORD objectId)
{
    program::Components& parts = Parts();
    if (!jetway || !parts.linkedObjectHandler) return;
    LinkedSimObject* part = parts.linkedObjectHandler->SetPartId(slot, jetway, objectId);
    if (!part) return;
    SimObjectModel* model = jetway->GetModel(jetway->HasMultipleModels() ? 1 : 0);
    if (!model) return;
    Jetway& record = *model->GetJetway();
    record.SetDataValues4(jetway->GetLatitude(), jetway->GetLongitude(), jetway->GetAltitude(), jetway->GetHeading());
    if (part->GetSimTitle().empty()) return;

    Sim().FreezeObject(objectId);
    Sim().SetSimDisabled(objectId);
    part->SetAltitude(jetway->GetAltitude() - jetway->GetPlacement().GetAltitudeOffset(), true);
    if (part->GetObjectId() == 0) return;
    WriteGateNumber(jetway, part);
    parts.linkedObjectHandler->MoveParts(jetway);
    if (!jetway->IsRecreatePending()) return;

    const double altitude = jetway->GetAltitude();
    Sim().SetObjectAltitude(part->GetParentObjectId(), &altitude);
    Sim().RemoveObject(part->GetCreationTag(), jetway->GetRequestId());
    jetway->SetObjectId(part->GetCreationTag());
    RemoveSimObject(jetway, true);
    jetway->SetRecreatePending(false);
    jetway->SetInSimulation(true);
    jetway->SetObjectId(part->GetParentObjectId());
}

void ReopenStandsMenu()
{
    if (program::StandMenu().IsDisplayed())
        Sim().TransmitEventWithData(EventShowStandsMenu, static_cast<DWORD>(Flags().lastMainMenuRequest));
}

}  // namespace FSProcess
