// The POSIX side of the file functions: unique files, moves, copies and the messages of failures.
#include "external/FileSystem.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

using namespace VelXmlN::platform;
using testsupport::readFile;
using testsupport::ScratchFolder;
using testsupport::writeFile;

namespace {

[[maybe_unused]] unsigned permissionsOf(const std::string& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

[[maybe_unused]] std::string reason(int code) {
    return std::strerror(code);
}

}  // namespace

TEST(FileSystem, TemporaryFolderFollowsTmpdir) {
#ifdef _WIN32
    GTEST_SKIP() << "TMPDIR and ENAMETOOLONG belong to the POSIX side";
#else
    std::string folder;
    FileError error;
    {
        testsupport::ScopedEnvironment tmpdir("TMPDIR", "/some/where");
        ASSERT_TRUE(temporaryFolder(folder, error));
        EXPECT_EQ(folder, "/some/where");
    }
    for (const char* unset : {static_cast<const char*>(nullptr), ""}) {
        testsupport::ScopedEnvironment tmpdir("TMPDIR", unset);
        ASSERT_TRUE(temporaryFolder(folder, error));
        EXPECT_EQ(folder, "/tmp");
    }
    const std::string tooLong(5000, 'x');
    testsupport::ScopedEnvironment tmpdir("TMPDIR", tooLong.c_str());
    EXPECT_FALSE(temporaryFolder(folder, error));
    EXPECT_EQ(error.code, ENAMETOOLONG);
#endif
}

TEST(FileSystem, UniqueFilesAreNewEmptyAndPrefixed) {
#ifdef _WIN32
    GTEST_SKIP() << "the umask and the mkstemp naming belong to the POSIX side";
#else
    ScratchFolder scratch;
    const mode_t oldMask = umask(027);
    std::set<std::string> names;
    FileError error;
    for (int i = 0; i < 200; ++i) {
        std::string created;
        ASSERT_TRUE(createUniqueFile(scratch.path() + "/", "velofstream", created, error));
        EXPECT_EQ(created.rfind(scratch.path() + "/velofstream", 0), 0u) << created;
        EXPECT_EQ(created.size(), scratch.path().size() + 1 + 11 + 6);
        EXPECT_EQ(readFile(created), "");
        EXPECT_EQ(permissionsOf(created), 0640u) << "a plain new file's permissions";
        names.insert(created);
    }
    umask(oldMask);
    EXPECT_EQ(names.size(), 200u);

    std::string created = "unchanged";
    EXPECT_FALSE(createUniqueFile(scratch / "missing", "velofstream", created, error));
    EXPECT_EQ(created, "unchanged");
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(error.message, "cannot create a temporary file in '" + (scratch / "missing") +
                                 "': " + reason(ENOENT));
#endif
}

TEST(FileSystem, MoveReplacesAtomicallyAndKeepsTheTargetsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permission bits, errno messages and geteuid";
#else
    ScratchFolder scratch;
    const std::string from = scratch / "from";
    const std::string to = scratch / "to";
    writeFile(from, "new");
    writeFile(to, "old contents");
    chmod(to.c_str(), 0604);
    FileError error;
    ASSERT_TRUE(moveFile(from, to, error)) << error.message;
    EXPECT_EQ(readFile(to), "new");
    EXPECT_FALSE(fileExists(from));
    EXPECT_EQ(permissionsOf(to), 0604u);

    EXPECT_FALSE(moveFile(from, to, error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_FALSE(error.crossDevice);
    EXPECT_EQ(error.message, "cannot move '" + from + "' to '" + to + "': " + reason(ENOENT));
    EXPECT_EQ(readFile(to), "new");

    writeFile(from, "x");
    EXPECT_FALSE(moveFile(from, scratch.path(), error)) << "a folder is not replaced";
    EXPECT_TRUE(isFolder(scratch.path()));

    if (geteuid() != 0) {
        chmod(to.c_str(), 0444);
        EXPECT_FALSE(moveFile(from, to, error));
        EXPECT_EQ(error.message, "cannot replace '" + to + "': " + reason(EACCES));
        EXPECT_EQ(readFile(to), "new");
    }
#endif
}

TEST(FileSystem, MoveToAnotherFileSystemIsReportedAsSuch) {
    ScratchFolder scratch;
    const auto other = testsupport::folderOnOtherFileSystem(scratch.path());
    if (!other) {
        GTEST_SKIP() << "no second file system on this machine";
    }
    ScratchFolder elsewhere(*other);
    writeFile(elsewhere / "from", "new");
    FileError error;
    EXPECT_FALSE(moveFile(elsewhere / "from", scratch / "to", error));
    EXPECT_TRUE(error.crossDevice) << "the writer then copies next to the target";
    EXPECT_EQ(readFile(elsewhere / "from"), "new");
}

TEST(FileSystem, ParentFolderAndShortPath) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX paths; Windows paths are checked in ParentFolderOfWindowsPaths";
#else
    EXPECT_EQ(parentFolder("/data/out/a.xml"), "/data/out");
    EXPECT_EQ(parentFolder("out//a.xml"), "out");
    EXPECT_EQ(parentFolder("/a.xml"), "/");
    EXPECT_EQ(parentFolder("//a.xml"), "/");
    EXPECT_EQ(parentFolder("a.xml"), ".");
    EXPECT_EQ(parentFolder(""), ".");

    std::string shortPath = "unchanged";
    EXPECT_FALSE(shortPathName("/tmp", shortPath));
    EXPECT_EQ(shortPath, "unchanged");
#endif
}

TEST(FileSystem, ParentFolderOfWindowsPaths) {
#ifndef _WIN32
    GTEST_SKIP() << "drive letters and backslashes are Windows paths";
#else
    EXPECT_EQ(parentFolder("C:\\data\\out\\a.xml"), "C:\\data\\out");
    EXPECT_EQ(parentFolder("C:/data/out/a.xml"), "C:/data/out");
    EXPECT_EQ(parentFolder("out\\\\a.xml"), "out");
    EXPECT_EQ(parentFolder("C:\\a.xml"), "C:\\");
    EXPECT_EQ(parentFolder("C:a.xml"), "C:");
    EXPECT_EQ(parentFolder("a.xml"), ".");
    EXPECT_EQ(parentFolder(""), ".");
#endif
}
