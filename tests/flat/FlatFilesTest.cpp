// Writing documents to files through both flat families: a target is replaced by a whole new
// document or left exactly as it was, whatever goes wrong, and no temporary file stays behind.
#include <VelXmlN/velxmln.h>

#include <VelXmlN/kasxmln.h>

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

using testsupport::readFile;
using testsupport::writeFile;

namespace {

using Names = std::vector<std::string>;

const std::string kOld = "old contents\n";
const std::string kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// An output folder inside a fresh scratch folder, so that leftovers can be counted; a current
// document and a handle document to write.
class FlatFiles : public ::testing::Test {
  protected:
    FlatFiles() : out(scratch / "out"), target(out + testsupport::kSeparator + "doc.xml") {
        std::filesystem::create_directory(out);
        VELXMLN_Stop();
        VELXMLN_Open("doc");
        VELXMLN_SetAttributeInt("n", 1);
        tree = VELXMLN_Get_Tree("FlatFiles");
        const int root = VELXMLN_Create_Root_Tag(tree, "tree");
        VELXMLN_Set_Text(VELXMLN_Add_Child_Tag(root, "item"), "text");
        writeFile(target, kOld);
    }
    ~FlatFiles() override {
        VELXMLN_Stop();
        VELXMLN_Delete_Tree(tree);
    }

    Names leftovers() const { return testsupport::temporaryFilesIn(out); }

    // Writes with both families; expects the file to stay as it was and nothing left behind.
    void expectNoWrite(const std::string& file, const std::optional<std::string>& before) {
        const auto contents = [&file] {
            return std::filesystem::is_directory(file) ? std::nullopt : readFile(file);
        };
        EXPECT_EQ(VELXMLN_WriteFile(file.c_str()), 0) << file;
        EXPECT_EQ(contents(), before);
        VELXMLN_Write_Tree(tree, file.c_str());
        EXPECT_EQ(contents(), before);
        EXPECT_EQ(leftovers(), Names{});
    }

    testsupport::ScratchFolder scratch;
    std::string out, target;
    int tree = -1;
};

}  // namespace

TEST_F(FlatFiles, WritingReplacesTheTargetAsAWhole) {
    ASSERT_EQ(VELXMLN_WriteFile(target.c_str()), 1);
    EXPECT_EQ(readFile(target), kHeader + "<doc n=\"1\"/>\r\n");
    VELXMLN_Write_Tree(tree, target.c_str());
    EXPECT_EQ(readFile(target), kHeader + "<tree>\r\n\t<item>text</item>\r\n</tree>\r\n");
    EXPECT_EQ(leftovers(), Names{});

    EXPECT_EQ(VELXMLN_WriteFile(nullptr), 0);
    VELXMLN_Write_Tree(tree, nullptr);
    VELXMLN_Stop();
    EXPECT_EQ(VELXMLN_WriteFile(target.c_str()), 0) << "no current document";
}

TEST_F(FlatFiles, TargetsThatCannotBeWrittenStayAsTheyWere) {
    expectNoWrite(scratch / "missing/doc.xml", std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));
    expectNoWrite(out, std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(out)) << "a folder is not replaced";
}

TEST_F(FlatFiles, DocumentThatCannotBeWrittenThrowsAndLeavesTheTarget) {
    // What the writer refuses is tested with the writer; here only that nothing reaches the file.
    VELXMLN_Open("bad name");
    EXPECT_THROW(VELXMLN_WriteFile(target.c_str()), kasxmln::CXMLException);
    VELXMLN_Set_Attribute(VELXMLN_Get_Root_Tag(tree), "a b", "x");
    EXPECT_THROW(VELXMLN_Write_Tree(tree, target.c_str()), kasxmln::CXMLException);
    EXPECT_EQ(readFile(target), kOld);

    // A nameless element is a text piece: with attributes or children it is refused, not dropped.
    for (const char* parent : {"", "doc"}) {
        VELXMLN_Stop();
        VELXMLN_Open(parent);
        VELXMLN_Open("");
        VELXMLN_SetAttributeInt("lost", 1);
        VELXMLN_Open("child");
        try {
            VELXMLN_WriteFile(target.c_str());
            ADD_FAILURE() << "no exception below '" << parent << "'";
        } catch (const kasxmln::CXMLException& error) {
            EXPECT_EQ(error.GetCode(), kasxmln::CXMLException::kNameError);
            EXPECT_STREQ(error.what(), "invalid XML name ''");
        }
    }
    EXPECT_EQ(readFile(target), kOld);
    EXPECT_EQ(leftovers(), Names{});
}

TEST_F(FlatFiles, KilledWriterLeavesTheOldOrTheWholeNewFile) {
#ifdef _WIN32
    GTEST_SKIP() << "the writer is killed in a child process (fork, SIGKILL), which Windows lacks";
#else
    const int big = VELXMLN_Get_Tree("FlatFiles killed");
    const int root = VELXMLN_Create_Root_Tag(big, "big");
    for (int i = 0; i < 15000; ++i) {
        const int item = VELXMLN_Add_Child_Tag(root, "item");
        VELXMLN_Set_Attribute_Int(item, "id", i);
        VELXMLN_Set_Attribute(item, "kind", "a fairly ordinary attribute value");
        VELXMLN_Set_Real(VELXMLN_Add_Child_Tag(item, "value"), i * 0.1);
    }
    const std::string reference = scratch / "reference.xml";
    const auto start = std::chrono::steady_clock::now();
    VELXMLN_Write_Tree(big, reference.c_str());
    const auto oneWrite = std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count();
    const std::optional<std::string> fresh = readFile(reference);
    ASSERT_TRUE(fresh);
    ASSERT_GT(fresh->size(), 1u << 20);

    std::mt19937 random(20240611);
    // From before the first write starts to the middle of the third one.
    std::uniform_int_distribution<long> delay(0, 5 * oneWrite / 2);
    for (int round = 0; round < 20; ++round) {
        writeFile(target, kOld);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (;;) {
                VELXMLN_Write_Tree(big, target.c_str());
            }
        }
        usleep(static_cast<useconds_t>(delay(random)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const std::optional<std::string> now = readFile(target);
        ASSERT_TRUE(now == kOld || now == fresh)
            << "round " << round << ": a file of " << (now ? now->size() : 0) << " bytes";
    }
    VELXMLN_Delete_Tree(big);
#endif
}
