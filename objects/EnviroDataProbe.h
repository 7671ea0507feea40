// Environmental data probes: placed objects whose ambient weather the program asks the simulator for, on
// behalf of the objects around them (wind socks, weather-dependent models, density-altitude displays).
//
// A probe's weather request id is its index among the active probes + 1; the simulator link serves at
// most kMaxWeatherRequests of them. Main thread only.
#pragma once

#include "objects/SimObject.h"

#include <cstdint>
#include <string>
#include <vector>

class EnviroDataProbe : public SimObject {
public:
    static constexpr int32_t kDefaultLowVisibilityThreshold = 5000;  // metres
    // Weather request ids run from 1 to this.
    static constexpr int32_t kMaxWeatherRequests = 64;

    EnviroDataProbe() = default;
    EnviroDataProbe(const EnviroDataProbe&) = default;
    EnviroDataProbe& operator=(const EnviroDataProbe&) = default;
    // A move takes the models as they are (see SimObject); the list moves its probes when it grows.
    EnviroDataProbe(EnviroDataProbe&&) = default;
    EnviroDataProbe& operator=(EnviroDataProbe&&) = default;
    ~EnviroDataProbe() override = default;

    // The weather request id of the probe at that index of the active probes: index + 1, or 0 (no
    // request) for a negative index or one beyond the request limit.
    static uint32_t WeatherRequestIdFor(int32_t activeIndex);
    // This probe's request id from its linked index (its place among the active probes).
    uint32_t GetWeatherRequestId() const { return WeatherRequestIdFor(GetLinkedIndex()); }
    // Whether a request id belongs to the probes' weather requests (1..64).
    static bool IsWeatherRequestId(int64_t requestId) { return requestId >= 1 && requestId <= kMaxWeatherRequests; }

    // "NONE", "RAIN", "SNOW" for 2, 4, 8; anything else is an error text.
    static std::string GetPrecipitationName(int32_t mask);

    int32_t GetWindDirection() const { return windDirection_; }
    void SetWindDirection(int32_t degrees) { windDirection_ = degrees; }
    int32_t GetWindVelocity() const { return windVelocity_; }
    void SetWindVelocity(int32_t knots) { windVelocity_ = knots; }
    int32_t GetVisibility() const { return visibility_; }
    void SetVisibility(int32_t metres) { visibility_ = metres; }
    int32_t GetPrecipitation() const { return precipitation_; }
    // The simulator's mask, kept to its low four bits.
    void SetPrecipitation(int32_t mask) { precipitation_ = mask & 0xF; }
    int32_t GetTemperature() const { return temperature_; }
    void SetTemperature(int32_t celsius) { temperature_ = celsius; }
    int32_t GetSeaLevelPressure() const { return seaLevelPressure_; }
    void SetSeaLevelPressure(int32_t hectopascal) { seaLevelPressure_ = hectopascal; }

    // A ClientList token "ALL_JETWAYS": every jetway of the probe's placement file takes its weather.
    bool IsAllJetways() const { return allJetways_ != 0; }
    void SetAllJetways(bool all) { allJetways_ = all ? 1 : 0; }

    int32_t GetLowVisibilityThreshold() const { return lowVisibilityThreshold_; }
    void SetLowVisibilityThreshold(int32_t metres) { lowVisibilityThreshold_ = metres; }

    // The active objects served by this probe; they point into the active list and are valid until its
    // next filtering pass.
    std::vector<SimObject*>& GetClients() { return clients_; }
    const std::vector<SimObject*>& GetClients() const { return clients_; }
    void AddClient(SimObject* client);
    void ClearClients() { clients_.clear(); }

    // The client names as read, each relative to the probe's own name prefix.
    std::vector<std::string>& GetClientList() { return clientList_; }
    const std::vector<std::string>& GetClientList() const { return clientList_; }
    void AddClientName(std::string name) { clientList_.push_back(std::move(name)); }

private:
    int32_t windDirection_ = -1;
    int32_t windVelocity_ = -1;
    int32_t visibility_ = -1;
    int32_t precipitation_ = 0;
    int32_t temperature_ = -1;
    int32_t seaLevelPressure_ = -1;
    uint8_t allJetways_ = 0;
    int32_t lowVisibilityThreshold_ = kDefaultLowVisibilityThreshold;
    std::vector<SimObject*> clients_;
    std::vector<std::string> clientList_;
};

// Probes held by value: the probes read from the placement files, and copies of those near the bubble.
class EnviroDataProbeList {
public:
    EnviroDataProbeList() = default;
    EnviroDataProbeList(const EnviroDataProbeList&) = delete;
    EnviroDataProbeList& operator=(const EnviroDataProbeList&) = delete;
    virtual ~EnviroDataProbeList();

    // Appends a copy.
    void Add(const EnviroDataProbe& probe);
    int32_t Count() const { return static_cast<int32_t>(probes_.size()); }
    // Null when the index is not below the count.
    EnviroDataProbe* At(int32_t index);
    const EnviroDataProbe* At(int32_t index) const;
    // The first probe with that simulator object id or request id; 0 identifies no probe.
    EnviroDataProbe* FindByObjectId(int32_t objectId);
    EnviroDataProbe* FindByRequestId(int32_t requestId);
    // Stops the probes' running work and destroys them. The storage stays for the next pass, which
    // fills the list again to about the same size.
    void Clear();

private:
    std::vector<EnviroDataProbe> probes_;
};
