// Small helpers shared by the test suites: data files, temporary folders, the code-page guard and
// a canonical text form of element trees for comparisons.
#ifndef VELXMLN_TESTS_SUPPORT_TESTSUPPORT_H
#define VELXMLN_TESTS_SUPPORT_TESTSUPPORT_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <VelXmlN/CodePage.h>
#include <VelXmlN/Data.h>
#include <VelXmlN/kasxmln.h>

#include "support/ScratchFolder.h"

namespace testsupport {

/// The path of a file in tests/data.
inline std::string dataPath(const std::string& name) {
    std::string here = __FILE__;
    return here.substr(0, here.rfind("/support/")) + "/data/" + name;
}

/// The bytes of the file at `path`; empty when it cannot be read.
inline std::string fileText(const std::string& path) {
    return readFile(path).value_or("");
}

/// Sets the narrow code page for one scope and restores the previous one.
class CodePageScope {
  public:
    explicit CodePageScope(VelXmlN::NarrowCodePage codePage)
        : previous_(VelXmlN::getNarrowCodePage()) {
        VelXmlN::setNarrowCodePage(codePage);
    }
    ~CodePageScope() { VelXmlN::setNarrowCodePage(previous_); }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

  private:
    VelXmlN::NarrowCodePage previous_;
};

/// Every field the text of a document carries, in a form that two equal trees share:
/// name{attribute="value" ...}"data"[children].
inline void describe(const VelXmlN::Data& element, std::string& out) {
    out += element.getName() + "{";
    for (const VelXmlN::AttributeData* attribute : element.getAttributes()) {
        out += attribute->getName() + "=\"" + attribute->getData() + "\" ";
    }
    out += "}\"" + element.getData() + "\"[";
    for (const VelXmlN::Data* child : element.getChildren()) {
        describe(*child, out);
        out += ",";
    }
    out += "]";
}

inline std::string describe(const VelXmlN::Data* element) {
    std::string out;
    if (element != nullptr) {
        describe(*element, out);
    }
    return out;
}

/// Shows control characters and bytes above 0x7E as \xNN, so failures print readably.
inline std::string visible(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace testsupport

/// Expects `statement` to throw kasxmln::CXMLException with the given numbers and message text.
#define EXPECT_XML_THROW(statement, code, detail, text)                         \
    do {                                                                        \
        try {                                                                   \
            statement;                                                          \
            ADD_FAILURE() << "no CXMLException from " #statement;               \
        } catch (const kasxmln::CXMLException& thrown) {                        \
            EXPECT_EQ(thrown.GetCode(), (code));                                \
            EXPECT_EQ(thrown.GetDetail(), static_cast<unsigned>(detail));       \
            EXPECT_EQ(std::string(thrown.GetMessageText()), std::string(text)); \
        }                                                                       \
    } while (false)

#endif
