#ifndef VELXMLN_SAX2INTERFACE_H
#define VELXMLN_SAX2INTERFACE_H

#include <map>
#include <string>
#include <vector>

#include <VelXmlN/Export.h>

namespace VelXmlN {

/// Scans one XML file with the Xerces-C SAX2 parser for the elements at a path and returns the
/// attributes of each, without building a tree. Parse problems are not thrown: the messages of
/// fatal errors and of failed scans are kept as texts for the caller to read afterwards.
///
/// The parser is set up to validate and to process namespaces, but it never reads anything a
/// document names: external DTDs and external entities read as empty, schemas are not loaded, and
/// nothing is fetched from the network. It streams the file, so memory grows with the result, not
/// with the file. Hostile documents are cut short: more than kasxmln::kMaxEntityExpansions entity
/// expansions is a fatal error; nesting deeper than kasxmln::kMaxElementDepth, or entity text of
/// more than kasxmln::kMaxAmplification times the bytes read (beyond the first
/// kasxmln::kAmplificationThreshold units), ends the scan like an exception of the parser.
///
/// Documents that declare a DTD are validated against it (the reports are ignored): the parser
/// then keeps about 16 bytes for every child of each open element, so for those documents memory
/// also grows with the number of children of one element.
///
/// One object must not be used by two threads at once; separate objects may scan concurrently.
class VELXMLN_API Sax2Interface {
  public:
    /// A scanner of the file at `fileName` (a narrow path); nothing is opened until a scan.
    explicit Sax2Interface(std::string const& fileName);

    /// Copies the file name and both message lists.
    Sax2Interface(Sax2Interface const& other);

    /// Takes over the file name and both message lists; `other` stays usable but may be empty.
    Sax2Interface(Sax2Interface&& other) noexcept;

    /// Copies the file name and both message lists; assigning an object to itself changes nothing.
    Sax2Interface& operator=(Sax2Interface const& other);

    /// Takes over the file name and both message lists.
    Sax2Interface& operator=(Sax2Interface&& other) noexcept;

    ~Sax2Interface();

    /// Scans the file for the elements at `path`: element names separated by "/", starting with
    /// the root element's name ("config/section/item"), matched by local name, case-sensitively,
    /// at exactly that depth. Returns one map per such element, in the order the elements start,
    /// from each attribute's local name to its value (an element without attributes gives an
    /// empty map); an attribute that shares its local name with an earlier one overwrites it.
    ///
    /// Replaces the fatal-error messages (getErrorTexts) with those of this scan; when the parser
    /// reported fatal errors, the maps of the elements started before the first are returned. When
    /// the parse throws, its message ("Unexpected Exception" for a type that is not the parser's)
    /// is appended to getExceptions and the result is empty. A path that matches nothing gives an
    /// empty result and no message.
    std::vector<std::map<std::string, std::string>> getAttributes(std::string const& path);

    /// The fatal-error messages of the latest scan that reached the parser, in the order reported;
    /// the message alone, without line or file.
    std::vector<std::string> const& getErrorTexts() const;

    /// The messages of every scan that failed with an exception since the object was made.
    std::vector<std::string> const& getExceptions() const;

  private:
    std::string fileName;
    std::vector<std::string> errorTexts;
    std::vector<std::string> exceptions;
};

}  // namespace VelXmlN

#endif
