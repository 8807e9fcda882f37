// The file openers: input with one retry, and output through a temporary file that replaces its
// target wholly or not at all.
#include "flat/FileOpeners.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

using testsupport::readFile;
using testsupport::temporaryFilesIn;
using testsupport::writeFile;
using VelXmlN::detail::openInputFile;
using VelXmlN::detail::TempFileWriter;

namespace {

using Names = std::vector<std::string>;
const std::ios_base::openmode kWrite = std::ios_base::out | std::ios_base::binary;

class FileOpeners : public ::testing::Test {
  protected:
    FileOpeners() : out(scratch.path()), target(scratch / "doc.xml") { writeFile(target, "old"); }

    testsupport::ScratchFolder scratch;
    std::string out, target;
};

}  // namespace

TEST_F(FileOpeners, ReplacesTheTargetAsAWholeAndLeavesNoTemporaryFile) {
    {
        TempFileWriter writer(target, kWrite);
        ASSERT_NE(writer.stream(), nullptr) << writer.error();
        EXPECT_EQ(writer.targetName(), target);
        // Pieces small and large, the large ones past the stream's own block.
        *writer.stream() << "new" << std::string(100000, 'x') << 'y';
        EXPECT_EQ(readFile(target), "old") << "the target is never written in place";
        EXPECT_TRUE(writer.finish()) << writer.error();
        EXPECT_TRUE(writer.finish()) << "a second finish gives the same answer";
        EXPECT_EQ(writer.stream(), nullptr);
    }
    EXPECT_EQ(readFile(target), "new" + std::string(100000, 'x') + "y");

    // The destructor finishes a writer that was not finished; append starts from the old text.
    writeFile(target, "new");
    { *TempFileWriter(target, std::ios_base::app).stream() << "er"; }
    EXPECT_EQ(readFile(target), "newer");
    EXPECT_EQ(temporaryFilesIn(out), Names{});
}

TEST_F(FileOpeners, AbandonedOrFailedWriteLeavesTheTargetUntouched) {
    {
        TempFileWriter writer(target, kWrite);
        *writer.stream() << "half";
        writer.abandon();
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(writer.error(), "the write of '" + target + "' was abandoned");
    }
    // A writer destroyed by a passing exception counts as abandoned even without abandon().
    EXPECT_THROW(
        {
            TempFileWriter writer(target, kWrite);
            *writer.stream() << "half";
            throw std::runtime_error("writing failed");
        },
        std::runtime_error);
    {
        TempFileWriter writer(target, kWrite);
        *writer.stream() << "half";
        writer.stream()->setstate(std::ios_base::badbit);
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(writer.error(), "cannot write '" + target + "': the output stream failed");
    }
    TempFileWriter folder(out, kWrite);
    EXPECT_EQ(folder.stream(), nullptr);
    EXPECT_EQ(folder.targetName(), "");
#ifdef _WIN32
    const std::string start = "cannot write '" + out + "', a folder: ";
    EXPECT_EQ(folder.error().rfind(start, 0), 0u) << folder.error();
    EXPECT_GT(folder.error().size(), start.size()) << "the system's reason";
#else
    EXPECT_EQ(folder.error(), "cannot write '" + out + "': " + std::strerror(EISDIR));
#endif
    EXPECT_FALSE(folder.finish());
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(temporaryFilesIn(out), Names{});
}

TEST_F(FileOpeners, FullDiskLeavesTheTargetUntouched) {
#ifdef _WIN32
    GTEST_SKIP() << "a full disk is made with a file size limit (setrlimit) in a child process "
                    "(fork), which Windows lacks";
#else
    // A file size limit fails writes as a full disk does: the system's refusal, naming both
    // files, reaches the error, and the target stays.
    EXPECT_EQ(testsupport::inChild([this] {
                  signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{64 * 1024, 64 * 1024};
                  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                      return 10;
                  }
                  TempFileWriter writer(target, kWrite);
                  const std::string temporary = writer.temporaryName();
                  const std::string block(4096, 'n');
                  for (int i = 0; i < 64; ++i) {
                      *writer.stream() << block;
                  }
                  return !writer.finish() && writer.error() == "cannot write '" + target +
                                                                   "' by way of '" + temporary +
                                                                   "': " + std::strerror(EFBIG)
                             ? 0
                             : 11;
              }),
              0);
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(temporaryFilesIn(out), Names{});
#endif
}

TEST_F(FileOpeners, InputFileIsOpenedWithOneRetry) {
    writeFile(target, "<a>\r\n</a>");
    static int shortPathCalls;
    static std::string shortForm;
    const auto recordShortPath = [](const std::string&, std::string& shortPath) {
        ++shortPathCalls;
        shortPath = shortForm;
        return !shortForm.empty();
    };
    EXPECT_TRUE(openInputFile(target, recordShortPath)->good());
    EXPECT_EQ(shortPathCalls, 0) << "no retry for a file that opens";

    // The retry opens the short form where the system gives one...
    shortForm = target;
    auto retried = openInputFile(scratch / "long name.xml", recordShortPath);
    EXPECT_EQ(shortPathCalls, 1);
    // ...in text mode: Windows reads CR LF as LF, POSIX translates nothing and CR LF reaches the
    // XML reader (which reads both alike).
#ifdef _WIN32
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(*retried), {}), "<a>\n</a>");
#else
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(*retried), {}), "<a>\r\n</a>");
#endif

    // ...and the same name once more where it gives none; the failed stream is still returned.
    shortForm.clear();
    auto missing = openInputFile(scratch / "missing.xml", recordShortPath);
    EXPECT_EQ(shortPathCalls, 2);
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->good());
    EXPECT_FALSE(openInputFile(out)->good()) << "a folder is no input file";
}
