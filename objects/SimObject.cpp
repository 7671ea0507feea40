#include "objects/SimObject.h"

#include "foundation/Units.h"

std::string SimObject::GetNamePrefix() const
{
    const size_t colon = name_.find(':');
    return colon == std::string::npos ? name_ : name_.substr(0, colon);
}

std::string SimObject::GetNameSuffix() const
{
    const size_t colon = name_.find(':');
    return colon == std::string::npos ? name_ : name_.substr(colon + 1);
}

std::string SimObject::GetCurrentSimTitle() const
{
    const SimObjectModel* model = GetCurrentModel();
    return model ? model->GetSimTitle() : std::string("VOID");
}

std::vector<SimObjectModel>& SimObject::OwnModels()
{
    if (sharedModels_) {
        // Copy before letting go: the copy never takes running work, and the shared set has none.
        models_ = *sharedModels_;
        sharedModels_.reset();
    }
    return models_;
}

void SimObject::ShareModels()
{
    if (sharedModels_ || models_.empty()) return;
    sharedModels_ = std::make_shared<std::vector<SimObjectModel>>(std::move(models_));
    models_.clear();
}

SimObjectModel& SimObject::AddModel(std::string simTitle)
{
    std::vector<SimObjectModel>& models = OwnModels();
    models.emplace_back();
    models.back().SetSimTitle(std::move(simTitle));
    return models.back();
}

void SimObject::ReserveModels(int32_t count)
{
    if (count > 0) OwnModels().reserve(static_cast<size_t>(count));
}

SimObjectModel* SimObject::GetModel(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= Models().size()) return nullptr;
    return &OwnModels()[static_cast<size_t>(index)];
}

const SimObjectModel* SimObject::GetModel(int32_t index) const
{
    const std::vector<SimObjectModel>& models = Models();
    if (index < 0 || static_cast<size_t>(index) >= models.size()) return nullptr;
    return &models[static_cast<size_t>(index)];
}

SimObjectModel* SimObject::GetSharedModel(int32_t index)
{
    std::vector<SimObjectModel>& models = sharedModels_ ? *sharedModels_ : models_;
    if (index < 0 || static_cast<size_t>(index) >= models.size()) return nullptr;
    return &models[static_cast<size_t>(index)];
}

void SimObject::SetKeepSimEnabled(int32_t index, bool keep)
{
    if (SimObjectModel* model = GetModel(index)) model->SetKeepSimEnabled(keep);
}

int16_t SimObject::NextModel()
{
    if (Models().empty()) return currentModel_;
    const int32_t next = currentModel_ + 1;
    currentModel_ = static_cast<int16_t>(next >= GetModelCount() || next < 0 ? 0 : next);
    return currentModel_;
}

int16_t SimObject::PreviousModel()
{
    if (Models().empty()) return currentModel_;
    const int32_t last = GetModelCount() - 1;
    // An index beyond the list (never valid) also wraps to the last model.
    currentModel_ = static_cast<int16_t>(currentModel_ <= 0 || currentModel_ > last ? last : currentModel_ - 1);
    return currentModel_;
}

void SimObject::SelectModel(int32_t index)
{
    if (!HasMultipleModels()) return;
    SimObjectModel* target = GetModel(index);
    if (!target) return;
    // Clear the current one first so that selecting the current model leaves it marked.
    if (SimObjectModel* current = GetCurrentModel()) {
        current->GetTriggVisibility()->SetVisible(false);
        current->GetTriggVisibility()->SetSecondFlag(false);
    }
    target->GetTriggVisibility()->SetVisible(true);
    target->GetTriggVisibility()->SetSecondFlag(true);
}

int32_t SimObject::FindVisibleOnLoadModel() const
{
    const std::vector<SimObjectModel>& models = Models();
    for (size_t i = 0; i < models.size(); ++i) {
        const SimObjectModel& model = models[i];
        if (model.HasFeature(FeatureTriggVisibilityRadio) && model.GetTriggVisibility()->IsVisibleOnLoad()) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

std::string SimObject::GetVisibleOnLoadSimTitle() const
{
    const SimObjectModel* model = GetModel(FindVisibleOnLoadModel());
    return model ? model->GetSimTitle() : std::string();
}

bool SimObject::SelectVisibleOnLoadModel()
{
    const int32_t index = FindVisibleOnLoadModel();
    if (index < 0 || index > INT16_MAX) return false;
    currentModel_ = static_cast<int16_t>(index);
    return true;
}

PlacementData& SimObject::FirstPlacement()
{
    if (secondFollowsFirst_) SecondPlacement();
    return placement_;
}

PlacementData& SimObject::SecondPlacement()
{
    if (secondFollowsFirst_) {
        secondPlacement_.Get() = placement_;
        secondFollowsFirst_ = false;
    }
    return secondPlacement_.Get();
}

void SimObject::SetPlacement(double latitude, double longitude, double altitude, bool aboveGround,
                             bool altitudeZero, double pitch, double bank, double heading)
{
    FirstPlacement().Set(latitude, longitude, altitude, aboveGround, altitudeZero, pitch, bank, heading);
}

void SimObject::SetSecondPlacement(double latitude, double longitude, double altitude, bool aboveGround,
                                   bool altitudeZero, double pitch, double bank, double heading)
{
    SecondPlacement().Set(latitude, longitude, altitude, aboveGround, altitudeZero, pitch, bank, heading);
}

void SimObject::SetSecondPlacement(const PlacementData& placement)
{
    if (&placement == &placement_) {
        secondPlacement_ = FeatureHolder<PlacementData>();
        secondFollowsFirst_ = true;
    } else {
        SecondPlacement() = placement;
    }
}

double SimObject::GetHeadingRad() const { return placement_.GetHeading() * units::kPi / 180.0; }

void SimObject::ApplyGroundElevation(double groundElevation, double heightAboveGround, bool alsoSecond)
{
    // A second placement that follows the first takes the same change by following it.
    if (!alsoSecond) FirstPlacement();
    placement_.SetAltitudeOffset(heightAboveGround);
    placement_.SetAltitude(groundElevation + heightAboveGround);
    placement_.SetAltitudeIsAgl(false);
    if (alsoSecond && !secondFollowsFirst_) {
        PlacementData& second = SecondPlacement();
        second.SetAltitudeOffset(heightAboveGround);
        second.SetAltitude(groundElevation + heightAboveGround);
        second.SetAltitudeIsAgl(false);
    }
}

void SimObject::SetAssigned(bool value)
{
    assigned_ = value ? 1 : 0;
    if (value) createPending_ = 0;
}

bool SimObject::HasFeature(int32_t feature) const
{
    const SimObjectModel* model = GetCurrentModel();
    return model && model->HasFeature(feature);
}

void SimObject::SetStandMembership(bool member, int32_t configurationIndex)
{
    menuMember_ = member ? 1 : 0;
    menuIndex_ = configurationIndex;
}

void SimObject::SetStandData(const std::string& icao, const std::string& gateName, int32_t parkingNumber,
                             const std::string& customDesignator, const std::string& customNumber,
                             bool hasCustomDesignator)
{
    stand_.Get().Set(icao, gateName, parkingNumber, customDesignator, customNumber, hasCustomDesignator);
}

void SimObject::StopActivity()
{
    // A shared set runs nothing: only models of the object's own can carry work.
    for (SimObjectModel& model : models_) model.StopActivity();
}
