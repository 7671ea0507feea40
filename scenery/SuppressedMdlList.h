// Models that the SimObjects folder manager treats as suppressed while it builds its model maps: by the
// GUID text of a model file ("MDLG" chunk, 8-4-4-4-12) or by the model file's name without extension.
// Nothing fills the lists in a normal run; they are a hook for excluding models.
#pragma once

#include <string>
#include <vector>

class SuppressedMdlList {
public:
    SuppressedMdlList() = default;
    virtual ~SuppressedMdlList() = default;

    // Empty texts are ignored: a model without a GUID or name must never match.
    void AddGuid(const std::string& guidText);
    void AddModelName(const std::string& modelName);

    const std::vector<std::string>& GetGuids() const { return guids_; }
    const std::vector<std::string>& GetModelNames() const { return modelNames_; }

    // Both compare without regard to ASCII case (GUID hex digits and Windows file names alike).
    bool ContainsGuid(const std::string& guidText) const;
    bool ContainsModelName(const std::string& modelName) const;
    // The folder manager's test of one model file: either list names it.
    bool IsSuppressed(const std::string& guidText, const std::string& modelName) const;

private:
    std::vector<std::string> guids_;
    std::vector<std::string> modelNames_;
};
