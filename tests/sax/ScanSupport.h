// Helpers of the scanner tests: the result type of a scan and the two scanners.
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

}  // namespace testsupport

#endif
