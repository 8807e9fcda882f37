// The error mode of the flat functions: exceptions become failure results with a kept message,
// every call clears the last message first, and both belong to the calling thread.
#include <VelXmlN/velxmln.h>

#include <VelXmlN/kasxmln.h>

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

std::string lastError() {
    std::string message(static_cast<std::size_t>(VELXMLN_GetLastError(nullptr, 0)) + 1, '\0');
    const int length = VELXMLN_GetLastError(message.data(), message.size());
    message.resize(static_cast<std::size_t>(length));
    return message;
}

// Switches the calling thread to errors as results for one test.
class ErrorMode : public ::testing::Test {
  protected:
    ErrorMode() { VELXMLN_SetErrorMode(VELXMLN_ERRORS_RETURN); }
    ~ErrorMode() override {
        VELXMLN_SetErrorMode(VELXMLN_ERRORS_THROW);
        VELXMLN_Stop();
        VELXMLN_Delete_Tree(tree);
    }

    testsupport::ScratchFolder scratch;
    const std::string broken = scratch / "broken.xml";
    const std::string target = scratch / "target.xml";
    int tree = VELXMLN_Get_Tree("ErrorMode");
};

}  // namespace

TEST_F(ErrorMode, FileFunctionsReportWhatFailedAndWhere) {
    writeFile(broken, "<plant>\n  <line id='1'>\n</plant>\n");
    writeFile(target, "old");
    const std::string parseError =
        "cannot read '" + broken + "': expected end of tag 'line' at line 3, column 3";

    EXPECT_EQ(VELXMLN_ReadFile(broken.c_str()), 0);
    EXPECT_EQ(lastError(), parseError);
    VELXMLN_Read_Tree(tree, broken.c_str());
    EXPECT_EQ(lastError(), parseError);
    EXPECT_EQ(VELXMLN_Get_Root_Tag(tree), -1);

    const std::string missing = scratch / "missing.xml";
    EXPECT_EQ(VELXMLN_ReadFile(missing.c_str()), 0);
    EXPECT_EQ(lastError(), "cannot open '" + missing + "': No such file or directory");
    VELXMLN_Read_Tree(tree, scratch.path().c_str());
    EXPECT_EQ(lastError(), "cannot open '" + scratch.path() + "': it is a folder");

    // Writing refuses an invalid name and leaves the target as it was.
    EXPECT_EQ(VELXMLN_Open("bad name"), 1);
    EXPECT_EQ(VELXMLN_WriteFile(target.c_str()), 0);
    EXPECT_EQ(lastError(), "cannot write '" + target + "': invalid XML name 'bad name'");
    VELXMLN_Create_Root_Tag(tree, "root");
    VELXMLN_Set_Text(VELXMLN_Get_Root_Tag(tree), "bell \x07");
    VELXMLN_Write_Tree(tree, target.c_str());
    EXPECT_EQ(lastError(), "cannot write '" + target +
                               "': control character U+0007 at byte 5 cannot be written as XML: "
                               "'bell \\x07'");
    EXPECT_EQ(readFile(target), "old");

    // A document without a root (what a failed read leaves) is not written, and says so.
    const int empty = VELXMLN_Get_Tree("ErrorMode empty");
    VELXMLN_Write_Tree(empty, target.c_str());
    EXPECT_EQ(lastError(), "cannot write '" + target + "': the document has no root element");
    VELXMLN_Delete_Tree(empty);
    EXPECT_EQ(readFile(target), "old");

    // A target in a folder that does not exist: the writer's own message.
    VELXMLN_Set_Text(VELXMLN_Get_Root_Tag(tree), "fine");
    const std::string nowhere = scratch / "no-folder/out.xml";
    VELXMLN_Write_Tree(tree, nowhere.c_str());
    EXPECT_NE(lastError().find(nowhere), std::string::npos) << lastError();
    // The system's reason, in its own words: POSIX's strerror, Windows' message text.
#ifdef _WIN32
    EXPECT_NE(lastError().find("cannot create a temporary file in '"), std::string::npos)
        << lastError();
#else
    EXPECT_NE(lastError().find("No such file or directory"), std::string::npos) << lastError();
#endif
}

TEST_F(ErrorMode, EveryCallClearsTheLastErrorAndOnlyFailuresSetIt) {
    VELXMLN_Read_Tree(tree, "/no/such/file.xml");
    ASSERT_GT(VELXMLN_GetLastError(nullptr, 0), 0);
    // Reading the message, or switching the mode, leaves it in place.
    EXPECT_EQ(VELXMLN_GetLastError(nullptr, 0), VELXMLN_GetLastError(nullptr, 0));
    EXPECT_EQ(VELXMLN_SetErrorMode(VELXMLN_ERRORS_RETURN), VELXMLN_ERRORS_RETURN);
    EXPECT_GT(VELXMLN_GetLastError(nullptr, 0), 0);
    // A refusal (invalid handle, null pointer, missing attribute) is no error.
    VELXMLN_Set_Text(12345, "x");
    EXPECT_EQ(lastError(), "");
    VELXMLN_Read_Tree(tree, "/no/such/file.xml");
    EXPECT_EQ(VELXMLN_Get_Attribute_Int(-1, nullptr), 0);
    EXPECT_EQ(lastError(), "");
    // A cut message is never handed out: the whole or "".
    VELXMLN_Read_Tree(tree, "/no/such/file.xml");
    char small[8] = "xxxxxxx";
    EXPECT_EQ(VELXMLN_GetLastError(small, sizeof small), static_cast<int>(lastError().size()));
    EXPECT_STREQ(small, "");
}

TEST_F(ErrorMode, BelongsToTheCallingThread) {
    writeFile(broken, "<a>");
    VELXMLN_Read_Tree(tree, broken.c_str());
    const std::string mine = lastError();
    ASSERT_NE(mine, "");

    // A new thread starts in the default mode, with no message, and its errors stay its own.
    std::thread other([this] {
        EXPECT_EQ(VELXMLN_GetErrorMode(), VELXMLN_ERRORS_THROW);
        EXPECT_EQ(VELXMLN_GetLastError(nullptr, 0), 0);
        EXPECT_THROW(VELXMLN_Read_Tree(tree, broken.c_str()), kasxmln::CXMLException);
        EXPECT_EQ(VELXMLN_GetLastError(nullptr, 0), 0);
        VELXMLN_SetErrorMode(VELXMLN_ERRORS_RETURN);
        VELXMLN_Read_Tree(tree, "/no/such/file.xml");
        EXPECT_EQ(lastError(), "cannot open '/no/such/file.xml': No such file or directory");
    });
    other.join();
    EXPECT_EQ(lastError(), mine);
}
