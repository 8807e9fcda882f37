// The Win32 side of the file functions: output files written beside their target and put in its
// place with its attributes, devices written through, read-only files refused, and messages naming
// the file. Names outside ASCII are tested through the flat functions (flat/FileNamesTest.cpp).
#include "platform/FileSystem.h"
#include "support/OutputFiles.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#ifdef _WIN32
using namespace VelXmlN::platform;
using testsupport::readFile;
using testsupport::replace;
using testsupport::ScratchFolder;
using testsupport::temporaryFilesIn;
using testsupport::writeFile;

namespace {

using Names = std::vector<std::string>;

// Whether `message` is `start` followed by the system's reason.
bool startsAndGivesAReason(const std::string& message, const std::string& start) {
    return message.size() > start.size() + 2 && message.compare(0, start.size(), start) == 0 &&
           message.compare(start.size(), 2, ": ") == 0;
}

DWORD attributesOf(const std::string& path) {
    return GetFileAttributesA(path.c_str());
}

}  // namespace

TEST(OutputFileWin32, ReplacesFromBesideTheTargetKeepingItsAttributes) {
    ScratchFolder scratch;
    const std::string target = scratch / "doc.xml";
    writeFile(target, "old");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
    {
        OutputFile file;
        FileError error;
        ASSERT_TRUE(file.open(target, false, error)) << error.message;
        ASSERT_TRUE(file.write("new\r\n", 5, error)) << error.message;
        EXPECT_FALSE(file.writesThrough());
        const std::filesystem::path temporary(file.temporaryName());
        EXPECT_EQ(temporary.filename().string().rfind(".doc.xml.velxmln-", 0), 0u)
            << file.temporaryName();
        // The scratch folder's name is random: the same name is the same folder.
        EXPECT_EQ(temporary.parent_path().filename(),
                  std::filesystem::path(scratch.path()).filename())
            << "the temporary file lies beside the target";
        EXPECT_EQ(readFile(target), "old") << "the target is never written in place";
        ASSERT_TRUE(file.commit(error)) << error.message;
    }
    EXPECT_EQ(readFile(target), "new\r\n") << "bytes unchanged, no text mode";
    EXPECT_NE(attributesOf(target) & FILE_ATTRIBUTE_HIDDEN, 0u) << "the old file's attributes";

    EXPECT_EQ(replace(target, "er", true), "");
    EXPECT_EQ(readFile(target), "new\r\ner") << "appending starts from the old content";
    EXPECT_EQ(replace(target, "lost", false, testsupport::Ending::kDrop), "");
    EXPECT_EQ(readFile(target), "new\r\ner");
    EXPECT_EQ(temporaryFilesIn(scratch.path()), Names{});
}

TEST(OutputFileWin32, DevicesAreWrittenThroughAndWhatCannotBeReplacedIsRefused) {
    OutputFile device;
    FileError error;
    ASSERT_TRUE(device.open("NUL", false, error)) << error.message;
    EXPECT_TRUE(device.writesThrough());
    EXPECT_EQ(device.temporaryName(), "");
    EXPECT_TRUE(device.write("gone", 4, error));
    EXPECT_TRUE(device.commit(error)) << error.message;

    ScratchFolder scratch;
    const std::string target = scratch / "doc.xml";
    writeFile(target, "old");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_PRED2(startsAndGivesAReason, replace(target, "x"), "cannot replace '" + target + "'");
    EXPECT_EQ(readFile(target), "old");
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_PRED2(startsAndGivesAReason, replace(scratch.path(), "x"),
                 "cannot write '" + scratch.path() + "', a folder");
    const std::string missing = scratch / "missing\\doc.xml";
    EXPECT_PRED2(startsAndGivesAReason, replace(missing, "x"),
                 "cannot write '" + missing + "': cannot create a temporary file in '" +
                     (scratch / "missing") + "'");
    EXPECT_EQ(temporaryFilesIn(scratch.path()), Names{});
}

TEST(FileSystemWin32, ParentFolderOfWindowsPaths) {
    EXPECT_EQ(parentFolder("C:\\data\\out\\a.xml"), "C:\\data\\out");
    EXPECT_EQ(parentFolder("C:/data/out/a.xml"), "C:/data/out");
    EXPECT_EQ(parentFolder("out\\\\a.xml"), "out");
    EXPECT_EQ(parentFolder("C:\\a.xml"), "C:\\");
    EXPECT_EQ(parentFolder("C:a.xml"), "C:");
    EXPECT_EQ(parentFolder("a.xml"), ".");
    EXPECT_EQ(parentFolder(""), ".");
}

#else

TEST(OutputFileWin32, ReplacesFromBesideTheTargetKeepingItsAttributes) {
    GTEST_SKIP() << "the Win32 side of the file functions";
}

TEST(OutputFileWin32, DevicesAreWrittenThroughAndWhatCannotBeReplacedIsRefused) {
    GTEST_SKIP() << "the Win32 side of the file functions";
}

TEST(FileSystemWin32, ParentFolderOfWindowsPaths) {
    GTEST_SKIP() << "drive letters and backslashes are Windows paths";
}

#endif
