"""Builds a document from Python through the C interface, writes it, reads it back and checks it.

Run by ctest with VELXMLN_LIBRARY set to the built library.
"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import velxmln  # noqa: E402


class RoundTrip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lib = velxmln.Library()

    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.folder.name, "plant.xml")
        self.documents = []

    def tearDown(self):
        for document in self.documents:
            document.delete()
        self.folder.cleanup()

    def document(self, name):
        document = self.lib.document(name)
        self.documents.append(document)
        return document

    def build(self):
        doc = self.document("plant")
        root = doc.create_root("plant")
        root["name"] = "Süd & Nord <1>"
        root["version"] = 3
        for number, (kind, power) in enumerate([("pump", 7.5), ("fan", 0.25), ("pump", 11.0)]):
            unit = root.add_child("unit")
            unit["id"] = number + 1
            unit["kind"] = kind
            unit["power"] = power
            unit.add_child("label").text = "  %s %d  " % (kind, number + 1)
        notes = root.add_child("notes")
        notes.add_line("first line")
        notes.add_line("second line")
        root.add_child("ratio").set_real(2.0 / 3.0, "%.4f")
        return doc

    def test_written_document_reads_back_with_names_texts_and_attributes(self):
        self.build().write(self.path)
        with open(self.path, "rb") as written:
            self.assertTrue(written.read().startswith(b'<?xml version="1.0" encoding="UTF-8"?>\r\n'))

        copy = self.document("copy")
        copy.read(self.path)
        root = copy.root
        self.assertEqual(root.name, "plant")
        self.assertEqual(root["name"], "Süd & Nord <1>")
        self.assertEqual(root.attribute_int("version"), 3)
        self.assertEqual([child.name for child in root.children()],
                         ["unit", "unit", "unit", "notes", "ratio"])

        units = root.children()[:3]
        self.assertEqual([unit["kind"] for unit in units], ["pump", "fan", "pump"])
        self.assertEqual([unit.attribute_real("power") for unit in units], [7.5, 0.25, 11.0])
        self.assertEqual([unit.find_child("label").text for unit in units],
                         ["pump 1", "fan 2", "pump 3"])
        self.assertEqual(root.find_child("notes").text, "first line\nsecond line")
        self.assertEqual(root.find_child("ratio").text, "0.6667")
        self.assertAlmostEqual(root.find_child("ratio").real, 0.6667)

        self.assertEqual(root.find_child("unit", "kind", "fan"), units[1])
        self.assertEqual(root.find_child("unit", "id", 3), units[2])
        self.assertEqual(root.find_child("unit", "power", 0.3, tolerance=0.1), units[1])
        self.assertIsNone(root.find_child("unit", "kind", "valve"))
        self.assertEqual(root["missing"], "")

    def test_edits_and_deletions(self):
        root = self.build().root
        second = root.children()[1]
        second.int = 42
        self.assertEqual(second.int, 42)
        self.assertEqual(second.text, "42")
        root.delete_child("unit")
        self.assertEqual(len(root.children()), 4)
        self.assertEqual(root.children()[0], second)
        label = root.children()[0].find_child("label")
        root.delete_child("unit")
        # The deleted element's handle is invalid now: every call gives its failure value.
        self.assertEqual(label.name, "")
        self.assertEqual(label.text, "")
        self.assertEqual(label.children(), [])

    def test_long_texts_come_back_whole(self):
        root = self.document("long").create_root("long")
        root.text = "x" * 100000
        self.assertEqual(root.text, "x" * 100000)
        root["a"] = "y" * 5000
        self.assertEqual(root["a"], "y" * 5000)


if __name__ == "__main__":
    unittest.main(verbosity=2)
