// Fuzz target: XPathNavigator::select on arbitrary paths over a fixed tree, and buildXPath on what
// they select.
//
// Properties: select never crashes and returns only elements of the tree, none twice in the child
// form; the plain path that buildXPath gives for a selected named element, selected from the root,
// finds that element again (the fixed tree's names hold no "/" and no "["). A text piece beside
// child elements is a nameless element: a step with an empty name ("plant/[@a='']") selects it,
// but its plain path ends in an empty step, which adds none, so it cannot be found again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <VelXmlN/Tree.h>
#include <VelXmlN/XPathNavigator.h>

#include "FuzzSupport.h"

namespace {

const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<plant name=\"north\">"
    "<section id=\"1\" kind=\"a\"><item id=\"1\">one</item><item id=\"2\">two</item>"
    "<item>three<item id=\"3\"/></item></section>"
    "<section id=\"2\"><group><item id=\"'\"/><item id=\"x y\"/></group></section>"
    "<section/>mixed<empty a=\"\"/>"
    "<deep><deep><deep id=\"1\"><deep/></deep></deep></deep>"
    "</plant>";

struct Fixture {
    VelXmlN::Tree tree;
    std::set<const VelXmlN::Data*> members;

    Fixture() {
        std::istringstream in(kDocument);
        tree.buildOfStream(in);
        std::vector<const VelXmlN::Data*> stack{tree.getRoot()};
        while (!stack.empty()) {
            const VelXmlN::Data* element = stack.back();
            stack.pop_back();
            members.insert(element);
            for (const VelXmlN::Data* child : element->getChildren()) {
                stack.push_back(child);
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    const std::string path(reinterpret_cast<const char*>(data), size);
    VelXmlN::Tree& tree = fixture.tree;
    const VelXmlN::XPathNavigator navigator(&tree);

    const std::vector<VelXmlN::Data*> found = navigator.select(path);
    const bool descendant = path.compare(0, 2, "//") == 0;
    std::set<const VelXmlN::Data*> seen;
    for (const VelXmlN::Data* element : found) {
        if (fixture.members.count(element) == 0) {
            fuzzing::fault("select gave an element outside the tree", path);
        }
        if (!seen.insert(element).second && !descendant) {
            fuzzing::fault("select gave an element twice", path);
        }
    }
    for (std::size_t i = 0; i < found.size() && i < 8; ++i) {
        const VelXmlN::Data* element = found[i];
        if (element->getName().empty()) {
            continue;
        }
        const std::string plain = navigator.buildXPath(element);
        const std::vector<VelXmlN::Data*> again = navigator.select(plain);
        if (std::find(again.begin(), again.end(), element) == again.end()) {
            fuzzing::fault("the built path does not find its element", path + "\n" + plain);
        }
        // The attribute form with an attribute name taken from the path itself.
        const std::string withId = navigator.buildXPath(element, "id");
        const std::string withOther = navigator.buildXPath(element, path.substr(0, 8));
        static_cast<void>(navigator.select(withId));
        static_cast<void>(navigator.select(withOther));
    }
    // The same path from an inner element, and from a navigator without a start element.
    const VelXmlN::XPathNavigator inner(tree.getRoot()->getChildren().front());
    static_cast<void>(inner.select(path));
    const VelXmlN::XPathNavigator none(nullptr);
    if (!none.select(path).empty()) {
        fuzzing::fault("a navigator without a start element selected something", path);
    }
    return 0;
}
