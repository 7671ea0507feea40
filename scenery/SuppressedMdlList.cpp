#include "scenery/SuppressedMdlList.h"

#include "platform/wintext.h"

namespace {

bool ContainsText(const std::vector<std::string>& list, const std::string& text)
{
    if (text.empty()) return false;
    for (const std::string& entry : list)
        if (platform::text::IEquals(entry, text)) return true;
    return false;
}

}  // namespace

void SuppressedMdlList::AddGuid(const std::string& guidText)
{
    if (!guidText.empty()) guids_.push_back(guidText);
}

void SuppressedMdlList::AddModelName(const std::string& modelName)
{
    if (!modelName.empty()) modelNames_.push_back(modelName);
}

bool SuppressedMdlList::ContainsGuid(const std::string& guidText) const { return ContainsText(guids_, guidText); }

bool SuppressedMdlList::ContainsModelName(const std::string& modelName) const
{
    return ContainsText(modelNames_, modelName);
}

bool SuppressedMdlList::IsSuppressed(const std::string& guidText, const std::string& modelName) const
{
    return ContainsGuid(guidText) || ContainsModelName(modelName);
}
