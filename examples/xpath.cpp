// Selects elements of a document with the XPath subset and builds paths back from elements.
#include <VelXmlN/VelXmlN.h>

#include <iostream>
#include <sstream>

int main() {
    std::istringstream text(
        "<plant>"
        "<line id='1'><machine id='101'>press</machine><machine id='102'>lathe</machine></line>"
        "<line id='2'><machine id='201'>wrapper</machine></line>"
        "</plant>");
    VelXmlN::Tree tree(text);
    VelXmlN::XPathNavigator navigator(&tree);

    // Child form: the first step names the root, each further step its children.
    for (VelXmlN::Data* machine : navigator.select("plant/line[@id='1']/machine")) {
        std::cout << navigator.buildXPath(machine) << " = " << machine->getData() << '\n';
    }
    // Descendant form: every element of that name, at any depth, in document order.
    for (VelXmlN::Data* machine : navigator.select("//machine")) {
        std::cout << navigator.buildXPath(machine, "id") << '\n';
    }
    // A path built with an attribute selects the element again.
    VelXmlN::Data* last = navigator.select("//machine").back();
    const std::string path = navigator.buildXPath(last, "id");
    std::cout << path << " selects " << navigator.select(path).size() << " element(s)\n";
    // A malformed predicate matches nothing; it is not an error.
    std::cout << "malformed: " << navigator.select("plant/line[id='1']").size() << " element(s)\n";
    return navigator.select(path).size() == 1 ? 0 : 1;
}
