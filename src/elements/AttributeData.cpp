#include <VelXmlN/AttributeData.h>

#include <cmath>

#include <VelXmlN/VelXmlData.h>

#include "elements/NumberText.h"

namespace VelXmlN {

AttributeData::AttributeData() : entityFlag(true), select(false), pointer(nullptr) {}

AttributeData::AttributeData(const std::string& attributeName, const std::string& value)
    : name(attributeName), data(value), entityFlag(true), select(false), pointer(nullptr) {}

AttributeData::AttributeData(const AttributeData& other) = default;

AttributeData& AttributeData::operator=(const AttributeData& other) = default;

const AttributeData& AttributeData::operator=(const VelXmlAttributeData& other) {
    name = other.getName();
    data = other.getData();
    return *this;
}

AttributeData::~AttributeData() = default;

int AttributeData::getInteger() const noexcept {
    return detail::readInt(data.c_str());
}

double AttributeData::getDouble() const noexcept {
    return detail::readDouble(data.c_str());
}

bool AttributeData::checkValue(const double& value, double tolerance) const noexcept {
    return tolerance > std::fabs(getDouble() - value);
}

bool AttributeData::checkValue(const int& value) const noexcept {
    return getInteger() == value;
}

bool AttributeData::checkValue(const std::string& value) const noexcept {
    return data == value;
}

}  // namespace VelXmlN
