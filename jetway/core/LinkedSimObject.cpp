#include "jetway/core/LinkedSimObject.h"

#include <utility>

bool LinkedSimObject::SetLinkTypeFromText(std::string_view text)
{
    static constexpr std::pair<std::string_view, LinkType> kNames[] = {
        {"HEAD", LinkType::Head},
        {"BRIDGE_MOVING", LinkType::BridgeMoving},
        {"BRIDGE_STATIC", LinkType::BridgeStatic},
        {"ROOT", LinkType::Root},
        {"STATIC", LinkType::Static},
    };
    for (const auto& [name, type] : kNames) {
        if (text == name) {
            linkType_ = type;
            return true;
        }
    }
    linkType_ = LinkType::None;
    return false;
}

void LinkedSimObject::SetAltitude(double feet, bool alsoSecond)
{
    placement_.SetAltitude(feet);
    if (alsoSecond) secondPlacement_.SetAltitude(feet);
}

uint32_t LinkedSimObject::GetSecondWord() const
{
    const auto& b = unnamed_.head;
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

std::string LinkedSimObject::Bounded(std::string_view text)
{
    const size_t end = text.find('\0');
    if (end != std::string_view::npos) text = text.substr(0, end);
    return std::string(text.substr(0, kTitleCapacity));
}
