"""A small ctypes wrapper over the handle functions of the VelXmlN C interface.

    import velxmln
    lib = velxmln.Library()                  # VELXMLN_LIBRARY, or libvelxmln.so on the search path
    doc = lib.document("settings")
    root = doc.create_root("settings")
    speed = root.add_child("speed")
    speed.real = 2.5
    speed["unit"] = "m/s"
    doc.write("settings.xml")

Documents live in the library's process-wide table until Document.delete(); elements are named by
tag handles, which stay valid until their element is deleted. Texts are passed as UTF-8 (the
library's narrow code page on POSIX).

The C functions let a C++ exception out when a file holds no readable XML or a document cannot be
written (an invalid element name, say). Python cannot catch it: the process ends. Check names
before writing, and read files you do not trust with a parser of your own first.
"""

import ctypes
import ctypes.util
import os

_int = ctypes.c_int
_double = ctypes.c_double
_text = ctypes.c_char_p
_buffer = ctypes.c_char_p
_size = ctypes.c_size_t
_int_pointer = ctypes.POINTER(ctypes.c_int)

# name: (result type, argument types), for the 31 handle functions.
_SIGNATURES = {
    "VELXMLN_Get_Tree": (_int, [_text]),
    "VELXMLN_Delete_Tree": (None, [_int]),
    "VELXMLN_Read_Tree": (None, [_int, _text]),
    "VELXMLN_Write_Tree": (None, [_int, _text]),
    "VELXMLN_Get_Root_Tag": (_int, [_int]),
    "VELXMLN_Create_Root_Tag": (_int, [_int, _text]),
    "VELXMLN_Get_Number_Of_Children": (_int, [_int]),
    "VELXMLN_Get_Children": (None, [_int, _int_pointer, _int]),
    "VELXMLN_Add_Child_Tag": (_int, [_int, _text]),
    "VELXMLN_Find_Child_Tag": (_int, [_int, _text]),
    "VELXMLN_Find_Child_To_Attribute": (_int, [_int, _text, _text, _text]),
    "VELXMLN_Find_Child_To_Int_Attribute": (_int, [_int, _text, _text, _int]),
    "VELXMLN_Find_Child_To_Real_Attribute": (_int, [_int, _text, _text, _double, _double]),
    "VELXMLN_Delete_Child_Tag": (None, [_int, _text]),
    "VELXMLN_Get_Real": (_double, [_int]),
    "VELXMLN_Set_Real": (None, [_int, _double]),
    "VELXMLN_Set_Real_Format": (None, [_int, _double, _text]),
    "VELXMLN_Get_Int": (_int, [_int]),
    "VELXMLN_Set_Int": (None, [_int, _int]),
    "VELXMLN_Get_Tag_Name": (None, [_int, _buffer, _size, _int_pointer]),
    "VELXMLN_Get_Text": (_int, [_int, _buffer, _size, _int_pointer]),
    "VELXMLN_Set_Text": (None, [_int, _text]),
    "VELXMLN_Add_Text_Line": (None, [_int, _text]),
    "VELXMLN_Set_Attribute": (None, [_int, _text, _text]),
    "VELXMLN_Add_Attribute_Textline": (None, [_int, _text, _text]),
    "VELXMLN_Get_Attribute": (None, [_int, _text, _buffer, _size, _int_pointer]),
    "VELXMLN_Get_Attribute_Real": (_double, [_int, _text]),
    "VELXMLN_Set_Attribute_Real": (None, [_int, _text, _double]),
    "VELXMLN_Set_Attribute_Real_Format": (None, [_int, _text, _double, _text]),
    "VELXMLN_Get_Attribute_Int": (_int, [_int, _text]),
    "VELXMLN_Set_Attribute_Int": (None, [_int, _text, _int]),
}


def _encode(text):
    return text.encode("utf-8") if isinstance(text, str) else bytes(text)


class Library:
    """The loaded shared library with typed handle functions.

    `path` defaults to the environment variable VELXMLN_LIBRARY, then to the library the system
    finds under the name "velxmln". `max_text` bounds the buffer used to fetch one text: the
    handle functions report only what fitted, so an empty answer is asked again with a larger
    buffer up to that size before it is taken as an empty text.
    """

    def __init__(self, path=None, max_text=1 << 20):
        path = path or os.environ.get("VELXMLN_LIBRARY") or ctypes.util.find_library("velxmln")
        if not path:
            raise OSError("libvelxmln not found: set VELXMLN_LIBRARY to its path")
        self._dll = ctypes.CDLL(path)
        self.max_text = max_text
        for name, (result, arguments) in _SIGNATURES.items():
            function = getattr(self._dll, name)
            function.restype = result
            function.argtypes = arguments
            setattr(self, name[len("VELXMLN_"):], function)

    def document(self, name=""):
        """The document registered under `name`, made empty when there is none."""
        return Document(self, self.Get_Tree(_encode(name)))

    def fetch(self, call):
        """Runs `call(buffer, size, length)` with growing buffers; returns the text as str."""
        size = 1024
        while True:
            buffer = ctypes.create_string_buffer(size)
            length = ctypes.c_int(0)
            call(buffer, size, ctypes.byref(length))
            if length.value > 0 or size >= self.max_text:
                return buffer.raw[: length.value].decode("utf-8", "replace")
            size *= 4


class Document:
    """A document of the library's tree table, named by its tree handle."""

    def __init__(self, library, handle):
        self.library = library
        self.handle = handle

    @property
    def root(self):
        """The root element, or None for an empty document."""
        tag = self.library.Get_Root_Tag(self.handle)
        return Element(self.library, tag) if tag > 0 else None

    def create_root(self, name):
        """Makes a new root element; a previous root stays usable but leaves the document."""
        return Element(self.library, self.library.Create_Root_Tag(self.handle, _encode(name)))

    def read(self, path):
        """Replaces the document with the one in the file; a missing file changes nothing."""
        self.library.Read_Tree(self.handle, _encode(os.fspath(path)))

    def write(self, path):
        """Writes the document; the file is replaced as a whole or not at all."""
        self.library.Write_Tree(self.handle, _encode(os.fspath(path)))

    def delete(self):
        """Destroys the document; its elements' handles become invalid."""
        self.library.Delete_Tree(self.handle)
        self.handle = -1


class Element:
    """An element named by its tag handle. `element["name"]` reads and writes attributes."""

    def __init__(self, library, tag):
        if tag <= 0:
            raise ValueError("no such element (tag handle %d)" % tag)
        self.library = library
        self.tag = tag

    def __eq__(self, other):
        return isinstance(other, Element) and other.tag == self.tag

    def __hash__(self):
        return hash(self.tag)

    def __repr__(self):
        return "<Element %s #%d>" % (self.name, self.tag)

    @property
    def name(self):
        return self.library.fetch(lambda b, n, l: self.library.Get_Tag_Name(self.tag, b, n, l))

    @property
    def text(self):
        return self.library.fetch(lambda b, n, l: self.library.Get_Text(self.tag, b, n, l))

    @text.setter
    def text(self, value):
        """Stores the text without its leading and trailing spaces."""
        self.library.Set_Text(self.tag, _encode(value))

    def add_line(self, line):
        self.library.Add_Text_Line(self.tag, _encode(line))

    @property
    def real(self):
        return self.library.Get_Real(self.tag)

    @real.setter
    def real(self, value):
        self.library.Set_Real(self.tag, value)

    def set_real(self, value, format):
        """Stores `value` in a printf format such as "%.2f"; an unusable format changes nothing."""
        self.library.Set_Real_Format(self.tag, value, _encode(format))

    @property
    def int(self):
        return self.library.Get_Int(self.tag)

    @int.setter
    def int(self, value):
        self.library.Set_Int(self.tag, value)

    def children(self):
        count = self.library.Get_Number_Of_Children(self.tag)
        handles = (ctypes.c_int * count)()
        self.library.Get_Children(self.tag, handles, count)
        return [Element(self.library, tag) for tag in handles if tag > 0]

    def add_child(self, name):
        return Element(self.library, self.library.Add_Child_Tag(self.tag, _encode(name)))

    def find_child(self, name, attribute=None, value=None, tolerance=None):
        """The first child `name`, or the first whose `attribute` equals `value` (a str exactly,
        an int as an integer, a float within `tolerance`); None when there is none."""
        library = self.library
        if attribute is None:
            tag = library.Find_Child_Tag(self.tag, _encode(name))
        elif isinstance(value, float) or tolerance is not None:
            tag = library.Find_Child_To_Real_Attribute(
                self.tag, _encode(name), _encode(attribute), value, tolerance or 1e-9)
        elif isinstance(value, int):
            tag = library.Find_Child_To_Int_Attribute(
                self.tag, _encode(name), _encode(attribute), value)
        else:
            tag = library.Find_Child_To_Attribute(
                self.tag, _encode(name), _encode(attribute), _encode(value))
        return Element(library, tag) if tag > 0 else None

    def delete_child(self, name):
        """Destroys the first child `name` and everything below it."""
        self.library.Delete_Child_Tag(self.tag, _encode(name))

    def __getitem__(self, name):
        """The attribute's text; "" when it is missing."""
        return self.library.fetch(
            lambda b, n, l: self.library.Get_Attribute(self.tag, _encode(name), b, n, l))

    def __setitem__(self, name, value):
        if isinstance(value, bool):
            value = int(value)
        if isinstance(value, int):
            self.library.Set_Attribute_Int(self.tag, _encode(name), value)
        elif isinstance(value, float):
            self.library.Set_Attribute_Real(self.tag, _encode(name), value)
        else:
            self.library.Set_Attribute(self.tag, _encode(name), _encode(value))

    def attribute_int(self, name):
        return self.library.Get_Attribute_Int(self.tag, _encode(name))

    def attribute_real(self, name):
        return self.library.Get_Attribute_Real(self.tag, _encode(name))

    def set_attribute_real(self, name, value, format):
        self.library.Set_Attribute_Real_Format(self.tag, _encode(name), value, _encode(format))

    def add_attribute_line(self, name, line):
        self.library.Add_Attribute_Textline(self.tag, _encode(name), _encode(line))
