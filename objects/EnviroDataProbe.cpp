#include "objects/EnviroDataProbe.h"

#include <type_traits>

// Growing the list moves the probes instead of copying each one with its models.
static_assert(std::is_nothrow_move_constructible_v<EnviroDataProbe>);

uint32_t EnviroDataProbe::WeatherRequestIdFor(int32_t activeIndex)
{
    if (activeIndex < 0 || activeIndex >= kMaxWeatherRequests) return 0;
    return static_cast<uint32_t>(activeIndex) + 1u;
}

std::string EnviroDataProbe::GetPrecipitationName(int32_t mask)
{
    switch (mask) {
    case 2: return "NONE";
    case 4: return "RAIN";
    case 8: return "SNOW";
    default: return "ERROR: UNDEFINED PRECIPITATION!";
    }
}

void EnviroDataProbe::AddClient(SimObject* client)
{
    if (client) clients_.push_back(client);
}

EnviroDataProbeList::~EnviroDataProbeList() { Clear(); }

void EnviroDataProbeList::Add(const EnviroDataProbe& probe)
{
    if (probes_.size() == probes_.capacity() && !probes_.empty()) {
        // Growing moves every probe: nothing of theirs may run meanwhile.
        for (EnviroDataProbe& p : probes_) p.StopActivity();
    }
    probes_.push_back(probe);
}

EnviroDataProbe* EnviroDataProbeList::At(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= probes_.size()) return nullptr;
    return &probes_[static_cast<size_t>(index)];
}

const EnviroDataProbe* EnviroDataProbeList::At(int32_t index) const
{
    if (index < 0 || static_cast<size_t>(index) >= probes_.size()) return nullptr;
    return &probes_[static_cast<size_t>(index)];
}

EnviroDataProbe* EnviroDataProbeList::FindByObjectId(int32_t objectId)
{
    if (objectId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(objectId);
    for (EnviroDataProbe& p : probes_) {
        if (p.GetObjectId() == id) return &p;
    }
    return nullptr;
}

EnviroDataProbe* EnviroDataProbeList::FindByRequestId(int32_t requestId)
{
    if (requestId == 0) return nullptr;
    const uint32_t id = static_cast<uint32_t>(requestId);
    for (EnviroDataProbe& p : probes_) {
        if (p.GetRequestId() == id) return &p;
    }
    return nullptr;
}

void EnviroDataProbeList::Clear()
{
    for (EnviroDataProbe& p : probes_) p.StopActivity();
    probes_.clear();
}
