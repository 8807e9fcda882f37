// Compares two documents, lists their differences and ignores one attribute.
#include <VelXmlN/VelXmlN.h>

#include <iostream>
#include <sstream>

using VelXmlN::Compare;
using VelXmlN::Comparing::AttributeExistence;
using VelXmlN::Comparing::DifferentItem;

namespace {

std::unique_ptr<VelXmlN::Tree> parse(const char* xml) {
    std::istringstream in(xml);
    return std::make_unique<VelXmlN::Tree>(in);
}

}  // namespace

int main() {
    auto a =
        parse("<plant><line id='1' checked='mon'><speed>2</speed></line><line id='2'/></plant>");
    auto b = parse("<plant><line id='1' checked='tue'><speed>3</speed></line></plant>");

    // Only what lies below the two elements is compared: here the lines and their contents.
    for (const DifferentItem& item : Compare::findDifferences(a->getRoot(), b->getRoot())) {
        std::cout << DifferentItem::getDifferenceName(item.getDifference()) << ' '
                  << VelXmlN::XPathNavigator::makeXPath(*item.getElementA());
        if (item.getAttributeA() != nullptr) {
            std::cout << "/@" << item.getAttributeA()->getName();
        }
        std::cout << '\n';
    }

    const AttributeExistence checked("line", "checked");
    const std::vector<VelXmlN::Comparing::Ignore const*> rules{&checked};
    std::cout << "equal ignoring checked: " << Compare::areEqual(a->getRoot(), b->getRoot(), rules)
              << '\n';
    std::cout << "equally structured:     "
              << Compare::areEquallyStructured(a->getRoot(), b->getRoot(), rules) << '\n';
    return 0;
}
