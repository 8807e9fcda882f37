#ifndef VELXMLN_C_H
#define VELXMLN_C_H

/* The flat function interface of VelXmlN, with C linkage, for callers that cannot use the C++
   classes. It compiles as C99 and as C++.

   Two families:
   - The current-document functions (VELXMLN_ReadFile ... VELXMLN_AddAttributeTextLine) work on
     one process-wide document and its current element. They return 1 when the call was carried
     out and 0 when it was refused (a required pointer was null, there is no current document,
     or, where stated, no current element or no such attribute).
   - The handle functions (VELXMLN_Get_Tree ... VELXMLN_Set_Attribute_Int) name documents by tree
     handles and elements by tag handles, both int numbers from 1 up; -1 means "no handle". An
     invalid handle (0, negative, never given out, or of an element or document that no longer
     exists) gives the function's failure value and changes nothing.

   Texts are NUL-terminated and taken byte for byte in the process's narrow code page. A text
   result is copied into `buffer` of `bufferSize` bytes with its terminating zero when it fits;
   otherwise the buffer receives the empty string (when `bufferSize` is at least 1) and the call
   goes on. Texts are copied up to their first zero byte.

   Threads: both families keep their state in unsynchronised globals; call them from one thread at
   a time. The error mode and the last error belong to the calling thread.

   Errors: these functions are implemented in C++, and by default (VELXMLN_ERRORS_THROW) an
   exception passes out of them as described: the reading and writing functions (VELXMLN_ReadFile,
   VELXMLN_WriteFile, VELXMLN_Read_Tree, VELXMLN_Write_Tree) let a kasxmln::CXMLException out when
   the document cannot be read or written (malformed XML, an invalid element or attribute name, a
   control character in a text), and every function may let std::bad_alloc out when memory runs
   out. A C caller cannot catch them; to a C program they are fatal. A C program, or any caller
   from another language, switches its thread to VELXMLN_ERRORS_RETURN with VELXMLN_SetErrorMode:
   then no exception leaves a function; it returns its failure value instead (0, -1, 0.0 or an
   empty text, as each function states) and keeps the message for VELXMLN_GetLastError. A printf
   format the library refuses is reported by the function's refusal value in both modes. A failed
   write never replaces the target file. */

#include <stddef.h>

#include <VelXmlN/Export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The current document ------------------------------------------------------------------ */

/* Deletes the current document and reads a new one from the file. Returns 0, leaving an empty
   current document, when the file cannot be opened; returns 0 and changes nothing when `fileName`
   is null. Throws CXMLException for a file that holds no readable document (in
   VELXMLN_ERRORS_RETURN mode: returns 0); the new, empty current document stays then. */
VELXMLN_API int VELXMLN_ReadFile(const char* fileName);

/* Writes the current document to the file by way of a private temporary file beside it that
   replaces the target only when the whole document was written and flushed to disk (see
   writeFileAtomically in <VelXmlN/AtomicFile.h> for links, devices and permissions). Returns 1
   when the target was written; 0 when there is no current document, the document has no root
   element, `fileName` is null, or the file could not be written, and the target is then
   unchanged. Throws CXMLException for a document that cannot be written, such as an invalid name
   or a nameless element with attributes or children (in VELXMLN_ERRORS_RETURN mode: returns 0);
   the target is unchanged and no temporary file is left. */
VELXMLN_API int VELXMLN_WriteFile(const char* fileName);

/* Moves one level down, creating an empty current document when there is none. Without a current
   element the root becomes current when it is named `name` (a root `name` is created when there
   is none); otherwise a new child `name` is appended to the current element (to the root when
   there is no current element) and becomes current, even when a child of that name exists.
   Refused for a null `name`. */
VELXMLN_API int VELXMLN_Open(const char* name);

/* Moves one level up: the parent of the current element becomes current (none after the root);
   without a current element, the root becomes current. Refused without a current document. */
VELXMLN_API int VELXMLN_Close(void);

/* Deletes the current document, if any. Always returns 1. */
VELXMLN_API int VELXMLN_Stop(void);

/* Reads a real from the start of the current element's text into `*value` (0 when the text does
   not start with a number). Refused for a null `value` or without a current element. */
VELXMLN_API int VELXMLN_GetReal(double* value);

/* Sets the current element's text to `value` with 20 significant digits. Returns 1 without a
   current element too (nothing is changed then). */
VELXMLN_API int VELXMLN_SetReal(double value);

/* Sets the current element's text to `value` formatted with the printf format `format`, which
   must hold exactly one conversion of a double. Refused for a null or unusable format (also when
   there is no current element) and for a result longer than 1023 characters. */
VELXMLN_API int VELXMLN_SetRealFormat(double value, const char* format);

/* Reads an integer from the start of the current element's text into `*value` (0 when the text
   does not start with a number, the int limits when it is out of range). Refused for a null
   `value` or without a current element. */
VELXMLN_API int VELXMLN_GetInt(int* value);

/* Sets the current element's text to the decimal text of `value`. Returns 1 without a current
   element too. */
VELXMLN_API int VELXMLN_SetInt(int value);

/* Copies the current element's text into `buffer`; `length`, if not null, receives the length of
   the whole text, whether or not it fitted. Refused for a null `buffer` or without a current
   element. */
VELXMLN_API int VELXMLN_GetText(char* buffer, size_t bufferSize, int* length);

/* Sets the current element's text to `text` without its leading and trailing spaces. Refused for
   a null `text`; returns 1 without a current element too. */
VELXMLN_API int VELXMLN_SetText(const char* text);

/* Appends `line` to the current element's text, after a line feed when the text is not empty.
   Refused for a null `line` or without a current element. */
VELXMLN_API int VELXMLN_AddTextLine(const char* line);

/* Stores the number at the start of the attribute's text in `*value` (0 when there is none).
   Refused, leaving `*value` unchanged, for a null pointer, without a current element, or when the
   element has no attribute `name`. */
VELXMLN_API int VELXMLN_GetAttributeReal(const char* name, double* value);

/* Sets the attribute `name` of the current element to `value` with 20 significant digits,
   creating it when missing. Refused for a null `name`; returns 1 without a current element. */
VELXMLN_API int VELXMLN_SetAttributeReal(const char* name, double value);

/* Sets the attribute to `value` formatted with the printf format `format` (one conversion of a
   double). Refused for a null pointer, an unusable format (also without a current element) and a
   result longer than 1023 characters; returns 1 without a current element otherwise. */
VELXMLN_API int VELXMLN_SetAttributeRealFormat(const char* name, double value, const char* format);

/* Stores the integer at the start of the attribute's text in `*value` (0 when there is none).
   Refused, leaving `*value` unchanged, for a null pointer, without a current element, or when the
   element has no attribute `name`. */
VELXMLN_API int VELXMLN_GetAttributeInt(const char* name, int* value);

/* Sets the attribute to the decimal text of `value`, creating it when missing. Refused for a null
   `name`; returns 1 without a current element. */
VELXMLN_API int VELXMLN_SetAttributeInt(const char* name, int value);

/* Copies the attribute's text into `buffer`; `length`, if not null, receives the length of the
   whole text, whether or not it fitted. Refused for a null `name` or `buffer`, without a current
   element, or when there is no attribute `name`. */
VELXMLN_API int VELXMLN_GetAttributeText(const char* name, char* buffer, size_t bufferSize,
                                         int* length);

/* Sets the attribute to `text` unchanged, creating it when missing. Refused for a null pointer;
   returns 1 without a current element. */
VELXMLN_API int VELXMLN_SetAttributeText(const char* name, const char* text);

/* Appends `line` to the attribute's text, after a line feed when the text is not empty; creates
   the attribute with `line` when it is missing. Refused for a null pointer or without a current
   element. */
VELXMLN_API int VELXMLN_AddAttributeTextLine(const char* name, const char* line);

/* ---- Documents by tree handle -------------------------------------------------------------- */

/* The handle of the document registered under `name` (null is the empty name); registers a new
   empty document (no root element) when there is none. A new document gets the number of
   registered documents plus one, or, when a document still holds that number because an earlier
   one was deleted, one above the highest handle in use, so that it never takes over a live
   entry. Never fails. */
VELXMLN_API int VELXMLN_Get_Tree(const char* name);

/* Destroys the document with all its elements, detached former roots included, and removes its
   handle; every tag handle of those elements becomes invalid. */
VELXMLN_API void VELXMLN_Delete_Tree(int tree);

/* Fills the document from the file: when the file holds a document, it replaces the root element,
   whose elements are destroyed (their tag handles become invalid). A null `fileName` or a file
   that cannot be opened changes nothing. Throws CXMLException for a file that holds no readable
   document (in VELXMLN_ERRORS_RETURN mode the message is kept instead); the document and its
   handles are then unchanged. */
VELXMLN_API void VELXMLN_Read_Tree(int tree, const char* fileName);

/* Writes the document to the file as VELXMLN_WriteFile does: a private temporary file beside the
   target replaces it only when the whole document was written and flushed to disk; otherwise,
   and for a document without a root element, the target is unchanged. Throws CXMLException for a
   document that cannot be written (in VELXMLN_ERRORS_RETURN mode the message is kept instead;
   target unchanged, no temporary file left). */
VELXMLN_API void VELXMLN_Write_Tree(int tree, const char* fileName);

/* The tag handle of the document's root element (given out on first request); -1 for an invalid
   handle or a document without a root element. */
VELXMLN_API int VELXMLN_Get_Root_Tag(int tree);

/* Makes a new element `name` the document's root element and returns its new tag handle; -1 for
   an invalid handle or a null `name`. A previous root is not destroyed: it stays, detached, with
   its elements and tag handles usable, until the document is deleted. */
VELXMLN_API int VELXMLN_Create_Root_Tag(int tree, const char* name);

/* ---- Elements by tag handle ---------------------------------------------------------------- */

/* The number of children of the element; 0 for an invalid handle. */
VELXMLN_API int VELXMLN_Get_Number_Of_Children(int tag);

/* Zeroes handles[0 .. maxCount-1], then fills the first entries with the tag handles of the
   element's children in order (at most `maxCount`), giving children without a handle one.
   `handles` must have room for `maxCount` entries; a null `handles` does nothing. */
VELXMLN_API void VELXMLN_Get_Children(int tag, int* handles, int maxCount);

/* Appends a new child `name` to the element and returns its tag handle; -1 for an invalid handle
   or a null `name`. */
VELXMLN_API int VELXMLN_Add_Child_Tag(int tag, const char* name);

/* The tag handle of the element's first child named `name`; -1 when there is none, for an invalid
   handle or a null `name`. */
VELXMLN_API int VELXMLN_Find_Child_Tag(int tag, const char* name);

/* The tag handle of the first child named `childName` whose first attribute `attributeName` has
   exactly the text `value`; -1 when none qualifies, for an invalid handle or a null pointer. */
VELXMLN_API int VELXMLN_Find_Child_To_Attribute(int tag, const char* childName,
                                                const char* attributeName, const char* value);

/* As VELXMLN_Find_Child_To_Attribute, with the integer at the start of the attribute's text (0
   when there is none) equal to `value`. */
VELXMLN_API int VELXMLN_Find_Child_To_Int_Attribute(int tag, const char* childName,
                                                    const char* attributeName, int value);

/* As VELXMLN_Find_Child_To_Attribute, with the number at the start of the attribute's text
   differing from `value` by strictly less than `tolerance`. */
VELXMLN_API int VELXMLN_Find_Child_To_Real_Attribute(int tag, const char* childName,
                                                     const char* attributeName, double value,
                                                     double tolerance);

/* Destroys the element's first child named `name` with everything below it; the tag handles of
   all those elements become invalid. Nothing happens when there is no such child. */
VELXMLN_API void VELXMLN_Delete_Child_Tag(int tag, const char* name);

/* The number at the start of the element's text (0 when there is none); 0.0 for an invalid
   handle. */
VELXMLN_API double VELXMLN_Get_Real(int tag);

/* Sets the element's text to `value` with 20 significant digits. */
VELXMLN_API void VELXMLN_Set_Real(int tag, double value);

/* Sets the element's text to `value` formatted with the printf format `format` (one conversion of
   a double); a null or unusable format, or a result longer than 1023 characters, changes
   nothing. */
VELXMLN_API void VELXMLN_Set_Real_Format(int tag, double value, const char* format);

/* The integer at the start of the element's text (0 when there is none, the int limits when it is
   out of range); 0 for an invalid handle. */
VELXMLN_API int VELXMLN_Get_Int(int tag);

/* Sets the element's text to the decimal text of `value`. */
VELXMLN_API void VELXMLN_Set_Int(int tag, int value);

/* Copies the element's name into `buffer`; `length`, if not null, receives the length of the
   text now in the buffer (0 when the name did not fit). An invalid handle gives the empty string
   and 0. */
VELXMLN_API void VELXMLN_Get_Tag_Name(int tag, char* buffer, size_t bufferSize, int* length);

/* Copies the element's text into `buffer` and returns 1; `length`, if not null, receives the
   length of the text now in the buffer (0 when the text did not fit). Returns 0, leaving buffer
   and length untouched, for an invalid handle or a null `buffer`. */
VELXMLN_API int VELXMLN_Get_Text(int tag, char* buffer, size_t bufferSize, int* length);

/* Sets the element's text to `text` without its leading and trailing spaces. */
VELXMLN_API void VELXMLN_Set_Text(int tag, const char* text);

/* Appends `line` to the element's text, after a line feed when the text is not empty. */
VELXMLN_API void VELXMLN_Add_Text_Line(int tag, const char* line);

/* Sets the attribute `name` of the element to `value` unchanged, creating it when missing. */
VELXMLN_API void VELXMLN_Set_Attribute(int tag, const char* name, const char* value);

/* Appends `line` to the attribute's text, after a line feed when the text is not empty; creates
   the attribute with `line` when it is missing. */
VELXMLN_API void VELXMLN_Add_Attribute_Textline(int tag, const char* name, const char* line);

/* Copies the attribute's text into `buffer` (both `buffer` and `length` may be null); `length`
   receives the length of the text now in the buffer. A missing attribute or an invalid handle
   gives the empty string and 0. */
VELXMLN_API void VELXMLN_Get_Attribute(int tag, const char* name, char* buffer, size_t bufferSize,
                                       int* length);

/* The number at the start of the attribute's text; 0.0 when the attribute is missing or the
   handle is invalid. */
VELXMLN_API double VELXMLN_Get_Attribute_Real(int tag, const char* name);

/* Sets the attribute to `value` with 20 significant digits, creating it when missing. */
VELXMLN_API void VELXMLN_Set_Attribute_Real(int tag, const char* name, double value);

/* Sets the attribute to `value` formatted with the printf format `format` (one conversion of a
   double); a null or unusable format, or a result longer than 1023 characters, changes nothing. */
VELXMLN_API void VELXMLN_Set_Attribute_Real_Format(int tag, const char* name, double value,
                                                   const char* format);

/* The integer at the start of the attribute's text; 0 when the attribute is missing or the handle
   is invalid. */
VELXMLN_API int VELXMLN_Get_Attribute_Int(int tag, const char* name);

/* Sets the attribute to the decimal text of `value`, creating it when missing. */
VELXMLN_API void VELXMLN_Set_Attribute_Int(int tag, const char* name, int value);

/* ---- Error mode ------------------------------------------------------------------------------ */

/* Exceptions pass out of the functions (the default of every thread). */
#define VELXMLN_ERRORS_THROW 0
/* Errors become results: a function catches every exception, returns its failure value and keeps
   the message for VELXMLN_GetLastError. */
#define VELXMLN_ERRORS_RETURN 1

/* Sets the error mode of the calling thread (VELXMLN_ERRORS_THROW or VELXMLN_ERRORS_RETURN) and
   returns the mode it had; any other value changes nothing and returns -1. Leaves the last error
   as it is. */
VELXMLN_API int VELXMLN_SetErrorMode(int mode);

/* The error mode of the calling thread. */
VELXMLN_API int VELXMLN_GetErrorMode(void);

/* Copies the message of the calling thread's last error into `buffer` when it fits with its
   terminating zero (otherwise the buffer receives the empty string) and returns the message's
   full length, 0 when there is none; `buffer` may be null when `bufferSize` is 0. In
   VELXMLN_ERRORS_RETURN mode every other function of this header clears the last error when it
   starts and sets it when it fails: after a call of a function that returns nothing
   (VELXMLN_Read_Tree, VELXMLN_Write_Tree, the Set_ functions) a length above 0 says it failed.
   Failures with a message: an exception (the messages of CXMLException name what and where;
   "out of memory" for std::bad_alloc) and a file that cannot be opened or written by the four
   file functions ("cannot open 'name': <the system's reason>"). Refusals for null pointers,
   invalid handles and missing items set no message. Reading the message leaves it in place. */
VELXMLN_API int VELXMLN_GetLastError(char* buffer, size_t bufferSize);

/* ---- Lengths and attribute lists of the handle family ---------------------------------------- */

/* The length in bytes of the element's text (up to its first zero byte), so that a caller can
   size the buffer of VELXMLN_Get_Text, which reports only what fitted; -1 for an invalid handle. */
VELXMLN_API int VELXMLN_Get_Text_Length(int tag);

/* The length of the element's name, for VELXMLN_Get_Tag_Name; -1 for an invalid handle. */
VELXMLN_API int VELXMLN_Get_Tag_Name_Length(int tag);

/* The length of the text of the element's first attribute `name`, for VELXMLN_Get_Attribute; -1
   when there is no such attribute (so an empty value, 0, differs from a missing one), for an
   invalid handle or a null `name`. */
VELXMLN_API int VELXMLN_Get_Attribute_Length(int tag, const char* name);

/* The number of attributes of the element; 0 for an invalid handle. */
VELXMLN_API int VELXMLN_Get_Attribute_Count(int tag);

/* Copies the name of the element's attribute number `index` (0 is the first, in the element's
   order; VELXMLN_Get_Attribute_Count tells how many there are) into `buffer` when it fits with
   its terminating zero (otherwise the empty string) and returns 1; `length`, if not null,
   receives the full length of the name, whether or not it fitted. `buffer` may be null when
   `bufferSize` is 0, to learn the length only. Returns 0, leaving buffer and length untouched,
   for an invalid handle, an index out of range, or a null buffer with a size above 0. */
VELXMLN_API int VELXMLN_Get_Attribute_Name(int tag, int index, char* buffer, size_t bufferSize,
                                           int* length);

#ifdef __cplusplus
}
#endif

#endif
