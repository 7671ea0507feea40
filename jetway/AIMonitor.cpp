#include "jetway/AIMonitor.h"

#include <algorithm>
#include <iterator>
#include <log4cpp/Category.hh>

using Lock = std::lock_guard<std::mutex>;

AIMonitor::AIMonitor(log4cpp::Category* log) : log_(log) { Reset(); }

// ---- Aircraft ---------------------------------------------------------------------------------------

void AIMonitor::AddPendingAIObject(const AIObject& aircraft) {
    const int32_t id = aircraft.GetObjectID();
    if (id == 0) {
        if (log_ != nullptr) {
            log_->error("[AI DETECTION] AI object '%s' without an object id ignored!", aircraft.GetTitle().c_str());
        }
        return;
    }
    Lock lock(mutex_);
    latest_.insert_or_assign(id, aircraft);
    latestIds_.insert(id);
}

void AIMonitor::PromoteLocked(int32_t id) {
    const auto found = latest_.find(id);
    if (found == latest_.end()) {
        return;
    }
    monitored_.insert_or_assign(id, found->second);
    monitoredIds_.insert(id);
}

void AIMonitor::PromoteAIObject(int32_t id) {
    Lock lock(mutex_);
    PromoteLocked(id);
}

void AIMonitor::PromoteNewAIObjects() {
    Lock lock(mutex_);
    for (int32_t id : latestIds_) {
        if (monitoredIds_.count(id) == 0) {
            PromoteLocked(id);
        }
    }
}

std::set<int32_t> AIMonitor::GetVanishedIDs() const {
    Lock lock(mutex_);
    std::set<int32_t> out;
    std::set_difference(monitoredIds_.begin(), monitoredIds_.end(), latestIds_.begin(), latestIds_.end(),
                        std::inserter(out, out.end()));
    return out;
}

void AIMonitor::UpdateMonitoredPlacements() {
    Lock lock(mutex_);
    for (auto& [id, aircraft] : monitored_) {
        const auto latest = latest_.find(id);
        if (latest == latest_.end()) {
            continue;
        }
        const PlacementData placement = latest->second.GetPlacement();
        aircraft.SetTrafficState(latest->second.GetTrafficState());
        aircraft.SetPosition(placement.GetLatitude(), placement.GetLongitude(), placement.GetAltitude(),
                             placement.GetHeading());
    }
}

void AIMonitor::RemoveAIObject(int32_t id) {
    Lock lock(mutex_);
    monitored_.erase(id);
    monitoredIds_.erase(id);
}

void AIMonitor::ClearPending() {
    Lock lock(mutex_);
    latestIds_.clear();
    latest_.clear();
}

AIObject* AIMonitor::FindAIObject(int32_t id) {
    Lock lock(mutex_);
    const auto found = monitored_.find(id);
    return found != monitored_.end() ? &found->second : nullptr;
}

std::size_t AIMonitor::GetMonitoredCount() const {
    Lock lock(mutex_);
    return monitored_.size();
}

std::set<int32_t> AIMonitor::GetMonitoredIDs() const {
    Lock lock(mutex_);
    return monitoredIds_;
}

std::size_t AIMonitor::GetLatestCount() const {
    Lock lock(mutex_);
    return latest_.size();
}

void AIMonitor::Reset() {
    Lock lock(mutex_);
    firstPassDone_ = false;
    monitored_.clear();
    monitoredIds_.clear();
    jobs_.clear();
    pending_.clear();
}

bool AIMonitor::IsAIDetectionEnabled() const {
    Lock lock(mutex_);
    return detectionEnabled_;
}

void AIMonitor::SetAIDetectionEnabled(bool value) {
    Lock lock(mutex_);
    detectionEnabled_ = value;
}

bool AIMonitor::IsToggleRequested() const {
    Lock lock(mutex_);
    return toggleRequested_;
}

void AIMonitor::SetToggleRequested(bool value) {
    Lock lock(mutex_);
    toggleRequested_ = value;
}

bool AIMonitor::IsFirstPassDone() const {
    Lock lock(mutex_);
    return firstPassDone_;
}

void AIMonitor::SetFirstPassDone(bool value) {
    Lock lock(mutex_);
    firstPassDone_ = value;
}

int32_t AIMonitor::GetHardResetCounter() const {
    Lock lock(mutex_);
    return hardResetCounter_;
}

void AIMonitor::SetHardResetCounter(int32_t value) {
    Lock lock(mutex_);
    hardResetCounter_ = value;
}

// ---- Job lists --------------------------------------------------------------------------------------

void AIMonitor::AddJob(int32_t aiId, uint32_t jetwayId) {
    if (aiId == 0 || jetwayId == 0) {
        if (log_ != nullptr) {
            log_->error("[AI DETECTION] Job without object id ignored (AI [%d], Jetway [%u])!", aiId, jetwayId);
        }
        return;
    }
    Lock lock(mutex_);
    std::vector<uint32_t>& list = jobs_[aiId];
    if (std::find(list.begin(), list.end(), jetwayId) != list.end()) {
        if (log_ != nullptr) {
            log_->warn("[AI DETECTION] Jetway [%u] already serves AI [%d]!", jetwayId, aiId);
        }
        return;
    }
    list.push_back(jetwayId);
}

uint32_t AIMonitor::GetFirstJobOf(int32_t aiId) const {
    Lock lock(mutex_);
    const auto found = jobs_.find(aiId);
    return found != jobs_.end() && !found->second.empty() ? found->second.front() : 0;
}

std::size_t AIMonitor::GetJobCountOf(int32_t aiId) const {
    Lock lock(mutex_);
    const auto found = jobs_.find(aiId);
    return found != jobs_.end() ? found->second.size() : 0;
}

std::vector<uint32_t> AIMonitor::GetJobsOf(int32_t aiId) const {
    Lock lock(mutex_);
    const auto found = jobs_.find(aiId);
    return found != jobs_.end() ? found->second : std::vector<uint32_t>();
}

void AIMonitor::SwapFirstJobsOf(int32_t aiId) {
    Lock lock(mutex_);
    const auto found = jobs_.find(aiId);
    if (found != jobs_.end() && found->second.size() >= 2) {
        std::swap(found->second[0], found->second[1]);
    }
}

bool AIMonitor::RemoveJobEntryEx(int32_t aiId, uint32_t jetwayId, bool& emptied) {
    emptied = false;
    Lock lock(mutex_);
    const auto found = jobs_.find(aiId);
    if (found == jobs_.end()) {
        return false;
    }
    std::vector<uint32_t>& list = found->second;
    const auto job = std::find(list.begin(), list.end(), jetwayId);
    const bool removed = job != list.end();
    if (removed) {
        list.erase(job);
    }
    if (list.empty()) {
        jobs_.erase(found);
        emptied = true;
    }
    return removed;
}

bool AIMonitor::RemoveJobEntry(int32_t aiId, uint32_t jetwayId) {
    bool emptied = false;
    return RemoveJobEntryEx(aiId, jetwayId, emptied);
}

bool AIMonitor::RemoveJetwayFromAllJobs(uint32_t jetwayId) {
    Lock lock(mutex_);
    for (auto entry = jobs_.begin(); entry != jobs_.end(); ++entry) {
        std::vector<uint32_t>& list = entry->second;
        const auto job = std::find(list.begin(), list.end(), jetwayId);
        if (job == list.end()) {
            continue;
        }
        list.erase(job);
        if (list.empty()) {
            jobs_.erase(entry);
        }
        return true;
    }
    return false;
}

void AIMonitor::ProcessJobsOf(int32_t aiId) {
    Lock lock(mutex_);
    const auto found = jobs_.find(aiId);
    if (found == jobs_.end()) {
        return;
    }
    for (uint32_t jetwayId : found->second) {
        if (predecessors_.count(jetwayId) != 0) {
            EraseFromJobMapsLocked(jetwayId);
        } else if (!IsPendingLocked(jetwayId)) {
            RemoveTrackedJobLocked(jetwayId);
        }
    }
    jobs_.erase(found);
}

bool AIMonitor::HasJobs() const {
    Lock lock(mutex_);
    return !jobs_.empty();
}

bool AIMonitor::SerializeJobs() {
    Lock lock(mutex_);
    primary_.clear();
    for (const auto& [aiId, list] : jobs_) {
        for (std::size_t k = 0; k < list.size(); ++k) {
            if (k == 0) {
                if (predecessors_.count(list[0]) == 0) {
                    primary_.push_back(list[0]);
                }
                continue;
            }
            successors_[list[k - 1]] = list[k];
            predecessors_[list[k]] = list[k - 1];
        }
    }
    return primary_.empty();
}

// ---- Primary queue and links ------------------------------------------------------------------------

void AIMonitor::InsertTrackedJob(uint32_t jetwayId, std::size_t position) {
    if (jetwayId == 0) {
        return;
    }
    Lock lock(mutex_);
    primary_.insert(primary_.begin() + static_cast<std::ptrdiff_t>(std::min(position, primary_.size())), jetwayId);
}

bool AIMonitor::RemoveTrackedJobLocked(uint32_t jetwayId) {
    const auto found = std::find(primary_.begin(), primary_.end(), jetwayId);
    if (found == primary_.end()) {
        return true;
    }
    primary_.erase(found);
    return false;
}

bool AIMonitor::RemoveTrackedJob(uint32_t jetwayId) {
    Lock lock(mutex_);
    return RemoveTrackedJobLocked(jetwayId);
}

void AIMonitor::ClearTrackedJobs() {
    Lock lock(mutex_);
    primary_.clear();
    successors_.clear();
    predecessors_.clear();
}

uint32_t AIMonitor::GetFirstTrackedJob() const {
    Lock lock(mutex_);
    return primary_.empty() ? 0 : primary_.front();
}

std::size_t AIMonitor::GetTrackedJobCount() const {
    Lock lock(mutex_);
    return primary_.size();
}

std::vector<uint32_t> AIMonitor::GetTrackedJobs() const {
    Lock lock(mutex_);
    return primary_;
}

bool AIMonitor::IsPrimaryJob(uint32_t jetwayId) const {
    Lock lock(mutex_);
    return successors_.count(jetwayId) != 0;
}

bool AIMonitor::IsChainedJob(uint32_t jetwayId) const {
    Lock lock(mutex_);
    return predecessors_.count(jetwayId) != 0;
}

uint32_t AIMonitor::GetPrimaryPartner(uint32_t jetwayId) const {
    Lock lock(mutex_);
    const auto found = successors_.find(jetwayId);
    return found != successors_.end() ? found->second : 0;
}

std::size_t AIMonitor::GetPrimaryJobCount() const {
    Lock lock(mutex_);
    return successors_.size();
}

void AIMonitor::EraseFromJobMapsLocked(uint32_t jetwayId) {
    const auto found = predecessors_.find(jetwayId);
    if (found == predecessors_.end()) {
        return;
    }
    successors_.erase(found->second);
    predecessors_.erase(found);
}

void AIMonitor::EraseFromJobMaps(uint32_t jetwayId) {
    Lock lock(mutex_);
    EraseFromJobMapsLocked(jetwayId);
}

// ---- Pending jetways --------------------------------------------------------------------------------

bool AIMonitor::IsPendingLocked(uint32_t jetwayId) const {
    return std::find(pending_.begin(), pending_.end(), jetwayId) != pending_.end();
}

void AIMonitor::AddPendingJetway(uint32_t jetwayId) {
    Lock lock(mutex_);
    pending_.push_back(jetwayId);
}

bool AIMonitor::RemovePendingJetway(uint32_t jetwayId) {
    Lock lock(mutex_);
    const auto found = std::find(pending_.begin(), pending_.end(), jetwayId);
    if (found == pending_.end()) {
        return false;
    }
    pending_.erase(found);
    return true;
}

bool AIMonitor::HasPendingJetways() const {
    Lock lock(mutex_);
    return !pending_.empty();
}
