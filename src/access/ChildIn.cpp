#include <VelXmlN/ChildIn.h>

#include <stdexcept>
#include <utility>

#include <VelXmlN/Tools.h>

#include "access/Convention.h"

namespace VelXmlN {

const std::string ChildIn::Constants::Name = "Name";
const std::string ChildIn::Constants::Value = "Value";
const std::string ChildIn::Constants::X = "X";
const std::string ChildIn::Constants::Y = "Y";
const std::string ChildIn::Constants::Z = "Z";
const std::string ChildIn::Constants::T = "T";
const std::string ChildIn::Constants::True = "true";
const std::string ChildIn::Constants::False = "false";

namespace {

// std::stod's own messages differ between standard libraries (libstdc++ says only "stod"), so
// the exceptions are thrown again with one fixed text each.
double toDouble(const std::string& token) {
    try {
        return std::stod(token);
    } catch (const std::invalid_argument&) {
        throw std::invalid_argument("invalid stod argument");
    } catch (const std::out_of_range&) {
        throw std::out_of_range("stod argument out of range");
    }
}

}  // namespace

std::vector<Data const*> ChildIn::findChildren(Data const& parent, std::string const& key) {
    std::vector<Data const*> found;
    for (const Data* child : parent.getChildren()) {
        if (child->getName() == key) {
            found.push_back(child);
        }
    }
    return found;
}

Data const* ChildIn::findChild(Data const& parent, std::string const& key,
                               std::string const& name) {
    return detail::findNamedChild(parent, key, name);
}

velt::Nullable<std::string> ChildIn::readAttributeName(Data const& element) {
    if (const AttributeData* attribute = detail::firstAttribute(element, detail::kNameAttribute)) {
        return attribute->getData();
    }
    return {};
}

std::string ChildIn::readAttributeName(Data const& element, std::string const& fallback) {
    const AttributeData* attribute = detail::firstAttribute(element, detail::kNameAttribute);
    return attribute != nullptr ? attribute->getData() : fallback;
}

velt::Nullable<std::string> ChildIn::readString(Data const& parent, std::string const& key) {
    return findValue(parent, key);
}

std::string ChildIn::readString(Data const& parent, std::string const& key, std::string fallback) {
    velt::Nullable<std::string> value = findValue(parent, key);
    return value ? std::move(value.getValue()) : std::move(fallback);
}

velt::Nullable<bool> ChildIn::readBool(Data const& parent, std::string const& key) {
    const velt::Nullable<std::string> value = findValue(parent, key);
    if (!value) {
        return {};
    }
    return stringToBool(value.getValue());
}

bool ChildIn::readBool(Data const& parent, std::string const& key, bool fallback) {
    return readBool(parent, key).valueOr(fallback);
}

velt::Nullable<Math::Range> ChildIn::readRange(Data const& parent, std::string const& key) {
    const velt::Nullable<std::string> value = findValue(parent, key);
    if (!value) {
        return {};
    }
    const std::vector<std::string> tokens = Tools::tokenize(value.getValue(), " ");
    if (tokens.size() < 2) {
        return {};
    }
    const double first = toDouble(tokens[0]);
    const double second = toDouble(tokens[1]);
    return second < first ? Math::Range(second, first) : Math::Range(first, second);
}

Math::Range ChildIn::readRange(Data const& parent, std::string const& key,
                               Math::Range const& fallback) {
    return readRange(parent, key).valueOr(fallback);
}

velt::Nullable<std::string> ChildIn::findValue(Data const& parent, std::string const& key) {
    for (const Data* child : parent.getChildren()) {
        if (child->getName() != key) {
            continue;
        }
        // A child of that key without a value does not end the search: a later one may hold it.
        if (const AttributeData* value = detail::firstAttribute(*child, detail::kValueAttribute)) {
            return value->getData();
        }
    }
    return {};
}

bool ChildIn::stringToBool(std::string const& text) {
    return text == detail::kTrueText;
}

}  // namespace VelXmlN
