// Reads an XML file into an element tree and writes it back in the library's layout (UTF-8, CR LF
// line ends, one tab per level, escaped text): to standard output, and with a second argument
// also to that file, which is replaced as a whole or not at all.
#include <VelXmlN/VelXmlN.h>

#include <fstream>
#include <iostream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: " << argv[0] << " FILE.xml [OUT.xml]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot open the file\n";  // a missing file throws nothing
        return 2;
    }
    try {
        VelXmlN::Tree tree(in);       // reads the whole document
        tree.putToStream(std::cout);  // UTF-8, CR LF, one tab per level
        if (argc == 3) {
            VelXmlN::writeFileAtomically(argv[2],
                                         [&](std::ostream& out) { tree.putToStream(out); });
        }
    } catch (const kasxmln::CXMLException& error) {
        std::cerr << argv[1] << ": " << error.what() << "\n";  // what and where
        return 1;
    } catch (const std::runtime_error& error) {
        std::cerr << error.what() << "\n";  // the file that could not be written, and why
        return 1;
    }
    return 0;
}
