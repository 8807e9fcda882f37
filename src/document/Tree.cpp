#include <VelXmlN/Tree.h>

#include <ios>
#include <memory>
#include <sstream>
#include <string>

#include "document/Conversion.h"

namespace VelXmlN {

namespace {

bool liesIn(const Data* node, const Data* top) noexcept {
    for (; node != nullptr; node = node->getParent()) {
        if (node == top) {
            return true;
        }
    }
    return false;
}

}  // namespace

Tree::Tree() : root(nullptr), currentNode(nullptr), encodeSkip(EncodeSkipNone) {}

Tree::Tree(const std::string& name) : Tree() {
    root = new Data(name);
}

Tree::Tree(std::istream& in) : Tree() {
    buildOfStream(in);
}

Tree::~Tree() {
    delete root;
}

void Tree::destroyRoot() noexcept {
    if (root == nullptr) {
        return;
    }
    if (liesIn(currentNode, root)) {
        currentNode = nullptr;
    }
    delete root;
    root = nullptr;
}

void Tree::buildOfStream(std::istream& in) {
    // The new root is built aside and installed only once the whole text has been read, so a
    // document that cannot be read leaves the tree as it was.
    std::unique_ptr<Data> read = detail::readDocument(in);
    if (read == nullptr) {
        return;
    }
    destroyRoot();
    root = read.release();
}

void Tree::putToStream(std::ostream& out) const {
    if (root == nullptr) {
        return;
    }
    detail::writeDocument(out, *root, encodeSkip);
}

int Tree::getOFStreamOpenMode() {
    return static_cast<int>(std::ios_base::out | std::ios_base::binary);
}

void Tree::copyFrom(const Tree& other) {
    if (other.root == nullptr) {
        return;
    }
    std::stringstream text(std::ios_base::in | std::ios_base::out | std::ios_base::binary);
    // A stream only records a failed write (memory running out as the text grows) in its state;
    // here it must throw, or the reader would be given half a document.
    text.exceptions(std::ios_base::badbit);
    other.putToStream(text);
    text.seekg(0);
    buildOfStream(text);
}

void Tree::setIndent(const std::string&) {}

Data* Tree::createRoot(const std::string& name) {
    auto created = std::make_unique<Data>(name);
    destroyRoot();
    root = created.release();
    return root;
}

Data* Tree::findRoot(const std::string& name, bool recursive) const {
    return root != nullptr ? root->findTree(name, recursive) : nullptr;
}

Data* Tree::open(const std::string& name, bool forceNew) {
    if (currentNode == nullptr) {
        if (root == nullptr) {
            root = new Data(name);
            currentNode = root;
            return root;
        }
        currentNode = root;
        if (root->getName() == name) {
            return root;
        }
    }
    currentNode = currentNode->openChild(name, forceNew);
    return currentNode;
}

void Tree::close() {
    currentNode = currentNode != nullptr ? currentNode->getParent() : root;
}

void Tree::setName(const std::string& name) {
    if (root != nullptr) {
        root->setName(name);
    }
}

std::string Tree::getName() const {
    return root != nullptr ? root->getName() : std::string();
}

void Tree::setValue(double value, const char* format) {
    if (currentNode != nullptr) {
        currentNode->setData(value, format);
    }
}

void Tree::setAttribute(const std::string& name, double value) {
    if (currentNode != nullptr) {
        currentNode->setAttribute(name, value);
    }
}

void Tree::setAttribute(const std::string& name, double value, const char* format) {
    if (currentNode != nullptr) {
        currentNode->setAttribute(name, value, format);
    }
}

void Tree::remove(const std::string& name) {
    if (currentNode != nullptr) {
        currentNode->remove(name);
    }
}

AttributeData* Tree::findAttribute(const std::string& name) {
    return currentNode != nullptr ? currentNode->findAttribute(name) : nullptr;
}

void Tree::flush() {
    if (currentNode != nullptr) {
        currentNode->flush();
    }
}

void Tree::flushRoot() {
    if (root != nullptr) {
        root->flush();
    }
}

}  // namespace VelXmlN
