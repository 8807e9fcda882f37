#include <VelXmlN/ExchangeXml.h>

#include <memory>

namespace VelXmlN {

namespace {

// A new document copied from `source` through its text; null when `source` is null.
std::unique_ptr<Tree> copyOf(const Tree* source) {
    if (source == nullptr) {
        return nullptr;
    }
    auto copy = std::make_unique<Tree>();
    copy->setEncodeSkip(source->getEncodeSkip());
    copy->copyFrom(*source);
    return copy;
}

}  // namespace

ExchangeXml::ExchangeXml() : tree(nullptr) {
    init();
}

ExchangeXml::ExchangeXml(const std::string& rootName)
    : tree(rootName.empty() ? nullptr : new Tree(rootName)) {
    init();
}

ExchangeXml::ExchangeXml(const ExchangeXml& other) : tree(copyOf(other.tree).release()) {
    init();
}

ExchangeXml& ExchangeXml::operator=(const ExchangeXml& other) {
    if (this != &other) {
        std::unique_ptr<Tree> copy = copyOf(other.tree);
        delete tree;
        tree = copy.release();
    }
    return *this;
}

ExchangeXml::~ExchangeXml() {
    delete tree;
    tree = nullptr;
}

void ExchangeXml::open(const std::string& name) {
    if (tree != nullptr) {
        tree->open(name, false);
    }
}

void ExchangeXml::close() {
    if (tree != nullptr) {
        tree->close();
    }
}

void ExchangeXml::flush() {
    if (tree != nullptr) {
        tree->flush();
    }
}

}  // namespace VelXmlN
