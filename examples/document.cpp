// Reads a small document, changes it, and writes it back as the library writes every document.
#include <VelXmlN/VelXmlN.h>

#include <iostream>
#include <sstream>

int main() {
    std::istringstream sample(
        "<?xml version=\"1.0\"?>\n"
        "<config>\n"
        "  <!-- values are read as text -->\n"
        "  <axis name=\"x\" speed=\"1.25\">  first  </axis>\n"
        "  <note>Mixed <b>bold</b> text &amp; more</note>\n"
        "</config>\n");
    try {
        VelXmlN::Tree tree(sample);
        VelXmlN::Data* axis = tree.getRoot()->findChild("axis");
        axis->setAttribute("speed", axis->getAttributeDouble("speed") * 2);
        tree.open("config", false);
        tree.open("axis", true);
        tree.setAttribute("name", 2.0);
        tree.close();
        tree.putToStream(std::cout);
    } catch (const kasxmln::CXMLException& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
