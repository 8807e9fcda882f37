// Fuzz target: the reader on arbitrary bytes, and the round trip of whatever it accepts.
//
// Property: when Tree::buildOfStream accepts the input, putToStream writes the tree and reading
// that text back gives the same document, apart from what XML itself normalizes (see
// fuzzing::normalizeTree: line ends, white space in attribute values, joined text pieces, the
// trimmed value of a text-only element). The writer may refuse a tree the reader accepted only for
// a control character in a text (a document that declares XML 1.1 may carry them as character
// references; the writer produces XML 1.0). Any other exception, a crash or a leak is a fault.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include <VelXmlN/CodePage.h>
#include <VelXmlN/Tree.h>
#include <VelXmlN/kasxmln.h>

#include "FuzzSupport.h"

namespace {

bool hasControlCharacter(const VelXmlN::Data& element) {
    auto control = [](const std::string& text) {
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
                return true;
            }
        }
        return false;
    };
    if (control(element.getData()) || control(element.getName())) {
        return true;
    }
    for (const VelXmlN::AttributeData* attribute : element.getAttributes()) {
        if (control(attribute->getData()) || control(attribute->getName())) {
            return true;
        }
    }
    for (const VelXmlN::Data* child : element.getChildren()) {
        if (hasControlCharacter(*child)) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The round trip needs a narrow code page that holds every character: UTF-8 (System is the
    // ANSI code page on Windows, where a name beyond it would read back as "?").
    VelXmlN::setNarrowCodePage(VelXmlN::NarrowCodePage::Utf8);
    VelXmlN::Tree first;
    {
        std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
        try {
            first.buildOfStream(in);
        } catch (const kasxmln::CXMLException&) {
            if (first.getRoot() != nullptr) {
                fuzzing::fault("a refused document left a root", "");
            }
            return 0;
        }
    }
    if (first.getRoot() == nullptr) {
        return 0;
    }
    std::ostringstream out;
    try {
        first.putToStream(out);
    } catch (const kasxmln::CXMLException& error) {
        if (!hasControlCharacter(*first.getRoot())) {
            fuzzing::fault("the writer refused a tree the reader built", error.what());
        }
        return 0;
    }
    VelXmlN::Tree second;
    {
        std::istringstream in(out.str());
        try {
            second.buildOfStream(in);
        } catch (const kasxmln::CXMLException& error) {
            fuzzing::fault("the written text does not read back",
                           std::string(error.what()) + "\n--- written:\n" + out.str());
        }
    }
    fuzzing::normalizeTree(first.getRoot());
    if (second.getRoot() == nullptr || !fuzzing::sameRoots(*first.getRoot(), *second.getRoot())) {
        fuzzing::fault("the tree read back differs",
                       "--- written:\n" + out.str() + "\n--- expected:\n" +
                           fuzzing::describe(first.getRoot()) + "--- read back:\n" +
                           fuzzing::describe(second.getRoot()));
    }
    return 0;
}
