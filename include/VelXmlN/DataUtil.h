#ifndef VELXMLN_DATAUTIL_H
#define VELXMLN_DATAUTIL_H

#include <set>
#include <string>

#include <VelXmlN/Data.h>
#include <VelXmlN/Export.h>

namespace VelXmlN {

/// Static helpers that read and write values of an element given by pointer: numbers in attributes
/// and in named children, 3-vectors, integer sets, and a find-or-create for a child told apart by
/// an integer attribute. Every function except getVector needs a non-null element. The class holds
/// no state.
class VELXMLN_API DataUtil {
  public:
    DataUtil() = default;
    DataUtil(const DataUtil&) = default;
    DataUtil& operator=(const DataUtil&) = default;
    ~DataUtil() = default;

    /// data->getAttributeDouble(name): atof of the first attribute of that name; 0.0 when missing.
    static double getAttributeDouble(const Data* data, const std::string& name);

    /// data->getAttributeInt(name): atoi of the first attribute of that name; -1 when missing.
    static int getAttributeInt(const Data* data, const std::string& name);

    /// data->getChildDouble(name): atof of the first child's text; 0.0 when missing or empty.
    static double getChildDouble(const Data* data, const std::string& name);

    /// data->getChildInt(name): atoi of the first child's text; 0 when missing or empty.
    static int getChildInt(const Data* data, const std::string& name);

    /// The value of the first attribute of that name; empty when missing.
    static std::string getAttributeString(const Data* data, const std::string& name);

    /// The text of the first child of that name; empty when missing.
    static std::string getChildString(const Data* data, const std::string& name);

    /// data->readIntSet(set): inserts atoi of every attribute's value; `set` is not cleared.
    static void readIntSet(const Data* data, std::set<int>& set);

    /// data->writeIntSet(set): the members in ascending order as "N0", "N1", ...; an empty set
    /// changes nothing and older attributes stay.
    static void writeIntSet(Data* data, const std::set<int>& set);

    /// Sets `x`, `y`, `z` from the children "X", "Y", "Z" (0.0 for a missing child or an empty
    /// text) and returns true. A null `data` returns false and leaves the three untouched.
    static bool getVector(const Data* data, double& x, double& y, double& z);

    /// Sets the text of the first child of that name, creating (appending) the child when there is
    /// none: with setData(value, format) when `format` is not null, else with setData(value). The
    /// format rules and exceptions are those of Data::setData(double, const char*).
    static void setChildData(Data* data, const std::string& name, double value, const char* format);

    /// setChildData(data, name, value, nullptr) when |value| > tolerance (strictly); otherwise
    /// nothing happens: no child is created and an existing child keeps its text.
    static void setChildDataCheck(Data* data, const std::string& name, double value,
                                  double tolerance);

    /// As the previous form, passing `format` to setChildData.
    static void setChildDataCheck(Data* data, const std::string& name, double value,
                                  double tolerance, const char* format);

    /// Sets `value` to atof of the attribute's value; leaves it untouched when the attribute is
    /// missing.
    static void readValToAttribute(const Data* data, const std::string& name, double& value);

    /// Sets `value` to (atoi of the attribute's value is not 0); untouched when missing.
    static void readValToAttribute(const Data* data, const std::string& name, bool& value);

    /// Sets `value` to atof of the child's text (0.0 for an empty text); untouched when the child
    /// is missing.
    static void readValToChild(const Data* data, const std::string& name, double& value);

    /// Sets `value` to (atoi of the child's text is not 0), false for an empty text; untouched when
    /// the child is missing.
    static void readValToChild(const Data* data, const std::string& name, bool& value);

    /// Sets `value` to atoi of the child's text (0 for an empty text); untouched when missing.
    static void readValToChild(const Data* data, const std::string& name, int& value);

    /// Returns the first direct child named `name` whose attribute `attribute` reads as `value`,
    /// or appends and returns a new such child carrying the full decimal text of `value`.
    /// The attribute is read like atoi (white space skipped, optional sign, longest digit prefix,
    /// 0 when there are no digits) but over the whole 64-bit range, so "3.9" matches 3 and
    /// "4294967296" matches 4294967296; a negative number or one beyond 64 bits matches nothing.
    /// The returned child is owned by `data`.
    static Data* openToAttribute(Data* data, const std::string& name, const std::string& attribute,
                                 unsigned long long value);
};

}  // namespace VelXmlN

#endif
