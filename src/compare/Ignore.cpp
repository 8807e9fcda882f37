#include <VelXmlN/AttributeExistence.h>
#include <VelXmlN/Ignore.h>

namespace VelXmlN {
namespace Comparing {

Ignore::~Ignore() = default;

AttributeExistence::AttributeExistence(std::string const& element, std::string const& attribute)
    : elementName(element), attributeName(attribute) {}

AttributeExistence::AttributeExistence(const AttributeExistence& other) = default;

AttributeExistence& AttributeExistence::operator=(const AttributeExistence& other) {
    if (this != &other) {
        Ignore::operator=(other);
        elementName = other.elementName;
        attributeName = other.attributeName;
    }
    return *this;
}

AttributeExistence::~AttributeExistence() = default;

bool AttributeExistence::isIgnored(Data const* element, AttributeData const* attribute) const {
    return element->getName() == elementName && attribute->getName() == attributeName;
}

bool AttributeExistence::isIgnored(Data const* /*element*/) const {
    return false;
}

}  // namespace Comparing
}  // namespace VelXmlN
