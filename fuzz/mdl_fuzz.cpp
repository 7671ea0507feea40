// Any bytes as a model file, read by the header reader the way the SimObjects scan reads it (a file of
// the machine). A small walk of the chunk layout written here says where the header ends and what it
// holds; the reader must agree with it: valid exactly when the walk reaches the radius, the same GUID,
// GUID text and radius, and no longer valid once the file is cut before the radius ends.
#include "scenery/MDLFile.h"

#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The header as the chunk layout describes it: where it ends (0 when it does not) and its values.
struct Expected {
    size_t end = 0;
    uint8_t guid[16] = {};
    uint8_t radius[4] = {};
};

class Walk {
public:
    Walk(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Tag(const char* tag)
    {
        if (size_ - pos_ < 4 || std::memcmp(data_ + pos_, tag, 4) != 0) return false;
        pos_ += 4;
        return true;
    }
    bool PeekTag(const char* tag) const { return size_ - pos_ >= 4 && std::memcmp(data_ + pos_, tag, 4) == 0; }
    bool Take(size_t count, uint8_t* out = nullptr)
    {
        if (size_ - pos_ < count) return false;
        if (out != nullptr) std::memcpy(out, data_ + pos_, count);
        pos_ += count;
        return true;
    }
    bool U32(uint32_t& value)
    {
        uint8_t b[4];
        if (!Take(4, b)) return false;
        value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
        return true;
    }
    // A chunk whose size says how much to pass over.
    bool Sized(const char* tag)
    {
        uint32_t size = 0;
        return Tag(tag) && U32(size) && Take(size);
    }
    size_t Position() const { return pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

Expected WalkHeader(const uint8_t* data, size_t size)
{
    Expected out;
    Walk in(data, size);
    uint32_t ignored = 0;
    uint8_t form[4];
    if (!in.Tag("RIFF") || !in.U32(ignored) || !in.Take(4, form)) return out;
    if (std::memcmp(form, "MDLX", 4) != 0 && std::memcmp(form, "PV20", 4) != 0 && std::memcmp(form, "PV4", 3) != 0)
        return out;
    if (!in.Tag("MDLH") || !in.U32(ignored) || !in.Take(8)) return out;
    uint32_t guidSize = 0;
    if (!in.Tag("MDLG") || !in.U32(guidSize) || guidSize < 16 || !in.Take(16, out.guid) || !in.Take(guidSize - 16))
        return out;
    if (!in.Sized("MDLN")) return out;
    if (in.PeekTag("SMAP") && !(in.Tag("SMAP") && in.U32(ignored) && in.Take(2))) return out;
    if (!in.Sized("PARA")) return out;
    if (in.PeekTag("CRAS") && !in.Sized("CRAS")) return out;
    if (!in.Sized("BBOX")) return out;
    if (!in.Tag("RADI") || !in.U32(ignored) || !in.Take(4, out.radius)) return out;
    out.end = in.Position();
    return out;
}

std::string GuidText(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", g.Data1,
                  unsigned{g.Data2}, unsigned{g.Data3}, unsigned{g.Data4[0]}, unsigned{g.Data4[1]},
                  unsigned{g.Data4[2]}, unsigned{g.Data4[3]}, unsigned{g.Data4[4]}, unsigned{g.Data4[5]},
                  unsigned{g.Data4[6]}, unsigned{g.Data4[7]});
    return text;
}

void CheckHeader(const MDLFile& model, const Expected& expected)
{
    VELK_FUZZ_CHECK(model.IsValid() == (expected.end != 0));
    VELK_FUZZ_CHECK(std::strlen(model.GetFormType()) <= 4);
    if (!model.IsValid()) return;
    const GUID& g = model.GetGuid();
    const uint8_t* e = expected.guid;
    VELK_FUZZ_CHECK(g.Data1 == (e[0] | (e[1] << 8) | (e[2] << 16) | (static_cast<uint32_t>(e[3]) << 24)));
    VELK_FUZZ_CHECK(g.Data2 == (e[4] | (e[5] << 8)));
    VELK_FUZZ_CHECK(g.Data3 == (e[6] | (e[7] << 8)));
    VELK_FUZZ_CHECK(std::memcmp(g.Data4, e + 8, 8) == 0);
    VELK_FUZZ_CHECK(model.GetGuidText() == GuidText(g));
    VELK_FUZZ_CHECK(model.GetGuidText().size() == 36);
    const float radius = model.GetRadius();
    VELK_FUZZ_CHECK(std::memcmp(&radius, expected.radius, 4) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader complains on the standard output; libFuzzer reports on the standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Expected expected = WalkHeader(data, size);
    const std::string path = velk_fuzz::WriteScratchFile("model.mdl", data, size);

    MDLFile model;
    model.ReadHeader(path);
    CheckHeader(model, expected);
    // Read again by the same object: the same answer.
    model.ReadHeader(path);
    CheckHeader(model, expected);

    // Cut one byte before the radius ends, the same object is no longer valid.
    if (expected.end != 0) {
        const std::string cut = velk_fuzz::WriteScratchFile("cut.mdl", data, expected.end - 1);
        VELK_FUZZ_CHECK(!model.ReadHeader(cut));
        VELK_FUZZ_CHECK(!model.IsValid());
    }
    return 0;
}
