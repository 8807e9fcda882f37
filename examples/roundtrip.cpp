// Reads an XML file into an element tree and writes it back to standard output in the library's
// layout: UTF-8, CR LF line ends, one tab per level, escaped text.
#include <VelXmlN/VelXmlN.h>

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " FILE.xml\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot open the file\n";
        return 2;
    }
    try {
        VelXmlN::Tree tree(in);
        tree.putToStream(std::cout);
    } catch (const kasxmln::CXMLException& error) {
        std::cerr << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
    return 0;
}
