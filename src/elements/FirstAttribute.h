// The one search for "the first attribute with this name": lookups by name take the first match
// in list order, and every module that looks up an attribute does it through here.
#ifndef VELXMLN_SRC_ELEMENTS_FIRSTATTRIBUTE_H
#define VELXMLN_SRC_ELEMENTS_FIRSTATTRIBUTE_H

#include <string_view>
#include <vector>

#include <VelXmlN/AttributeData.h>

namespace VelXmlN {
namespace detail {

/// The first attribute of `attributes` named `name`, or null.
inline AttributeData* firstAttribute(const std::vector<AttributeData*>& attributes,
                                     std::string_view name) {
    for (AttributeData* attribute : attributes) {
        if (attribute->getName() == name) {
            return attribute;
        }
    }
    return nullptr;
}

}  // namespace detail
}  // namespace VelXmlN

#endif
