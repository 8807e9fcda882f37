#ifndef VELXMLN_DIFFERENTITEM_H
#define VELXMLN_DIFFERENTITEM_H

#include <cstdint>

#include <VelXmlN/AttributeData.h>
#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>

namespace VelXmlN {
namespace Comparing {

/// One difference found by Compare: the elements (and for a value difference the attributes) of
/// side A and side B it concerns, and its kind. The pointers are borrowed from the compared trees
/// and are meaningful only while those trees live unchanged.
class VELXMLN_API DifferentItem {
  public:
    /// The kind of a difference. The values are fixed and may be stored.
    enum Difference : std::int32_t {
        /// Nothing differs; never recorded.
        NoDifference = 0,
        /// The two elements have different numbers of children that no rule ignores.
        ChildCount = 1,
        /// The two elements have different numbers of attributes that no rule ignores.
        AttributeCount = 2,
        /// A child of A found no partner in B; the records name the two parents.
        MissingChild = 3,
        /// An attribute of A found no partner in B.
        MissingAttribute = 4,
        /// Two paired attributes have different values; the records name both attributes.
        AttributeValue = 5,
        /// Two paired child elements have different texts.
        Content = 6,
        /// One or both of the elements to compare is null.
        MissingElement = 7
    };

    /// A record of the given elements, attributes and kind.
    DifferentItem(Data const* elementA_, AttributeData const* attributeA_, Data const* elementB_,
                  AttributeData const* attributeB_, Difference difference_) noexcept
        : elementA(elementA_),
          attributeA(attributeA_),
          elementB(elementB_),
          attributeB(attributeB_),
          difference(difference_) {}

    DifferentItem(const DifferentItem&) = default;
    DifferentItem(DifferentItem&&) = default;
    DifferentItem& operator=(const DifferentItem&) = default;
    DifferentItem& operator=(DifferentItem&&) = default;
    ~DifferentItem() = default;

    /// The element of side A, or null.
    Data const* getElementA() const noexcept { return elementA; }

    /// The attribute of side A; null unless the difference is AttributeValue.
    AttributeData const* getAttributeA() const noexcept { return attributeA; }

    /// The element of side B, or null.
    Data const* getElementB() const noexcept { return elementB; }

    /// The attribute of side B; null unless the difference is AttributeValue.
    AttributeData const* getAttributeB() const noexcept { return attributeB; }

    /// The kind of difference.
    Difference getDifference() const noexcept { return difference; }

    /// The name of a kind as its enumerator is spelled ("ChildCount", "AttributeValue"), for
    /// reports; "Unknown" for a value that is none of the kinds.
    static const char* getDifferenceName(Difference kind) noexcept;

  private:
    Data const* elementA;
    AttributeData const* attributeA;
    Data const* elementB;
    AttributeData const* attributeB;
    Difference difference;
};

}  // namespace Comparing
}  // namespace VelXmlN

#endif
