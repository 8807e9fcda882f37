#ifndef VELXMLN_VELXMLDATA_H
#define VELXMLN_VELXMLDATA_H

#include <memory>
#include <string>
#include <vector>

#include <VelXmlN/Export.h>

/// One attribute of a record-library element: a name and a value text. The element library imports
/// such attributes with Data::operator=(const VelXmlData&).
class VELXMLN_API VelXmlAttributeData {
  public:
    /// Makes an attribute with the given name and value.
    VelXmlAttributeData(std::string name, std::string data);

    /// The attribute's name.
    const std::string& getName() const noexcept { return name_; }

    /// The attribute's value text.
    const std::string& getData() const noexcept { return data_; }

  private:
    std::string name_;
    std::string data_;
};

/// One element of the record library: a name, a text, an expand flag, attributes and children, all
/// owned. It is the source of Data::operator=(const VelXmlData&), which reads it through its const
/// getters only.
class VELXMLN_API VelXmlData {
  public:
    /// Makes an element without attributes or children.
    explicit VelXmlData(std::string name, std::string data = std::string(), bool expand = false);

    /// Destroys the element with its whole subtree (without recursion, so any depth is safe).
    ~VelXmlData();

    VelXmlData(const VelXmlData&) = delete;
    VelXmlData& operator=(const VelXmlData&) = delete;

    /// The element's name.
    const std::string& getName() const noexcept { return name_; }

    /// The element's text.
    const std::string& getData() const noexcept { return data_; }

    /// The expand flag.
    bool getExpand() const noexcept { return expand_; }

    /// The attributes in order; owned by this element.
    const std::vector<VelXmlAttributeData*>& getAttributes() const noexcept { return attributes_; }

    /// The children in order; owned by this element.
    const std::vector<VelXmlData*>& getChildren() const noexcept { return children_; }

    /// Appends an attribute and returns it (owned by this element).
    VelXmlAttributeData* addAttribute(std::string name, std::string data);

    /// Appends `child`, taking ownership, and returns it.
    VelXmlData* addChild(std::unique_ptr<VelXmlData> child);

  private:
    std::string name_;
    std::string data_;
    bool expand_;
    std::vector<VelXmlAttributeData*> attributes_;
    std::vector<VelXmlData*> children_;
};

#endif
