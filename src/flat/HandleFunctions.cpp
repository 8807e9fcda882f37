// The flat functions on documents and elements named by tree and tag handles.
#include <VelXmlN/velxmln.h>

#include <VelXmlN/AttributeData.h>
#include <VelXmlN/Data.h>
#include <VelXmlN/Tree.h>

#include "elements/NumberText.h"
#include "flat/DocumentFile.h"
#include "flat/ErrorMode.h"
#include "flat/FileOpeners.h"
#include "flat/HandleTables.h"
#include "flat/TextBuffer.h"
#include "flat/TextLine.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

using VelXmlN::AttributeData;
using VelXmlN::Data;
using VelXmlN::Tree;
using VelXmlN::detail::HandleTables;

namespace {

// The two tables, made on first use so that a caller's static initialiser can already use them.
// When the library is unloaded they are emptied without destroying the documents left in them,
// like the current document, which is not destroyed either.
struct GlobalTables {
    HandleTables tables;
    GlobalTables() = default;
    GlobalTables(const GlobalTables&) = delete;
    GlobalTables& operator=(const GlobalTables&) = delete;
    ~GlobalTables() { tables.abandonDocuments(); }
};

HandleTables& tables() {
    static GlobalTables global;
    return global.tables;
}

Data* element(int tag) {
    return tables().element(tag);
}

// The first attribute `name` of the element of `tag`; null when the handle is invalid, the name
// null or the attribute missing.
AttributeData* attributeOf(int tag, const char* name) {
    Data* found = element(tag);
    return found != nullptr && name != nullptr ? found->findAttribute(name) : nullptr;
}

// The handle of the first child of the element of `tag` named `childName` whose first attribute
// `attributeName` passes `test`; -1 when none does.
template <typename Test>
int findChildByAttribute(int tag, const char* childName, const char* attributeName, Test&& test) {
    Data* parent = element(tag);
    if (parent == nullptr || childName == nullptr || attributeName == nullptr) {
        return -1;
    }
    for (Data* child : parent->getChildren()) {
        if (child->getName() != childName) {
            continue;
        }
        const AttributeData* attribute = child->findAttribute(attributeName);
        if (attribute != nullptr && test(*attribute)) {
            return tables().tagHandleOf(child, tag);
        }
    }
    return -1;
}

// Applies a formatting setter; a format Data refuses changes nothing and throws nothing.
template <typename Apply>
void applyFormat(Apply&& apply) {
    try {
        apply();
    } catch (const std::invalid_argument&) {
    } catch (const std::length_error&) {
    }
}

}  // namespace

int VELXMLN_Get_Tree(const char* name) {
    return VelXmlN::detail::guarded(-1,
                                    [&] { return tables().getTree(name != nullptr ? name : ""); });
}

void VELXMLN_Delete_Tree(int tree) {
    VelXmlN::detail::guardedVoid([&] { tables().deleteTree(tree); });
}

void VELXMLN_Read_Tree(int tree, const char* fileName) {
    VelXmlN::detail::guardedVoid(
        [&] {
            if (tables().tree(tree) == nullptr || fileName == nullptr) {
                return;
            }
            const auto stream = VelXmlN::detail::openInputFile(fileName);
            if (stream->good()) {
                tables().readTree(tree, *stream);
            } else {
                VelXmlN::detail::noteOpenFailure(fileName);
            }
        },
        "read", fileName);
}

void VELXMLN_Write_Tree(int tree, const char* fileName) {
    VelXmlN::detail::guardedVoid(
        [&] {
            const Tree* document = tables().tree(tree);
            if (document != nullptr && fileName != nullptr) {
                VelXmlN::detail::writeDocument(*document, fileName);
            }
        },
        "write", fileName);
}

int VELXMLN_Get_Root_Tag(int tree) {
    return VelXmlN::detail::guarded(-1, [&] { return tables().rootTag(tree); });
}

int VELXMLN_Create_Root_Tag(int tree, const char* name) {
    return VelXmlN::detail::guarded(
        -1, [&] { return name != nullptr ? tables().createRootTag(tree, name) : -1; });
}

int VELXMLN_Get_Number_Of_Children(int tag) {
    return VelXmlN::detail::guarded(0, [&] {
        const Data* parent = element(tag);
        if (parent == nullptr) {
            return 0;
        }
        return static_cast<int>(
            std::min<std::size_t>(parent->getChildren().size(), static_cast<std::size_t>(INT_MAX)));
    });
}

void VELXMLN_Get_Children(int tag, int* handles, int maxCount) {
    VelXmlN::detail::guardedVoid([&] {
        if (handles == nullptr || maxCount <= 0) {
            return;
        }
        std::fill_n(handles, maxCount, 0);
        Data* parent = element(tag);
        if (parent == nullptr) {
            return;
        }
        const std::vector<Data*>& children = parent->getChildren();
        const std::size_t count = std::min(children.size(), static_cast<std::size_t>(maxCount));
        for (std::size_t i = 0; i < count; ++i) {
            handles[i] = tables().tagHandleOf(children[i], tag);
        }
    });
}

int VELXMLN_Add_Child_Tag(int tag, const char* name) {
    return VelXmlN::detail::guarded(
        -1, [&] { return name != nullptr ? tables().addChild(tag, name) : -1; });
}

int VELXMLN_Find_Child_Tag(int tag, const char* name) {
    return VelXmlN::detail::guarded(-1, [&] {
        Data* parent = element(tag);
        if (parent == nullptr || name == nullptr) {
            return -1;
        }
        return tables().tagHandleOf(parent->findChild(name), tag);
    });
}

int VELXMLN_Find_Child_To_Attribute(int tag, const char* childName, const char* attributeName,
                                    const char* value) {
    return VelXmlN::detail::guarded(-1, [&] {
        if (value == nullptr) {
            return -1;
        }
        return findChildByAttribute(tag, childName, attributeName, [value](const AttributeData& a) {
            return a.getData() == value;
        });
    });
}

int VELXMLN_Find_Child_To_Int_Attribute(int tag, const char* childName, const char* attributeName,
                                        int value) {
    return VelXmlN::detail::guarded(-1, [&] {
        return findChildByAttribute(tag, childName, attributeName, [value](const AttributeData& a) {
            return a.checkValue(value);
        });
    });
}

int VELXMLN_Find_Child_To_Real_Attribute(int tag, const char* childName, const char* attributeName,
                                         double value, double tolerance) {
    return VelXmlN::detail::guarded(-1, [&] {
        return findChildByAttribute(
            tag, childName, attributeName,
            [value, tolerance](const AttributeData& a) { return a.checkValue(value, tolerance); });
    });
}

void VELXMLN_Delete_Child_Tag(int tag, const char* name) {
    VelXmlN::detail::guardedVoid([&] {
        if (name != nullptr) {
            tables().deleteChild(tag, name);
        }
    });
}

double VELXMLN_Get_Real(int tag) {
    return VelXmlN::detail::guarded(0.0, [&] {
        const Data* found = element(tag);
        return found != nullptr ? VelXmlN::detail::readDouble(found->getData().c_str()) : 0.0;
    });
}

void VELXMLN_Set_Real(int tag, double value) {
    VelXmlN::detail::guardedVoid([&] {
        if (Data* found = element(tag)) {
            found->setData(value);
        }
    });
}

void VELXMLN_Set_Real_Format(int tag, double value, const char* format) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && format != nullptr) {
            applyFormat([found, value, format] { found->setData(value, format); });
        }
    });
}

int VELXMLN_Get_Int(int tag) {
    return VelXmlN::detail::guarded(0, [&] {
        const Data* found = element(tag);
        return found != nullptr ? VelXmlN::detail::readInt(found->getData().c_str()) : 0;
    });
}

void VELXMLN_Set_Int(int tag, int value) {
    VelXmlN::detail::guardedVoid([&] {
        if (Data* found = element(tag)) {
            found->setData(value);
        }
    });
}

void VELXMLN_Get_Tag_Name(int tag, char* buffer, size_t bufferSize, int* length) {
    VelXmlN::detail::guardedVoid([&] {
        std::size_t copied = 0;
        if (buffer != nullptr) {
            if (const Data* found = element(tag)) {
                copied = VelXmlN::detail::copyToBuffer(found->getName(), buffer, bufferSize);
            } else if (bufferSize > 0) {
                buffer[0] = '\0';
            }
        }
        if (length != nullptr) {
            *length = VelXmlN::detail::lengthResult(copied);
        }
    });
}

int VELXMLN_Get_Text(int tag, char* buffer, size_t bufferSize, int* length) {
    return VelXmlN::detail::guarded(0, [&] {
        const Data* found = element(tag);
        if (found == nullptr || buffer == nullptr) {
            return 0;
        }
        const std::size_t copied =
            VelXmlN::detail::copyToBuffer(found->getData(), buffer, bufferSize);
        if (length != nullptr) {
            *length = VelXmlN::detail::lengthResult(copied);
        }
        return 1;
    });
}

void VELXMLN_Set_Text(int tag, const char* text) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && text != nullptr) {
            found->setData(std::string(text));
        }
    });
}

void VELXMLN_Add_Text_Line(int tag, const char* line) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && line != nullptr) {
            found->setData(VelXmlN::detail::appendTextLine(found->getData(), line));
        }
    });
}

void VELXMLN_Set_Attribute(int tag, const char* name, const char* value) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && name != nullptr && value != nullptr) {
            found->setAttribute(name, std::string(value), true);
        }
    });
}

void VELXMLN_Add_Attribute_Textline(int tag, const char* name, const char* line) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && name != nullptr && line != nullptr) {
            found->setAttribute(
                name, VelXmlN::detail::appendTextLine(found->getAttributeString(name), line), true);
        }
    });
}

void VELXMLN_Get_Attribute(int tag, const char* name, char* buffer, size_t bufferSize,
                           int* length) {
    VelXmlN::detail::guardedVoid([&] {
        if (buffer != nullptr && bufferSize > 0) {
            buffer[0] = '\0';
        }
        if (length != nullptr) {
            *length = 0;
        }
        const AttributeData* attribute = attributeOf(tag, name);
        if (attribute == nullptr || buffer == nullptr) {
            return;
        }
        const std::size_t copied =
            VelXmlN::detail::copyToBuffer(attribute->getData(), buffer, bufferSize);
        if (length != nullptr) {
            *length = VelXmlN::detail::lengthResult(copied);
        }
    });
}

double VELXMLN_Get_Attribute_Real(int tag, const char* name) {
    return VelXmlN::detail::guarded(0.0, [&] {
        const AttributeData* attribute = attributeOf(tag, name);
        return attribute != nullptr ? VelXmlN::detail::readDouble(attribute->getChar()) : 0.0;
    });
}

void VELXMLN_Set_Attribute_Real(int tag, const char* name, double value) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && name != nullptr) {
            found->setAttribute(name, value);
        }
    });
}

void VELXMLN_Set_Attribute_Real_Format(int tag, const char* name, double value,
                                       const char* format) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && name != nullptr && format != nullptr) {
            applyFormat([found, name, value, format] { found->setAttribute(name, value, format); });
        }
    });
}

int VELXMLN_Get_Attribute_Int(int tag, const char* name) {
    return VelXmlN::detail::guarded(0, [&] {
        const AttributeData* attribute = attributeOf(tag, name);
        return attribute != nullptr ? VelXmlN::detail::readInt(attribute->getChar()) : 0;
    });
}

void VELXMLN_Set_Attribute_Int(int tag, const char* name, int value) {
    VelXmlN::detail::guardedVoid([&] {
        Data* found = element(tag);
        if (found != nullptr && name != nullptr) {
            found->setAttribute(name, Data::toString(value), true);
        }
    });
}

// ---- Lengths and attribute lists (beside the described functions) -------------------------------

int VELXMLN_Get_Text_Length(int tag) {
    return VelXmlN::detail::guarded(-1, [&] {
        const Data* found = element(tag);
        return found != nullptr
                   ? VelXmlN::detail::lengthResult(VelXmlN::detail::cTextLength(found->getData()))
                   : -1;
    });
}

int VELXMLN_Get_Tag_Name_Length(int tag) {
    return VelXmlN::detail::guarded(-1, [&] {
        const Data* found = element(tag);
        return found != nullptr
                   ? VelXmlN::detail::lengthResult(VelXmlN::detail::cTextLength(found->getName()))
                   : -1;
    });
}

int VELXMLN_Get_Attribute_Length(int tag, const char* name) {
    return VelXmlN::detail::guarded(-1, [&] {
        const AttributeData* attribute = attributeOf(tag, name);
        return attribute != nullptr ? VelXmlN::detail::lengthResult(
                                          VelXmlN::detail::cTextLength(attribute->getData()))
                                    : -1;
    });
}

int VELXMLN_Get_Attribute_Count(int tag) {
    return VelXmlN::detail::guarded(0, [&] {
        const Data* found = element(tag);
        return found != nullptr ? VelXmlN::detail::lengthResult(found->getAttributes().size()) : 0;
    });
}

int VELXMLN_Get_Attribute_Name(int tag, int index, char* buffer, size_t bufferSize, int* length) {
    return VelXmlN::detail::guarded(0, [&] {
        const Data* found = element(tag);
        if (found == nullptr || index < 0 || (buffer == nullptr && bufferSize > 0)) {
            return 0;
        }
        const std::vector<AttributeData*>& attributes = found->getAttributes();
        if (static_cast<std::size_t>(index) >= attributes.size()) {
            return 0;
        }
        const std::string& name = attributes[static_cast<std::size_t>(index)]->getName();
        if (buffer != nullptr) {
            VelXmlN::detail::copyToBuffer(name, buffer, bufferSize);
        }
        if (length != nullptr) {
            *length = VelXmlN::detail::lengthResult(VelXmlN::detail::cTextLength(name));
        }
        return 1;
    });
}
