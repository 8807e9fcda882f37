// writeFileAtomically: the public face of the output file writer. A target is replaced by the
// whole new content or left exactly as it was, and no temporary file stays behind.
#include <VelXmlN/AtomicFile.h>

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>

using testsupport::readFile;
using testsupport::ScratchFolder;
using testsupport::writeFile;

namespace {

class AtomicFile : public ::testing::Test {
  protected:
    AtomicFile() : target(scratch / "doc.xml") { writeFile(target, "old"); }

    ScratchFolder scratch;
    std::string target;
};

TEST_F(AtomicFile, ReplacesTheTargetWithTheBytesWrittenOrLeavesItAndSaysWhy) {
    VelXmlN::writeFileAtomically(target, [](std::ostream& out) { out << "new\r\nline\n"; });
    EXPECT_EQ(readFile(target), "new\r\nline\n");
    const std::string fresh = scratch / "fresh.xml";
    VelXmlN::writeFileAtomically(fresh, [](std::ostream&) {});
    EXPECT_EQ(readFile(fresh), "");

    writeFile(target, "old");
    EXPECT_THROW(VelXmlN::writeFileAtomically(target,
                                              [](std::ostream& out) {
                                                  out << "partial";
                                                  throw std::logic_error("stop");
                                              }),
                 std::logic_error);
    const auto failure = [](const std::string& file, void (*write)(std::ostream&)) {
        try {
            VelXmlN::writeFileAtomically(file, write);
        } catch (const std::runtime_error& error) {
            return std::string(error.what());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(failure(target,
                      [](std::ostream& out) {
                          out << "half";
                          out.setstate(std::ios_base::badbit);
                      }),
              "cannot write '" + target + "': the output stream failed");
    EXPECT_EQ(readFile(target), "old");
    const std::string nowhere = scratch / "no/such/folder/doc.xml";
    const std::string start = "cannot write '" + nowhere +
                              "': cannot create a temporary file in '" +
                              (scratch / "no/such/folder") + "': ";
    const std::string message = failure(nowhere, [](std::ostream& out) { out << "x"; });
#ifdef _WIN32
    // The reason is the system's own text, in the language of the installation.
    EXPECT_EQ(message.rfind(start, 0), 0u) << message;
    EXPECT_GT(message.size(), start.size());
#else
    EXPECT_EQ(message, start + std::strerror(ENOENT));
#endif
    EXPECT_TRUE(testsupport::temporaryFilesIn(scratch.path()).empty());
}

}  // namespace
