// Helpers of the scanner tests: a fresh temporary folder to write documents in, and the result
// type of a scan.
#ifndef VELXMLN_TESTS_SAX_SCANSUPPORT_H
#define VELXMLN_TESTS_SAX_SCANSUPPORT_H

#include <VelXmlN/Sax2Interface.h>
#include <VelXmlN/SaxInterface.h>

#include "support/ScratchFolder.h"
#include "support/TestSupport.h"

#include <map>
#include <string>
#include <vector>

namespace testsupport {

using Maps = std::vector<std::map<std::string, std::string>>;
using Scanners = ::testing::Types<VelXmlN::Sax2Interface, VelXmlN::SaxInterface>;

class ScanFolder : public ScratchFolder {
  public:
    std::string folder() const { return ScratchFolder::path(); }
    std::string path(const std::string& name) const { return *this / name; }

    /// Writes `bytes` as the file `name` (replacing it) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        testsupport::writeFile(path(name), bytes);
        return path(name);
    }
};

}  // namespace testsupport

#endif
