// The flat functions on the one process-wide current document and its current element.
#include <VelXmlN/velxmln.h>

#include <VelXmlN/Data.h>
#include <VelXmlN/Tree.h>

#include "elements/NumberText.h"
#include "flat/DocumentFile.h"
#include "flat/ErrorMode.h"
#include "flat/FileOpeners.h"
#include "flat/TextBuffer.h"
#include "flat/TextLine.h"

#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>

using VelXmlN::Data;
using VelXmlN::Tree;

namespace {

// Made by VELXMLN_ReadFile or VELXMLN_Open, deleted by VELXMLN_ReadFile and VELXMLN_Stop. A plain
// pointer is ready before any static initialiser could call in, and the document is deliberately
// not destroyed when the library is unloaded.
Tree* currentTree = nullptr;

Data* currentElement() {
    return currentTree != nullptr ? currentTree->getCurrentNode() : nullptr;
}

// The current element's first attribute of that name; null without a current element, a name or
// such an attribute.
const VelXmlN::AttributeData* currentAttribute(const char* name) {
    Data* element = currentElement();
    return name != nullptr && element != nullptr ? element->findAttribute(name) : nullptr;
}

// Reads a number from the start of `text` as stream extraction does: white space skipped, the
// longest prefix taken, 0 when there is none, the type's limits when it is out of range. The
// classic locale keeps a program's global locale from changing the decimal point.
template <typename Number>
void readNumber(const std::string& text, Number* value) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> *value;
}

// Applies a formatting setter; a format Data refuses (not exactly one conversion of a double, or
// a result too long) is reported as a refusal, never as an exception through the C boundary.
template <typename Apply>
int applyFormat(Apply&& apply) {
    try {
        apply();
    } catch (const std::invalid_argument&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
    return 1;
}

// VELXMLN_GetReal and VELXMLN_GetInt: the current element's text read as a number.
template <typename Number>
int getNumber(Number* value) {
    return VelXmlN::detail::guarded(0, [&] {
        Data* element = currentElement();
        if (value == nullptr || element == nullptr) {
            return 0;
        }
        readNumber(element->getData(), value);
        return 1;
    });
}

// VELXMLN_SetReal and VELXMLN_SetInt: carried out as soon as there is a document, stored only
// when there is a current element.
template <typename Number>
int setNumber(Number value) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr) {
            return 0;
        }
        if (Data* element = currentElement()) {
            element->setData(value);
        }
        return 1;
    });
}

}  // namespace

int VELXMLN_ReadFile(const char* fileName) {
    return VelXmlN::detail::guarded(
        0,
        [&] {
            if (fileName == nullptr) {
                return 0;
            }
            delete currentTree;
            currentTree = nullptr;
            currentTree = new Tree();
            const auto stream = VelXmlN::detail::openInputFile(fileName);
            if (!stream->good()) {
                VelXmlN::detail::noteOpenFailure(fileName);
                return 0;
            }
            currentTree->buildOfStream(*stream);
            return 1;
        },
        "read", fileName);
}

int VELXMLN_WriteFile(const char* fileName) {
    return VelXmlN::detail::guarded(
        0,
        [&] {
            if (currentTree == nullptr || fileName == nullptr) {
                return 0;
            }
            return VelXmlN::detail::writeDocument(*currentTree, fileName) ? 1 : 0;
        },
        "write", fileName);
}

int VELXMLN_Open(const char* name) {
    return VelXmlN::detail::guarded(0, [&] {
        if (name == nullptr) {
            return 0;
        }
        if (currentTree == nullptr) {
            currentTree = new Tree();
        }
        currentTree->open(name, true);
        return 1;
    });
}

int VELXMLN_Close(void) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr) {
            return 0;
        }
        currentTree->close();
        return 1;
    });
}

int VELXMLN_Stop(void) {
    return VelXmlN::detail::guarded(0, [&] {
        delete currentTree;
        currentTree = nullptr;
        return 1;
    });
}

int VELXMLN_GetReal(double* value) {
    return getNumber(value);
}

int VELXMLN_SetReal(double value) {
    return setNumber(value);
}

int VELXMLN_SetRealFormat(double value, const char* format) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr || format == nullptr) {
            return 0;
        }
        return applyFormat([value, format] {
            // Without a current element nothing is stored, but the same format gets the same
            // answer.
            if (Data* element = currentElement()) {
                element->setData(value, format);
            } else {
                Data().setData(value, format);
            }
        });
    });
}

int VELXMLN_GetInt(int* value) {
    return getNumber(value);
}

int VELXMLN_SetInt(int value) {
    return setNumber(value);
}

int VELXMLN_GetText(char* buffer, size_t bufferSize, int* length) {
    return VelXmlN::detail::guarded(0, [&] {
        Data* element = currentElement();
        if (buffer == nullptr || element == nullptr) {
            return 0;
        }
        VelXmlN::detail::copyToBuffer(element->getData(), buffer, bufferSize);
        if (length != nullptr) {
            *length =
                VelXmlN::detail::lengthResult(VelXmlN::detail::cTextLength(element->getData()));
        }
        return 1;
    });
}

int VELXMLN_SetText(const char* text) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr || text == nullptr) {
            return 0;
        }
        if (Data* element = currentElement()) {
            element->setData(std::string(text));
        }
        return 1;
    });
}

int VELXMLN_AddTextLine(const char* line) {
    return VelXmlN::detail::guarded(0, [&] {
        Data* element = currentElement();
        if (line == nullptr || element == nullptr) {
            return 0;
        }
        element->setData(VelXmlN::detail::appendTextLine(element->getData(), line));
        return 1;
    });
}

int VELXMLN_GetAttributeReal(const char* name, double* value) {
    return VelXmlN::detail::guarded(0, [&] {
        const VelXmlN::AttributeData* attribute = currentAttribute(name);
        if (value == nullptr || attribute == nullptr) {
            return 0;
        }
        *value = VelXmlN::detail::readDouble(attribute->getChar());
        return 1;
    });
}

int VELXMLN_SetAttributeReal(const char* name, double value) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr || name == nullptr) {
            return 0;
        }
        if (Data* element = currentElement()) {
            element->setAttribute(name, value);
        }
        return 1;
    });
}

int VELXMLN_SetAttributeRealFormat(const char* name, double value, const char* format) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr || name == nullptr || format == nullptr) {
            return 0;
        }
        return applyFormat([name, value, format] {
            if (Data* element = currentElement()) {
                element->setAttribute(name, value, format);
            } else {
                Data().setAttribute(name, value, format);
            }
        });
    });
}

int VELXMLN_GetAttributeInt(const char* name, int* value) {
    return VelXmlN::detail::guarded(0, [&] {
        const VelXmlN::AttributeData* attribute = currentAttribute(name);
        if (value == nullptr || attribute == nullptr) {
            return 0;
        }
        *value = VelXmlN::detail::readInt(attribute->getChar());
        return 1;
    });
}

int VELXMLN_SetAttributeInt(const char* name, int value) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr || name == nullptr) {
            return 0;
        }
        if (Data* element = currentElement()) {
            element->setAttribute(name, value, true);
        }
        return 1;
    });
}

int VELXMLN_GetAttributeText(const char* name, char* buffer, size_t bufferSize, int* length) {
    return VelXmlN::detail::guarded(0, [&] {
        const VelXmlN::AttributeData* attribute = currentAttribute(name);
        if (buffer == nullptr || attribute == nullptr) {
            return 0;
        }
        VelXmlN::detail::copyToBuffer(attribute->getData(), buffer, bufferSize);
        if (length != nullptr) {
            *length =
                VelXmlN::detail::lengthResult(VelXmlN::detail::cTextLength(attribute->getData()));
        }
        return 1;
    });
}

int VELXMLN_SetAttributeText(const char* name, const char* text) {
    return VelXmlN::detail::guarded(0, [&] {
        if (currentTree == nullptr || name == nullptr || text == nullptr) {
            return 0;
        }
        if (Data* element = currentElement()) {
            element->setAttribute(name, std::string(text), true);
        }
        return 1;
    });
}

int VELXMLN_AddAttributeTextLine(const char* name, const char* line) {
    return VelXmlN::detail::guarded(0, [&] {
        Data* element = currentElement();
        if (name == nullptr || line == nullptr || element == nullptr) {
            return 0;
        }
        element->setAttribute(
            name, VelXmlN::detail::appendTextLine(element->getAttributeString(name), line), true);
        return 1;
    });
}
