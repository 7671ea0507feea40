// Builds RIFF images byte by byte for the RIFF and WAV reader tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_riff {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutTag(Bytes& out, const std::string& tag)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(i < static_cast<int>(tag.size()) ? tag[i] : ' '));
}

// One chunk: id, size, body, and a pad byte when the body's size is odd.
inline Bytes Chunk(const std::string& id, const Bytes& body)
{
    Bytes out;
    PutTag(out, id);
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) out.push_back(0);
    return out;
}

// A chunk whose size field says claimedSize whatever the body holds.
inline Bytes ChunkClaiming(const std::string& id, uint32_t claimedSize, const Bytes& body)
{
    Bytes out;
    PutTag(out, id);
    Put32(out, claimedSize);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A RIFF or LIST chunk: id, size, form type, then the inner chunks.
inline Bytes Form(const std::string& id, const std::string& type, const std::vector<Bytes>& inner)
{
    Bytes body;
    PutTag(body, type);
    for (const auto& c : inner) body.insert(body.end(), c.begin(), c.end());
    Bytes out;
    PutTag(out, id);
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

struct Format {
    uint16_t tag = 1;
    uint16_t channels = 1;
    uint32_t samplesPerSec = 22050;
    uint32_t avgBytesPerSec = 22050;
    uint16_t blockAlign = 1;
    uint16_t bitsPerSample = 8;
};

// The "fmt " body: the 16 PCM bytes, then extra bytes when asked for.
inline Bytes FmtBody(const Format& f, size_t extra = 0)
{
    Bytes out;
    Put16(out, f.tag);
    Put16(out, f.channels);
    Put32(out, f.samplesPerSec);
    Put32(out, f.avgBytesPerSec);
    Put16(out, f.blockAlign);
    Put16(out, f.bitsPerSample);
    out.resize(out.size() + extra, 0);
    return out;
}

// Sample bytes 0, 1, 2, ... wrapping at 256: every position of the source is recognisable.
inline Bytes Ramp(size_t n, uint8_t start = 0)
{
    Bytes out(n);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(start + i);
    return out;
}

// A plain RIFF/WAVE file: "fmt " then "data".
inline Bytes Wave(const Format& f, const Bytes& samples)
{
    return Form("RIFF", "WAVE", {Chunk("fmt ", FmtBody(f)), Chunk("data", samples)});
}

}  // namespace testing_riff
