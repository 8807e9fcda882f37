#ifndef VELXMLN_CHILDOUT_H
#define VELXMLN_CHILDOUT_H

#include <string>

#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>
#include <VelXmlN/Range.h>

namespace VelXmlN {

/// Writes settings by the name/value convention that ChildIn reads. Every function returns the
/// child it found or appended, owned by `parent`. The class holds no state.
class VELXMLN_API ChildOut {
  public:
    ChildOut() = default;
    ChildOut(const ChildOut&) = default;
    ChildOut& operator=(const ChildOut&) = default;
    ~ChildOut() = default;

    /// Appends a child named `key`; a non-empty `name` becomes its attribute "Name". Never looks
    /// for an existing child.
    static Data* createChild(Data& parent, std::string const& key, std::string const& name);

    /// The child that ChildIn::findChild(parent, key, name) finds, or a new one made by
    /// createChild when there is none.
    static Data* tryCreateChild(Data& parent, std::string const& key, std::string const& name);

    /// Appends a child named `key` whose attribute "Value" holds `value` (also when empty).
    static Data* createString(Data& parent, std::string const& key, std::string const& value);

    /// Appends a child named `key` whose attribute "Value" holds the lower bound, one blank and the
    /// upper bound, each written with the printf-style `format` (one double conversion, at most
    /// 4095 characters per bound). A format that is not exactly one double conversion throws
    /// std::invalid_argument, a bound text longer than 4095 characters std::length_error; nothing
    /// is appended then.
    static Data* createRange(Data& parent, std::string const& key, Math::Range const& range,
                             std::string const& format);
};

}  // namespace VelXmlN

#endif
