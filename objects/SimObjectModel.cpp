#include "objects/SimObjectModel.h"

#include "platform/files.h"

bool SimObjectModel::NeedsWeatherData() const
{
    return features_.Test(FeatureConditionWindDirection) || features_.Test(FeatureConditionWindSpeed) ||
           features_.Test(FeatureConditionMetVisibility) || features_.Test(FeatureConditionMetPrecipitation) ||
           features_.Test(FeatureConditionAirTemperature) || features_.Test(FeatureRotationByWindDirection) ||
           features_.Test(FeatureDensityAltitudeDisplay);
}

bool SimObjectModel::HasAnimationSounds() const
{
    if (!features_.Test(FeatureTriggAnimationTextMenu) && !features_.Test(FeatureTriggAnimationProximity))
        return false;
    const TriggAnimationData* animation = GetAnimations()->GetTriggerableAnimation(3);
    return animation != nullptr && animation->GetSoundCount() > 0;
}

void SimObjectModel::StopActivity()
{
    if (AnimationDataContainer* animations = animations_.Find()) animations->StopAll();
    if (TimerData* timer = timer_.Find()) timer->Stop();
    if (Jetway* jetway = jetway_.Find()) {
        jetway->StopMotion();
        jetway->StopSound();
    }
}

void SimObjectModel::SetJetwayMultiIndex(int32_t index)
{
    if (Jetway* jetway = jetway_.Find()) {
        jetway->SetMultiIndex(index);
    } else {
        jetwaySettings_.Get().multiIndex = index;
    }
}

void SimObjectModel::SetJetwayDoorPoints(std::vector<double> values)
{
    if (Jetway* jetway = jetway_.Find()) {
        jetway->SetDoorPoints(values);
    } else {
        JetwaySettings& settings = jetwaySettings_.Get();
        settings.hasDoorPoints = true;
        settings.doorPoints = std::move(values);
    }
}

Jetway& SimObjectModel::BuildJetway() const
{
    if (Jetway* existing = jetway_.Find()) return *existing;
    Jetway& jetway = jetway_.Get();
    if (const JetwaySettings* settings = jetwaySettings_.Find()) {
        jetway.SetMultiIndex(settings->multiIndex);
        if (settings->hasDoorPoints) jetway.SetDoorPoints(settings->doorPoints);
    }
    return jetway;
}

bool SimObjectModel::DumpModelData() const
{
    // The title names the file: keep it inside the working folder whatever the placement file wrote.
    std::string fileTitle = simTitle_;
    for (char& c : fileTitle) {
        switch (c) {
        case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            c = '_';
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) c = '_';
        }
    }

    std::string text = "### MODEL DATA DUMP ###\n";
    text += "SimTitle: " + simTitle_ + "\n";
    if (features_.Test(FeatureConditionWindDirection)) {
        // A copy: the conditions offer no const getter for this kind.
        ConditionalVisibilityData conditions = conditionalVisibility_.Read();
        const CV_WindDirectionData& wind = conditions.GetWindDirection();
        text += "Wind Direction Data:\n";
        text += "\tRange: " + std::to_string(wind.GetMin()) + " - " + std::to_string(wind.GetMax()) + " degrees\n";
    }
    return platform::WriteWholeFile("ModelDataDump_" + fileTitle + ".txt", text, true);
}
