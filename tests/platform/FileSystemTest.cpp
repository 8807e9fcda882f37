// The POSIX side of the file functions: output files that replace regular files privately and
// atomically, follow links, write devices through, and say what went wrong.
#include "platform/FileSystem.h"
#include "support/OutputFiles.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// The Win32 side is tested in FileSystemWin32Test.cpp; here everything is POSIX.
#ifndef _WIN32
using namespace VelXmlN::platform;
using testsupport::inChild;
using testsupport::readFile;
using testsupport::replace;
using testsupport::ScratchFolder;
using testsupport::temporaryFilesIn;
using testsupport::writeFile;

namespace {

using Names = std::vector<std::string>;

struct stat statusOf(const std::string& path, bool followLinks = true) {
    struct stat status {};
    if (followLinks) {
        stat(path.c_str(), &status);
    } else {
        lstat(path.c_str(), &status);
    }
    return status;
}

std::string reason(int code) {
    return std::strerror(code);
}

}  // namespace

TEST(OutputFile, PrivateUntilCommittedThenWithTheTargetsPermissions) {
    ScratchFolder scratch;
    const std::string target = scratch / "doc.xml";
    writeFile(target, "old");
    chmod(target.c_str(), 0640);
    const ino_t oldInode = statusOf(target).st_ino;
    const mode_t oldMask = umask(0);  // nothing masked: the temporary file must still be private
    {
        OutputFile file;
        FileError error;
        ASSERT_TRUE(file.open(target, false, error)) << error.message;
        ASSERT_TRUE(file.write("new", 3, error)) << error.message;
        const std::string stem = scratch / ".doc.xml.velxmln-";
        EXPECT_EQ(file.temporaryName().rfind(stem, 0), 0u) << file.temporaryName();
        EXPECT_EQ(file.temporaryName().size(), stem.size() + 6);
        EXPECT_EQ(statusOf(file.temporaryName()).st_mode & 07777, 0600u);
        EXPECT_EQ(readFile(target), "old") << "the target is never written in place";
        ASSERT_TRUE(file.commit(error)) << error.message;
    }
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(statusOf(target).st_mode & 07777, 0640u);
    EXPECT_NE(statusOf(target).st_ino, oldInode) << "replaced, not rewritten";

    umask(027);
    EXPECT_EQ(replace(scratch / "fresh.xml", "x"), "");
    EXPECT_EQ(statusOf(scratch / "fresh.xml").st_mode & 07777, 0640u) << "0666 less the umask";
    umask(oldMask);

    EXPECT_EQ(replace(target, "er", true), "");
    EXPECT_EQ(readFile(target), "newer") << "appending starts from the old content";
    EXPECT_EQ(temporaryFilesIn(scratch.path()), Names{});
}

TEST(OutputFile, OwnerAndGroupStayWhereTheyMayAndSetIdBitsGoWhereTheyCannot) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs the superuser, to make files of other users";
    }
    ScratchFolder scratch;
    chmod(scratch.path().c_str(), 0777);
    const std::string users = scratch / "users.xml";
    writeFile(users, "old");
    ASSERT_EQ(chown(users.c_str(), 1234, 1234), 0);
    chmod(users.c_str(), 0640);
    EXPECT_EQ(replace(users, "new"), "");
    EXPECT_EQ(statusOf(users).st_uid, 1234u)
        << "the superuser's edit leaves the user's file theirs";
    EXPECT_EQ(statusOf(users).st_gid, 1234u);
    EXPECT_EQ(statusOf(users).st_mode & 07777, 0640u);

    // An ordinary user in group 1234 replaces a set-user-ID file of another owner, and a file
    // shared through that group.
    const std::string setId = scratch / "set-id.xml";
    const std::string shared = scratch / "shared.xml";
    writeFile(setId, "old");
    chmod(setId.c_str(), 06666);
    writeFile(shared, "old");
    ASSERT_EQ(chown(shared.c_str(), 0, 1234), 0);
    chmod(shared.c_str(), 0660);
    EXPECT_EQ(inChild([&] {
                  const gid_t groups[] = {1234};
                  if (setgroups(1, groups) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
                      return 10;
                  }
                  return replace(setId, "new").empty() && replace(shared, "new").empty() ? 0 : 11;
              }),
              0);
    EXPECT_EQ(statusOf(setId).st_uid, 65534u);
    EXPECT_EQ(statusOf(setId).st_mode & 07777, 0666u)
        << "no set-ID bits on a file that changed owner";
    EXPECT_EQ(statusOf(shared).st_gid, 1234u) << "the group stays";
    EXPECT_EQ(statusOf(shared).st_mode & 07777, 0660u);
    EXPECT_EQ(readFile(shared), "new");
}

TEST(OutputFile, LinksAreFollowedByTheSystemToTheFileTheyName) {
    ScratchFolder scratch;
    mkdir((scratch / "real").c_str(), 0755);
    const std::string real = scratch / "real/settings.xml";
    writeFile(real, "old");
    ASSERT_EQ(symlink("real/settings.xml", (scratch / "link.xml").c_str()), 0);
    ASSERT_EQ(symlink("link.xml", (scratch / "chain.xml").c_str()), 0);
    EXPECT_EQ(replace(scratch / "chain.xml", "new"), "");
    EXPECT_EQ(readFile(real), "new");
    EXPECT_TRUE(S_ISLNK(statusOf(scratch / "link.xml", false).st_mode));
    EXPECT_TRUE(S_ISLNK(statusOf(scratch / "chain.xml", false).st_mode));

    // A hard link is a second name of the old file, which the replacement leaves alone.
    ASSERT_EQ(link(real.c_str(), (scratch / "hard.xml").c_str()), 0);
    EXPECT_EQ(replace(real, "newer"), "");
    EXPECT_EQ(readFile(scratch / "hard.xml"), "new");

    const std::string dangling = scratch / "dangling.xml";
    ASSERT_EQ(symlink("missing.xml", dangling.c_str()), 0);
    EXPECT_EQ(
        replace(dangling, "x"),
        "cannot write '" + dangling + "', a symbolic link to a missing file: " + reason(ENOENT));
    EXPECT_FALSE(readFile(scratch / "missing.xml"));
    const std::string loop = scratch / "loop.xml";
    ASSERT_EQ(symlink("loop.xml", loop.c_str()), 0);
    EXPECT_EQ(replace(loop, "x"), "cannot write '" + loop + "': " + reason(ELOOP));
    EXPECT_EQ(temporaryFilesIn(scratch.path()), Names{});
    EXPECT_EQ(temporaryFilesIn(scratch / "real"), Names{});
}

TEST(OutputFile, WhatIsNoRegularFileIsWrittenThroughNeverReplaced) {
    ScratchFolder scratch;
    const std::string fifo = scratch / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(fifo).value_or("<none>"); });
    EXPECT_EQ(replace(fifo, "through a pipe"), "");
    reader.join();
    EXPECT_EQ(received, "through a pipe");
    EXPECT_TRUE(S_ISFIFO(statusOf(fifo, false).st_mode));

    // A regular file named through the process file system, as /dev/stdout names a redirection:
    // written after what is there, the file itself kept.
    const std::string log = scratch / "stdout.txt";
    writeFile(log, "head\n");
    const ino_t inode = statusOf(log).st_ino;
    const int fd = open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    for (const std::string& name :
         {"/proc/self/fd/" + std::to_string(fd), "/dev/fd/" + std::to_string(fd)}) {
        EXPECT_EQ(replace(name, "body\n"), "") << name;
    }
    close(fd);
    EXPECT_EQ(readFile(log), "head\nbody\nbody\n");
    EXPECT_EQ(statusOf(log).st_ino, inode);

    // A device node: a null device of our own in the scratch folder, never the system's.
    const std::string null = scratch / "null";
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(replace(null, "gone"), "");
        EXPECT_TRUE(S_ISCHR(statusOf(null, false).st_mode));
    }

    EXPECT_EQ(replace(scratch.path(), "x"),
              "cannot write '" + scratch.path() + "': " + reason(EISDIR));
    const std::string socketName = scratch / "socket";
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketName.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(replace(socketName, "x"), "cannot write '" + socketName + "': " + reason(ENXIO));
    close(listening);
    EXPECT_EQ(temporaryFilesIn(scratch.path()), Names{});
}

TEST(OutputFile, FailuresNameTheFileAndTheReasonAndLeaveNothingBehind) {
    ScratchFolder scratch;
    chmod(scratch.path().c_str(), 0777);
    const std::string target = scratch / "doc.xml";
    writeFile(target, "old");

    const std::string missing = scratch / "missing/doc.xml";
    EXPECT_EQ(replace(missing, "x"), "cannot write '" + missing +
                                         "': cannot create a temporary file in '" +
                                         (scratch / "missing") + "': " + reason(ENOENT));
    // A file its owner made read-only is not replaced, although its folder would allow it.
    chmod(target.c_str(), 0444);
    EXPECT_EQ(inChild([&] {
                  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                      return 10;
                  }
                  return replace(target, "x") ==
                                 "cannot replace '" + target + "': " + reason(EACCES)
                             ? 0
                             : 11;
              }),
              0);
    chmod(target.c_str(), 0644);

    // An interrupted write loses its temporary file and cannot be completed any more; one that is
    // never committed is discarded.
    {
        OutputFile file;
        FileError error;
        ASSERT_TRUE(file.open(target, false, error));
        ASSERT_TRUE(file.write("new", 3, error));
        discardUnfinishedWrites();
        EXPECT_FALSE(readFile(file.temporaryName()));
        EXPECT_FALSE(file.commit(error));
        EXPECT_EQ(error.message, "cannot replace '" + target + "': " + reason(ENOENT));
    }
    EXPECT_EQ(replace(target, "new", false, testsupport::Ending::kDrop), "");
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(temporaryFilesIn(scratch.path()), Names{});
}

TEST(FileSystem, ParentFolderAndShortPath) {
    EXPECT_EQ(parentFolder("/data/out/a.xml"), "/data/out");
    EXPECT_EQ(parentFolder("out//a.xml"), "out");
    EXPECT_EQ(parentFolder("/a.xml"), "/");
    EXPECT_EQ(parentFolder("//a.xml"), "/");
    EXPECT_EQ(parentFolder("a.xml"), ".");
    EXPECT_EQ(parentFolder(""), ".");

    std::string shortPath = "unchanged";
    EXPECT_FALSE(shortPathName("/tmp", shortPath));
    EXPECT_EQ(shortPath, "unchanged");
}
#else

TEST(OutputFile, PrivateUntilCommittedThenWithTheTargetsPermissions) {
    GTEST_SKIP() << "POSIX permission bits, inodes and the umask";
}

TEST(OutputFile, OwnerAndGroupStayWhereTheyMayAndSetIdBitsGoWhereTheyCannot) {
    GTEST_SKIP() << "owners, groups and set-ID bits are POSIX's";
}

TEST(OutputFile, LinksAreFollowedByTheSystemToTheFileTheyName) {
    GTEST_SKIP() << "POSIX symbolic and hard links";
}

TEST(OutputFile, WhatIsNoRegularFileIsWrittenThroughNeverReplaced) {
    GTEST_SKIP() << "FIFOs, /proc/self/fd, device nodes and Unix sockets are POSIX's";
}

TEST(OutputFile, FailuresNameTheFileAndTheReasonAndLeaveNothingBehind) {
    GTEST_SKIP() << "errno messages and another user in a child process (fork)";
}

TEST(FileSystem, ParentFolderAndShortPath) {
    GTEST_SKIP() << "POSIX paths";
}

#endif
