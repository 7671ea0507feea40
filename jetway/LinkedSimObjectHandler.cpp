#include "jetway/LinkedSimObjectHandler.h"

#include "jetway/core/LinkedSimObject.h"
#include "objects/InjectionQueue.h"
#include "objects/Jetway.h"
#include "objects/SimObject.h"
#include "platform/simconnect/SimConnect.h"

#include <array>
#include <cmath>
#include <limits>
#include <log4cpp/Category.hh>

namespace {

constexpr int32_t kJetwayFeature = 3;
// Flag bytes of a part: [0] supplied by an outside program, [1] and [2] the two state flags.
constexpr std::size_t kExternalFlag = 0;
constexpr std::size_t kFirstStateFlag = 1;

LinkedSimObject& PartOf(Jetway& jetway, uint32_t slot) { return jetway.GetJetwayData()->Parts[slot - 1]; }

std::string CurrentTitle(const SimObject& object) { return object.GetCurrentSimTitle(); }

bool AllFinite(const std::array<double, 6>& values) {
    for (double v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

}  // namespace

Jetway* LinkedSimObjectHandler::JetwayOf(SimObject* object) {
    if (object == nullptr) {
        return nullptr;
    }
    SimObjectModel* model = object->GetModel(object->HasMultipleModels() ? 1 : 0);
    return model != nullptr ? model->GetJetway() : nullptr;
}

bool LinkedSimObjectHandler::IsExternallySupplied(const LinkedSimObject& part) {
    return part.GetUnnamed().flags[kExternalFlag] != 0;
}

void LinkedSimObjectHandler::SetExternallySupplied(LinkedSimObject& part, bool value) {
    part.GetUnnamed().flags[kExternalFlag] = value ? 1 : 0;
}

bool LinkedSimObjectHandler::GetStateFlag(const LinkedSimObject& part, int which) {
    return (which == 0 || which == 1) && part.GetUnnamed().flags[kFirstStateFlag + which] != 0;
}

void LinkedSimObjectHandler::SetStateFlag(LinkedSimObject& part, int which, bool value) {
    if (which == 0 || which == 1) {
        part.GetUnnamed().flags[kFirstStateFlag + which] = value ? 1 : 0;
    }
}

uint32_t LinkedSimObjectHandler::InjectMissingParts(SimObject* jetway, uint32_t creationTag, InjectionQueue* queue) {
    Jetway* record = JetwayOf(jetway);
    if (record == nullptr) {
        return 0;
    }
    // Only the dynamic model has parts; the static model of a two-model jetway shows none.
    if (jetway->HasMultipleModels() && jetway->GetCurrentModelIndex() != 1) {
        return 0;
    }
    // Parts hang on their jetway's object: without one there is no parent to name.
    if (jetway->GetObjectId() == 0) {
        if (log_ != nullptr) {
            log_->error("Parts of '%s' not injected: the jetway has no object id!", jetway->GetName().c_str());
        }
        return 0;
    }
    uint32_t created = 0;
    for (uint32_t slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const int s = static_cast<int>(slot);
        if (!record->HasPart(s) || record->IsPartInjected(s)) {
            continue;
        }
        if (!CreatePart(jetway, slot, creationTag, queue)) {
            continue;
        }
        PartOf(*record, slot).SetInjected(true);
        ++created;
    }
    return created;
}

bool LinkedSimObjectHandler::CreatePart(SimObject* jetway, uint32_t slot, uint32_t creationTag,
                                        InjectionQueue* queue) {
    Jetway* record = JetwayOf(jetway);
    if (record == nullptr || slot < kFirstSlot || slot > kLastSlot) {
        return false;
    }
    const double altitude = jetway->GetAltitude();
    const double latitude = jetway->GetLatitude();
    const double longitude = jetway->GetLongitude();
    const double heading = jetway->GetHeading();
    if (!jetway->HasFeature(kJetwayFeature)) {
        if (log_ != nullptr) {
            log_->debug("Parent '%s' is not a Jetway!", CurrentTitle(*jetway).c_str());
        }
        return false;
    }
    LinkedSimObject& part = PartOf(*record, slot);
    part.SetParentObjectId(jetway->GetObjectId());
    part.SetCreationTag(creationTag);
    const std::string title = part.GetSimTitle();
    if (title.empty()) {
        if (log_ != nullptr) {
            log_->debug("Linked SimObject #%d of Parent '%s' not injected! (SimTitle empty)", static_cast<int>(slot),
                        CurrentTitle(*jetway).c_str());
        }
        return false;
    }
    SIMCONNECT_DATA_INITPOSITION position{};
    position.Latitude = latitude;
    position.Longitude = longitude;
    position.Altitude = altitude;
    if (jetway->IsRecreatePending() || IsExternallySupplied(part)) {
        position.Altitude -= kBelowJetwayFeet;
    }
    position.Heading = heading;
    if (!std::isfinite(position.Latitude) || !std::isfinite(position.Longitude) ||
        !std::isfinite(position.Altitude) || !std::isfinite(position.Heading)) {
        if (log_ != nullptr) {
            log_->error("Linked SimObject #%d of Parent '%s' not injected! (position not a number)",
                        static_cast<int>(slot), CurrentTitle(*jetway).c_str());
        }
        return false;
    }
    if (simConnect_ == nullptr) {
        if (log_ != nullptr) {
            log_->error("Linked SimObject #%d of Parent '%s' not injected! (no connection)", static_cast<int>(slot),
                        CurrentTitle(*jetway).c_str());
        }
        return false;
    }
    const uint32_t requestId = jetway->GetRequestId();
    if (FAILED(SimConnect_AICreateSimulatedObject(simConnect_, title.c_str(), position,
                                                  queue ? queue->TagRequest(requestId) : requestId))) {
        if (log_ != nullptr) {
            log_->error("Linked SimObject #%d of Parent '%s' not injected! (request not sent)", static_cast<int>(slot),
                        CurrentTitle(*jetway).c_str());
        }
        return false;
    }
    DWORD packetId = 0;
    if (FAILED(SimConnect_GetLastSentPacketID(simConnect_, &packetId))) {
        return true;
    }
    ForgetCreations(jetway, slot);
    creations_[packetId] = PartCreation{jetway, slot};
    if (queue != nullptr && packetId <= static_cast<DWORD>(std::numeric_limits<int32_t>::max()) &&
        requestId <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
        queue->MapRequest(static_cast<int32_t>(packetId), static_cast<int32_t>(requestId));
    }
    return true;
}

uint32_t LinkedSimObjectHandler::OnPartCreationFailed(SimObject* jetway, DWORD sendId) {
    const auto found = creations_.find(sendId);
    if (found == creations_.end() || jetway == nullptr || found->second.jetway != jetway) {
        return 0;
    }
    const uint32_t slot = found->second.slot;
    creations_.erase(found);
    if (Jetway* record = JetwayOf(jetway)) {
        PartOf(*record, slot).SetInjected(false);
    }
    if (log_ != nullptr) {
        log_->error("Linked SimObject #%u of Parent '%s' refused by the simulator!", slot, CurrentTitle(*jetway).c_str());
    }
    return slot;
}

void LinkedSimObjectHandler::ForgetCreations(const SimObject* jetway, uint32_t slot) {
    for (auto it = creations_.begin(); it != creations_.end();) {
        if (it->second.jetway == jetway && it->second.slot == slot) {
            it = creations_.erase(it);
        } else {
            ++it;
        }
    }
}

LinkedSimObject* LinkedSimObjectHandler::TakePartId(uint32_t slot, SimObject* jetway, uint32_t objectId,
                                                    bool external) {
    Jetway* record = JetwayOf(jetway);
    if (record == nullptr || slot < kFirstSlot || slot > kLastSlot) {
        if (log_ != nullptr) {
            log_->error("Linked SimObject #%u: no such part slot! ID: %u", slot, objectId);
        }
        return nullptr;
    }
    ForgetCreations(jetway, slot);
    LinkedSimObject& part = PartOf(*record, slot);
    part.SetInjected(false);
    part.SetObjectId(objectId);
    if (external) {
        SetExternallySupplied(part, true);
    }
    return &part;
}

LinkedSimObject* LinkedSimObjectHandler::SetPartId(uint32_t slot, SimObject* jetway, uint32_t objectId) {
    return TakePartId(slot, jetway, objectId, false);
}

LinkedSimObject* LinkedSimObjectHandler::AssignPartId(uint32_t slot, SimObject* jetway, uint32_t objectId) {
    return TakePartId(slot, jetway, objectId, true);
}

void LinkedSimObjectHandler::MoveParts(SimObject* jetway) {
    Jetway* record = JetwayOf(jetway);
    if (record == nullptr) {
        return;
    }
    const JetwayData& data = record->GetRecord();
    const double head = data.TargetHead;
    const double extension = data.TargetExtension;
    const double dip = data.TargetDip;
    const double rotation = data.TargetRootRotation;
    for (uint32_t slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const int s = static_cast<int>(slot);
        if (!record->HasPart(s)) {
            continue;
        }
        std::array<double, 6> position = record->ComputePartPositions(s, head, extension, dip, rotation).ToArray();
        const uint32_t objectId = data.Parts[slot - 1].GetObjectId();
        if (objectId == 0 || simConnect_ == nullptr) {
            continue;
        }
        if (!AllFinite(position)) {
            if (log_ != nullptr) {
                log_->error("Linked SimObject '%s' not moved! (position not a number) ID: %u",
                            data.Parts[slot - 1].GetSimTitle().c_str(), objectId);
            }
            continue;
        }
        SimConnect_SetDataOnSimObject(simConnect_, velk_ids::DefObjectPlacement, objectId, 0, 1,
                                      static_cast<DWORD>(sizeof(position)), position.data());
    }
}

uint32_t LinkedSimObjectHandler::RemoveParts(SimObject* jetway) {
    Jetway* record = JetwayOf(jetway);
    if (record == nullptr) {
        return 0;
    }
    const uint32_t jetwayId = jetway->GetObjectId();
    uint32_t removed = 0;
    for (uint32_t slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        if (!record->HasPart(static_cast<int>(slot))) {
            continue;
        }
        LinkedSimObject& part = PartOf(*record, slot);
        const uint32_t objectId = part.GetObjectId();
        // A part left from another object's creation, or one an outside program owns, is not ours.
        if (objectId == 0 || jetwayId == 0 || IsExternallySupplied(part) || part.GetParentObjectId() != jetwayId) {
            continue;
        }
        if (simConnect_ != nullptr) {
            SimConnect_AIRemoveObject(simConnect_, objectId, jetway->GetRequestId());
        }
        SetStateFlag(part, 0, false);
        SetStateFlag(part, 1, false);
        if (log_ != nullptr && part.GetSecondWord() == 0) {
            log_->info(" - LinkedSimObject '%s'. ID: %d", part.GetSimTitle().c_str(), static_cast<int>(objectId));
        }
        part.SetObjectId(0);
        ++removed;
    }
    return removed;
}

void LinkedSimObjectHandler::RestoreOwnParts(SimObject* jetway, const JetwayData& previous) {
    Jetway* record = JetwayOf(jetway);
    if (record == nullptr) {
        return;
    }
    JetwayData* data = record->GetJetwayData();
    for (uint32_t slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const LinkedSimObject& own = previous.Parts[slot - 1];
        LinkedSimObject& part = data->Parts[slot - 1];
        if (IsExternallySupplied(own)) {
            continue;
        }
        part.SetCreationTitle(own.GetCreationTitle());
        part.SetSimTitle(own.GetSimTitle());
        part.SetObjectId(own.GetObjectId());
        part.SetParentObjectId(own.GetParentObjectId());
        part.SetCreationTag(own.GetCreationTag());
        part.SetLinkType(own.GetLinkType());
        const XYZData& offset = own.GetOffset();
        part.SetOffset(offset.x, offset.y, offset.z);
        part.GetPlacement().SetAltitude(own.GetPlacement().GetAltitude());
        part.GetSecondPlacement().SetAltitude(own.GetSecondPlacement().GetAltitude());
        SetExternallySupplied(part, false);
    }
}
