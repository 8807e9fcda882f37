// The navigator's binding to a document; kept apart so that the document module never depends
// on paths.
#include <VelXmlN/Tree.h>
#include <VelXmlN/XPathNavigator.h>

namespace VelXmlN {

XPathNavigator::XPathNavigator(Tree const* tree)
    : contextElement(tree != nullptr ? tree->getRoot() : nullptr) {}

std::unique_ptr<XPathNavigator> Tree::createNavigator() {
    return std::make_unique<XPathNavigator>(this);
}

}  // namespace VelXmlN
