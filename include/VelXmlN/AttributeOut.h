#ifndef VELXMLN_ATTRIBUTEOUT_H
#define VELXMLN_ATTRIBUTEOUT_H

#include <string>

#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>

namespace VelXmlN {

/// Writes single attributes of an element. The class holds no state.
class VELXMLN_API AttributeOut {
  public:
    AttributeOut() = default;
    AttributeOut(const AttributeOut&) = default;
    AttributeOut& operator=(const AttributeOut&) = default;
    ~AttributeOut() = default;

    /// Sets the first attribute named `name` to `value` (entity flag true) in place, or appends
    /// one. An empty `name` leaves the element unchanged.
    static void writeString(Data& element, std::string const& name, std::string const& value);
};

}  // namespace VelXmlN

#endif
