#ifndef VELXMLN_DATA_H
#define VELXMLN_DATA_H

#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <VelXmlN/AttributeData.h>
#include <VelXmlN/Export.h>

class VelXmlData;

namespace VelXmlN {

/// One XML element: a name, a text, an ordered list of owned attributes and an ordered list of
/// owned children, a non-owning parent link, and application flags the library only stores.
///
/// An element owns its subtree: destroying, flushing or assigning to it destroys every former
/// child and attribute, and every pointer into that subtree becomes invalid. Names need not be
/// unique; lookups by name take the first match in list order and compare bytes exactly.
/// Destruction, flush and assignment work without recursion, so trees of any depth are safe.
class VELXMLN_API Data {
  public:
    /// An element with empty name and text, no parent, entity flag true, other flags false.
    Data();

    /// As Data(), with the given name.
    explicit Data(const std::string& name);

    /// As Data(name), with the parent link set. The element is not put into the parent's list.
    Data(const std::string& name, Data* parent);

    /// A deep copy of `other` made by the assignment below: the copy has no parent, entity flag
    /// true and a null pointer.
    Data(const Data& other);

    /// Destroys the attributes and the whole subtree. Does not touch the parent's child list.
    virtual ~Data();

    /// Deep copy. Destroys this element's attributes and children, copies the name, the text
    /// (trimmed of spaces, as setData(std::string) does), `select` and `expand`, then every
    /// attribute with all its fields and every child recursively. Children of the copy have entity
    /// flag true and a null pointer; this element keeps its own entity flag, pointer and parent.
    /// Assigning from this element itself or from an element of its own subtree is safe: the
    /// source is copied before anything is destroyed. Returns this element.
    const Data& operator=(const Data& other);

    /// Imports a record-library element and its subtree the same way: the name, the text (trimmed),
    /// `expand`, the attributes (name and value; entity flag true, not selected, null pointer) and
    /// the children. This element keeps `select`, entity flag, pointer and parent. Returns this
    /// element.
    const Data& operator=(const VelXmlData& other);

    /// The decimal text of `value` ("-" for negatives, no leading zeros).
    static std::string toString(const int& value);

    /// The `%.20g` text of `value`: 20 significant digits, correctly rounded, fixed notation for
    /// decimal exponents from -4 to 19, otherwise exponent notation with at least two digits;
    /// trailing fraction zeros removed. -0.0 gives "-0"; infinities and NaN give "inf", "-inf",
    /// "nan" and "-nan".
    static std::string toString(const double& value);

    /// Returns `value` itself, so that generic code can call toString on any value type.
    static const std::string& toString(const std::string& value) noexcept { return value; }

    /// The name (the tag).
    const std::string& getName() const noexcept { return name; }

    /// Stores the name unchanged.
    void setName(const std::string& value) { name = value; }

    /// The text.
    const std::string& getData() const noexcept { return data; }

    /// Stores `value` without its leading and trailing spaces. Only the space character (0x20) is
    /// removed; tabs and line breaks at either end stay, and a value of spaces only becomes empty.
    void setData(std::string value);

    /// Stores `value` unchanged.
    void setDataPlain(const std::string& value) { data = value; }

    /// Stores toString(value) unchanged (-0.0 stays "-0").
    void setData(double value);

    /// Stores the text that printf writes for `format` and `value`, without surrounding white space
    /// and then trimmed as setData(std::string) does. `format` must hold exactly one conversion
    /// that takes a double (flags, width, precision and "%%" allowed): anything else, including a
    /// null format, throws std::invalid_argument naming the format. A result longer than 1023
    /// characters is refused with std::length_error; nothing is stored then.
    void setData(double value, const char* format);

    /// Stores the decimal text of `value`.
    void setData(int value);

    /// Stores the decimal text of `value`, all of it (values above the int range are not cut).
    void setData(unsigned long long value);

    /// Appends `child`, sets its parent to this element and takes ownership. Returns `child`.
    Data* addChild(Data* child);

    /// As addChild(Data*), taking ownership out of the unique_ptr. Returns the raw pointer.
    Data* addChild(std::unique_ptr<Data> child);

    /// Appends a new child of that name and returns it.
    Data* createChild(const std::string& name);

    /// Returns the first child of that name; when there is none, or `forceNew` is true, appends a
    /// new child of that name and returns that.
    Data* openChild(const std::string& name, bool forceNew);

    /// Inserts `child` in front of all children, sets its parent and takes ownership.
    void addChildFirst(Data* child);

    /// Inserts `child` directly before `ref` (found by pointer), giving it ref's parent, and takes
    /// ownership. Returns false, and changes nothing, when `ref` is not a child of this element.
    bool addChildBefore(Data* child, Data* ref);

    /// As addChildBefore, inserting directly after `ref`.
    bool addChildAfter(Data* child, Data* ref);

    /// Takes the first occurrence of `child` out of the list without destroying it; ownership
    /// passes to the caller and its parent link is left as it was. An absent pointer does nothing.
    void removeChild(Data* child);

    /// True when `child` is in the child list (pointer identity).
    bool childExist(Data* child) const;

    /// The first direct child of that name, or null.
    Data* findChild(const std::string& name) const;

    /// Destroys the first child of that name and takes it out of the list; no match does nothing.
    void remove(const std::string& name);

    /// Destroys all attributes, then all children, in list order, and empties both lists. Name,
    /// text, flags, pointer and parent stay.
    void flush();

    /// The child list itself; callers may edit it directly (the element owns what it holds).
    std::vector<Data*>& getChildren() noexcept { return children; }
    const std::vector<Data*>& getChildren() const noexcept { return children; }

    /// The first attribute of that name, or null. The result may be modified.
    AttributeData* findAttribute(const std::string& name) const;

    /// Sets the first attribute of that name to `value` and `entityFlag`, keeping its place, select
    /// mark and pointer; appends a new attribute when there is none.
    void setAttribute(const std::string& name, const std::string& value, bool entityFlag = true);

    /// Sets the attribute to Tools::toPositiveZero(toString(value)), entity flag true.
    void setAttribute(const std::string& name, double value);

    /// Sets the attribute to the printf text of `format` and `value` without surrounding white
    /// space, with a negative zero made positive; entity flag true. The format rules and
    /// exceptions are those of setData(double, const char*).
    void setAttribute(const std::string& name, double value, const char* format);

    /// Sets the attribute to the decimal text of `value`.
    void setAttribute(const std::string& name, int value, bool entityFlag = true);

    /// Sets the attribute to the decimal text of `value` (the whole range of long).
    void setAttribute(const std::string& name, long value, bool entityFlag = true);

    /// Sets the attribute to the decimal text of the full 64-bit `value`.
    void setAttribute(const std::string& name, long long value, bool entityFlag = true);

    /// Sets the attribute to the decimal text of the full `value` (not cut to the int range).
    void setAttribute(const std::string& name, unsigned long long value, bool entityFlag = true);

    /// Destroys the first attribute of that name; returns whether one was removed.
    bool removeAttribute(const std::string& name);

    /// The attribute list itself; callers may edit it directly (the element owns what it holds).
    std::vector<AttributeData*>& getAttributes() noexcept { return attributes; }
    const std::vector<AttributeData*>& getAttributes() const noexcept { return attributes; }

    /// atof of the first attribute of that name; 0.0 when missing.
    double getAttributeDouble(const std::string& name) const;

    /// atoi of the first attribute of that name; -1 when missing.
    int getAttributeInt(const std::string& name) const;

    /// getAttributeInt(name) != 0, so a missing attribute reads as true.
    bool getAttributeBool(const std::string& name) const;

    /// A copy of the attribute's value; empty when missing.
    std::string getAttributeString(const std::string& name) const;

    /// Sets `out` to atof of the attribute's value and returns true; false and `out` untouched
    /// when the attribute is missing.
    bool findAttributeDouble(const std::string& name, double& out) const;

    /// As findAttributeDouble, with atoi.
    bool findAttributeInt(const std::string& name, int& out) const;

    /// As findAttributeDouble, with the number truncated toward zero ("2.9" gives 2, "1e3" 1000).
    /// Integer texts are read exactly over the whole range of long; larger values saturate and NaN
    /// reads as 0.
    bool findAttributeLong(const std::string& name, long& out) const;

    /// As findAttributeInt, giving whether the number is not 0.
    bool findAttributeBool(const std::string& name, bool& out) const;

    /// Sets `out` to the attribute's value and returns true; false and `out` untouched when
    /// missing.
    bool findAttributeString(const std::string& name, std::string& out) const;

    /// atof of the first child of that name's text; 0.0 when missing or empty.
    double getChildDouble(const std::string& name) const;

    /// atoi of the first child of that name's text; 0 (not -1) when missing or empty.
    int getChildInt(const std::string& name) const;

    /// A copy of the first child of that name's text; empty when missing.
    std::string getChildString(const std::string& name) const;

    /// The numbers of the children "X", "Y" and "Z" as getChildDouble reads them.
    std::array<double, 3> getVector() const;

    /// The first direct child named `name` that has an attribute `attribute` whose number differs
    /// from `value` by strictly less than `tolerance`; null when there is none.
    Data* findChildToAttribute(const std::string& name, const std::string& attribute, double value,
                               double tolerance) const;

    /// Writes the members in ascending order as attributes "N0", "N1", ... with decimal values,
    /// overwriting existing attributes of those names in place. Other attributes, higher "N"
    /// attributes of an earlier larger set included, stay. An empty set changes nothing.
    void writeIntSet(const std::set<int>& set);

    /// Inserts atoi of every attribute's value, whatever its name, into `set` (not cleared first).
    void readIntSet(std::set<int>& set) const;

    /// Searches by element name: this element if it has the name, else its first direct child of
    /// that name, else (when `recursive`) each child's subtree in order by the same rule. An empty
    /// name finds nothing.
    Data* findTree(const std::string& name, bool recursive);
    const Data* findTree(const std::string& name, bool recursive) const;

    /// The first element of the subtree, this one included, whose select mark is set (pre-order);
    /// null when none is.
    Data* getFirstSelectXMLData() const;

    /// The first attribute of the subtree whose select mark is set (this element's attributes
    /// first, then each child's subtree in order); null when none is.
    AttributeData* getFirstSelectXMLAttributeData() const;

    /// The parent link (not owning); null for a free element.
    Data* getParent() const noexcept { return parent; }
    void setParent(Data* value) noexcept { parent = value; }

    /// The application flag (true on creation).
    bool getEntityFlag() const noexcept { return entityFlag; }
    void setEntityFlag(bool value) noexcept { entityFlag = value; }

    /// The opaque application pointer; never followed, owned or freed by the library.
    void* getPointer() const noexcept { return pointer; }
    void setPointer(void* value) noexcept { pointer = value; }

    /// The application flag taken over from the record library.
    bool getExpand() const noexcept { return expand; }
    void setExpand(bool value) noexcept { expand = value; }

    /// The selection mark searched by getFirstSelectXMLData.
    bool getSelect() const noexcept { return select; }
    void setSelect(bool value) noexcept { select = value; }

  private:
    /// Cuts white space off the end of `text` in place and returns a pointer to its first
    /// non-white character.
    char* removeBlanks(char* text) const;

    /// Formats `value` with a checked printf format into `buffer` (1024 bytes) and returns the
    /// text without surrounding white space.
    const char* formatValue(double value, const char* format, char* buffer) const;

    void copyFrom(const Data& other);

    std::string name;
    std::string data;
    Data* parent;
    std::vector<Data*> children;
    std::vector<AttributeData*> attributes;
    bool entityFlag;
    void* pointer;
    bool expand;
    bool select;
};

}  // namespace VelXmlN

#endif
