// Reads the leading chunks of a simulator model file (RIFF form "MDLX", "PV20" or "PV4*") and keeps the
// model's GUID and radius. Complaints go to the standard output, not to the log.
#pragma once

#include "platform/guid.h"

#include <string>

class MDLFile {
public:
    MDLFile() = default;
    ~MDLFile() = default;

    // path: a Windows path in the machine. True once the header was read to the "RADI" chunk. A read that
    // fails part-way keeps what it had already filled (form type, GUID, GUID text) and is not valid.
    bool ReadHeader(std::string path);

    std::string GetGuidText() const { return guidText_; }
    bool IsLarge() const { return radius_ > 50.0f; }

    bool IsValid() const { return valid_; }
    const char* GetFormType() const { return formType_; }
    const GUID& GetGuid() const { return guid_; }
    float GetRadius() const { return radius_; }

private:
    class Reader;
    bool ReadChunks(Reader& in, const std::string& path);

    bool valid_ = false;
    char formType_[5] = {};
    GUID guid_ = {};
    std::string guidText_;
    float radius_ = 0.0f;
};
