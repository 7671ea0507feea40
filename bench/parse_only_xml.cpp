// The yardstick program of the start-up pair: parses the XML files below the folders it is given (every
// "*.xml", in name order) and does nothing else, so that its CPU time is what parsing them costs a
// process. Exit status 0 when every file parsed, 1 otherwise. Main thread only.
#include "bench/RawParse.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        for (fs::recursive_directory_iterator it(argv[i], error), end; !error && it != end; it.increment(error)) {
            if (it->is_regular_file() && it->path().extension() == ".xml") files.push_back(it->path());
        }
        if (error) {
            std::fprintf(stderr, "parse_only_xml: cannot list '%s'\n", argv[i]);
            return 1;
        }
    }
    std::sort(files.begin(), files.end());
    auto document = std::make_unique<tinyxml2::XMLDocument>();
    uint64_t seen = 0;
    if (!bench::ParseEverything(*document, files, seen)) {
        std::fprintf(stderr, "parse_only_xml: a file does not parse\n");
        return 1;
    }
    std::printf("%zu files, %llu\n", files.size(), static_cast<unsigned long long>(seen));
    return 0;
}
