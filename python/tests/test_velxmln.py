"""The velxmln package as a Python program uses it: reading, editing, writing, comparing and
scanning, every error as an exception, and elements that outlive their document."""

import gc
import os
import stat

import pytest

import velxmln

PLANT = b"""<?xml version="1.0" encoding="UTF-8"?>
<plant name="North Hall">
  <line id="1"><machine id="101" speed="1.25" on="1">press</machine><machine id="102"/></line>
  <line id="2"><machine id="201" speed="2x"/></line>
</plant>
"""


@pytest.fixture
def plant_file(tmp_path):
    path = tmp_path / "plant.xml"
    path.write_bytes(PLANT)
    return path


def test_reading_navigating_and_typed_values(plant_file):
    doc = velxmln.parse(plant_file)
    root = doc.root
    assert (root.name, len(root), root.parent) == ("plant", 2, None)
    assert [line.get("id") for line in root] == ["1", "2"]
    assert root[-1] is root[1] and root[0] is root.find("line")
    machine = root.select("plant/line[@id='1']/machine")[0]
    assert (machine.text, machine.path, machine.parent is root[0]) == ("press", "/plant/line/machine", True)
    assert machine.get_float("speed") == 1.25 and machine.get_int("speed") == 1
    assert machine.get_bool("on") is True and machine.get_bool("off", True) is True
    assert machine.get("missing") is None and machine.get("missing", "x") == "x"
    assert root.select("//machine")[2].get_float("speed", 9.0) == 2.0
    assert root.select("//machine")[1].get_float("speed", 9.0) == 9.0
    assert root.select("plant/nothing") == [] and root.find("nothing") is None
    with pytest.raises(IndexError):
        root[2]
    assert velxmln.fromstring(PLANT.decode()).name == "plant"


def test_attrib_is_a_live_dict_like_view():
    element = velxmln.Element("item", {"b": "2"}, a=1)
    attrib = element.attrib
    assert dict(attrib.items()) == {"b": "2", "a": "1"} and list(attrib) == ["b", "a"]
    attrib["ratio"] = 0.5
    attrib["flag"] = True
    attrib["text"] = "x & y"
    assert attrib == {"b": "2", "a": "1", "ratio": "0.5", "flag": "1", "text": "x & y"}
    del attrib["b"]
    assert "b" not in attrib and "a" in attrib and len(attrib) == 4
    assert attrib.get("b") is None and attrib.get("b", "-") == "-" and attrib["a"] == "1"
    with pytest.raises(KeyError):
        attrib["b"]
    with pytest.raises(KeyError):
        del attrib["b"]
    with pytest.raises(TypeError):
        attrib["list"] = [1]
    assert velxmln.fromstring(velxmln.tostring(element)).attrib == attrib


def test_building_writing_and_reading_back(tmp_path):
    doc = velxmln.Document("settings")
    speed = velxmln.Element("speed", unit="m/s")
    speed.text = "  2.5  "
    doc.root.append(speed)
    assert speed.text == "2.5" and speed.parent is doc.root
    target = tmp_path / "settings.xml"
    doc.write(target)
    assert target.read_bytes() == (
        b'<?xml version="1.0" encoding="UTF-8"?>\r\n'
        b'<settings>\r\n\t<speed unit="m/s">2.5</speed>\r\n</settings>\r\n'
    )
    assert velxmln.tostring(doc) == target.read_bytes() == velxmln.tostring(doc.root)
    assert velxmln.compare(doc, velxmln.parse(str(target))) == []


def test_append_moves_and_remove_detaches():
    root = velxmln.fromstring(b"<r><a><x/></a><b/></r>")
    a, b = root[0], root[1]
    x = a[0]
    b.append(x)  # already has a parent: moved, as in lxml
    assert len(a) == 0 and x.parent is b and b[0] is x
    root.remove(a)
    assert a.parent is None and len(root) == 1
    a.append(velxmln.Element("y"))
    root.append(a)
    assert velxmln.tostring(root).split(b"\r\n")[1:] == [
        b"<r>", b"\t<b>", b"\t\t<x/>", b"\t</b>", b"\t<a>", b"\t\t<y/>", b"\t</a>", b"</r>", b""
    ]
    with pytest.raises(ValueError, match="itself or to an element inside it"):
        a[0].append(root)
    with pytest.raises(ValueError, match="not a child"):
        root.remove(x)
    doc = velxmln.Document("d")
    with pytest.raises(ValueError, match="root element of a document cannot be moved"):
        root.append(doc.root)
    with pytest.raises(ValueError, match="remove it first"):
        velxmln.Document(a)
    root.remove(a)
    assert velxmln.Document(a).root is a


def test_elements_of_destroyed_trees_raise_instead_of_crashing(plant_file):
    doc = velxmln.parse(plant_file)
    machine = doc.root.select("//machine")[0]
    attrib = machine.attrib
    del doc
    gc.collect()
    for use in (lambda: machine.name, lambda: attrib["id"], lambda: len(machine),
                lambda: machine.select("x"), lambda: velxmln.tostring(machine)):
        with pytest.raises(ReferenceError, match="document or parent has been destroyed"):
            use()
    assert repr(machine) == "<velxmln.Element (destroyed)>"

    # A removed element owns its subtree; when its object goes, so do the elements below it.
    root = velxmln.fromstring(b"<r><a><b/></a></r>")
    a = root[0]
    b = a[0]
    root.remove(a)
    del a
    gc.collect()
    with pytest.raises(ReferenceError):
        b.name
    # An element appended somewhere lives on with its new parent.
    child = velxmln.Element("child")
    grandchild = velxmln.Element("grandchild")
    child.append(grandchild)
    root.append(child)
    del child
    gc.collect()
    assert grandchild.path == "/r/child/grandchild"


def test_parse_errors_raise_xmlerror_with_the_place(tmp_path):
    bad = tmp_path / "bad.xml"
    bad.write_bytes(b"<plant>\n  <line id='1'>\n</plant>\n")
    with pytest.raises(velxmln.XMLError) as caught:
        velxmln.parse(bad)
    error = caught.value
    assert isinstance(error, ValueError)
    assert (error.message, error.line, error.column) == (
        "expected end of tag 'line' at line 3, column 3", 3, 3)
    assert str(error) == error.message
    for text, message in [
        (b"", "the text holds no element"),
        (b"<a>\x00</a>", None),
        (b'<!DOCTYPE a [<!ENTITY e SYSTEM "/etc/passwd">]><a>&e;</a>', None),
        ("<a>" * 1001 + "</a>" * 1001, None),
    ]:
        try:
            root = velxmln.fromstring(text)
        except velxmln.XMLError as error:
            assert message is None or error.message == message
        else:
            assert root.text == ""  # the external entity is never read


def test_file_errors_raise_oserror(tmp_path):
    with pytest.raises(FileNotFoundError) as caught:
        velxmln.parse(tmp_path / "missing.xml")
    assert caught.value.filename == str(tmp_path / "missing.xml")
    with pytest.raises(IsADirectoryError):
        velxmln.parse(tmp_path)
    with pytest.raises(FileNotFoundError):
        velxmln.scan(tmp_path / "missing.xml", "a/b")

    doc = velxmln.Document("d")
    target = tmp_path / "no-folder" / "out.xml"
    with pytest.raises(OSError, match="no-folder/out.xml"):
        doc.write(target)
    with pytest.raises(ValueError, match="no root element"):
        velxmln.Document().write(tmp_path / "x.xml")


def test_a_failed_write_leaves_the_target_as_it_was(tmp_path):
    target = tmp_path / "keep.xml"
    target.write_bytes(b"old")
    os.chmod(target, stat.S_IRUSR | stat.S_IWUSR)
    doc = velxmln.Document("ok")
    doc.root.append(velxmln.Element("bad name"))
    with pytest.raises(velxmln.XMLError, match="invalid XML name 'bad name'") as caught:
        doc.write(target)
    assert (caught.value.line, caught.value.column) == (0, 0)
    doc.root[0].name = "fine"
    doc.root[0].text = "bell \x07"
    with pytest.raises(velxmln.XMLError, match="control character U\\+0007"):
        doc.write(target)
    assert target.read_bytes() == b"old"
    assert sorted(os.listdir(tmp_path)) == ["keep.xml"]
    doc.root[0].text = "fine"
    doc.write(target)
    assert b"<fine>fine</fine>" in target.read_bytes()


def test_compare_names_the_differences():
    a = velxmln.fromstring(b"<p><l id='1' c='mon'><s>2</s></l><l id='2'/></p>")
    b = velxmln.fromstring(b"<p><l id='1' c='tue'><s>3</s></l></p>")
    found = [(d.kind, d.path_a, d.attribute_a) for d in velxmln.compare(a, b)]
    assert found == [
        ("ChildCount", "/p", None),
        ("AttributeValue", "/p/l", "c"),
        ("Content", "/p/l/s", None),
        ("MissingChild", "/p", None),
    ]
    ignored = velxmln.compare(a, b, ignore=["l@c", ("l", "id")])
    assert [d.kind for d in ignored] == ["ChildCount", "Content", "MissingChild"]
    assert ignored[1].element_a is a[0][0] and ignored[1].element_b is b[0][0]
    assert repr(ignored[1]) == "<velxmln.Difference Content /p/l/s>"
    with pytest.raises(ValueError, match="'element@attribute'"):
        velxmln.compare(a, b, ignore=["nonsense"])


def test_scan_returns_the_attribute_maps(plant_file, tmp_path):
    assert velxmln.scan(plant_file, "plant/line/machine") == [
        {"id": "101", "speed": "1.25", "on": "1"},
        {"id": "102"},
        {"id": "201", "speed": "2x"},
    ]
    assert velxmln.scan(str(plant_file), "plant/nothing") == []
    bad = tmp_path / "bad.xml"
    bad.write_bytes(b"<a><b x='1'/><b></a>")
    with pytest.raises(velxmln.XMLError, match="cannot scan '.*bad.xml'"):
        velxmln.scan(bad, "a/b")
