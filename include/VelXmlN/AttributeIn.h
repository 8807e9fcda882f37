#ifndef VELXMLN_ATTRIBUTEIN_H
#define VELXMLN_ATTRIBUTEIN_H

#include <string>

#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>
#include <VelXmlN/Nullable.h>

namespace VelXmlN {

/// Reads single attributes of an element. The class holds no state.
class VELXMLN_API AttributeIn {
  public:
    AttributeIn() = default;
    AttributeIn(const AttributeIn&) = default;
    AttributeIn& operator=(const AttributeIn&) = default;
    ~AttributeIn() = default;

    /// The value of the element's first attribute named `name`; empty when there is none.
    static velt::Nullable<std::string> readString(Data const& element, std::string const& name);

    /// The value of the element's first attribute named `name`, or `fallback`.
    static std::string readString(Data const& element, std::string const& name,
                                  std::string const& fallback);
};

}  // namespace VelXmlN

#endif
