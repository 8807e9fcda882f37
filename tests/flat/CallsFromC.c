/* Every flat function called from a program compiled as C99, in a fresh process, so that the
   handle numbering starts from its beginning. The folder for files is the first argument. */
#include <VelXmlN/velxmln.h>

#include <stdio.h>
#include <string.h>

static int passed = 0;
static int failed = 0;

#define CHECK(condition)                                                                  \
    do {                                                                                  \
        if (condition) {                                                                  \
            ++passed;                                                                     \
        } else {                                                                          \
            ++failed;                                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
        }                                                                                 \
    } while (0)

static void currentDocument(const char* file) {
    char buffer[64];
    int length = -1;
    int integer = 0;
    double real = 0.0;

    CHECK(VELXMLN_Close() == 0);
    CHECK(VELXMLN_Open("config") == 1);
    CHECK(VELXMLN_SetAttributeText("name", "demo") == 1);
    CHECK(VELXMLN_SetAttributeInt("count", 3) == 1);
    CHECK(VELXMLN_SetAttributeReal("scale", 0.5) == 1);
    CHECK(VELXMLN_SetAttributeRealFormat("ratio", 2.0 / 3.0, "%.3f") == 1);
    CHECK(VELXMLN_SetAttributeRealFormat("ratio", 1.0, "%d") == 0);
    CHECK(VELXMLN_AddAttributeTextLine("lines", "a") == 1);
    CHECK(VELXMLN_AddAttributeTextLine("lines", "b") == 1);
    CHECK(VELXMLN_Open("speed") == 1);
    CHECK(VELXMLN_SetReal(2.5) == 1);
    CHECK(VELXMLN_GetReal(&real) == 1 && real == 2.5);
    CHECK(VELXMLN_SetRealFormat(1.23456, "%.2f") == 1);
    CHECK(VELXMLN_GetText(buffer, sizeof buffer, &length) == 1 && strcmp(buffer, "1.23") == 0);
    CHECK(length == 4);
    CHECK(VELXMLN_Close() == 1);
    CHECK(VELXMLN_Open("count") == 1);
    CHECK(VELXMLN_SetInt(-7) == 1);
    CHECK(VELXMLN_GetInt(&integer) == 1 && integer == -7);
    CHECK(VELXMLN_Close() == 1);
    CHECK(VELXMLN_Open("note") == 1);
    CHECK(VELXMLN_SetText("  first  ") == 1);
    CHECK(VELXMLN_AddTextLine("second") == 1);
    CHECK(VELXMLN_GetText(buffer, 3, &length) == 1 && buffer[0] == '\0' && length == 12);
    CHECK(VELXMLN_Close() == 1);
    CHECK(VELXMLN_WriteFile(file) == 1);
    CHECK(VELXMLN_Stop() == 1);

    CHECK(VELXMLN_ReadFile(file) == 1);
    CHECK(VELXMLN_Close() == 1);
    CHECK(VELXMLN_GetAttributeText("name", buffer, sizeof buffer, &length) == 1);
    CHECK(strcmp(buffer, "demo") == 0 && length == 4);
    CHECK(VELXMLN_GetAttributeInt("count", &integer) == 1 && integer == 3);
    CHECK(VELXMLN_GetAttributeReal("scale", &real) == 1 && real == 0.5);
    CHECK(VELXMLN_GetAttributeText("ratio", buffer, sizeof buffer, NULL) == 1);
    CHECK(strcmp(buffer, "0.667") == 0);
    /* A line feed in an attribute value reads back as a space, as in every XML reader. */
    CHECK(VELXMLN_GetAttributeText("lines", buffer, sizeof buffer, NULL) == 1);
    CHECK(strcmp(buffer, "a b") == 0);
    CHECK(VELXMLN_GetAttributeInt("missing", &integer) == 0 && integer == 3);
    CHECK(VELXMLN_Stop() == 1);
    CHECK(VELXMLN_ReadFile(NULL) == 0);
}

static void handles(const char* file) {
    char buffer[64];
    int length = -1;
    int children[5] = {9, 9, 9, 9, 9};
    int tree, other, root, copy;

    /* A fresh process: documents and elements count from 1. */
    tree = VELXMLN_Get_Tree("doc");
    CHECK(tree == 1);
    CHECK(VELXMLN_Get_Tree(NULL) == 2);
    CHECK(VELXMLN_Get_Tree("") == 2);
    CHECK(VELXMLN_Get_Tree("doc") == 1);
    CHECK(VELXMLN_Get_Root_Tag(tree) == -1);
    CHECK(VELXMLN_Create_Root_Tag(tree, "root") == 1);
    CHECK(VELXMLN_Add_Child_Tag(1, "item") == 2);
    CHECK(VELXMLN_Add_Child_Tag(1, "item") == 3);
    VELXMLN_Get_Children(1, children, 5);
    CHECK(children[0] == 2 && children[1] == 3 && children[2] == 0 && children[4] == 0);
    CHECK(VELXMLN_Get_Number_Of_Children(1) == 2);
    CHECK(VELXMLN_Get_Root_Tag(tree) == 1);

    VELXMLN_Set_Attribute(2, "id", "first");
    VELXMLN_Set_Attribute_Int(3, "id", 7);
    VELXMLN_Set_Attribute_Real(3, "weight", 1.25);
    VELXMLN_Set_Attribute_Real_Format(3, "ratio", 0.125, "%.1f");
    VELXMLN_Add_Attribute_Textline(3, "lines", "x");
    VELXMLN_Add_Attribute_Textline(3, "lines", "y");
    VELXMLN_Set_Real(2, 0.5);
    VELXMLN_Set_Real_Format(3, 3.14159, "%.2f");
    CHECK(VELXMLN_Get_Real(3) == 3.14);
    VELXMLN_Set_Int(3, 42);
    CHECK(VELXMLN_Get_Int(3) == 42);
    VELXMLN_Set_Text(3, " words ");
    VELXMLN_Add_Text_Line(3, "more");
    CHECK(VELXMLN_Get_Text(3, buffer, sizeof buffer, &length) == 1);
    CHECK(strcmp(buffer, "words\nmore") == 0 && length == 10);
    CHECK(VELXMLN_Get_Text(3, buffer, 5, &length) == 1 && buffer[0] == '\0' && length == 0);
    VELXMLN_Get_Tag_Name(3, buffer, sizeof buffer, &length);
    CHECK(strcmp(buffer, "item") == 0 && length == 4);
    VELXMLN_Get_Attribute(3, "lines", buffer, sizeof buffer, &length);
    CHECK(strcmp(buffer, "x\ny") == 0 && length == 3);
    CHECK(VELXMLN_Get_Attribute_Int(3, "id") == 7);
    CHECK(VELXMLN_Get_Attribute_Real(3, "weight") == 1.25);
    CHECK(VELXMLN_Find_Child_Tag(1, "item") == 2);
    CHECK(VELXMLN_Find_Child_To_Attribute(1, "item", "id", "first") == 2);
    CHECK(VELXMLN_Find_Child_To_Int_Attribute(1, "item", "id", 7) == 3);
    CHECK(VELXMLN_Find_Child_To_Real_Attribute(1, "item", "ratio", 0.1, 0.05) == 3);

    VELXMLN_Write_Tree(tree, file);
    other = VELXMLN_Get_Tree("copy");
    CHECK(other == 3);
    VELXMLN_Read_Tree(other, file);
    copy = VELXMLN_Get_Root_Tag(other);
    CHECK(copy == 4);
    CHECK(VELXMLN_Get_Number_Of_Children(copy) == 2);
    CHECK(VELXMLN_Find_Child_To_Attribute(copy, "item", "id", "7") == 5);

    VELXMLN_Delete_Child_Tag(1, "item");
    CHECK(VELXMLN_Get_Int(2) == 0 && VELXMLN_Get_Number_Of_Children(1) == 1);
    CHECK(VELXMLN_Find_Child_Tag(1, "item") == 3);
    root = VELXMLN_Create_Root_Tag(tree, "new root");
    CHECK(root == 6);
    CHECK(VELXMLN_Get_Attribute_Int(3, "id") == 7);

    /* Deleting "" (2) below the highest: the next document must not take over "copy" (3). */
    VELXMLN_Delete_Tree(2);
    CHECK(VELXMLN_Get_Tree("next") == 4);
    CHECK(VELXMLN_Get_Tree("copy") == 3);
    VELXMLN_Delete_Tree(tree);
    VELXMLN_Delete_Tree(other);
    VELXMLN_Delete_Tree(4);
    CHECK(VELXMLN_Get_Attribute_Int(3, "id") == 0 && VELXMLN_Get_Root_Tag(tree) == -1);
}

/* The functions beside the described ones: lengths, attribute names, the error mode. */
static void additions(const char* file) {
    char buffer[4200];
    char small[4];
    int length = -1;
    int tree = VELXMLN_Get_Tree("additions");
    int root = VELXMLN_Create_Root_Tag(tree, "root");
    FILE* out;

    VELXMLN_Set_Attribute(root, "empty", "");
    VELXMLN_Set_Attribute(root, "long-name", "value");
    VELXMLN_Set_Text(root, "some text");
    CHECK(VELXMLN_Get_Text_Length(root) == 9 && VELXMLN_Get_Text_Length(-5) == -1);
    CHECK(VELXMLN_Get_Tag_Name_Length(root) == 4 && VELXMLN_Get_Tag_Name_Length(0) == -1);
    CHECK(VELXMLN_Get_Attribute_Length(root, "empty") == 0);
    CHECK(VELXMLN_Get_Attribute_Length(root, "long-name") == 5);
    CHECK(VELXMLN_Get_Attribute_Length(root, "missing") == -1);
    CHECK(VELXMLN_Get_Attribute_Length(root, NULL) == -1);
    CHECK(VELXMLN_Get_Attribute_Count(root) == 2 && VELXMLN_Get_Attribute_Count(9999) == 0);
    CHECK(VELXMLN_Get_Attribute_Name(root, 0, buffer, sizeof buffer, &length) == 1);
    CHECK(strcmp(buffer, "empty") == 0 && length == 5);
    CHECK(VELXMLN_Get_Attribute_Name(root, 1, small, sizeof small, &length) == 1);
    CHECK(small[0] == '\0' && length == 9);
    CHECK(VELXMLN_Get_Attribute_Name(root, 1, NULL, 0, &length) == 1 && length == 9);
    length = -1;
    CHECK(VELXMLN_Get_Attribute_Name(root, 2, buffer, sizeof buffer, &length) == 0);
    CHECK(VELXMLN_Get_Attribute_Name(root, -1, buffer, sizeof buffer, &length) == 0);
    CHECK(VELXMLN_Get_Attribute_Name(root, 0, NULL, 8, &length) == 0 && length == -1);

    /* Errors become results: a malformed file, then a clean call, then a missing file. */
    out = fopen(file, "wb");
    CHECK(out != NULL);
    if (out != NULL) {
        fputs("<a><b></a>", out);
        fclose(out);
    }
    CHECK(VELXMLN_GetErrorMode() == VELXMLN_ERRORS_THROW);
    CHECK(VELXMLN_SetErrorMode(VELXMLN_ERRORS_RETURN) == VELXMLN_ERRORS_THROW);
    CHECK(VELXMLN_SetErrorMode(7) == -1 && VELXMLN_GetErrorMode() == VELXMLN_ERRORS_RETURN);
    CHECK(VELXMLN_GetLastError(NULL, 0) == 0);
    VELXMLN_Read_Tree(tree, file);
    length = VELXMLN_GetLastError(buffer, sizeof buffer);
    CHECK(length > 0 && strstr(buffer, "expected end of tag 'b'") != NULL);
    CHECK(VELXMLN_GetLastError(small, sizeof small) == length && small[0] == '\0');
    CHECK(VELXMLN_Get_Root_Tag(tree) == root);
    CHECK(VELXMLN_GetLastError(NULL, 0) == 0);
    CHECK(VELXMLN_ReadFile(file) == 0 && VELXMLN_GetLastError(NULL, 0) == length);
    CHECK(VELXMLN_Stop() == 1 && VELXMLN_GetLastError(NULL, 0) == 0);
    CHECK(VELXMLN_Create_Root_Tag(tree, "bad name") > 0);
    VELXMLN_Write_Tree(tree, file);
    CHECK(VELXMLN_GetLastError(buffer, sizeof buffer) > 0);
    CHECK(strstr(buffer, "invalid XML name 'bad name'") != NULL);
    CHECK(VELXMLN_SetErrorMode(VELXMLN_ERRORS_THROW) == VELXMLN_ERRORS_RETURN);
    VELXMLN_Delete_Tree(tree);
}

int main(int argc, char** argv) {
    char first[4096];
    char second[4096];
    char third[4096];
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    snprintf(first, sizeof first, "%s/current.xml", argv[1]);
    snprintf(second, sizeof second, "%s/handles.xml", argv[1]);
    snprintf(third, sizeof third, "%s/broken.xml", argv[1]);
    currentDocument(first);
    handles(second);
    additions(third);
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
