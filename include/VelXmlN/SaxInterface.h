#ifndef VELXMLN_SAXINTERFACE_H
#define VELXMLN_SAXINTERFACE_H

#include <map>
#include <string>
#include <vector>

#include <VelXmlN/Export.h>

namespace VelXmlN {

/// Scans one XML file with the SAX parser of the node library (kasxmln::CXMLManager) for the
/// elements at a path and returns the attributes of each, without building a tree. Failures of
/// the node library (kasxmln::CXMLException) are not thrown: their messages are kept as texts.
///
/// Names and values are used exactly as the node library delivers them: names keep their prefix
/// ("p:id"), "xmlns" attributes are ordinary attributes. The node library streams the file and
/// never reads anything a document names; its limits (kasxmln::kMaxElementDepth,
/// kasxmln::kMaxEntityExpansions, kasxmln::kMaxAmplification) end a scan with an exception.
///
/// One object must not be used by two threads at once; separate objects may scan concurrently.
class VELXMLN_API SaxInterface {
  public:
    /// A scanner of the file at `fileName` (a narrow path); nothing is opened until a scan.
    explicit SaxInterface(std::string const& fileName);

    /// Copies the file name and both message lists.
    SaxInterface(SaxInterface const& other);

    /// Takes over the file name and both message lists; `other` stays usable but may be empty.
    SaxInterface(SaxInterface&& other) noexcept;

    /// Copies the file name and both message lists; assigning an object to itself changes nothing.
    SaxInterface& operator=(SaxInterface const& other);

    /// Takes over the file name and both message lists.
    SaxInterface& operator=(SaxInterface&& other) noexcept;

    ~SaxInterface();

    /// Scans the file for the elements at `path`: element names separated by "/", starting with
    /// the root element's name ("config/section/item"), matched byte for byte with the names the
    /// node library delivers, at exactly that depth. Returns one map per such element, in the
    /// order the elements start, from attribute name to value (an element without attributes
    /// gives an empty map).
    ///
    /// A successful scan empties getErrorTexts. When the node library throws
    /// kasxmln::CXMLException (a file that cannot be read, a document that is not well-formed or
    /// passes a limit), its message text is appended to getExceptions, getErrorTexts is left as it
    /// was and the result is empty. Exceptions of other types (std::bad_alloc) pass to the caller
    /// and leave both lists unchanged. A path that matches nothing gives an empty result.
    std::vector<std::map<std::string, std::string>> getAttributes(std::string const& path);

    /// Always empty after a successful scan: this scanner records failures in getExceptions only.
    std::vector<std::string> const& getErrorTexts() const;

    /// The messages of every scan that failed since the object was made.
    std::vector<std::string> const& getExceptions() const;

  private:
    std::string fileName;
    std::vector<std::string> errorTexts;
    std::vector<std::string> exceptions;
};

}  // namespace VelXmlN

#endif
