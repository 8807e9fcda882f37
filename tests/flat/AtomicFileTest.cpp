// writeFileAtomically: the public face of the output file writer, whose refusals and their
// messages are tested with the file openers and the platform layer. A target is replaced by the
// whole new content or left exactly as it was, and no temporary file stays behind.
#include <VelXmlN/AtomicFile.h>

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

using testsupport::readFile;

TEST(AtomicFile, ReplacesTheTargetWithTheBytesWrittenOrLeavesItAndSaysWhy) {
    testsupport::ScratchFolder scratch;
    const std::string target = scratch.write("doc.xml", "old");
    VelXmlN::writeFileAtomically(target, [](std::ostream& out) { out << "new\r\nline\n"; });
    EXPECT_EQ(readFile(target), "new\r\nline\n");
    const std::string fresh = scratch / "fresh.xml";
    VelXmlN::writeFileAtomically(fresh, [](std::ostream&) {});
    EXPECT_EQ(readFile(fresh), "");

    // The caller's exception passes out; the writer's own failures come as runtime_error.
    EXPECT_THROW(VelXmlN::writeFileAtomically(target,
                                              [](std::ostream& out) {
                                                  out << "partial";
                                                  throw std::logic_error("stop");
                                              }),
                 std::logic_error);
    try {
        VelXmlN::writeFileAtomically(target, [](std::ostream& out) {
            out << "half";
            out.setstate(std::ios_base::badbit);
        });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot write '" + target + "': the output stream failed");
    }
    EXPECT_EQ(readFile(target), "new\r\nline\n");
    EXPECT_TRUE(testsupport::temporaryFilesIn(scratch.path()).empty());
}
