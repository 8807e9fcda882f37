// Fuzz target: the writer on trees built from the input, with arbitrary names, texts and values.
//
// Property: putToStream either throws kasxmln::CXMLException (an invalid name, a control character
// or NUL byte, a text the code page cannot convert) or writes a text that reads back, without an
// exception, as the same document apart from what XML itself normalizes (see
// fuzzing::normalizeTree). A byte sequence that is not UTF-8 (the narrow code page here) is
// written as U+FFFD, so trees holding one are only read back, not compared. With an encode skip
// set, texts are taken as already escaped, so the output need not read back at all: then only
// crashes and leaks count. Nothing may crash or leak.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <VelXmlN/Tree.h>
#include <VelXmlN/kasxmln.h>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input input(data, size);
    VelXmlN::Tree tree;
    VelXmlN::Data* current = tree.createRoot(input.text(16));
    std::size_t elements = 1;
    // Bounded so that one input stays small and quick.
    while (!input.empty() && elements < 200) {
        switch (input.smallInt(8)) {
            case 0:
            case 1:
                current = current->createChild(input.text(16));
                ++elements;
                break;
            case 2:
                if (current->getParent() != nullptr) {
                    current = current->getParent();
                }
                break;
            case 3:
                current->setDataPlain(input.text());
                break;
            case 4:
                current->setAttribute(input.text(16), input.text(), true);
                break;
            case 5: {
                // A text piece beside child elements.
                auto piece = std::make_unique<VelXmlN::Data>();
                piece->setDataPlain(input.text());
                current->addChild(std::move(piece));
                break;
            }
            case 6:
                current->setData(input.real());
                break;
            default:
                tree.setEncodeSkip(static_cast<VelXmlN::EncodeSkip>(input.smallInt(8)));
                break;
        }
    }
    std::ostringstream out;
    try {
        tree.putToStream(out);
    } catch (const kasxmln::CXMLException&) {
        return 0;
    }
    VelXmlN::Tree back;
    std::istringstream in(out.str());
    try {
        back.buildOfStream(in);
    } catch (const kasxmln::CXMLException& error) {
        if (tree.getEncodeSkip() != VelXmlN::EncodeSkipNone) {
            return 0;
        }
        fuzzing::fault("the written text does not read back",
                       std::string(error.what()) + "\n--- written:\n" + out.str());
    }
    if (tree.getEncodeSkip() != VelXmlN::EncodeSkipNone || !fuzzing::isUtf8Tree(*tree.getRoot())) {
        return 0;
    }
    fuzzing::normalizeTree(tree.getRoot());
    if (back.getRoot() == nullptr || !fuzzing::sameRoots(*tree.getRoot(), *back.getRoot())) {
        fuzzing::fault("the tree read back differs",
                       "--- written:\n" + out.str() + "\n--- expected:\n" +
                           fuzzing::describe(tree.getRoot()) + "--- read back:\n" +
                           fuzzing::describe(back.getRoot()));
    }
    return 0;
}
