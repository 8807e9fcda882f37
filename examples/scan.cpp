// Streams a file for the attributes of the elements at a path with both scanners, without
// building a tree. The file is the first argument (examples/data/plant.xml in CI).
#include <VelXmlN/VelXmlN.h>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " plant.xml\n";
        return 2;
    }
    VelXmlN::Sax2Interface xerces(argv[1]);
    const auto machines = xerces.getAttributes("plant/line/machine");
    for (const auto& attributes : machines) {
        std::cout << "machine " << attributes.at("id") << " runs at " << attributes.at("speed")
                  << '\n';
    }
    for (const std::string& message : xerces.getErrorTexts()) {
        std::cerr << "error: " << message << '\n';
    }

    VelXmlN::SaxInterface node(argv[1]);
    const auto settings = node.getAttributes("plant/settings/Range");
    std::cout << "range " << (settings.empty() ? "?" : settings.front().at("Value")) << '\n';
    for (const std::string& message : node.getExceptions()) {
        std::cerr << "error: " << message << '\n';
    }
    return machines.size() == 3 && xerces.getErrorTexts().empty() ? 0 : 1;
}
