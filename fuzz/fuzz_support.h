// Shared by the fuzz targets: a scratch folder for inputs that reach a reader as a file, and a check
// that stops the run with a message (libFuzzer reports the abort with the input that caused it).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace velk_fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "fuzz invariant broken at %s:%d: %s\n", file, line, what);
    std::abort();
}

#define VELK_FUZZ_CHECK(cond) \
    do { \
        if (!(cond)) ::velk_fuzz::Fail(#cond, __FILE__, __LINE__); \
    } while (0)

// A folder made once per process and removed at its normal end.
// Never destroyed: the clean-up at exit still needs its name.
inline const std::filesystem::path& ScratchFolder()
{
    static const std::filesystem::path* folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "velk-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a scratch folder", __FILE__, __LINE__);
        auto* made = new std::filesystem::path(pattern);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return made;
    }();
    return *folder;
}

// Writes the bytes to a file of the scratch folder and returns its host path, which the platform layer
// takes as it is (a path that begins with "/").
inline std::string WriteScratchFile(const char* name, const uint8_t* data, size_t size)
{
    const std::filesystem::path path = ScratchFolder() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) Fail("cannot write a scratch file", __FILE__, __LINE__);
    return path.string();
}

}  // namespace velk_fuzz
