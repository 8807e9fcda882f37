#include <VelXmlN/DifferentItem.h>

namespace VelXmlN {
namespace Comparing {

const char* DifferentItem::getDifferenceName(Difference kind) noexcept {
    switch (kind) {
        case NoDifference:
            return "NoDifference";
        case ChildCount:
            return "ChildCount";
        case AttributeCount:
            return "AttributeCount";
        case MissingChild:
            return "MissingChild";
        case MissingAttribute:
            return "MissingAttribute";
        case AttributeValue:
            return "AttributeValue";
        case Content:
            return "Content";
        case MissingElement:
            return "MissingElement";
    }
    return "Unknown";
}

}  // namespace Comparing
}  // namespace VelXmlN
