#include <VelXmlN/ChildOut.h>

#include <stdexcept>

#include "access/Convention.h"
#include "elements/NumberText.h"

namespace VelXmlN {

namespace {

// Each bound is formatted into a buffer of this size: 4095 characters and the final zero.
constexpr std::size_t kBoundBuffer = 4096;

const std::string& nameAttribute() {
    static const std::string name(detail::kNameAttribute);
    return name;
}

const std::string& valueAttribute() {
    static const std::string name(detail::kValueAttribute);
    return name;
}

}  // namespace

Data* ChildOut::createChild(Data& parent, std::string const& key, std::string const& name) {
    Data* child = parent.createChild(key);
    if (!name.empty()) {
        child->setAttribute(nameAttribute(), name, true);
    }
    return child;
}

Data* ChildOut::tryCreateChild(Data& parent, std::string const& key, std::string const& name) {
    if (Data* found = detail::findNamedChild(parent, key, name)) {
        return found;
    }
    return createChild(parent, key, name);
}

Data* ChildOut::createString(Data& parent, std::string const& key, std::string const& value) {
    Data* child = parent.createChild(key);
    child->setAttribute(valueAttribute(), value, true);
    return child;
}

Data* ChildOut::createRange(Data& parent, std::string const& key, Math::Range const& range,
                            std::string const& format) {
    if (format.find('\0') != std::string::npos) {
        throw std::invalid_argument("invalid number format: it holds a zero byte");
    }
    // Both bounds are written before the child is made, so a refused format or an overlong bound
    // adds nothing.
    char buffer[kBoundBuffer];
    detail::formatDouble(format.c_str(), range.getUpper(), buffer, kBoundBuffer);
    const std::string upper(buffer);
    detail::formatDouble(format.c_str(), range.getLower(), buffer, kBoundBuffer);
    std::string text(buffer);
    text.reserve(text.size() + 1 + upper.size());
    text += ' ';
    text += upper;

    Data* child = parent.createChild(key);
    child->setAttribute(valueAttribute(), text, true);
    return child;
}

}  // namespace VelXmlN
