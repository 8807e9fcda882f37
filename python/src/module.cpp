// The compiled part of the velxmln Python package: documents and elements of the C++ library as
// Python objects.
//
// Ownership: a Document owns its tree; an Element object only refers to an element, except that
// an element with no parent outside any document (made by Element(...), fromstring(), or taken
// out with remove()) is owned by its Element object. There is at most one Element object per
// element, found through a registry, so that when a subtree is destroyed (its document or its
// owning Element object goes) every Element object inside it is told and raises ReferenceError
// from then on instead of reaching freed memory. Everything runs under the GIL, which guards the
// registry.
#include <VelXmlN/VelXmlN.h>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace py = pybind11;

using VelXmlN::Data;
using VelXmlN::Tree;

namespace {

// ---- Element objects and the registry -----------------------------------------------------------

struct ElementRef {
    Data* node;
    // True while this object owns `node` (a top element outside any document).
    bool owned;

    ElementRef(Data* node_, bool owned_) : node(node_), owned(owned_) {}
    ElementRef(const ElementRef&) = delete;
    ElementRef& operator=(const ElementRef&) = delete;
    ~ElementRef();

    Data& get() const {
        if (node == nullptr) {
            PyErr_SetString(
                PyExc_ReferenceError,
                "the element no longer exists: its document or parent has been destroyed");
            throw py::error_already_set();
        }
        return *node;
    }
};

std::unordered_map<const Data*, ElementRef*>& registry() {
    static std::unordered_map<const Data*, ElementRef*> elements;
    return elements;
}

// Tells every Element object inside the subtree of `top` that its element is about to be
// destroyed. The walk is iterative (documents may be deeply nested) and skipped when no Element
// object exists at all.
void forgetSubtree(const Data* top) {
    auto& elements = registry();
    if (top == nullptr || elements.empty()) {
        return;
    }
    std::vector<const Data*> pending{top};
    while (!pending.empty() && !elements.empty()) {
        const Data* node = pending.back();
        pending.pop_back();
        const auto found = elements.find(node);
        if (found != elements.end()) {
            found->second->node = nullptr;
            found->second->owned = false;
            elements.erase(found);
        }
        for (const Data* child : node->getChildren()) {
            pending.push_back(child);
        }
    }
}

ElementRef::~ElementRef() {
    if (node == nullptr) {
        return;
    }
    registry().erase(node);
    if (owned) {
        forgetSubtree(node);
        delete node;
    }
}

// The one Element object of `node`, made when there is none; None for null.
py::object elementObject(Data* node, bool owned = false) {
    if (node == nullptr) {
        return py::none();
    }
    auto& elements = registry();
    const auto found = elements.find(node);
    if (found != elements.end()) {
        // pybind11 hands back the Python object that already wraps this C++ object.
        return py::cast(found->second, py::return_value_policy::reference);
    }
    // Registered before the Python object exists: should making it fail, the ElementRef's
    // destructor takes the entry out again.
    auto ref = std::make_unique<ElementRef>(node, owned);
    elements.emplace(node, ref.get());
    return py::cast(std::move(ref));
}

// A new element owned by its Element object.
py::object ownedElement(std::unique_ptr<Data> node) {
    // From here the ElementRef owns the element, also when making the Python object fails.
    auto ref = std::make_unique<ElementRef>(node.release(), true);
    registry().emplace(ref->node, ref.get());
    return py::cast(std::move(ref));
}

// ---- Documents
// ------------------------------------------------------------------------------------

struct Document {
    std::unique_ptr<Tree> tree = std::make_unique<Tree>();

    Document() = default;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    ~Document() { forgetSubtree(tree->getRoot()); }
};

// ---- Text and errors
// ------------------------------------------------------------------------------

py::handle xmlErrorType() {
    static py::object type = py::module_::import("velxmln._errors").attr("XMLError");
    return type;
}

// The line and column of a message that ends its "what" with " at line L, column C".
std::pair<long, long> placeOf(const std::string& message) {
    const std::size_t at = message.rfind(" at line ");
    long line = 0;
    long column = 0;
    if (at != std::string::npos &&
        std::sscanf(message.c_str() + at, " at line %ld, column %ld", &line, &column) >= 1) {
        return {line, column};
    }
    return {0, 0};
}

[[noreturn]] void raiseXmlError(const std::string& message) {
    const auto place = placeOf(message);
    py::object error = xmlErrorType()(message, place.first, place.second);
    PyErr_SetObject(xmlErrorType().ptr(), error.ptr());
    throw py::error_already_set();
}

// Raises the OSError subclass for errno `code` naming `path` (FileNotFoundError and so on).
[[noreturn]] void raiseFileError(int code, const py::object& path) {
    errno = code;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
}

// A path argument (str, bytes or os.PathLike) as the narrow file name the library takes, and as
// the object that an OSError names.
struct PathArgument {
    std::string name;
    py::object original;
};

PathArgument pathArgument(const py::object& path) {
    py::object os = py::module_::import("os");
    py::object fsPath = os.attr("fspath")(path);
    return {os.attr("fsencode")(fsPath).cast<std::string>(), fsPath};
}

std::string bytesOf(const py::object& text) {
    if (py::isinstance<py::str>(text)) {
        return text.cast<std::string>();
    }
    if (py::isinstance<py::bytes>(text) || py::isinstance<py::bytearray>(text) ||
        py::isinstance<py::memoryview>(text)) {
        return py::bytes(py::module_::import("builtins").attr("bytes")(text)).cast<std::string>();
    }
    throw py::type_error("expected str or bytes, not " +
                         py::str(py::type::handle_of(text).attr("__name__")).cast<std::string>());
}

// ---- Reading and writing
// ---------------------------------------------------------------------------

std::unique_ptr<Document> parse(const py::object& path) {
    const PathArgument file = pathArgument(path);
    std::error_code ignored;
    if (std::filesystem::is_directory(file.name, ignored)) {
        raiseFileError(EISDIR, file.original);
    }
    errno = 0;
    std::ifstream in(file.name, std::ios_base::binary);
    if (!in) {
        raiseFileError(errno != 0 ? errno : ENOENT, file.original);
    }
    auto document = std::make_unique<Document>();
    try {
        document->tree->buildOfStream(in);
    } catch (const kasxmln::CXMLException& error) {
        raiseXmlError(error.what());
    }
    if (document->tree->getRoot() == nullptr) {
        raiseXmlError("the file holds no element");
    }
    return document;
}

py::object fromstring(const py::object& text) {
    std::istringstream in(bytesOf(text));
    Tree tree;
    try {
        tree.buildOfStream(in);
    } catch (const kasxmln::CXMLException& error) {
        raiseXmlError(error.what());
    }
    std::unique_ptr<Data> root(tree.getRoot());
    tree.setRoot(nullptr);
    if (!root) {
        raiseXmlError("the text holds no element");
    }
    return ownedElement(std::move(root));
}

// Writes `node` as a whole document to `out`: through a tree that borrows it for the moment.
void writeElement(const Data& node, std::ostream& out) {
    Tree tree;
    tree.setRoot(const_cast<Data*>(&node));
    struct Release {
        Tree& tree;
        ~Release() { tree.setRoot(nullptr); }
    } release{tree};
    try {
        tree.putToStream(out);
    } catch (const kasxmln::CXMLException& error) {
        raiseXmlError(error.what());
    }
}

const Data& rootOf(const Document& document) {
    const Data* root = document.tree->getRoot();
    if (root == nullptr) {
        throw py::value_error("the document has no root element");
    }
    return *root;
}

py::bytes tostring(const py::object& item) {
    std::ostringstream out;
    if (py::isinstance<Document>(item)) {
        writeElement(rootOf(item.cast<const Document&>()), out);
    } else {
        writeElement(item.cast<const ElementRef&>().get(), out);
    }
    return py::bytes(out.str());
}

void writeDocument(const Document& document, const py::object& path) {
    const Data& root = rootOf(document);
    const PathArgument file = pathArgument(path);
    try {
        // The library's own replacement: a temporary file in the target's folder, synced, then
        // renamed over the target, so a failed write leaves the old file as it was.
        VelXmlN::writeFileAtomically(file.name,
                                     [&root](std::ostream& out) { writeElement(root, out); });
    } catch (const kasxmln::CXMLException& error) {
        raiseXmlError(error.what());
    } catch (const std::runtime_error& error) {
        // The writer's message names the file and the system's reason.
        PyErr_SetString(PyExc_OSError, error.what());
        throw py::error_already_set();
    }
}

// ---- Elements
// ----------------------------------------------------------------------------------------

void setAttributeValue(Data& node, const std::string& name, const py::handle& value) {
    if (py::isinstance<py::bool_>(value)) {
        node.setAttribute(name, value.cast<bool>() ? 1 : 0);
    } else if (py::isinstance<py::int_>(value)) {
        node.setAttribute(name, value.cast<long long>());
    } else if (py::isinstance<py::float_>(value)) {
        node.setAttribute(name, value.cast<double>());
    } else if (py::isinstance<py::str>(value)) {
        node.setAttribute(name, value.cast<std::string>(), true);
    } else {
        throw py::type_error(
            "an attribute value is str, int, float or bool, not " +
            py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
    }
}

std::unique_ptr<ElementRef> makeElement(const std::string& name, const py::object& attrib,
                                        const py::kwargs& extra) {
    auto node = std::make_unique<Data>(name);
    if (!attrib.is_none()) {
        for (const auto& item : attrib.cast<py::dict>()) {
            setAttributeValue(*node, item.first.cast<std::string>(), item.second);
        }
    }
    for (const auto& item : extra) {
        setAttributeValue(*node, item.first.cast<std::string>(), item.second);
    }
    auto ref = std::make_unique<ElementRef>(node.release(), true);
    registry().emplace(ref->node, ref.get());
    return ref;
}

bool isInside(const Data* node, const Data* ancestor) {
    for (; node != nullptr; node = node->getParent()) {
        if (node == ancestor) {
            return true;
        }
    }
    return false;
}

void appendChild(ElementRef& parentRef, ElementRef& childRef) {
    Data& parent = parentRef.get();
    Data& child = childRef.get();
    if (isInside(&parent, &child)) {
        throw py::value_error("an element cannot be appended to itself or to an element inside it");
    }
    Data* oldParent = child.getParent();
    if (oldParent == nullptr && !childRef.owned) {
        throw py::value_error(
            "the root element of a document cannot be moved; append a copy "
            "(fromstring(tostring(e)))");
    }
    if (oldParent != nullptr) {
        oldParent->removeChild(&child);
    }
    parent.addChild(&child);
    childRef.owned = false;
}

void removeChild(ElementRef& parentRef, ElementRef& childRef) {
    Data& parent = parentRef.get();
    Data& child = childRef.get();
    if (child.getParent() != &parent || !parent.childExist(&child)) {
        throw py::value_error("the element is not a child of this element");
    }
    parent.removeChild(&child);
    child.setParent(nullptr);
    childRef.owned = true;
}

py::list children(const ElementRef& ref) {
    py::list result;
    for (Data* child : ref.get().getChildren()) {
        result.append(elementObject(child));
    }
    return result;
}

py::object childAt(const ElementRef& ref, long index) {
    const auto& list = ref.get().getChildren();
    const long size = static_cast<long>(list.size());
    if (index < 0) {
        index += size;
    }
    if (index < 0 || index >= size) {
        throw py::index_error("child index out of range");
    }
    return elementObject(list[static_cast<std::size_t>(index)]);
}

py::list selectPath(const ElementRef& ref, const std::string& path) {
    py::list result;
    for (Data* found : VelXmlN::XPathNavigator(&ref.get()).select(path)) {
        result.append(elementObject(found));
    }
    return result;
}

std::string elementRepr(const ElementRef& ref) {
    if (ref.node == nullptr) {
        return "<velxmln.Element (destroyed)>";
    }
    return "<velxmln.Element " + py::repr(py::str(ref.node->getName())).cast<std::string>() + ">";
}

// ---- Attributes: a live, dict-like view of one element's attributes
// ------------------------------

struct Attributes {
    py::object element;

    Data& node() const { return element.cast<const ElementRef&>().get(); }

    const VelXmlN::AttributeData& at(const std::string& name) const {
        const VelXmlN::AttributeData* attribute = node().findAttribute(name);
        if (attribute == nullptr) {
            throw py::key_error(name);
        }
        return *attribute;
    }

    py::list names() const {
        py::list result;
        for (const auto* attribute : node().getAttributes()) {
            result.append(py::str(attribute->getName()));
        }
        return result;
    }

    py::dict asDict() const {
        py::dict result;
        for (const auto* attribute : node().getAttributes()) {
            py::str name(attribute->getName());
            if (!result.contains(name)) {
                result[name] = py::str(attribute->getData());
            }
        }
        return result;
    }
};

// ---- Comparing
// ----------------------------------------------------------------------------------------

struct Difference {
    std::string kind;
    py::object elementA;
    py::object elementB;
    py::object attributeA;
    py::object attributeB;
    std::string pathA;
    std::string pathB;
};

const Data* comparedElement(const py::object& item) {
    if (py::isinstance<Document>(item)) {
        return item.cast<const Document&>().tree->getRoot();
    }
    return &item.cast<const ElementRef&>().get();
}

std::vector<Difference> compare(const py::object& a, const py::object& b,
                                const std::vector<py::object>& ignore) {
    std::vector<VelXmlN::Comparing::AttributeExistence> rules;
    rules.reserve(ignore.size());
    for (const py::object& rule : ignore) {
        if (py::isinstance<py::str>(rule)) {
            const std::string text = rule.cast<std::string>();
            const std::size_t at = text.find('@');
            if (at == std::string::npos || at == 0 || at + 1 == text.size()) {
                throw py::value_error("an ignore rule is 'element@attribute', not '" + text + "'");
            }
            rules.emplace_back(text.substr(0, at), text.substr(at + 1));
        } else {
            const auto pair = rule.cast<std::pair<std::string, std::string>>();
            rules.emplace_back(pair.first, pair.second);
        }
    }
    std::vector<VelXmlN::Comparing::Ignore const*> pointers;
    for (const auto& rule : rules) {
        pointers.push_back(&rule);
    }
    const Data* first = comparedElement(a);
    const Data* second = comparedElement(b);
    std::vector<Difference> result;
    for (const auto& item : VelXmlN::Compare::findDifferences(first, second, pointers)) {
        const auto attributeName = [](const VelXmlN::AttributeData* attribute) -> py::object {
            return attribute != nullptr ? py::object(py::str(attribute->getName()))
                                        : py::object(py::none());
        };
        const auto path = [](const Data* node) {
            return node != nullptr ? VelXmlN::XPathNavigator::makeXPath(*node) : std::string();
        };
        result.push_back(
            {VelXmlN::Comparing::DifferentItem::getDifferenceName(item.getDifference()),
             elementObject(const_cast<Data*>(item.getElementA())),
             elementObject(const_cast<Data*>(item.getElementB())),
             attributeName(item.getAttributeA()), attributeName(item.getAttributeB()),
             path(item.getElementA()), path(item.getElementB())});
    }
    return result;
}

// ---- Scanning
// ------------------------------------------------------------------------------------------

std::vector<std::map<std::string, std::string>> scan(const py::object& path,
                                                     const std::string& elementPath) {
    const PathArgument file = pathArgument(path);
    {
        errno = 0;
        std::ifstream probe(file.name, std::ios_base::binary);
        if (!probe) {
            raiseFileError(errno != 0 ? errno : ENOENT, file.original);
        }
    }
    VelXmlN::Sax2Interface scanner(file.name);
    auto found = scanner.getAttributes(elementPath);
    if (!scanner.getErrorTexts().empty()) {
        raiseXmlError("cannot scan '" + file.name + "': " + scanner.getErrorTexts().front());
    }
    if (!scanner.getExceptions().empty()) {
        raiseXmlError("cannot scan '" + file.name + "': " + scanner.getExceptions().back());
    }
    return found;
}

}  // namespace

PYBIND11_MODULE(_velxmln, m) {
    m.doc() = "The compiled part of the velxmln package; use the package, not this module.";
    m.attr("__version__") = VELXMLN_VERSION_STRING;

    // Whatever the library throws becomes a Python exception; nothing ends the interpreter.
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const kasxmln::CXMLException& error) {
            const std::string message = error.what();
            const auto place = placeOf(message);
            py::object instance = xmlErrorType()(message, place.first, place.second);
            PyErr_SetObject(xmlErrorType().ptr(), instance.ptr());
        }
    });

    py::class_<ElementRef>(m, "Element", R"(An XML element: a name, a text, attributes and children.

Element(name, attrib=None, **extra) makes a new element outside any document, owned by this
object until it is appended somewhere. Elements read from a document belong to that document;
using one after its document (or the detached element it lies in) is gone raises ReferenceError.)")
        .def(py::init(&makeElement), py::arg("name"), py::arg("attrib") = py::none())
        .def_property(
            "name", [](const ElementRef& self) { return self.get().getName(); },
            [](const ElementRef& self, const std::string& name) { self.get().setName(name); },
            "The element's name.")
        .def_property(
            "text", [](const ElementRef& self) { return self.get().getData(); },
            [](const ElementRef& self, const std::string& text) { self.get().setData(text); },
            "The element's text (\"\" when it has none); stored without leading and trailing "
            "spaces.")
        .def_property_readonly(
            "attrib", [](py::object self) { return Attributes{std::move(self)}; },
            "The attributes as a live, dict-like view.")
        .def_property_readonly(
            "parent", [](const ElementRef& self) { return elementObject(self.get().getParent()); },
            "The parent element, or None.")
        .def_property_readonly(
            "path",
            [](const ElementRef& self) { return VelXmlN::XPathNavigator::makeXPath(self.get()); },
            "The element's plain path from its topmost ancestor, \"/plant/line/machine\".")
        .def(
            "get",
            [](const ElementRef& self, const std::string& name, py::object fallback) -> py::object {
                const VelXmlN::AttributeData* attribute = self.get().findAttribute(name);
                return attribute != nullptr ? py::object(py::str(attribute->getData()))
                                            : std::move(fallback);
            },
            py::arg("name"), py::arg("default") = py::none(),
            "The text of the first attribute `name`, or `default` when there is none.")
        .def(
            "get_int",
            [](const ElementRef& self, const std::string& name, int fallback) {
                int value = 0;
                return self.get().findAttributeInt(name, value) ? value : fallback;
            },
            py::arg("name"), py::arg("default") = 0,
            "The integer at the start of the attribute's text (0 when it starts with none), or "
            "`default` when the attribute is missing.")
        .def(
            "get_float",
            [](const ElementRef& self, const std::string& name, double fallback) {
                double value = 0.0;
                return self.get().findAttributeDouble(name, value) ? value : fallback;
            },
            py::arg("name"), py::arg("default") = 0.0,
            "The number at the start of the attribute's text, or `default` when it is missing.")
        .def(
            "get_bool",
            [](const ElementRef& self, const std::string& name, bool fallback) {
                bool value = false;
                return self.get().findAttributeBool(name, value) ? value : fallback;
            },
            py::arg("name"), py::arg("default") = false,
            "Whether the attribute's integer is not 0, or `default` when it is missing.")
        .def(
            "set",
            [](const ElementRef& self, const std::string& name, const py::object& value) {
                setAttributeValue(self.get(), name, value);
            },
            py::arg("name"), py::arg("value"),
            "Sets the attribute (str as it is, int in decimal, float with 20 significant digits).")
        .def(
            "find",
            [](const ElementRef& self, const std::string& name) {
                return elementObject(self.get().findChild(name));
            },
            py::arg("name"), "The first child named `name`, or None.")
        .def("select", &selectPath, py::arg("path"),
             "The elements that the path names, evaluated from this element: the first step "
             "matches this element itself (\"line/machine[@id='2']\"), a leading \"//\" searches "
             "the whole subtree (\"//machine\").")
        .def("append", &appendChild, py::arg("child"),
             "Appends `child` as the last child; an element that already has a parent is moved.")
        .def("remove", &removeChild, py::arg("child"),
             "Takes the child out; it then belongs to its Element object.")
        .def("__len__", [](const ElementRef& self) { return self.get().getChildren().size(); })
        .def("__iter__", [](const ElementRef& self) { return py::iter(children(self)); })
        .def("__getitem__", &childAt)
        .def("__bool__", [](const ElementRef&) { return true; })
        .def("__repr__", &elementRepr);

    py::class_<Attributes>(m, "Attributes", "A live, dict-like view of an element's attributes.")
        .def("__getitem__", [](const Attributes& self,
                               const std::string& name) { return self.at(name).getData(); })
        .def("__setitem__",
             [](const Attributes& self, const std::string& name, const py::object& value) {
                 setAttributeValue(self.node(), name, value);
             })
        .def("__delitem__",
             [](const Attributes& self, const std::string& name) {
                 if (!self.node().removeAttribute(name)) {
                     throw py::key_error(name);
                 }
             })
        .def("__contains__",
             [](const Attributes& self, const py::object& name) {
                 return py::isinstance<py::str>(name) &&
                        self.node().findAttribute(name.cast<std::string>()) != nullptr;
             })
        .def("__len__", [](const Attributes& self) { return self.node().getAttributes().size(); })
        .def("__iter__", [](const Attributes& self) { return py::iter(self.names()); })
        .def("keys", &Attributes::names)
        .def("values", [](const Attributes& self) { return self.asDict().attr("values")(); })
        .def("items", [](const Attributes& self) { return self.asDict().attr("items")(); })
        .def(
            "get",
            [](const Attributes& self, const std::string& name, py::object fallback) -> py::object {
                const VelXmlN::AttributeData* attribute = self.node().findAttribute(name);
                return attribute != nullptr ? py::object(py::str(attribute->getData()))
                                            : std::move(fallback);
            },
            py::arg("name"), py::arg("default") = py::none())
        .def("__eq__",
             [](const Attributes& self, const py::object& other) {
                 return self.asDict().equal(py::isinstance<Attributes>(other)
                                                ? other.cast<const Attributes&>().asDict()
                                                : other);
             })
        .def("__repr__", [](const Attributes& self) { return py::repr(self.asDict()); });

    py::class_<Document>(m, "Document",
                         R"(A document: owns its root element and everything below it.

Document(root=None) makes a document; `root` is a name or an Element outside any document, which
the document then owns. The document and all its elements are freed when the last reference to
the Document goes.)")
        .def(py::init([](const py::object& root) {
                 auto document = std::make_unique<Document>();
                 if (py::isinstance<py::str>(root)) {
                     document->tree->setRoot(new Data(root.cast<std::string>()));
                 } else if (!root.is_none()) {
                     auto& ref = root.cast<ElementRef&>();
                     Data& node = ref.get();
                     if (!ref.owned) {
                         throw py::value_error(
                             "the element belongs to a document or a parent; remove it first");
                     }
                     document->tree->setRoot(&node);
                     ref.owned = false;
                 }
                 return document;
             }),
             py::arg("root") = py::none())
        .def_property_readonly(
            "root", [](const Document& self) { return elementObject(self.tree->getRoot()); },
            "The root element, or None.")
        .def("write", &writeDocument, py::arg("path"),
             "Writes the document as UTF-8 XML; the file is replaced as a whole or not at all.")
        .def("__repr__", [](const Document& self) {
            const Data* root = self.tree->getRoot();
            return root != nullptr
                       ? "<velxmln.Document root=" +
                             py::repr(py::str(root->getName())).cast<std::string>() + ">"
                       : std::string("<velxmln.Document (empty)>");
        });

    py::class_<Difference>(m, "Difference", "One difference found by compare().")
        .def_readonly("kind", &Difference::kind,
                      "ChildCount, AttributeCount, MissingChild, MissingAttribute, AttributeValue, "
                      "Content or MissingElement.")
        .def_readonly("element_a", &Difference::elementA)
        .def_readonly("element_b", &Difference::elementB)
        .def_readonly("attribute_a", &Difference::attributeA,
                      "The attribute's name for AttributeValue, else None.")
        .def_readonly("attribute_b", &Difference::attributeB)
        .def_readonly("path_a", &Difference::pathA)
        .def_readonly("path_b", &Difference::pathB)
        .def("__repr__", [](const Difference& self) {
            std::string text = "<velxmln.Difference " + self.kind + " " + self.pathA;
            if (!self.attributeA.is_none()) {
                text += "/@" + self.attributeA.cast<std::string>();
            }
            return text + ">";
        });

    m.def("parse", &parse, py::arg("path"),
          "Reads the file into a Document. Raises XMLError (a ValueError, with message, line and "
          "column) for a malformed document, OSError when the file cannot be read.");
    m.def("fromstring", &fromstring, py::arg("text"),
          "Reads a document from bytes (or str, taken as UTF-8) and returns its root Element, "
          "owned by that object. Raises XMLError.");
    m.def("tostring", &tostring, py::arg("element"),
          "The element (or the document's root) with everything below it, written as a UTF-8 XML "
          "document, as bytes.");
    m.def(
        "compare", &compare, py::arg("a"), py::arg("b"),
        py::arg("ignore") = std::vector<py::object>(),
        "The differences below two elements (or documents' roots), as Difference records. "
        "`ignore` lists attributes to leave out, as 'element@attribute' or (element, attribute).");
    m.def("scan", &scan, py::arg("path"), py::arg("element_path"),
          "Streams the file for the elements at `element_path` (\"plant/line/machine\") without "
          "building a tree; returns one dict of attributes per element. Raises XMLError, OSError.");
}
