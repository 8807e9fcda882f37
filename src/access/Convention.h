// The names of the name/value convention and the child search that ChildIn and ChildOut share.
#ifndef VELXMLN_SRC_ACCESS_CONVENTION_H
#define VELXMLN_SRC_ACCESS_CONVENTION_H

#include <string>
#include <string_view>

#include <VelXmlN/Data.h>

#include "elements/FirstAttribute.h"

namespace VelXmlN {
namespace detail {

// Literals rather than ChildIn::Constants, so that the helpers do not depend on the order in
// which the library's static strings are made.
constexpr std::string_view kNameAttribute = "Name";
constexpr std::string_view kValueAttribute = "Value";
constexpr std::string_view kTrueText = "true";

/// The first attribute of `element` named `name`, or null.
inline const AttributeData* firstAttribute(const Data& element, std::string_view name) {
    return firstAttribute(element.getAttributes(), name);
}

/// The first child named `key` whose first "Name" attribute equals `name` (any child named `key`
/// when `name` is empty), or null. Returns a pointer as const as `parent`.
template <typename Element>
Element* findNamedChild(Element& parent, const std::string& key, const std::string& name) {
    for (Data* child : parent.getChildren()) {
        if (child->getName() != key) {
            continue;
        }
        if (name.empty()) {
            return child;
        }
        const AttributeData* attribute = firstAttribute(*child, kNameAttribute);
        if (attribute != nullptr && attribute->getData() == name) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace detail
}  // namespace VelXmlN

#endif
