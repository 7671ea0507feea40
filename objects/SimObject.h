// One placed scenery object as a placement file describes it: its name, where it stands, the model
// variants it can show, and the bookkeeping that ties it to the simulated object created for it.
//
// An object list owns each object once, at a fixed address; an object owns its models by value. Copies
// take every field (models element by element) but never a running timer, motion or sound: the models see
// to that. A move takes the models as they are, running work included. Before an object that may have
// live work is destroyed or overwritten, StopActivity ends that work.
//
// The models can also be shared: ShareModels makes them one read-only set that copies of the object take
// without copying a model (a placement file places one object with all its models many times). The first
// non-const access to a model (GetModel, GetCurrentModel, AddModel, SelectModel, ...) gives the object a
// copy of its own, so that no change reaches the others; const accesses read the shared set, and what
// they return stays valid until that first non-const access.
#pragma once

#include "foundation/Records.h"
#include "objects/FeatureHolder.h"
#include "objects/SimObjectModel.h"
#include "objects/StandData.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class SimObject {
public:
    SimObject() = default;
    SimObject(const SimObject&) = default;
    SimObject& operator=(const SimObject&) = default;
    SimObject(SimObject&&) = default;
    SimObject& operator=(SimObject&&) = default;
    virtual ~SimObject() = default;

    // ---- Name -----------------------------------------------------------------------------------
    void SetName(std::string name) { name_ = std::move(name); }
    // The name handed over; the object is left without one.
    std::string TakeName() { return std::exchange(name_, std::string()); }
    const std::string& GetName() const { return name_; }
    // The parts before and after the first ":"; a name without ":" gives itself for both.
    std::string GetNamePrefix() const;
    std::string GetNameSuffix() const;

    // ---- Sim titles -----------------------------------------------------------------------------
    // The current model's title; "VOID" without a current model.
    std::string GetCurrentSimTitle() const;
    void SetCreatedSimTitle(std::string title)
    {
        if (!title.empty() || texts_.Has()) texts_.Get().createdSimTitle = std::move(title);
    }
    std::string GetCreatedSimTitle() const { return texts_.Read().createdSimTitle; }

    // ---- Models ---------------------------------------------------------------------------------
    // Appends a default model with that title and returns it. The reference is valid until the next
    // model is added or the models are shared.
    SimObjectModel& AddModel(std::string simTitle);
    // Room for that many models in all, so that adding up to them moves none.
    void ReserveModels(int32_t count);
    int32_t GetModelCount() const { return static_cast<int32_t>(Models().size()); }
    // The n-th model; null outside the list. The non-const one first gives the object models of its own.
    SimObjectModel* GetModel(int32_t index);
    const SimObjectModel* GetModel(int32_t index) const;
    // The n-th model as every object sharing the models sees it: a change made through it reaches them
    // all. Only for what holds for the model wherever it is placed (its title found missing, the
    // features of the group all its placements belong to). Null outside the list.
    SimObjectModel* GetSharedModel(int32_t index);
    // Null when there are no models, the current index is -1 or it lies outside the list.
    SimObjectModel* GetCurrentModel() { return GetModel(currentModel_); }
    const SimObjectModel* GetCurrentModel() const { return GetModel(currentModel_); }
    bool HasMultipleModels() const { return Models().size() > 1; }
    // Makes the models one read-only set that copies of this object share; nothing when they are shared
    // already or there are none.
    void ShareModels();
    // Drops the models of the object's own, where running work lives (a share of a set stays). The
    // caller ends their work first (StopActivity).
    void ReleaseOwnModels() { models_.clear(); }
    // Whether both objects read one shared set of models.
    bool SharesModelsWith(const SimObject& other) const { return sharedModels_ && sharedModels_ == other.sharedModels_; }
    // Sets the keep-simulation-enabled byte of the n-th model; nothing outside the list.
    void SetKeepSimEnabled(int32_t index, bool keep);

    // ---- Model index ----------------------------------------------------------------------------
    int16_t GetCurrentModelIndex() const { return currentModel_; }
    void SetCurrentModelIndex(int16_t index) { currentModel_ = index; }
    int16_t GetPendingModelIndex() const { return pendingModel_; }
    void SetPendingModelIndex(int16_t index) { pendingModel_ = index; }
    // Step the current index, wrapping: after the last model comes 0, before 0 the last. Each returns the
    // new index; an object without models keeps its index.
    int16_t NextModel();
    int16_t PreviousModel();
    // With more than one model: the model at index gets its triggered visibility (visible and shown)
    // set, the current model cleared. The current index stays; the switch happens when the object is
    // re-injected. Nothing for an index outside the list.
    void SelectModel(int32_t index);

    // The radio-triggered model shown on load: the first model with feature 23 whose triggered visibility
    // is marked visible on load.
    bool HasVisibleOnLoadModel() const { return FindVisibleOnLoadModel() >= 0; }
    // Its title, "" when there is none.
    std::string GetVisibleOnLoadSimTitle() const;
    // Makes it the current model; false (nothing changed) when there is none.
    bool SelectVisibleOnLoadModel();

    // ---- Placement ------------------------------------------------------------------------------
    void SetPlacement(double latitude, double longitude, double altitude, bool aboveGround, bool altitudeZero,
                      double pitch, double bank, double heading);
    void SetSecondPlacement(double latitude, double longitude, double altitude, bool aboveGround,
                            bool altitudeZero, double pitch, double bank, double heading);
    // Given the object's own placement, the second placement follows it, costing no storage until either
    // changes on its own.
    void SetSecondPlacement(const PlacementData& placement);
    const PlacementData& GetPlacement() const { return placement_; }
    const PlacementData& GetSecondPlacement() const
    {
        return secondFollowsFirst_ ? placement_ : secondPlacement_.Read();
    }
    double GetLatitude() const { return placement_.GetLatitude(); }
    double GetLongitude() const { return placement_.GetLongitude(); }
    double GetAltitude() const { return placement_.GetAltitude(); }
    double GetPitch() const { return placement_.GetPitch(); }
    double GetBank() const { return placement_.GetBank(); }
    double GetHeading() const { return placement_.GetHeading(); }
    double GetHeadingRad() const;
    double GetSecondAltitude() const { return GetSecondPlacement().GetAltitude(); }
    double GetSecondHeading() const { return GetSecondPlacement().GetHeading(); }
    bool IsAltitudeAgl() const { return placement_.IsAltitudeAgl(); }
    bool IsAltitudeZero() const { return placement_.IsAltitudeZero(); }
    void SetHeading(double degrees) { FirstPlacement().SetHeading(degrees); }
    void SetPitch(double degrees) { FirstPlacement().SetPitch(degrees); }
    void SetBank(double degrees) { FirstPlacement().SetBank(degrees); }
    // Altitude := ground elevation + height above ground (feet), the height kept as the altitude offset,
    // above-ground flag cleared; with alsoSecond the same on the second placement.
    void ApplyGroundElevation(double groundElevation, double heightAboveGround, bool alsoSecond);

    // ---- Life flags -----------------------------------------------------------------------------
    bool IsInSimulation() const { return inSimulation_ != 0; }
    void SetInSimulation(bool value) { inSimulation_ = value ? 1 : 0; }
    bool IsCreateRequested() const { return createRequested_ != 0; }
    void SetCreateRequested(bool value) { createRequested_ = value ? 1 : 0; }
    bool IsCreatePending() const { return createPending_ != 0; }
    void SetCreatePending(bool value) { createPending_ = value ? 1 : 0; }
    bool IsAssigned() const { return assigned_ != 0; }
    // Setting assigned also clears create pending: the request has been answered.
    void SetAssigned(bool value);
    bool IsRemoveRequested() const { return removeRequested_ != 0; }
    void SetRemoveRequested(bool value) { removeRequested_ = value ? 1 : 0; }
    bool IsRecreatePending() const { return recreatePending_ != 0; }
    void SetRecreatePending(bool value) { recreatePending_ = value ? 1 : 0; }
    bool IsSynchronised() const { return synchronised_ != 0; }
    void SetSynchronised(bool value) { synchronised_ = value ? 1 : 0; }
    // Set while the program itself removes and re-creates the object: no per-object log lines then.
    bool IsQuietRecreation() const { return quietRecreation_ != 0; }
    void SetQuietRecreation(bool value) { quietRecreation_ = value ? 1 : 0; }

    // ---- Ids and group --------------------------------------------------------------------------
    uint32_t GetRequestId() const { return requestId_; }
    void SetRequestId(uint32_t id) { requestId_ = id; }
    uint32_t GetObjectId() const { return objectId_; }
    void SetObjectId(uint32_t id) { objectId_ = id; }
    int32_t GetLinkedIndex() const { return linkedIndex_; }
    void SetLinkedIndex(int32_t index) { linkedIndex_ = index; }
    int32_t GetGroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int32_t index) { groupIndex_ = index; }
    std::string GetGroupName() const { return texts_.Read().groupName; }
    void SetGroupName(std::string name)
    {
        if (!name.empty() || texts_.Has()) texts_.Get().groupName = std::move(name);
    }
    int32_t GetMultiIndex() const { return multiIndex_; }
    void SetMultiIndex(int32_t index) { multiIndex_ = index; }

    // ---- Features -------------------------------------------------------------------------------
    // The union of the models' features, as the reader set them on the object.
    SimObjectFeatureFlags* GetFeatures() { return &features_; }
    const SimObjectFeatureFlags* GetFeatures() const { return &features_; }
    void SetFeature(int32_t feature) { features_.Set(feature); }
    bool HasObjectFeature(int32_t feature) const { return features_.Test(feature); }
    // The flag of the current model; false without a current model.
    bool HasFeature(int32_t feature) const;

    // ---- Stand ----------------------------------------------------------------------------------
    // (1, n) for an object of custom configuration n with its own menu, (0, -1) otherwise.
    void SetStandMembership(bool member, int32_t configurationIndex);
    std::pair<uint8_t, int32_t> GetStandMembership() const { return {menuMember_, menuIndex_}; }
    // The stand record is held only by objects that use it; a const access to an object without one gives
    // a shared empty record.
    StandData& GetStandData() { return stand_.Get(); }
    const StandData& GetStandData() const { return stand_.Read(); }
    void SetStandData(const std::string& icao, const std::string& gateName, int32_t parkingNumber,
                      const std::string& customDesignator, const std::string& customNumber, bool hasCustomDesignator);

    // The two values the jetway assignment orders candidate jetways by (the first), e.g. distance and
    // bearing.
    double GetSortValue1() const { return sortValue1_; }
    void SetSortValue1(double value) { sortValue1_ = value; }
    double GetSortValue2() const { return sortValue2_; }
    void SetSortValue2(double value) { sortValue2_ = value; }

    // Ends every model's running work (animation timers and sounds, timer counter, jetway motion and
    // sound). The removal, the bubble rebuild and the lists call it before an object goes away.
    void StopActivity();

private:
    int32_t FindVisibleOnLoadModel() const;
    const std::vector<SimObjectModel>& Models() const { return sharedModels_ ? *sharedModels_ : models_; }
    // The models as this object's own, copied out of the shared set if they were shared.
    std::vector<SimObjectModel>& OwnModels();
    // The placements to change on their own: a second placement that followed the first keeps its
    // value from then on.
    PlacementData& FirstPlacement();
    PlacementData& SecondPlacement();

    uint32_t requestId_ = 0;
    uint32_t objectId_ = 0;
    int16_t currentModel_ = 0;
    int16_t pendingModel_ = 0;
    uint8_t inSimulation_ = 0;
    uint8_t createRequested_ = 0;
    uint8_t createPending_ = 0;
    uint8_t assigned_ = 0;
    uint8_t removeRequested_ = 0;
    int32_t linkedIndex_ = -1;
    std::string name_;
    // Texts only some objects carry: group members and objects the simulator has created.
    struct RareTexts {
        std::string createdSimTitle;
        std::string groupName;
    };
    FeatureHolder<RareTexts> texts_;
    std::vector<SimObjectModel> models_;  // empty while the models are shared
    // Never changed but through GetSharedModel; a set shared this way carries no running work.
    std::shared_ptr<std::vector<SimObjectModel>> sharedModels_;
    PlacementData placement_;
    // Held only when it differs from the first; a default placement when neither is set.
    FeatureHolder<PlacementData> secondPlacement_;
    bool secondFollowsFirst_ = false;
    SimObjectFeatureFlags features_;
    uint8_t menuMember_ = 0;
    int32_t menuIndex_ = -1;
    FeatureHolder<StandData> stand_;
    int32_t groupIndex_ = -1;
    uint8_t quietRecreation_ = 0;
    double sortValue1_ = 0.0;
    double sortValue2_ = 0.0;
    int32_t multiIndex_ = 0;
    uint8_t recreatePending_ = 0;
    uint8_t synchronised_ = 0;
};
