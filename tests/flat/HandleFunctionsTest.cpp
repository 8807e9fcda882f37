// The flat functions on tree and tag handles: building and walking documents, values, finding and
// deleting children, invalid handles and null pointers.
#include <VelXmlN/velxmln.h>

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using testsupport::ScratchFolder;
using testsupport::writeFile;

namespace {

// Each test works in a document of its own name and deletes it at the end, so that the tests
// can share one process and its tables.
class HandleFunctions : public ::testing::Test {
  protected:
    HandleFunctions()
        : name(::testing::UnitTest::GetInstance()->current_test_info()->name()),
          tree(VELXMLN_Get_Tree(name.c_str())) {}
    ~HandleFunctions() override { VELXMLN_Delete_Tree(tree); }

    static std::string tagName(int tag) {
        char buffer[256];
        int length = -1;
        VELXMLN_Get_Tag_Name(tag, buffer, sizeof buffer, &length);
        EXPECT_EQ(length, static_cast<int>(std::strlen(buffer)));
        return buffer;
    }

    static std::string text(int tag) {
        char buffer[256];
        return VELXMLN_Get_Text(tag, buffer, sizeof buffer, nullptr) == 1 ? buffer : "<refused>";
    }

    static std::string attribute(int tag, const char* attributeName) {
        char buffer[256];
        VELXMLN_Get_Attribute(tag, attributeName, buffer, sizeof buffer, nullptr);
        return buffer;
    }

    static std::vector<int> children(int tag, int room) {
        std::vector<int> handles(static_cast<std::size_t>(room), 99);
        VELXMLN_Get_Children(tag, handles.data(), room);
        return handles;
    }

    // Every function with `tag` gives its failure value and writes what that says.
    static void expectInvalid(int tag) {
        SCOPED_TRACE("tag " + std::to_string(tag));
        EXPECT_EQ(VELXMLN_Get_Number_Of_Children(tag), 0);
        EXPECT_EQ(children(tag, 3), (std::vector<int>{0, 0, 0}));
        EXPECT_EQ(VELXMLN_Add_Child_Tag(tag, "x"), -1);
        EXPECT_EQ(VELXMLN_Find_Child_Tag(tag, "x"), -1);
        EXPECT_EQ(VELXMLN_Find_Child_To_Attribute(tag, "x", "a", "1"), -1);
        EXPECT_EQ(VELXMLN_Find_Child_To_Int_Attribute(tag, "x", "a", 0), -1);
        EXPECT_EQ(VELXMLN_Find_Child_To_Real_Attribute(tag, "x", "a", 0.0, 1e9), -1);
        VELXMLN_Delete_Child_Tag(tag, "x");
        EXPECT_EQ(VELXMLN_Get_Real(tag), 0.0);
        EXPECT_EQ(VELXMLN_Get_Int(tag), 0);
        VELXMLN_Set_Real(tag, 1.0);
        VELXMLN_Set_Real_Format(tag, 1.0, "%g");
        VELXMLN_Set_Int(tag, 1);
        VELXMLN_Set_Text(tag, "x");
        VELXMLN_Add_Text_Line(tag, "x");
        VELXMLN_Set_Attribute(tag, "a", "x");
        VELXMLN_Add_Attribute_Textline(tag, "a", "x");
        VELXMLN_Set_Attribute_Real(tag, "a", 1.0);
        VELXMLN_Set_Attribute_Real_Format(tag, "a", 1.0, "%g");
        VELXMLN_Set_Attribute_Int(tag, "a", 1);
        EXPECT_EQ(VELXMLN_Get_Attribute_Real(tag, "a"), 0.0);
        EXPECT_EQ(VELXMLN_Get_Attribute_Int(tag, "a"), 0);

        char buffer[8] = "keep";
        int length = 7;
        VELXMLN_Get_Tag_Name(tag, buffer, sizeof buffer, &length);
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(length, 0);
        std::strcpy(buffer, "keep");
        length = 7;
        EXPECT_EQ(VELXMLN_Get_Text(tag, buffer, sizeof buffer, &length), 0);
        EXPECT_STREQ(buffer, "keep") << "untouched";
        EXPECT_EQ(length, 7);
        VELXMLN_Get_Attribute(tag, "a", buffer, sizeof buffer, &length);
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(length, 0);
    }

    const std::string name;
    const int tree;
};

}  // namespace

TEST_F(HandleFunctions, BuildingAndWalkingDocuments) {
    EXPECT_EQ(VELXMLN_Get_Tree(name.c_str()), tree);
    const int unnamed = VELXMLN_Get_Tree(nullptr);
    EXPECT_EQ(VELXMLN_Get_Tree(""), unnamed) << "null is the empty name";
    EXPECT_EQ(VELXMLN_Get_Root_Tag(unnamed), -1) << "a new document has no root";
    VELXMLN_Delete_Tree(unnamed);
    VELXMLN_Delete_Tree(unnamed);
    EXPECT_EQ(VELXMLN_Create_Root_Tag(unnamed, "x"), -1) << "a deleted document stays dead";

    const int root = VELXMLN_Create_Root_Tag(tree, "root");
    ASSERT_GE(root, 1);
    EXPECT_EQ(VELXMLN_Add_Child_Tag(root, "a"), root + 1);
    EXPECT_EQ(VELXMLN_Add_Child_Tag(root, "b"), root + 2);
    EXPECT_EQ(children(root, 5), (std::vector<int>{root + 1, root + 2, 0, 0, 0}));
    EXPECT_EQ(children(root, 1), (std::vector<int>{root + 1}));
    EXPECT_EQ(tagName(root + 2), "b");
    EXPECT_EQ(VELXMLN_Find_Child_Tag(root, "b"), root + 2) << "the handle it already has";
    EXPECT_EQ(VELXMLN_Find_Child_Tag(root, "c"), -1);
    EXPECT_EQ(VELXMLN_Find_Child_Tag(root, nullptr), -1);
    EXPECT_EQ(VELXMLN_Add_Child_Tag(root, nullptr), -1);
    EXPECT_EQ(VELXMLN_Create_Root_Tag(tree, nullptr), -1);

    // Zeroed entries need not be asked for; negative and null arrays are left alone.
    VELXMLN_Get_Children(root, nullptr, 4);
    std::vector<int> none{7};
    VELXMLN_Get_Children(root, none.data(), 0);
    VELXMLN_Get_Children(root, none.data(), -1);
    EXPECT_EQ(none, std::vector<int>{7});
}

TEST_F(HandleFunctions, ElementsReadFromAFileGetHandlesWhenFirstSeen) {
    ScratchFolder scratch;
    const std::string file = scratch / "doc.xml";
    writeFile(file, "<doc><item id=\"1\"/><item id=\"2\"><sub/></item><other/></doc>");
    VELXMLN_Read_Tree(tree, file.c_str());
    const int root = VELXMLN_Get_Root_Tag(tree);
    ASSERT_GE(root, 1);
    EXPECT_EQ(VELXMLN_Get_Root_Tag(tree), root);
    EXPECT_EQ(VELXMLN_Find_Child_Tag(root, "other"), root + 1);
    EXPECT_EQ(children(root, 4), (std::vector<int>{root + 2, root + 3, root + 1, 0}))
        << "children without a handle get one in order; others keep theirs";
    EXPECT_EQ(VELXMLN_Get_Number_Of_Children(root + 3), 1);
    EXPECT_EQ(attribute(root + 3, "id"), "2");
}

TEST_F(HandleFunctions, ChildrenAreFoundByAttribute) {
    const int root = VELXMLN_Create_Root_Tag(tree, "root");
    const int wrongName = VELXMLN_Add_Child_Tag(root, "other");
    VELXMLN_Set_Attribute(wrongName, "id", "7");
    VELXMLN_Add_Child_Tag(root, "item");  // no attribute: passed over
    const int word = VELXMLN_Add_Child_Tag(root, "item");
    VELXMLN_Set_Attribute(word, "id", "seven");
    const int seven = VELXMLN_Add_Child_Tag(root, "item");
    VELXMLN_Set_Attribute(seven, "id", "7");
    const int real = VELXMLN_Add_Child_Tag(root, "item");
    VELXMLN_Set_Attribute(real, "id", "1.2");

    EXPECT_EQ(VELXMLN_Find_Child_To_Attribute(root, "item", "id", "7"), seven);
    EXPECT_EQ(VELXMLN_Find_Child_To_Attribute(root, "item", "id", "07"), -1) << "exact text";
    EXPECT_EQ(VELXMLN_Find_Child_To_Int_Attribute(root, "item", "id", 7), seven);
    EXPECT_EQ(VELXMLN_Find_Child_To_Int_Attribute(root, "item", "id", 0), word)
        << "a text that is no number reads as 0";
    EXPECT_EQ(VELXMLN_Find_Child_To_Int_Attribute(root, "item", "id", 1), real);
    EXPECT_EQ(VELXMLN_Find_Child_To_Real_Attribute(root, "item", "id", 1.0, 0.5), real);
    EXPECT_EQ(VELXMLN_Find_Child_To_Real_Attribute(root, "item", "id", 7.0, 0.0), -1)
        << "the tolerance is a strict bound";
    EXPECT_EQ(VELXMLN_Find_Child_To_Real_Attribute(root, "item", "id", 7.0, 1e-9), seven);
    EXPECT_EQ(VELXMLN_Find_Child_To_Attribute(root, "item", "missing", "7"), -1);
    EXPECT_EQ(VELXMLN_Find_Child_To_Attribute(root, "item", "id", nullptr), -1);
    EXPECT_EQ(VELXMLN_Find_Child_To_Int_Attribute(root, nullptr, "id", 7), -1);
}

TEST_F(HandleFunctions, ValuesAndBuffers) {
    const int tag = VELXMLN_Create_Root_Tag(tree, "name");
    VELXMLN_Set_Real_Format(tag, 2.345, "%.1f");
    for (const char* format : {"%d", "%2000f", static_cast<const char*>(nullptr)}) {
        VELXMLN_Set_Real_Format(tag, 9.0, format);
        VELXMLN_Set_Attribute_Real_Format(tag, "r", 9.0, format);
    }
    EXPECT_EQ(text(tag), "2.3") << "a refused format changes nothing";
    EXPECT_EQ(attribute(tag, "r"), "");
    VELXMLN_Set_Text(tag, "3.5 rest");
    VELXMLN_Set_Text(tag, nullptr);
    EXPECT_EQ(VELXMLN_Get_Int(tag), 3);

    VELXMLN_Set_Attribute(tag, "s", " as is ");
    EXPECT_EQ(attribute(tag, "s"), " as is ");
    VELXMLN_Set_Attribute_Int(tag, "i", INT_MIN);
    EXPECT_EQ(VELXMLN_Get_Attribute_Int(tag, "i"), INT_MIN);
    VELXMLN_Set_Attribute(tag, "mixed", "2.5abc");
    EXPECT_EQ(VELXMLN_Get_Attribute_Real(tag, "mixed"), 2.5);
    EXPECT_EQ(VELXMLN_Get_Attribute_Int(tag, "missing"), 0) << "0, not the -1 of Data";
    VELXMLN_Add_Attribute_Textline(tag, "lines", "one");
    VELXMLN_Add_Attribute_Textline(tag, "lines", "two");
    VELXMLN_Add_Attribute_Textline(tag, "lines", nullptr);
    VELXMLN_Set_Attribute(tag, "s", nullptr);
    EXPECT_EQ(attribute(tag, "lines"), "one\ntwo");
    EXPECT_EQ(attribute(tag, "s"), " as is ") << "null texts change nothing";

    // A buffer one byte short gets an empty string and a length of 0 (unlike the functions of
    // the current document); a buffer of no bytes is not written.
    VELXMLN_Set_Text(tag, "text");
    char buffer[8] = "xxxxxxx";
    int length = -1;
    VELXMLN_Get_Tag_Name(tag, buffer, 0, &length);
    EXPECT_STREQ(buffer, "xxxxxxx");
    EXPECT_EQ(length, 0);
    VELXMLN_Get_Tag_Name(tag, buffer, 4, &length);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(VELXMLN_Get_Text(tag, buffer, 5, &length), 1);
    EXPECT_STREQ(buffer, "text");
    EXPECT_EQ(length, 4);
    EXPECT_EQ(VELXMLN_Get_Text(tag, buffer, 4, &length), 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(length, 0);
    length = 5;
    EXPECT_EQ(VELXMLN_Get_Text(tag, nullptr, 8, &length), 0);
    EXPECT_EQ(length, 5);
    VELXMLN_Get_Attribute(tag, "s", buffer, 7, &length);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(length, 0);
    length = 3;
    VELXMLN_Get_Attribute(tag, "s", nullptr, 8, &length);
    EXPECT_EQ(length, 0) << "nothing is in a buffer that was not given";
    std::strcpy(buffer, "xxxxxxx");
    VELXMLN_Get_Attribute(tag, nullptr, buffer, 8, &length);
    EXPECT_STREQ(buffer, "");
}

TEST_F(HandleFunctions, InvalidHandlesGiveFailureValuesAndChangeNothing) {
    const int root = VELXMLN_Create_Root_Tag(tree, "root");
    VELXMLN_Set_Text(root, "kept");
    for (int tag : {0, -1, INT_MIN, INT_MAX, root + 1000000}) {
        expectInvalid(tag);
    }
    for (int handle : {0, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(VELXMLN_Get_Root_Tag(handle), -1);
        EXPECT_EQ(VELXMLN_Create_Root_Tag(handle, "x"), -1);
        VELXMLN_Delete_Tree(handle);
        VELXMLN_Read_Tree(handle, "whatever.xml");
        VELXMLN_Write_Tree(handle, "whatever.xml");
    }
    EXPECT_FALSE(testsupport::readFile("whatever.xml"));
    EXPECT_EQ(text(root), "kept");
    EXPECT_EQ(VELXMLN_Get_Root_Tag(tree), root);
}

TEST_F(HandleFunctions, DeletedElementsLeaveOnlyInvalidHandles) {
    const int root = VELXMLN_Create_Root_Tag(tree, "root");
    const int doomed = VELXMLN_Add_Child_Tag(root, "doomed");
    const int child = VELXMLN_Add_Child_Tag(doomed, "child");
    const int grandchild = VELXMLN_Add_Child_Tag(child, "grandchild");
    const int keep = VELXMLN_Add_Child_Tag(root, "keep");
    const int second = VELXMLN_Add_Child_Tag(root, "doomed");

    VELXMLN_Delete_Child_Tag(root, "missing");
    VELXMLN_Delete_Child_Tag(root, nullptr);
    EXPECT_EQ(VELXMLN_Get_Number_Of_Children(root), 3);
    VELXMLN_Delete_Child_Tag(root, "doomed");
    EXPECT_EQ(VELXMLN_Get_Number_Of_Children(root), 2);
    for (int tag : {doomed, child, grandchild}) {
        expectInvalid(tag);
    }
    EXPECT_EQ(children(root, 3), (std::vector<int>{keep, second, 0}));
    EXPECT_EQ(VELXMLN_Find_Child_Tag(root, "doomed"), second) << "the first one went";
    EXPECT_EQ(VELXMLN_Add_Child_Tag(root, "new"), second + 1) << "numbers go on, none reused";
}

TEST_F(HandleFunctions, ReplacedRootsAndDeletedTreesInvalidateTheirHandles) {
    const int first = VELXMLN_Create_Root_Tag(tree, "first");
    const int firstChild = VELXMLN_Add_Child_Tag(first, "child");
    const int second = VELXMLN_Create_Root_Tag(tree, "second");
    EXPECT_EQ(VELXMLN_Get_Root_Tag(tree), second);

    // The detached root stays usable through its handles.
    VELXMLN_Set_Text(firstChild, "still here");
    EXPECT_EQ(text(firstChild), "still here");
    EXPECT_EQ(VELXMLN_Add_Child_Tag(first, "more"), second + 1);
    EXPECT_EQ(VELXMLN_Get_Number_Of_Children(first), 2);

    // Reading replaces (and destroys) the current root only.
    ScratchFolder scratch;
    const std::string file = scratch / "doc.xml";
    writeFile(file, "<read/>");
    const int secondChild = VELXMLN_Add_Child_Tag(second, "c");
    VELXMLN_Read_Tree(tree, file.c_str());
    expectInvalid(second);
    expectInvalid(secondChild);
    EXPECT_EQ(text(firstChild), "still here");
    const int read = VELXMLN_Get_Root_Tag(tree);
    EXPECT_EQ(tagName(read), "read");

    // Deleting the document ends all of them.
    const int other = VELXMLN_Get_Tree("ReplacedRoots other");
    const int otherRoot = VELXMLN_Create_Root_Tag(other, "other");
    VELXMLN_Delete_Tree(tree);
    for (int tag : {first, firstChild, second + 1, read}) {
        expectInvalid(tag);
    }
    EXPECT_EQ(tagName(otherRoot), "other");
    VELXMLN_Delete_Tree(other);
    expectInvalid(otherRoot);
}

// A document that cannot be parsed is refused the same way (tested with hostile documents).
TEST_F(HandleFunctions, ReadingThatFailsKeepsTheDocumentAndItsHandles) {
    const int root = VELXMLN_Create_Root_Tag(tree, "root");
    const int child = VELXMLN_Add_Child_Tag(root, "child");
    ScratchFolder scratch;
    VELXMLN_Read_Tree(tree, (scratch / "missing.xml").c_str());
    VELXMLN_Read_Tree(tree, scratch.path().c_str());
    VELXMLN_Read_Tree(tree, nullptr);
    const std::string empty = scratch / "empty.xml";
    writeFile(empty, "");
    VELXMLN_Read_Tree(tree, empty.c_str());
    EXPECT_EQ(VELXMLN_Get_Root_Tag(tree), root);
    EXPECT_EQ(tagName(child), "child");
    EXPECT_EQ(VELXMLN_Get_Number_Of_Children(root), 1);
}
