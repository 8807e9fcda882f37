#include <VelXmlN/DataUtil.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "elements/NumberText.h"

namespace VelXmlN {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads an attribute text the way atoi does, but over the full unsigned 64-bit range. Returns
// false for a text that names no unsigned 64-bit number (a negative one, or one too large), which
// then equals no value; a text without digits reads as 0, as atoi reads it.
bool readUnsigned64(const std::string& text, unsigned long long& out) {
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p != end && isBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    unsigned long long value = 0;
    const auto result = std::from_chars(p, end, value);
    if (result.ec == std::errc::result_out_of_range) {
        return false;
    }
    if (result.ec != std::errc()) {
        value = 0;  // no digits
    }
    if (negative && value != 0) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace

double DataUtil::getAttributeDouble(const Data* data, const std::string& name) {
    return data->getAttributeDouble(name);
}

int DataUtil::getAttributeInt(const Data* data, const std::string& name) {
    return data->getAttributeInt(name);
}

double DataUtil::getChildDouble(const Data* data, const std::string& name) {
    return data->getChildDouble(name);
}

int DataUtil::getChildInt(const Data* data, const std::string& name) {
    return data->getChildInt(name);
}

std::string DataUtil::getAttributeString(const Data* data, const std::string& name) {
    return data->getAttributeString(name);
}

std::string DataUtil::getChildString(const Data* data, const std::string& name) {
    return data->getChildString(name);
}

void DataUtil::readIntSet(const Data* data, std::set<int>& set) {
    data->readIntSet(set);
}

void DataUtil::writeIntSet(Data* data, const std::set<int>& set) {
    data->writeIntSet(set);
}

bool DataUtil::getVector(const Data* data, double& x, double& y, double& z) {
    if (data == nullptr) {
        return false;
    }
    x = data->getChildDouble("X");
    y = data->getChildDouble("Y");
    z = data->getChildDouble("Z");
    return true;
}

void DataUtil::setChildData(Data* data, const std::string& name, double value, const char* format) {
    // The text is formatted before a missing child is created, so a refused format leaves the
    // element as it was.
    if (format != nullptr) {
        Data probe;
        probe.setData(value, format);
        data->openChild(name, false)->setDataPlain(probe.getData());
    } else {
        data->openChild(name, false)->setData(value);
    }
}

void DataUtil::setChildDataCheck(Data* data, const std::string& name, double value,
                                 double tolerance) {
    if (std::fabs(value) > tolerance) {
        setChildData(data, name, value, nullptr);
    }
}

void DataUtil::setChildDataCheck(Data* data, const std::string& name, double value,
                                 double tolerance, const char* format) {
    if (std::fabs(value) > tolerance) {
        setChildData(data, name, value, format);
    }
}

void DataUtil::readValToAttribute(const Data* data, const std::string& name, double& value) {
    data->findAttributeDouble(name, value);
}

void DataUtil::readValToAttribute(const Data* data, const std::string& name, bool& value) {
    data->findAttributeBool(name, value);
}

void DataUtil::readValToChild(const Data* data, const std::string& name, double& value) {
    if (const Data* child = data->findChild(name)) {
        value = detail::readDouble(child->getData().c_str());
    }
}

void DataUtil::readValToChild(const Data* data, const std::string& name, bool& value) {
    if (const Data* child = data->findChild(name)) {
        value = detail::readInt(child->getData().c_str()) != 0;
    }
}

void DataUtil::readValToChild(const Data* data, const std::string& name, int& value) {
    if (const Data* child = data->findChild(name)) {
        value = detail::readInt(child->getData().c_str());
    }
}

Data* DataUtil::openToAttribute(Data* data, const std::string& name, const std::string& attribute,
                                unsigned long long value) {
    for (Data* child : data->getChildren()) {
        if (child->getName() != name) {
            continue;
        }
        const AttributeData* found = child->findAttribute(attribute);
        unsigned long long number = 0;
        if (found != nullptr && readUnsigned64(found->getData(), number) && number == value) {
            return child;
        }
    }
    Data* child = data->createChild(name);
    child->setAttribute(attribute, value, true);
    return child;
}

}  // namespace VelXmlN
