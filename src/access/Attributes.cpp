#include <VelXmlN/AttributeIn.h>
#include <VelXmlN/AttributeOut.h>

namespace VelXmlN {

velt::Nullable<std::string> AttributeIn::readString(Data const& element, std::string const& name) {
    if (const AttributeData* attribute = element.findAttribute(name)) {
        return attribute->getData();
    }
    return {};
}

std::string AttributeIn::readString(Data const& element, std::string const& name,
                                    std::string const& fallback) {
    const AttributeData* attribute = element.findAttribute(name);
    return attribute != nullptr ? attribute->getData() : fallback;
}

void AttributeOut::writeString(Data& element, std::string const& name, std::string const& value) {
    if (!name.empty()) {
        element.setAttribute(name, value, true);
    }
}

}  // namespace VelXmlN
