/* A C program that survives malformed input: it switches its thread to "errors become results",
   reads a broken file and a missing one, tries to write an element with an invalid name, and
   prints each message. The scratch file name is the first argument ("errors-example.xml" when
   there is none). */
#include <VelXmlN/velxmln.h>

#include <stdio.h>
#include <stdlib.h>

/* Prints the last error of this thread, growing the buffer when the message is longer. */
static void printLastError(const char* what) {
    char small[16];
    int length = VELXMLN_GetLastError(small, sizeof small);
    if (length == 0) {
        printf("%s: no error\n", what);
    } else if ((size_t)length < sizeof small) {
        printf("%s: %s\n", what, small);
    } else {
        char* message = malloc((size_t)length + 1);
        if (message != NULL) {
            VELXMLN_GetLastError(message, (size_t)length + 1);
            printf("%s: %s\n", what, message);
            free(message);
        }
    }
}

int main(int argc, char** argv) {
    const char* file = argc > 1 ? argv[1] : "errors-example.xml";
    int failures = 0;
    int tree, root;
    FILE* out;

    VELXMLN_SetErrorMode(VELXMLN_ERRORS_RETURN);

    out = fopen(file, "wb");
    if (out == NULL) {
        return 2;
    }
    fputs("<plant>\n  <line id='1'>\n</plant>\n", out);
    fclose(out);

    /* A function that returns nothing: the last error tells whether it failed. */
    tree = VELXMLN_Get_Tree("broken");
    VELXMLN_Read_Tree(tree, file);
    failures += VELXMLN_GetLastError(NULL, 0) > 0;
    printLastError("read");

    VELXMLN_Read_Tree(tree, "no-such-file.xml");
    failures += VELXMLN_GetLastError(NULL, 0) > 0;
    printLastError("missing");

    /* Writing refuses an invalid element name; the file stays as it was. */
    root = VELXMLN_Create_Root_Tag(tree, "not a name");
    VELXMLN_Write_Tree(tree, file);
    failures += VELXMLN_GetLastError(NULL, 0) > 0;
    printLastError("write");

    /* Every call starts by clearing the last error. */
    VELXMLN_Set_Attribute_Int(root, "id", 1);
    printLastError("set");
    VELXMLN_Delete_Tree(tree);
    remove(file);
    return failures == 3 ? 0 : 1;
}
