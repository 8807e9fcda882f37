// Helpers of the scanner tests: a fresh temporary folder, and the result type of a scan.
#ifndef VELXMLN_TESTS_SAX_SCANSUPPORT_H
#define VELXMLN_TESTS_SAX_SCANSUPPORT_H

#include <VelXmlN/CodePage.h>
#include <VelXmlN/Sax2Interface.h>
#include <VelXmlN/SaxInterface.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace scantest {

using Maps = std::vector<std::map<std::string, std::string>>;
using Scanners = ::testing::Types<VelXmlN::Sax2Interface, VelXmlN::SaxInterface>;

/// A new empty folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velxmln-sax-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        path_ = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() { remove(); }

    void remove() noexcept {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::string folder() const { return path_.string(); }
    std::string path(const std::string& name) const { return (path_ / name).string(); }

    /// Writes `bytes` as the file `name` (replacing it) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
        out << bytes;
        return path(name);
    }

  private:
    std::filesystem::path path_;
};

/// Chooses a narrow code page for one scope.
class CodePageScope {
  public:
    explicit CodePageScope(VelXmlN::NarrowCodePage codePage)
        : previous_(VelXmlN::getNarrowCodePage()) {
        VelXmlN::setNarrowCodePage(codePage);
    }
    ~CodePageScope() { VelXmlN::setNarrowCodePage(previous_); }

  private:
    VelXmlN::NarrowCodePage previous_;
};

}  // namespace scantest

#endif
