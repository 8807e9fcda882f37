#ifndef VELXMLN_IGNORE_H
#define VELXMLN_IGNORE_H

#include <VelXmlN/AttributeData.h>
#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>

namespace VelXmlN {
namespace Comparing {

/// A rule that takes elements or attributes out of a tree comparison (see Compare). Derive from it
/// and answer the two questions; the comparison asks the rules of its list in order and ignores
/// what the first rule answering true names. Rules are owned by the caller, must outlive the
/// comparison and must not change during it; both questions are asked with non-null pointers.
class VELXMLN_API Ignore {
  public:
    Ignore(const Ignore&) = default;
    Ignore& operator=(const Ignore&) = default;
    virtual ~Ignore();

    /// True when the attribute `attribute` of `element` is to be left out of the comparison.
    virtual bool isIgnored(Data const* element, AttributeData const* attribute) const = 0;

    /// True when `element` is to be left out of the comparison: it is not counted among its
    /// parent's children, and nothing below it is compared.
    virtual bool isIgnored(Data const* element) const = 0;

  protected:
    Ignore() = default;
};

}  // namespace Comparing
}  // namespace VelXmlN

#endif
