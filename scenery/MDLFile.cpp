#include "scenery/MDLFile.h"

#include "platform/files.h"
#include "platform/mmio.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

// Sequential reads that never go past the end of the file: every size taken from the file is checked
// against the bytes left before anything is read or skipped.
class MDLFile::Reader {
public:
    explicit Reader(HMMIO file) : file_(file)
    {
        const LONG end = mmioSeek(file_, 0, SEEK_END);
        if (end >= 0 && mmioSeek(file_, 0, SEEK_SET) == 0) left_ = end;
    }

    bool Read(void* out, uint32_t count)
    {
        if (count > left_) return false;
        if (mmioRead(file_, static_cast<char*>(out), static_cast<LONG>(count)) != static_cast<LONG>(count))
            return false;
        left_ -= count;
        return true;
    }

    // The bytes are only passed over, so a seek does for a read; the size check is the same.
    bool Skip(uint32_t count)
    {
        if (count > left_) return false;
        if (count > 0 && mmioSeek(file_, static_cast<LONG>(count), SEEK_CUR) < 0) return false;
        left_ -= count;
        return true;
    }

    bool ReadU32(uint32_t& value)
    {
        uint8_t b[4];
        if (!Read(b, 4)) return false;
        value = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
        return true;
    }

    // The next 4-character tag; empty at the end of the file.
    std::string ReadTag()
    {
        char tag[4];
        if (!Read(tag, 4)) return std::string();
        return std::string(tag, 4);
    }

private:
    HMMIO file_;
    int64_t left_ = 0;
};

namespace {

void NoSection(const char* tag)
{
    std::printf("-> Error: RIFF file has no '%s' section! <<<---\n", tag);
}

// A chunk whose size or fixed data runs past the end of the file.
void Truncated(const char* tag)
{
    std::printf("-> Error: RIFF file has a truncated '%s' section! <<<---\n", tag);
}

uint16_t U16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t U32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

class MmioCloser {
public:
    explicit MmioCloser(HMMIO file) : file_(file) {}
    ~MmioCloser() { mmioClose(file_, 0); }
    MmioCloser(const MmioCloser&) = delete;
    MmioCloser& operator=(const MmioCloser&) = delete;

private:
    HMMIO file_;
};

}  // namespace

bool MDLFile::ReadHeader(std::string path)
{
    valid_ = false;

    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);

    // Read access is all the header needs; a read-only model file is read like any other.
    MMIOINFO info{};
    HMMIO file = mmioOpen(path.c_str(), &info, MMIO_READ);
    if (file == nullptr) {
        std::printf("Error: Error [%u] opening MDL file (%s)\n", static_cast<unsigned>(info.wErrorRet), path.c_str());
        return false;
    }
    MmioCloser closer(file);
    Reader in(file);
    if (!ReadChunks(in, path)) return false;
    valid_ = true;
    return true;
}

bool MDLFile::ReadChunks(Reader& in, const std::string& path)
{
    uint32_t size = 0;

    // RIFF header and form type. Anything that is not a RIFF file is passed over silently.
    if (in.ReadTag() != "RIFF" || !in.ReadU32(size)) return false;
    char form[4];
    if (!in.Read(form, 4)) return false;
    std::memcpy(formType_, form, 4);
    formType_[4] = '\0';
    if (std::memcmp(form, "MDLX", 4) != 0 && std::memcmp(form, "PV20", 4) != 0 && std::memcmp(form, "PV4", 3) != 0) {
        std::printf("Error: RIFF file but not a FSX/P3D MDL file (%s)\n", path.c_str());
        return false;
    }

    // MDLH: the size is ignored and always 8 bytes follow.
    if (in.ReadTag() != "MDLH") return false;
    uint8_t skipped[8];
    if (!in.ReadU32(size) || !in.Read(skipped, 8)) {
        Truncated("MDLH");
        return false;
    }

    // MDLG: the GUID is the first 16 bytes of the chunk.
    if (in.ReadTag() != "MDLG") {
        NoSection("MDLG");
        return false;
    }
    uint8_t g[16];
    if (!in.ReadU32(size) || size < sizeof g || !in.Read(g, sizeof g) || !in.Skip(size - sizeof g)) {
        Truncated("MDLG");
        return false;
    }
    guid_.Data1 = U32(g);
    guid_.Data2 = U16(g + 4);
    guid_.Data3 = U16(g + 6);
    std::memcpy(guid_.Data4, g + 8, 8);
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", guid_.Data1,
                  unsigned{guid_.Data2}, unsigned{guid_.Data3}, unsigned{guid_.Data4[0]}, unsigned{guid_.Data4[1]},
                  unsigned{guid_.Data4[2]}, unsigned{guid_.Data4[3]}, unsigned{guid_.Data4[4]},
                  unsigned{guid_.Data4[5]}, unsigned{guid_.Data4[6]}, unsigned{guid_.Data4[7]});
    guidText_ = text;

    if (in.ReadTag() != "MDLN") {
        NoSection("MDLN");
        return false;
    }
    if (!in.ReadU32(size) || !in.Skip(size)) {
        Truncated("MDLN");
        return false;
    }

    // Optional SMAP directly after MDLN: the size is ignored and always 2 bytes follow.
    std::string tag = in.ReadTag();
    if (tag == "SMAP") {
        if (!in.ReadU32(size) || !in.Read(skipped, 2)) {
            Truncated("SMAP");
            return false;
        }
        tag = in.ReadTag();
    }

    if (tag != "PARA") {
        NoSection("PARA");
        return false;
    }
    if (!in.ReadU32(size) || !in.Skip(size)) {
        Truncated("PARA");
        return false;
    }

    // Optional CRAS directly after PARA.
    tag = in.ReadTag();
    if (tag == "CRAS") {
        if (!in.ReadU32(size) || !in.Skip(size)) {
            Truncated("CRAS");
            return false;
        }
        tag = in.ReadTag();
    }

    if (tag != "BBOX") {
        NoSection("BBOX");
        return false;
    }
    if (!in.ReadU32(size) || !in.Skip(size)) {
        Truncated("BBOX");
        return false;
    }

    // RADI: the size is ignored and the radius is the next 4 bytes.
    if (in.ReadTag() != "RADI") {
        NoSection("RADI");
        return false;
    }
    uint8_t r[4];
    if (!in.ReadU32(size) || !in.Read(r, 4)) {
        Truncated("RADI");
        return false;
    }
    const uint32_t bits = U32(r);
    std::memcpy(&radius_, &bits, sizeof radius_);
    return true;
}
