#ifndef VELXMLN_ATTRIBUTEDATA_H
#define VELXMLN_ATTRIBUTEDATA_H

#include <cstddef>
#include <string>

#include <VelXmlN/Export.h>

class VelXmlAttributeData;

namespace VelXmlN {

/// One attribute of an element: a name and a value held as text, plus two application flags and an
/// opaque application pointer that the library stores and copies but never acts on.
class VELXMLN_API AttributeData {
  public:
    /// An attribute with empty name and value, entity flag true, not selected, null pointer.
    AttributeData();

    /// An attribute with the given name and value, entity flag true, not selected, null pointer.
    AttributeData(const std::string& name, const std::string& data);

    /// Copies all five fields (the application pointer is copied, not what it points to).
    AttributeData(const AttributeData& other);

    /// Copies all five fields and returns this attribute.
    AttributeData& operator=(const AttributeData& other);

    /// Takes name and value from a record-library attribute; the flags and the pointer keep their
    /// values. Returns this attribute.
    const AttributeData& operator=(const VelXmlAttributeData& other);

    virtual ~AttributeData();

    /// Records come from the library's own pool of small blocks (the global allocator in the
    /// sanitizer and valgrind builds). They may be deleted on any thread.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    /// The name.
    const std::string& getName() const noexcept { return name; }

    /// Stores the name unchanged.
    void setName(const std::string& value) { name = value; }

    /// The value text.
    const std::string& getData() const noexcept { return data; }

    /// The value text (same as getData).
    const std::string& getString() const noexcept { return data; }

    /// The value's characters, terminated by a zero byte; valid until the value changes.
    const char* getChar() const noexcept { return data.c_str(); }

    /// Stores the value unchanged (no trimming).
    void setData(const std::string& value) { data = value; }

    /// The value read as an integer the way atoi reads it: leading white space skipped, the longest
    /// integer prefix converted, 0 when there is none; values beyond int saturate.
    int getInteger() const noexcept;

    /// The value read as a double the way atof reads it (longest prefix, 0.0 when none).
    double getDouble() const noexcept;

    /// True when the value, read as a double, differs from `value` by strictly less than
    /// `tolerance`.
    bool checkValue(const double& value, double tolerance) const noexcept;

    /// True when the value, read as an integer, equals `value`.
    bool checkValue(const int& value) const noexcept;

    /// True when the value text equals `value` byte for byte.
    bool checkValue(const std::string& value) const noexcept;

    /// The application flag (true on creation).
    bool getEntityFlag() const noexcept { return entityFlag; }
    void setEntityFlag(bool value) noexcept { entityFlag = value; }

    /// The selection mark searched by Data::getFirstSelectXMLAttributeData.
    bool getSelect() const noexcept { return select; }
    void setSelect(bool value) noexcept { select = value; }

    /// The opaque application pointer; never followed, owned or freed by the library.
    void* getPointer() const noexcept { return pointer; }
    void setPointer(void* value) noexcept { pointer = value; }

  private:
    std::string name;
    std::string data;
    bool entityFlag;
    bool select;
    void* pointer;
};

}  // namespace VelXmlN

#endif
