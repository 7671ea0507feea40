// The AI aircraft standing near the user and the jetway jobs run for them. The detection pass fills
// the aircraft maps; the AI docking operations and the jetway events read and change the job lists.
//
// Jobs go to the in-simulator module one at a time: the first jetway of each aircraft is queued at once,
// every further jetway of the same aircraft is chained behind the one before it and queued when that one
// reports its intermediate phase. Its mutex is the program's only lock; every public operation takes it,
// so the monitor may be used from several threads even though the program uses it on the main thread.
#pragma once

#include "jetway/AIObject.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace log4cpp {
class Category;
}

class AIMonitor {
public:
    // log may be null: nothing is logged then.
    explicit AIMonitor(log4cpp::Category* log = nullptr);
    AIMonitor(const AIMonitor&) = delete;
    AIMonitor& operator=(const AIMonitor&) = delete;
    virtual ~AIMonitor() = default;

    // ---- Aircraft -------------------------------------------------------------------------------
    // The record into the latest aircraft (replacing one of the same id). Id 0 is refused.
    void AddPendingAIObject(const AIObject& aircraft);
    // The latest record of that id becomes monitored; nothing when the latest pass has no such id.
    void PromoteAIObject(int32_t id);
    void PromoteNewAIObjects();
    // The monitored ids that the latest pass did not report.
    std::set<int32_t> GetVanishedIDs() const;
    void GetVanishedIDs(std::set<int32_t>& out) const { out = GetVanishedIDs(); }
    // Traffic state and position of the latest records into the monitored ones.
    void UpdateMonitoredPlacements();
    void RemoveAIObject(int32_t id);
    // Empties the latest aircraft.
    void ClearPending();
    // The monitored record or null. The pointer stays valid until that aircraft is removed or the
    // monitor reset.
    AIObject* FindAIObject(int32_t id);
    std::size_t GetMonitoredCount() const;
    std::set<int32_t> GetMonitoredIDs() const;
    std::size_t GetLatestCount() const;
    // Clears the first-pass flag, the monitored aircraft, the job lists and the pending jetways.
    void Reset();

    bool IsAIDetectionEnabled() const;
    void SetAIDetectionEnabled(bool value);
    bool IsToggleRequested() const;
    void SetToggleRequested(bool value);
    bool IsFirstPassDone() const;
    void SetFirstPassDone(bool value);
    bool IsNoDataLogged() const { return IsFirstPassDone(); }
    void SetNoDataLogged(bool value) { SetFirstPassDone(value); }
    int32_t GetHardResetCounter() const;
    void SetHardResetCounter(int32_t value);

    // ---- Job lists ------------------------------------------------------------------------------
    // Appends the jetway to the aircraft's list. Id 0 (either) and a jetway the list holds already are
    // refused: a jetway twice in one list would be chained behind itself and never sent.
    void AddJob(int32_t aiId, uint32_t jetwayId);
    // 0 when the aircraft has no job.
    uint32_t GetFirstJobOf(int32_t aiId) const;
    std::size_t GetJobCountOf(int32_t aiId) const;
    std::vector<uint32_t> GetJobsOf(int32_t aiId) const;
    // Exchanges the first two jobs; nothing with fewer than two.
    void SwapFirstJobsOf(int32_t aiId);
    // Removes the jetway from the aircraft's list, erasing the entry when it becomes empty (emptied true).
    // Returns whether the jetway was in the list.
    bool RemoveJobEntryEx(int32_t aiId, uint32_t jetwayId, bool& emptied);
    bool RemoveJobEntry(int32_t aiId, uint32_t jetwayId);
    // From the first list (in aircraft id order) that holds it; whether it was found.
    bool RemoveJetwayFromAllJobs(uint32_t jetwayId);
    // Drops every job of the aircraft: chained jetways lose their links, the others leave the primary
    // queue unless they are pending.
    void ProcessJobsOf(int32_t aiId);
    bool HasJobs() const;
    // Builds the primary queue and the links from the job lists; true when the queue is empty.
    bool SerializeJobs();

    // ---- Primary queue and links ----------------------------------------------------------------
    // Before position, or appended when position is at or past the end. Id 0 is refused.
    void InsertTrackedJob(uint32_t jetwayId, std::size_t position);
    // Removes the first occurrence; true when the id was not queued.
    bool RemoveTrackedJob(uint32_t jetwayId);
    // Empties the primary queue and both link maps.
    void ClearTrackedJobs();
    // 0 when the queue is empty.
    uint32_t GetFirstTrackedJob() const;
    std::size_t GetTrackedJobCount() const;
    std::vector<uint32_t> GetTrackedJobs() const;
    // The id has a successor, respectively a predecessor.
    bool IsPrimaryJob(uint32_t jetwayId) const;
    bool IsChainedJob(uint32_t jetwayId) const;
    // The successor, 0 when none.
    uint32_t GetPrimaryPartner(uint32_t jetwayId) const;
    std::size_t GetPrimaryJobCount() const;
    // Unlinks the id from its predecessor (both links).
    void EraseFromJobMaps(uint32_t jetwayId);

    // ---- Jobs sent and not yet acknowledged -----------------------------------------------------
    void AddPendingJetway(uint32_t jetwayId);
    bool RemovePendingJetway(uint32_t jetwayId);
    bool HasPendingJetways() const;

private:
    void PromoteLocked(int32_t id);
    void EraseFromJobMapsLocked(uint32_t jetwayId);
    bool RemoveTrackedJobLocked(uint32_t jetwayId);
    bool IsPendingLocked(uint32_t jetwayId) const;

    log4cpp::Category* log_;
    bool firstPassDone_ = false;
    bool detectionEnabled_ = true;
    bool toggleRequested_ = false;
    std::map<int32_t, AIObject> monitored_;
    std::map<int32_t, AIObject> latest_;
    std::set<int32_t> monitoredIds_;
    std::set<int32_t> latestIds_;
    mutable std::mutex mutex_;
    std::map<int32_t, std::vector<uint32_t>> jobs_;
    std::vector<uint32_t> primary_;
    std::map<uint32_t, uint32_t> successors_;
    std::map<uint32_t, uint32_t> predecessors_;
    std::vector<uint32_t> pending_;
    int32_t hardResetCounter_ = 0;
};
