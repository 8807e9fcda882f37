// Builds a small element tree, stores typed values in it and reads them back.
#include <VelXmlN/VelXmlN.h>

#include <iostream>

using VelXmlN::Data;

int main() {
    Data machine("machine");
    machine.setAttribute("id", 7);
    machine.setAttribute("ratio", 0.1);            // stored as "0.10000000000000000555"
    machine.setAttribute("speed", 1.25, "%8.3f");  // stored as "1.250"

    Data* position = machine.createChild("position");
    position->createChild("X")->setData(1.5);
    position->createChild("Y")->setData(-2.0);
    position->createChild("Z")->setData(1e20);

    machine.createChild("limits")->writeIntSet({12, 5, -3});

    std::cout << "machine id     " << machine.getAttributeInt("id") << '\n';
    std::cout << "ratio text     " << machine.getAttributeString("ratio") << '\n';
    std::cout << "speed text     " << machine.getAttributeString("speed") << '\n';
    const auto xyz = position->getVector();
    std::cout << "position       " << xyz[0] << ' ' << xyz[1] << ' ' << xyz[2] << '\n';
    std::cout << "Z as text      " << position->getChildString("Z") << '\n';
    std::cout << "limits         ";
    for (const auto* attribute : machine.findChild("limits")->getAttributes()) {
        std::cout << attribute->getName() << '=' << attribute->getData() << ' ';
    }
    std::cout << '\n';
    std::cout << "missing int    " << machine.getAttributeInt("missing") << " (attribute), "
              << machine.getChildInt("missing") << " (child)\n";

    Data copy(machine);
    std::cout << "copy finds Y   " << (copy.findTree("Y", true) != nullptr ? "yes" : "no") << '\n';
    return 0;
}
