#ifndef VELXMLN_CHILDIN_H
#define VELXMLN_CHILDIN_H

#include <string>
#include <vector>

#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>
#include <VelXmlN/Nullable.h>
#include <VelXmlN/Range.h>

namespace VelXmlN {

/// Reads settings kept by the name/value convention: a setting is a child element whose tag is
/// the key and whose value sits in its attribute "Value"; a child standing for a named object
/// carries the name in its attribute "Name". Missing settings give empty Nullables or the
/// fallback. All lookups compare whole names byte for byte and take children in list order. The
/// class holds no state.
class VELXMLN_API ChildIn {
  public:
    /// The vocabulary of the convention, made when the library is loaded.
    class VELXMLN_API Constants {
      public:
        static const std::string Name;   ///< "Name"
        static const std::string Value;  ///< "Value"
        static const std::string X;      ///< "X"
        static const std::string Y;      ///< "Y"
        static const std::string Z;      ///< "Z"
        static const std::string T;      ///< "T"
        static const std::string True;   ///< "true"
        static const std::string False;  ///< "false"
    };

    ChildIn() = default;
    ChildIn(const ChildIn&) = default;
    ChildIn& operator=(const ChildIn&) = default;
    ~ChildIn() = default;

    /// Every child of `parent` named `key`, in order; empty when there is none. The pointers are
    /// borrowed from `parent`.
    static std::vector<Data const*> findChildren(Data const& parent, std::string const& key);

    /// The first child named `key` whose first "Name" attribute equals `name`; with an empty
    /// `name`, the first child named `key` whatever its attributes. Null when there is none.
    static Data const* findChild(Data const& parent, std::string const& key,
                                 std::string const& name);

    /// The value of the element's first "Name" attribute; empty when it has none.
    static velt::Nullable<std::string> readAttributeName(Data const& element);

    /// The value of the element's first "Name" attribute, or `fallback` when it has none.
    static std::string readAttributeName(Data const& element, std::string const& fallback);

    /// The value text of the setting `key` (the first child named `key` that has a "Value"
    /// attribute); empty when there is no such child. An empty value text is a value.
    static velt::Nullable<std::string> readString(Data const& parent, std::string const& key);

    /// The value text of the setting `key`, or `fallback` when it is missing.
    static std::string readString(Data const& parent, std::string const& key, std::string fallback);

    /// Whether the setting's value text is exactly "true" (anything else, "TRUE" and "1" included,
    /// is false); empty when the setting is missing.
    static velt::Nullable<bool> readBool(Data const& parent, std::string const& key);

    /// As the previous form, or `fallback` when the setting is missing.
    static bool readBool(Data const& parent, std::string const& key, bool fallback);

    /// The range held by the setting: its first two blank-separated numbers, the smaller as lower
    /// and the larger as upper bound; further tokens are ignored. Empty when the setting is
    /// missing or holds fewer than two tokens. Throws std::invalid_argument ("invalid stod
    /// argument") when one of the two tokens does not start with a number and std::out_of_range
    /// ("stod argument out of range") when it does not fit a double.
    static velt::Nullable<Math::Range> readRange(Data const& parent, std::string const& key);

    /// As the previous form, or `fallback` when there is no range; throws the same exceptions.
    static Math::Range readRange(Data const& parent, std::string const& key,
                                 Math::Range const& fallback);

  private:
    /// The first "Value" attribute of the first child named `key` that has one.
    static velt::Nullable<std::string> findValue(Data const& parent, std::string const& key);

    /// True when `text` equals "true".
    static bool stringToBool(std::string const& text);
};

}  // namespace VelXmlN

#endif
