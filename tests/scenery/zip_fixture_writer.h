// A small zip writer for the reader's tests: stored and deflated entries, traditional encryption,
// data descriptors and extra fields, with the positions of every record so a test can damage them.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace velk::test {

struct ZipFixtureEntry {
    ZipFixtureEntry(std::string entryName, std::string entryData, bool deflated = false,
                    const char* entryPassword = nullptr, bool withDescriptor = false)
        : name(std::move(entryName)), data(std::move(entryData)), deflate(deflated), password(entryPassword),
          descriptor(withDescriptor)
    {
    }

    std::string name;
    std::string data;
    bool deflate = false;
    const char* password = nullptr;  // encrypt when given
    bool descriptor = false;         // sizes and CRC after the data, flag bit 3
    uint16_t madeBy = 0x0014;        // host 0 (FAT): attributes are the low byte of `external`
    uint32_t external = 0x20;
    uint16_t dosTime = 0x6A4B;       // 13:18:22
    uint16_t dosDate = 0x5A8F;       // 2025-04-15
    std::string centralExtra;
};

struct ZipFixture {
    std::string bytes;
    std::vector<size_t> local;    // offset of each local header
    std::vector<size_t> central;  // offset of each central header
    size_t end = 0;               // offset of the end record

    void Put16(size_t at, uint16_t v)
    {
        bytes[at] = static_cast<char>(v & 0xFF);
        bytes[at + 1] = static_cast<char>(v >> 8);
    }
    void Put32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
};

inline uint32_t FixtureCrc(const std::string& data)
{
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline std::string RawDeflate(const std::string& data)
{
    z_stream s {};
    if (deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&s, static_cast<uLong>(data.size())), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    if (deflate(&s, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// PKWARE traditional encryption, enciphering side, written from the format's description.
class FixtureCipher {
public:
    explicit FixtureCipher(const char* password)
    {
        for (const char* p = password; *p != '\0'; ++p) Update(static_cast<uint8_t>(*p));
    }
    std::string Encrypt(const std::string& plain)
    {
        std::string out(plain.size(), '\0');
        for (size_t i = 0; i < plain.size(); ++i) {
            const uint32_t k = (keys_[2] & 0xFFFF) | 2;
            const auto p = static_cast<uint8_t>(plain[i]);
            out[i] = static_cast<char>(p ^ static_cast<uint8_t>((k * (k ^ 1)) >> 8));
            Update(p);
        }
        return out;
    }

private:
    static uint32_t Crc(uint32_t c, uint8_t b)
    {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        return c;
    }
    void Update(uint8_t p)
    {
        keys_[0] = Crc(keys_[0], p);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = Crc(keys_[2], static_cast<uint8_t>(keys_[1] >> 24));
    }
    uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

inline void Add16(std::string& s, uint16_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

inline void Add32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// prefix: bytes in front of the archive that its offsets do not count (a self-extractor stub).
// zip64End: a zip64 end record and locator between the directory and the end record, as zip writes
// them for data read from a pipe.
inline ZipFixture BuildZip(const std::vector<ZipFixtureEntry>& entries, const std::string& comment = "",
                           const std::string& prefix = "", bool zip64End = false)
{
    ZipFixture zip;
    std::string& out = zip.bytes;
    std::string directory;
    for (const ZipFixtureEntry& e : entries) {
        const uint32_t crc = FixtureCrc(e.data);
        std::string payload = e.deflate ? RawDeflate(e.data) : e.data;
        uint16_t flags = e.descriptor ? 0x0008 : 0;
        if (e.password != nullptr) {
            flags |= 0x0001;
            std::string header = "\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB";
            header += static_cast<char>(e.descriptor ? (e.dosTime >> 8) : (crc >> 24));
            payload = FixtureCipher(e.password).Encrypt(header + payload);
        }
        const uint16_t method = e.deflate ? 8 : 0;
        const auto compSize = static_cast<uint32_t>(payload.size());
        const auto uncSize = static_cast<uint32_t>(e.data.size());
        const auto localOffset = static_cast<uint32_t>(out.size());

        zip.local.push_back(prefix.size() + out.size());
        Add32(out, 0x04034B50);
        Add16(out, 20);
        Add16(out, flags);
        Add16(out, method);
        Add16(out, e.dosTime);
        Add16(out, e.dosDate);
        Add32(out, e.descriptor ? 0 : crc);
        Add32(out, e.descriptor ? 0 : compSize);
        Add32(out, e.descriptor ? 0 : uncSize);
        Add16(out, static_cast<uint16_t>(e.name.size()));
        Add16(out, 0);
        out += e.name;
        out += payload;
        if (e.descriptor) {
            Add32(out, 0x08074B50);
            Add32(out, crc);
            Add32(out, compSize);
            Add32(out, uncSize);
        }

        std::string& c = directory;
        Add32(c, 0x02014B50);
        Add16(c, e.madeBy);
        Add16(c, 20);
        Add16(c, flags);
        Add16(c, method);
        Add16(c, e.dosTime);
        Add16(c, e.dosDate);
        Add32(c, crc);
        Add32(c, compSize);
        Add32(c, uncSize);
        Add16(c, static_cast<uint16_t>(e.name.size()));
        Add16(c, static_cast<uint16_t>(e.centralExtra.size()));
        Add16(c, 0);
        Add16(c, 0);
        Add16(c, 0);
        Add32(c, e.external);
        Add32(c, localOffset);
        c += e.name;
        c += e.centralExtra;
    }
    const auto directoryOffset = static_cast<uint32_t>(out.size());
    size_t at = 0;
    for (const ZipFixtureEntry& e : entries) {
        zip.central.push_back(prefix.size() + out.size() + at);
        at += 46 + e.name.size() + e.centralExtra.size();
    }
    out += directory;
    if (zip64End) {
        const auto recordOffset = static_cast<uint32_t>(out.size());
        Add32(out, 0x06064B50);
        Add32(out, 44);  // size of the rest, 64-bit
        Add32(out, 0);
        Add16(out, 0x031E);
        Add16(out, 45);
        Add32(out, 0);
        Add32(out, 0);
        for (int i = 0; i < 2; ++i) {
            Add32(out, static_cast<uint32_t>(entries.size()));
            Add32(out, 0);
        }
        Add32(out, static_cast<uint32_t>(directory.size()));
        Add32(out, 0);
        Add32(out, directoryOffset);
        Add32(out, 0);
        Add32(out, 0x07064B50);
        Add32(out, 0);
        Add32(out, recordOffset);
        Add32(out, 0);
        Add32(out, 1);
    }
    zip.end = prefix.size() + out.size();
    Add32(out, 0x06054B50);
    Add16(out, 0);
    Add16(out, 0);
    Add16(out, static_cast<uint16_t>(entries.size()));
    Add16(out, static_cast<uint16_t>(entries.size()));
    Add32(out, static_cast<uint32_t>(directory.size()));
    Add32(out, directoryOffset);
    Add16(out, static_cast<uint16_t>(comment.size()));
    out += comment;
    out = prefix + out;
    return zip;
}

// An extended timestamp block holding the modification time only.
inline std::string ModificationTimeExtra(int32_t unixSeconds)
{
    std::string s;
    Add16(s, 0x5455);
    Add16(s, 5);
    s += '\x01';
    Add32(s, static_cast<uint32_t>(unixSeconds));
    return s;
}

}  // namespace velk::test
