/* Writes a small settings file with the current-document functions of the C interface, reads it
   back and prints what it finds. The file name is the first argument ("flat-example.xml" when
   there is none). */
#include <VelXmlN/velxmln.h>

#include <stdio.h>

int main(int argc, char** argv) {
    const char* file = argc > 1 ? argv[1] : "flat-example.xml";
    char text[128];
    int length = 0;
    int version = 0;

    /* Open goes one level down (creating the element), Close one level up. */
    VELXMLN_Open("settings");
    VELXMLN_SetAttributeInt("version", 2);
    VELXMLN_SetAttributeText("owner", "line 4");
    VELXMLN_Open("speed");
    VELXMLN_SetRealFormat(2.5, "%.2f"); /* stored as "2.50" */
    VELXMLN_Close();
    VELXMLN_Open("comment");
    VELXMLN_AddTextLine("first line");
    VELXMLN_AddTextLine("second line");
    VELXMLN_Close();
    if (!VELXMLN_WriteFile(file)) {
        fprintf(stderr, "cannot write %s\n", file);
        VELXMLN_Stop();
        return 1;
    }
    VELXMLN_Stop();

    /* A document read from a file has no current element: Close makes the root current. */
    if (!VELXMLN_ReadFile(file)) {
        fprintf(stderr, "cannot read %s\n", file);
        VELXMLN_Stop();
        return 1;
    }
    VELXMLN_Close();
    VELXMLN_GetAttributeInt("version", &version);
    VELXMLN_GetAttributeText("owner", text, sizeof text, &length);
    printf("version %d, owner \"%s\" (%d bytes)\n", version, text, length);

    /* Open always appends a new child: add one to the document read and write it back. */
    VELXMLN_Open("checked");
    VELXMLN_SetInt(1);
    VELXMLN_Close();
    VELXMLN_WriteFile(file);
    VELXMLN_Stop();

    {
        FILE* in = fopen(file, "rb");
        int c;
        while (in != NULL && (c = fgetc(in)) != EOF) {
            if (c != '\r') {
                putchar(c);
            }
        }
        if (in != NULL) {
            fclose(in);
        }
    }
    return version == 2 ? 0 : 1;
}
