// One linked part of a jetway: a separate simulator object (head, bridge section, root, static piece)
// that follows the jetway's joints.
//
// Compiled into the in-simulator module as well: no logging, no files. Six of these open every jetway
// record; their bytes travel only through the jetway codec (jetway/JetwayCodec.h).
#pragma once

#include "foundation/Records.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

enum class LinkType : uint32_t {
    None = 0,
    Head = 1,
    BridgeMoving = 2,
    BridgeStatic = 3,
    Root = 4,
    Static = 5,
};

class LinkedSimObject {
public:
    // Names are stored in 256-byte fields: at most 255 characters and the terminator.
    static constexpr size_t kTitleCapacity = 255;

    // Byte ranges whose meaning this system does not use; kept as they came and written back unchanged.
    struct Unnamed {
        std::array<uint8_t, 36> head{};          // part bytes 4..39 (its second word comes first)
        std::array<uint8_t, 5> flags{};          // part bytes 44..48
        std::array<uint8_t, 6> afterPending{};   // part bytes 562..567
        std::array<uint8_t, 4> tail{};           // part bytes 772..775
    };

    LinkedSimObject() = default;
    LinkedSimObject(const LinkedSimObject&) = default;
    LinkedSimObject& operator=(const LinkedSimObject&) = default;
    virtual ~LinkedSimObject() = default;

    // Exact, case-sensitive: "HEAD", "BRIDGE_MOVING", "BRIDGE_STATIC", "ROOT", "STATIC". Anything else
    // stores None and returns false.
    bool SetLinkTypeFromText(std::string_view text);
    void SetLinkType(LinkType type) { linkType_ = type; }
    LinkType GetLinkType() const { return linkType_; }

    // Longer texts are cut to kTitleCapacity characters; a NUL ends the text.
    void SetSimTitle(std::string_view title) { simTitle_ = Bounded(title); }
    const std::string& GetSimTitle() const { return simTitle_; }
    bool HasTitle() const { return !simTitle_.empty(); }
    void SetCreationTitle(std::string_view title) { creationTitle_ = Bounded(title); }
    const std::string& GetCreationTitle() const { return creationTitle_; }

    void SetOffset(double x, double y, double z) { offset_ = XYZData(x, y, z); }
    const XYZData& GetOffset() const { return offset_; }

    void SetObjectId(uint32_t id) { objectId_ = id; }
    uint32_t GetObjectId() const { return objectId_; }
    // Creation requested and the simulator's object id not yet assigned.
    void SetInjected(bool pending) { creationPending_ = pending; }
    bool GetInjected() const { return creationPending_; }
    void SetParentObjectId(uint32_t id) { parentObjectId_ = id; }
    uint32_t GetParentObjectId() const { return parentObjectId_; }
    void SetCreationTag(uint32_t tag) { creationTag_ = tag; }
    uint32_t GetCreationTag() const { return creationTag_; }

    PlacementData& GetPlacement() { return placement_; }
    const PlacementData& GetPlacement() const { return placement_; }
    void SetPlacement(const PlacementData& placement) { placement_ = placement; }
    PlacementData& GetSecondPlacement() { return secondPlacement_; }
    const PlacementData& GetSecondPlacement() const { return secondPlacement_; }
    void SetSecondPlacement(const PlacementData& placement) { secondPlacement_ = placement; }
    // Altitude of the first placement and, when alsoSecond, of the second one.
    void SetAltitude(double feet, bool alsoSecond);

    // The 32-bit value at part byte 4.
    uint32_t GetSecondWord() const;

    Unnamed& GetUnnamed() { return unnamed_; }
    const Unnamed& GetUnnamed() const { return unnamed_; }

private:
    static std::string Bounded(std::string_view text);

    Unnamed unnamed_;
    uint32_t objectId_ = 0;
    std::string simTitle_;
    std::string creationTitle_;
    bool creationPending_ = false;
    PlacementData placement_;
    PlacementData secondPlacement_;
    XYZData offset_;
    uint32_t parentObjectId_ = 0;
    uint32_t creationTag_ = 0;
    LinkType linkType_ = LinkType::None;
};
