/* Every flat function called from a program compiled as C99, in a fresh process, so that the
   handle numbering starts from its beginning. The behaviour of most functions is tested in C++
   beside this; the length and attribute-name functions only here. The folder for files is the
   first argument. */
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

    CHECK(VELXMLN_Open("config") == 1);
    CHECK(VELXMLN_SetAttributeText("name", "demo") == 1);
    CHECK(VELXMLN_SetAttributeInt("count", 3) == 1);
    CHECK(VELXMLN_SetAttributeReal("scale", 0.5) == 1);
    CHECK(VELXMLN_SetAttributeRealFormat("ratio", 2.0 / 3.0, "%.3f") == 1);
    CHECK(VELXMLN_AddAttributeTextLine("lines", "a") == 1);
    CHECK(VELXMLN_Open("speed") == 1);
    CHECK(VELXMLN_SetReal(2.5) == 1);
    CHECK(VELXMLN_GetReal(&real) == 1 && real == 2.5);
    CHECK(VELXMLN_SetRealFormat(1.23456, "%.2f") == 1);
    CHECK(VELXMLN_SetInt(-7) == 1);
    CHECK(VELXMLN_GetInt(&integer) == 1 && integer == -7);
    CHECK(VELXMLN_SetText("  first  ") == 1);
    CHECK(VELXMLN_AddTextLine("second") == 1);
    CHECK(VELXMLN_GetText(buffer, sizeof buffer, &length) == 1 && length == 12);
    CHECK(VELXMLN_Close() == 1);
    CHECK(VELXMLN_WriteFile(file) == 1);
    CHECK(VELXMLN_Stop() == 1);

    CHECK(VELXMLN_ReadFile(file) == 1);
    CHECK(VELXMLN_Close() == 1);
    CHECK(VELXMLN_GetAttributeText("name", buffer, sizeof buffer, &length) == 1);
    CHECK(strcmp(buffer, "demo") == 0 && length == 4);
    CHECK(VELXMLN_GetAttributeInt("count", &integer) == 1 && integer == 3);
    CHECK(VELXMLN_GetAttributeReal("scale", &real) == 1 && real == 0.5);
    CHECK(VELXMLN_Stop() == 1);
}

static void handles(const char* file) {
    char buffer[64];
    int length = -1;
    int children[3] = {9, 9, 9};
    int tree, other;

    /* A fresh process: documents and elements count from 1. */
    tree = VELXMLN_Get_Tree("doc");
    CHECK(tree == 1);
    CHECK(VELXMLN_Get_Tree(NULL) == 2);
    CHECK(VELXMLN_Create_Root_Tag(tree, "root") == 1);
    CHECK(VELXMLN_Add_Child_Tag(1, "item") == 2);
    CHECK(VELXMLN_Add_Child_Tag(1, "item") == 3);
    VELXMLN_Get_Children(1, children, 3);
    CHECK(children[0] == 2 && children[1] == 3 && children[2] == 0);
    CHECK(VELXMLN_Get_Number_Of_Children(1) == 2 && VELXMLN_Get_Root_Tag(tree) == 1);

    VELXMLN_Set_Attribute(2, "id", "first");
    VELXMLN_Set_Attribute_Int(3, "id", 7);
    VELXMLN_Set_Attribute_Real(3, "weight", 1.25);
    VELXMLN_Set_Attribute_Real_Format(3, "ratio", 0.125, "%.1f");
    VELXMLN_Add_Attribute_Textline(3, "lines", "x");
    VELXMLN_Set_Real(2, 0.5);
    VELXMLN_Set_Real_Format(3, 3.14159, "%.2f");
    CHECK(VELXMLN_Get_Real(3) == 3.14);
    VELXMLN_Set_Int(3, 42);
    CHECK(VELXMLN_Get_Int(3) == 42);
    VELXMLN_Set_Text(3, " words ");
    VELXMLN_Add_Text_Line(3, "more");
    CHECK(VELXMLN_Get_Text(3, buffer, sizeof buffer, &length) == 1 && length == 10);
    VELXMLN_Get_Tag_Name(3, buffer, sizeof buffer, &length);
    CHECK(strcmp(buffer, "item") == 0 && length == 4);
    VELXMLN_Get_Attribute(3, "lines", buffer, sizeof buffer, &length);
    CHECK(strcmp(buffer, "x") == 0);
    CHECK(VELXMLN_Get_Attribute_Int(3, "id") == 7 &&
          VELXMLN_Get_Attribute_Real(3, "weight") == 1.25);
    CHECK(VELXMLN_Find_Child_Tag(1, "item") == 2);
    CHECK(VELXMLN_Find_Child_To_Attribute(1, "item", "id", "first") == 2);
    CHECK(VELXMLN_Find_Child_To_Int_Attribute(1, "item", "id", 7) == 3);
    CHECK(VELXMLN_Find_Child_To_Real_Attribute(1, "item", "ratio", 0.1, 0.05) == 3);

    VELXMLN_Write_Tree(tree, file);
    other = VELXMLN_Get_Tree("copy");
    VELXMLN_Read_Tree(other, file);
    CHECK(VELXMLN_Get_Root_Tag(other) == 4);
    VELXMLN_Delete_Child_Tag(1, "item");
    CHECK(VELXMLN_Get_Number_Of_Children(1) == 1 && VELXMLN_Find_Child_Tag(1, "item") == 3);
    VELXMLN_Delete_Tree(tree);
    VELXMLN_Delete_Tree(other);
    VELXMLN_Delete_Tree(2);
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
    VELXMLN_Read_Tree(tree, file);
    length = VELXMLN_GetLastError(buffer, sizeof buffer);
    CHECK(length > 0 && strstr(buffer, "expected end of tag 'b'") != NULL);
    CHECK(VELXMLN_Get_Root_Tag(tree) == root);
    CHECK(VELXMLN_GetLastError(NULL, 0) == 0);
    CHECK(VELXMLN_ReadFile(file) == 0 && VELXMLN_GetLastError(NULL, 0) == length);
    CHECK(VELXMLN_SetErrorMode(VELXMLN_ERRORS_THROW) == VELXMLN_ERRORS_RETURN);
    VELXMLN_Delete_Tree(tree);
}

int main(int argc, char** argv) {
    char name[4096];
    if (argc != 2) {
        fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    snprintf(name, sizeof name, "%s/current.xml", argv[1]);
    currentDocument(name);
    snprintf(name, sizeof name, "%s/handles.xml", argv[1]);
    handles(name);
    snprintf(name, sizeof name, "%s/broken.xml", argv[1]);
    additions(name);
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
