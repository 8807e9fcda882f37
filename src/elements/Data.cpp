#include <VelXmlN/Data.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include <VelXmlN/Tools.h>
#include <VelXmlN/VelXmlData.h>

#include "elements/FirstAttribute.h"
#include "elements/NumberText.h"
#include "elements/TreeWalk.h"

namespace VelXmlN {

namespace {

// The formatted setters write into a buffer of this size: 1023 characters and the final zero.
constexpr std::size_t kFormatBuffer = 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Destroys every element of `list` with its subtree, without recursion and without allocating
// (this runs inside destructors). The elements are about to die, so their parent fields serve as
// the links of the pending stack.
void destroyElements(std::vector<Data*>& list) noexcept {
    Data* pending = nullptr;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        (*it)->setParent(pending);
        pending = *it;
    }
    list.clear();
    while (pending != nullptr) {
        Data* element = pending;
        pending = element->getParent();
        std::vector<Data*>& children = element->getChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            (*it)->setParent(pending);
            pending = *it;
        }
        children.clear();
        delete element;  // its own flush finds empty lists
    }
}

// Appends an owned pointer to a list without leaking it when the list cannot grow.
template <typename T>
T* appendOwned(std::vector<T*>& list, std::unique_ptr<T> item) {
    list.push_back(item.get());
    return item.release();
}

// Copies the subtree of `root` (a Data or a VelXmlData) into `target`, which has no attributes or
// children: `copyOwn` copies one element's name, value, flags and attributes, and the children
// are made here. The copy goes level by level through an explicit stack, so any depth is safe.
// Every new element is linked into its parent before anything else can fail, so an allocation
// failure leaves a partial but fully owned subtree behind.
template <typename Source, typename CopyOwn>
void copySubtree(const Source& root, Data& target, CopyOwn&& copyOwn) {
    std::vector<std::pair<const Source*, Data*>> pending;
    pending.emplace_back(&root, &target);
    while (!pending.empty()) {
        const auto [source, into] = pending.back();
        pending.pop_back();
        copyOwn(*source, *into);
        std::vector<Data*>& children = into->getChildren();
        children.reserve(source->getChildren().size());
        for (const Source* child : source->getChildren()) {
            Data* copy = appendOwned(children, std::make_unique<Data>());
            copy->setParent(into);
            pending.emplace_back(child, copy);
        }
    }
}

}  // namespace

Data::Data() : parent(nullptr), entityFlag(true), pointer(nullptr), expand(false), select(false) {}

Data::Data(const std::string& elementName)
    : name(elementName),
      parent(nullptr),
      entityFlag(true),
      pointer(nullptr),
      expand(false),
      select(false) {}

Data::Data(const std::string& elementName, Data* parentElement)
    : name(elementName),
      parent(parentElement),
      entityFlag(true),
      pointer(nullptr),
      expand(false),
      select(false) {}

Data::Data(const Data& other) : Data() {
    copyFrom(other);
}

Data::~Data() {
    flush();
}

const Data& Data::operator=(const Data& other) {
    // Assigning from this element or from its own subtree would destroy the source before it is
    // read, so such a source is copied first.
    for (const Data* up = &other; up != nullptr; up = up->parent) {
        if (up == this) {
            const Data snapshot(other);
            copyFrom(snapshot);
            return *this;
        }
    }
    copyFrom(other);
    return *this;
}

void Data::copyFrom(const Data& other) {
    flush();
    copySubtree(other, *this, [](const Data& source, Data& target) {
        target.name = source.name;
        target.setData(source.data);
        target.select = source.select;
        target.expand = source.expand;
        target.attributes.reserve(source.attributes.size());
        for (const AttributeData* attribute : source.attributes) {
            appendOwned(target.attributes, std::make_unique<AttributeData>(*attribute));
        }
    });
}

const Data& Data::operator=(const VelXmlData& other) {
    flush();
    copySubtree(other, *this, [](const VelXmlData& source, Data& target) {
        target.name = source.getName();
        target.setData(source.getData());
        target.expand = source.getExpand();
        target.attributes.reserve(source.getAttributes().size());
        for (const VelXmlAttributeData* attribute : source.getAttributes()) {
            AttributeData* copy = appendOwned(target.attributes, std::make_unique<AttributeData>());
            *copy = *attribute;
        }
    });
    return *this;
}

std::string Data::toString(const int& value) {
    return detail::integerText(value);
}

std::string Data::toString(const double& value) {
    return detail::doubleText(value);
}

void Data::setData(std::string value) {
    const std::size_t first = value.find_first_not_of(' ');
    if (first == std::string::npos) {
        value.clear();
    } else {
        value.erase(value.find_last_not_of(' ') + 1);
        value.erase(0, first);
    }
    data = std::move(value);
}

void Data::setData(double value) {
    data = toString(value);
}

void Data::setData(double value, const char* format) {
    char buffer[kFormatBuffer];
    setData(std::string(formatValue(value, format, buffer)));
}

void Data::setData(int value) {
    data = detail::integerText(value);
}

void Data::setData(unsigned long long value) {
    data = detail::unsignedText(value);
}

char* Data::removeBlanks(char* text) const {
    std::size_t length = std::strlen(text);
    while (length > 0 && isBlank(text[length - 1])) {
        --length;
    }
    text[length] = '\0';
    while (isBlank(*text)) {
        ++text;
    }
    return text;
}

const char* Data::formatValue(double value, const char* format, char* buffer) const {
    detail::formatDouble(format, value, buffer, kFormatBuffer);
    return removeBlanks(buffer);
}

Data* Data::addChild(Data* child) {
    children.push_back(child);
    child->parent = this;
    return child;
}

Data* Data::addChild(std::unique_ptr<Data> child) {
    Data* raw = appendOwned(children, std::move(child));
    raw->parent = this;
    return raw;
}

Data* Data::createChild(const std::string& childName) {
    Data* child = appendOwned(children, std::make_unique<Data>(childName));
    child->parent = this;
    return child;
}

Data* Data::openChild(const std::string& childName, bool forceNew) {
    if (!forceNew) {
        if (Data* existing = findChild(childName)) {
            return existing;
        }
    }
    return createChild(childName);
}

void Data::addChildFirst(Data* child) {
    children.insert(children.begin(), child);
    child->parent = this;
}

bool Data::addChildBefore(Data* child, Data* ref) {
    const auto at = std::find(children.begin(), children.end(), ref);
    if (at == children.end()) {
        return false;
    }
    Data* refParent = ref->parent;
    children.insert(at, child);
    child->parent = refParent;
    return true;
}

bool Data::addChildAfter(Data* child, Data* ref) {
    const auto at = std::find(children.begin(), children.end(), ref);
    if (at == children.end()) {
        return false;
    }
    Data* refParent = ref->parent;
    children.insert(at + 1, child);
    child->parent = refParent;
    return true;
}

void Data::removeChild(Data* child) {
    const auto at = std::find(children.begin(), children.end(), child);
    if (at != children.end()) {
        children.erase(at);
    }
}

bool Data::childExist(Data* child) const {
    return std::find(children.begin(), children.end(), child) != children.end();
}

Data* Data::findChild(const std::string& childName) const {
    for (Data* child : children) {
        if (child->name == childName) {
            return child;
        }
    }
    return nullptr;
}

void Data::remove(const std::string& childName) {
    for (auto it = children.begin(); it != children.end(); ++it) {
        if ((*it)->name == childName) {
            Data* child = *it;
            children.erase(it);
            delete child;
            return;
        }
    }
}

void Data::flush() {
    for (AttributeData* attribute : attributes) {
        delete attribute;
    }
    attributes.clear();
    destroyElements(children);
}

AttributeData* Data::findAttribute(const std::string& attributeName) const {
    return detail::firstAttribute(attributes, attributeName);
}

void Data::setAttribute(const std::string& attributeName, const std::string& value, bool entity) {
    if (AttributeData* existing = findAttribute(attributeName)) {
        existing->setData(value);
        existing->setEntityFlag(entity);
        return;
    }
    AttributeData* added =
        appendOwned(attributes, std::make_unique<AttributeData>(attributeName, value));
    added->setEntityFlag(entity);
}

void Data::setAttribute(const std::string& attributeName, double value) {
    setAttribute(attributeName, Tools::toPositiveZero(toString(value)), true);
}

void Data::setAttribute(const std::string& attributeName, double value, const char* format) {
    char buffer[kFormatBuffer];
    setAttribute(attributeName, Tools::toPositiveZero(formatValue(value, format, buffer)), true);
}

void Data::setAttribute(const std::string& attributeName, int value, bool entity) {
    setAttribute(attributeName, detail::integerText(value), entity);
}

void Data::setAttribute(const std::string& attributeName, long value, bool entity) {
    setAttribute(attributeName, detail::integerText(value), entity);
}

void Data::setAttribute(const std::string& attributeName, long long value, bool entity) {
    setAttribute(attributeName, detail::integerText(value), entity);
}

void Data::setAttribute(const std::string& attributeName, unsigned long long value, bool entity) {
    setAttribute(attributeName, detail::unsignedText(value), entity);
}

bool Data::removeAttribute(const std::string& attributeName) {
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        if ((*it)->getName() == attributeName) {
            AttributeData* attribute = *it;
            attributes.erase(it);
            delete attribute;
            return true;
        }
    }
    return false;
}

double Data::getAttributeDouble(const std::string& attributeName) const {
    const AttributeData* attribute = findAttribute(attributeName);
    return attribute != nullptr ? attribute->getDouble() : 0.0;
}

int Data::getAttributeInt(const std::string& attributeName) const {
    const AttributeData* attribute = findAttribute(attributeName);
    return attribute != nullptr ? attribute->getInteger() : -1;
}

bool Data::getAttributeBool(const std::string& attributeName) const {
    return getAttributeInt(attributeName) != 0;
}

std::string Data::getAttributeString(const std::string& attributeName) const {
    const AttributeData* attribute = findAttribute(attributeName);
    return attribute != nullptr ? attribute->getData() : std::string();
}

bool Data::findAttributeDouble(const std::string& attributeName, double& out) const {
    const AttributeData* attribute = findAttribute(attributeName);
    if (attribute == nullptr) {
        return false;
    }
    out = attribute->getDouble();
    return true;
}

bool Data::findAttributeInt(const std::string& attributeName, int& out) const {
    const AttributeData* attribute = findAttribute(attributeName);
    if (attribute == nullptr) {
        return false;
    }
    out = attribute->getInteger();
    return true;
}

bool Data::findAttributeLong(const std::string& attributeName, long& out) const {
    const AttributeData* attribute = findAttribute(attributeName);
    if (attribute == nullptr) {
        return false;
    }
    out = detail::readLong(attribute->getChar());
    return true;
}

bool Data::findAttributeBool(const std::string& attributeName, bool& out) const {
    const AttributeData* attribute = findAttribute(attributeName);
    if (attribute == nullptr) {
        return false;
    }
    out = attribute->getInteger() != 0;
    return true;
}

bool Data::findAttributeString(const std::string& attributeName, std::string& out) const {
    const AttributeData* attribute = findAttribute(attributeName);
    if (attribute == nullptr) {
        return false;
    }
    out = attribute->getData();
    return true;
}

double Data::getChildDouble(const std::string& childName) const {
    const Data* child = findChild(childName);
    return child != nullptr ? detail::readDouble(child->data.c_str()) : 0.0;
}

int Data::getChildInt(const std::string& childName) const {
    const Data* child = findChild(childName);
    return child != nullptr ? detail::readInt(child->data.c_str()) : 0;
}

std::string Data::getChildString(const std::string& childName) const {
    const Data* child = findChild(childName);
    return child != nullptr ? child->data : std::string();
}

std::array<double, 3> Data::getVector() const {
    return {getChildDouble("X"), getChildDouble("Y"), getChildDouble("Z")};
}

Data* Data::findChildToAttribute(const std::string& childName, const std::string& attributeName,
                                 double value, double tolerance) const {
    for (Data* child : children) {
        if (child->name != childName) {
            continue;
        }
        const AttributeData* attribute = child->findAttribute(attributeName);
        if (attribute != nullptr && attribute->checkValue(value, tolerance)) {
            return child;
        }
    }
    return nullptr;
}

void Data::writeIntSet(const std::set<int>& set) {
    char counter[24] = {'N'};
    int index = 0;
    for (const int member : set) {
        const std::size_t length = detail::writeInteger(index++, counter + 1);
        setAttribute(std::string(counter, length + 1), detail::integerText(member), true);
    }
}

void Data::readIntSet(std::set<int>& set) const {
    for (const AttributeData* attribute : attributes) {
        set.insert(attribute->getInteger());
    }
}

const Data* Data::findTree(const std::string& wanted, bool recursive) const {
    if (wanted.empty()) {
        return nullptr;
    }
    if (name == wanted) {
        return this;
    }
    // At every level the direct children are looked at before any grandchild; an element's own
    // name was already seen when its parent's children were scanned.
    if (const Data* direct = findChild(wanted)) {
        return direct;
    }
    if (!recursive) {
        return nullptr;
    }
    const Data* found = nullptr;
    detail::findPreOrder(this, [&](const Data* element) {
        if (element == this) {
            return false;
        }
        found = element->findChild(wanted);
        return found != nullptr;
    });
    return found;
}

Data* Data::findTree(const std::string& wanted, bool recursive) {
    return const_cast<Data*>(static_cast<const Data*>(this)->findTree(wanted, recursive));
}

Data* Data::getFirstSelectXMLData() const {
    return const_cast<Data*>(
        detail::findPreOrder(this, [](const Data* element) { return element->select; }));
}

AttributeData* Data::getFirstSelectXMLAttributeData() const {
    AttributeData* found = nullptr;
    detail::findPreOrder(this, [&found](const Data* element) {
        for (AttributeData* attribute : element->attributes) {
            if (attribute->getSelect()) {
                found = attribute;
                return true;
            }
        }
        return false;
    });
    return found;
}

}  // namespace VelXmlN
