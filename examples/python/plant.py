"""Reads a plant document with the velxmln package, reports on it, changes it, writes it to a
scratch folder and shows that a malformed document raises XMLError instead of ending Python.

    python3 examples/python/plant.py examples/data/plant.xml
"""

import os
import sys
import tempfile

import velxmln


def main(path):
    doc = velxmln.parse(path)
    for machine in doc.root.select("plant/line/machine"):
        print(machine.path, machine.get("id"), "runs at", machine.get_float("speed"))

    line = doc.root.find("line")
    line.append(velxmln.Element("machine", {"id": "999"}, speed=0.5))
    print("machines on line", line.get("id"), "now:", len(line.select("line/machine")))

    with tempfile.TemporaryDirectory() as folder:
        copy = os.path.join(folder, "plant-copy.xml")
        doc.write(copy)  # replaces the file as a whole or not at all
        differences = velxmln.compare(doc, velxmln.parse(copy))
        print("differences after writing and reading:", differences)

    try:
        velxmln.fromstring(b"<plant>\n  <line>\n</plant>")
    except velxmln.XMLError as error:
        print("malformed: line %d, column %d: %s" % (error.line, error.column, error.message))
    return 0 if not differences else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "plant.xml"))
