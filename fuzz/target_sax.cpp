// Fuzz target: both SAX scanners on a file holding arbitrary bytes.
//
// Property: getAttributes never crashes or leaks; a scan either returns its maps or records the
// failure in getExceptions and returns nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include <VelXmlN/Sax2Interface.h>
#include <VelXmlN/SaxInterface.h>

#include "FuzzSupport.h"

namespace {

template <typename Scanner>
void scan(const std::string& file, const std::string& path) {
    Scanner scanner(file);
    const std::vector<std::map<std::string, std::string>> result = scanner.getAttributes(path);
    if (!scanner.getExceptions().empty() && !result.empty()) {
        fuzzing::fault("a failed scan returned attributes", path);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& file = fuzzing::scratchFile("velxmln-fuzz-sax-");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // Paths that the seeds and the dictionary make likely to match.
    static const char* const kPaths[] = {"config/section/item", "a/b"};
    for (const char* path : kPaths) {
        scan<VelXmlN::SaxInterface>(file, path);
        scan<VelXmlN::Sax2Interface>(file, path);
    }
    return 0;
}
