#ifndef VELXMLN_ATTRIBUTEEXISTENCE_H
#define VELXMLN_ATTRIBUTEEXISTENCE_H

#include <string>

#include <VelXmlN/Export.h>
#include <VelXmlN/Ignore.h>

namespace VelXmlN {
namespace Comparing {

/// Ignores one attribute name on elements of one name: such an attribute counts for nothing, so
/// its presence on one side only and a different value on the two sides are no difference. Names
/// are compared byte for byte (case-sensitive). The rule never ignores an element.
class VELXMLN_API AttributeExistence : public Ignore {
  public:
    /// A rule for the attribute `attributeName` on elements named `elementName`.
    AttributeExistence(std::string const& elementName, std::string const& attributeName);

    AttributeExistence(const AttributeExistence& other);
    AttributeExistence& operator=(const AttributeExistence& other);
    ~AttributeExistence() override;

    /// True when the element's name is the rule's element name and the attribute's name the
    /// rule's attribute name.
    bool isIgnored(Data const* element, AttributeData const* attribute) const override;

    /// Always false.
    bool isIgnored(Data const* element) const override;

    /// The name of the elements the rule applies to.
    const std::string& getElementName() const noexcept { return elementName; }

    /// The name of the attribute the rule ignores.
    const std::string& getAttributeName() const noexcept { return attributeName; }

  private:
    std::string elementName;
    std::string attributeName;
};

}  // namespace Comparing
}  // namespace VelXmlN

#endif
