"""XML documents as element trees, with the VelXmlN library underneath.

    import velxmln
    doc = velxmln.parse("plant.xml")             # XMLError (a ValueError) for a malformed file
    for machine in doc.root.select("plant/line/machine"):
        print(machine.get("id"), machine.text)
    doc.root.append(velxmln.Element("line", {"id": "3"}))
    doc.write("plant.xml")                       # replaces the file as a whole or not at all

A Document owns its elements; an Element object only refers to one, and using it after its
document (or the detached element it lies in) has been destroyed raises ReferenceError. Elements
taken out with remove(), and those made with Element(...) or fromstring(), belong to their Python
object until they are appended somewhere.
"""

from ._errors import XMLError
from ._velxmln import (
    Attributes,
    Difference,
    Document,
    Element,
    __version__,
    compare,
    fromstring,
    parse,
    scan,
    tostring,
)

__all__ = [
    "Attributes",
    "Difference",
    "Document",
    "Element",
    "XMLError",
    "compare",
    "fromstring",
    "parse",
    "scan",
    "tostring",
]
