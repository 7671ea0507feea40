// Helpers of the menu tests: the lines of a built page, and placed jetway and guidance objects as the
// placement reader leaves them.
#pragma once

#include "guidance/FSTextMenu.h"
#include "objects/SimObject.h"

#include <cstdint>
#include <string>
#include <vector>

namespace menutest {

// Every entry of the page's text in order: title, prompt, then the selectable lines.
inline std::vector<std::string> PageLines(const FSTextMenu& menu)
{
    std::vector<std::string> lines;
    const char* p = menu.GetBuffer();
    const char* end = p + menu.GetBufferSize();
    while (p < end && *p) {
        lines.emplace_back(p);
        p += lines.back().size() + 1;
    }
    return lines;
}

// A created jetway object: feature 3, "jetway.cfg" read, undocked and at rest.
inline SimObject MakeJetway(const std::string& name, uint32_t objectId, int32_t multiIndex,
                            const std::string& group = "Jetways")
{
    SimObject object;
    object.SetName(name);
    object.SetGroupName(group);
    object.SetObjectId(objectId);
    object.SetMultiIndex(multiIndex);
    object.SetFeature(3);
    SimObjectModel& model = object.AddModel("Jetway " + name);
    model.GetFeatures()->Set(3);
    model.GetJetway()->SetMultiIndex(multiIndex);
    model.GetJetway()->SetConfig(true);
    object.SetCurrentModelIndex(0);
    return object;
}

// A created docking guidance object: feature 4.
inline SimObject MakeGuidance(const std::string& name, uint32_t objectId)
{
    SimObject object;
    object.SetName(name);
    object.SetObjectId(objectId);
    object.SetFeature(4);
    object.AddModel("VDGS off").GetFeatures()->Set(4);
    object.AddModel("VDGS on").GetFeatures()->Set(4);
    object.SetCurrentModelIndex(0);
    return object;
}

}  // namespace menutest
