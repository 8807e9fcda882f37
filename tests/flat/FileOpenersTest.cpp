// The file openers: input with one retry, and output through a temporary file that replaces its
// target wholly or not at all.
#include "flat/FileOpeners.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>

#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using testsupport::readFile;
using testsupport::writeFile;
using VelXmlN::detail::openInputFile;
using VelXmlN::detail::TempFileWriter;
using VelXmlN::platform::FileError;

namespace {

using Names = std::vector<std::string>;
const std::ios_base::openmode kWrite = std::ios_base::out | std::ios_base::binary;

// Each test gets its own temporary folder (TMPDIR) and an output folder, so leftovers of either
// kind can be counted.
class FileOpeners : public ::testing::Test {
  protected:
    FileOpeners() : tmp(scratch / "tmp"), out(scratch / "out"), target(out + "/doc.xml") {
        std::filesystem::create_directory(tmp);
        std::filesystem::create_directory(out);
        writeFile(target, "old");
    }

    Names leftovers() const {
        Names names = testsupport::namesStartingWith(tmp, "velofstream");
        for (const std::string& name : testsupport::namesStartingWith(out, "velofstream")) {
            names.push_back(name);
        }
        return names;
    }

    testsupport::ScratchFolder scratch;
    std::string tmp, out, target;
    testsupport::ScopedEnvironment tmpdir{"TMPDIR", tmp.c_str()};
};

#ifndef _WIN32
// Runs `body` in a child process whose files may not grow past 64 KiB, as on a full disk, and
// returns its exit status.
int withFullDisk(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        _exit(setrlimit(RLIMIT_FSIZE, &limit) == 0 ? body() : 10);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace

TEST_F(FileOpeners, ReplacesTheTargetAsAWholeAndLeavesNoTemporaryFile) {
    chmod(target.c_str(), 0640);
    {
        TempFileWriter writer(target, kWrite);
        ASSERT_NE(writer.stream(), nullptr) << writer.error();
        EXPECT_EQ(writer.targetName(), target);
        EXPECT_EQ(writer.temporaryName().rfind(tmp + "/velofstream", 0), 0u);
        *writer.stream() << "new";
        EXPECT_EQ(readFile(target), "old") << "the target is never written in place";
        EXPECT_TRUE(writer.finish()) << writer.error();
        EXPECT_TRUE(writer.finish()) << "a second finish gives the same answer";
        EXPECT_EQ(writer.stream(), nullptr);
    }
    EXPECT_EQ(readFile(target), "new");
    struct stat status {};
    stat(target.c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the replaced file's permissions stay";

    // The destructor finishes a writer that was not finished; append starts from the old text.
    { *TempFileWriter(target, std::ios_base::app).stream() << "er"; }
    EXPECT_EQ(readFile(target), "newer");
    EXPECT_EQ(leftovers(), Names{});
}

TEST_F(FileOpeners, UnusableTemporaryFolderLeavesTheTargetUntouched) {
    writeFile(scratch / "plain", "");
    const std::vector<std::pair<std::string, int>> folders = {{scratch / "missing", ENOENT},
                                                              {scratch / "plain", ENOTDIR}};
    for (const auto& [folder, code] : folders) {
        testsupport::ScopedEnvironment unusable("TMPDIR", folder.c_str());
        TempFileWriter writer(target, kWrite);
        EXPECT_EQ(writer.stream(), nullptr);
        EXPECT_EQ(writer.targetName(), "");
        EXPECT_EQ(writer.temporaryName(), "");
        EXPECT_EQ(writer.error(),
                  "cannot create a temporary file in '" + folder + "': " + std::strerror(code));
        EXPECT_FALSE(writer.finish());
    }
    EXPECT_EQ(readFile(target), "old");
}

TEST_F(FileOpeners, AbandonedWriteLeavesTheTargetUntouched) {
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
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(leftovers(), Names{});
}

TEST_F(FileOpeners, FullFileSystemLeavesTheTargetExactlyAsItWas) {
#ifdef _WIN32
    GTEST_SKIP() << "a full disk is simulated with a file size limit (setrlimit) in a child "
                    "process (fork), which Windows lacks";
#else
    EXPECT_EQ(withFullDisk([this] {
                  TempFileWriter writer(target, kWrite);
                  const std::string block(4096, 'n');
                  for (int i = 0; i < 64 && writer.stream() != nullptr; ++i) {
                      *writer.stream() << block;
                  }
                  const std::string start = "cannot write the temporary file '";
                  return writer.finish() ? 12 : writer.error().rfind(start, 0) == 0 ? 0 : 13;
              }),
              0);
    EXPECT_EQ(readFile(target), "old");

    // The copy an append starts from hits the limit too: the writer refuses at once.
    const std::string big(100 * 1024, 'o');
    writeFile(target, big);
    EXPECT_EQ(withFullDisk([this] {
                  TempFileWriter writer(target, std::ios_base::app);
                  return writer.stream() == nullptr && !writer.finish() ? 0 : 14;
              }),
              0);
    EXPECT_EQ(readFile(target), big);
    EXPECT_EQ(leftovers(), Names{});
#endif
}

TEST_F(FileOpeners, TargetThatCannotBeReplacedStaysAsItIs) {
    const std::string inMissingFolder = scratch / "missing/doc.xml";
    TempFileWriter missing(inMissingFolder, kWrite);
    *missing.stream() << "data";
    const std::string temporary = missing.temporaryName();
    EXPECT_FALSE(missing.finish());
    EXPECT_EQ(missing.error(), "cannot move '" + temporary + "' to '" + inMissingFolder +
                                   "': " + std::strerror(ENOENT));

    TempFileWriter folder(out, kWrite);
    *folder.stream() << "data";
    EXPECT_FALSE(folder.finish());
    EXPECT_TRUE(VelXmlN::platform::isFolder(out));

    TempFileWriter appendToFolder(out, std::ios_base::app);
    EXPECT_EQ(appendToFolder.stream(), nullptr);
    EXPECT_EQ(appendToFolder.error().rfind("cannot copy '" + out + "' to '" + tmp, 0), 0u);
    EXPECT_EQ(leftovers(), Names{});
}

namespace {

// Stands in for the move: the first `crossDeviceMoves` calls fail as a rename between two file
// systems does; every call is recorded.
int crossDeviceMoves = 0;
std::vector<std::pair<std::string, std::string>> moves;

bool moveAcrossDevices(const std::string& from, const std::string& to, FileError& error) {
    moves.emplace_back(from, to);
    if (crossDeviceMoves > 0) {
        --crossDeviceMoves;
        error.code = EXDEV;
        error.crossDevice = true;
        error.message = "cannot move across devices";
        return false;
    }
    return VelXmlN::platform::moveFile(from, to, error);
}

}  // namespace

TEST_F(FileOpeners, OtherFileSystemIsCrossedByACopyNextToTheTarget) {
    moves.clear();
    crossDeviceMoves = 1;
    TempFileWriter writer(target, kWrite, moveAcrossDevices);
    *writer.stream() << "new";
    EXPECT_TRUE(writer.finish()) << writer.error();
    EXPECT_EQ(readFile(target), "new");
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[1].first.rfind(out + "/velofstream", 0), 0u)
        << "renamed from beside the target";

    // When the second step fails too, both copies go and the target stays.
    crossDeviceMoves = 2;
    TempFileWriter failing(target, kWrite, moveAcrossDevices);
    *failing.stream() << "newer";
    EXPECT_FALSE(failing.finish());
    EXPECT_EQ(failing.error(), "cannot move across devices");
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(leftovers(), Names{});
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
    auto retried = openInputFile(out + "/long name.xml", recordShortPath);
    EXPECT_EQ(shortPathCalls, 1);
    // ...in POSIX text mode, which translates nothing: CR LF reaches the XML reader.
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(*retried), {}), "<a>\r\n</a>");

    // ...and the same name once more where it gives none; the failed stream is still returned.
    shortForm.clear();
    auto missing = openInputFile(out + "/missing.xml", recordShortPath);
    EXPECT_EQ(shortPathCalls, 2);
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->good());
    EXPECT_FALSE(openInputFile(out)->good()) << "a folder is no input file";
}
