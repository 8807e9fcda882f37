/* Builds a document with the handle functions of the C interface, writes it, reads it into a
   second tree and walks its children. Handles are small integers: a tree handle stays valid until
   VELXMLN_Delete_Tree, a tag handle only while its element lives. The file name is the first
   argument ("handles-example.xml" when there is none). */
#include <VelXmlN/velxmln.h>

#include <stdio.h>

int main(int argc, char** argv) {
    const char* file = argc > 1 ? argv[1] : "handles-example.xml";
    char name[64];
    char value[64];
    int length = 0;
    int children[8];
    int count;
    int i;

    int tree = VELXMLN_Get_Tree("writer");
    int root = VELXMLN_Create_Root_Tag(tree, "plant");
    int line = VELXMLN_Add_Child_Tag(root, "line");
    VELXMLN_Set_Attribute_Int(line, "id", 1);
    VELXMLN_Set_Real(VELXMLN_Add_Child_Tag(line, "speed"), 1.25);
    VELXMLN_Set_Text(VELXMLN_Add_Child_Tag(line, "note"), "checked");
    VELXMLN_Write_Tree(tree, file);
    VELXMLN_Delete_Tree(tree); /* also ends the tag handles of its elements */

    tree = VELXMLN_Get_Tree("reader");
    VELXMLN_Read_Tree(tree, file);
    line = VELXMLN_Find_Child_Tag(VELXMLN_Get_Root_Tag(tree), "line");
    if (line < 0) {
        fprintf(stderr, "no line in %s\n", file);
        return 1;
    }
    printf("line id %d\n", VELXMLN_Get_Attribute_Int(line, "id"));
    count = VELXMLN_Get_Number_Of_Children(line);
    VELXMLN_Get_Children(line, children, 8);
    for (i = 0; i < count && i < 8; ++i) {
        VELXMLN_Get_Tag_Name(children[i], name, sizeof name, &length);
        VELXMLN_Get_Text(children[i], value, sizeof value, &length);
        printf("%s = %s\n", name, value);
    }
    VELXMLN_Delete_Tree(tree);
    return count == 2 ? 0 : 1;
}
