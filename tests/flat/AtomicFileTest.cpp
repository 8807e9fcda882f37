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

TEST_F(AtomicFile, ReplacesTheTargetWithWhatWasWrittenBytesUnchanged) {
    VelXmlN::writeFileAtomically(target, [](std::ostream& out) { out << "new\r\nline\n"; });
    EXPECT_EQ(readFile(target), "new\r\nline\n");
    const std::string fresh = scratch / "fresh.xml";
    VelXmlN::writeFileAtomically(fresh, [](std::ostream&) {});
    EXPECT_EQ(readFile(fresh), "");
    EXPECT_TRUE(testsupport::temporaryFilesIn(scratch.path()).empty());
}

TEST_F(AtomicFile, AnExceptionOfTheWriterPassesOnAndLeavesTheTarget) {
    EXPECT_THROW(VelXmlN::writeFileAtomically(target,
                                              [](std::ostream& out) {
                                                  out << "partial";
                                                  throw std::logic_error("stop");
                                              }),
                 std::logic_error);
    EXPECT_EQ(readFile(target), "old");
    EXPECT_TRUE(testsupport::temporaryFilesIn(scratch.path()).empty());
}

TEST_F(AtomicFile, AFailedStreamOrAMissingFolderThrowsWithTheFileName) {
    try {
        VelXmlN::writeFileAtomically(target, [](std::ostream& out) {
            out << "half";
            out.setstate(std::ios_base::badbit);
        });
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot write '" + target + "': the output stream failed");
    }
    EXPECT_EQ(readFile(target), "old");

    const std::string nowhere = scratch / "no/such/folder/doc.xml";
    try {
        VelXmlN::writeFileAtomically(nowhere, [](std::ostream& out) { out << "x"; });
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        const std::string start = "cannot write '" + nowhere +
                                  "': cannot create a temporary file in '" +
                                  (scratch / "no/such/folder") + "': ";
#ifdef _WIN32
        // The reason is the system's own text, in the language of the installation.
        EXPECT_EQ(std::string(error.what()).rfind(start, 0), 0u) << error.what();
        EXPECT_GT(std::string(error.what()).size(), start.size());
#else
        EXPECT_EQ(std::string(error.what()), start + std::strerror(ENOENT));
#endif
    }
    EXPECT_TRUE(testsupport::temporaryFilesIn(scratch.path()).empty());
}

}  // namespace
