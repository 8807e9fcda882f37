// Where the parts of a document lie in its bytes, so that an edit can change the bytes of what it
// edits and keep every other byte: comments, processing instructions, the DOCTYPE, white space,
// line ends, quoting and the encoding declaration.
#ifndef VELXMLN_TOOLS_EDITLAYOUT_H
#define VELXMLN_TOOLS_EDITLAYOUT_H

#include <VelXmlN/Data.h>
#include <VelXmlN/Tree.h>

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace velxmlncli {

/// Bytes [begin, end) of a document.
struct ByteSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

/// One attribute in a start tag.
struct AttributePlace {
    ByteSpan space;  ///< the white space before the name
    ByteSpan name;
    ByteSpan value;  ///< between the quotes
    char quote = '"';
};

/// One element: its tags, attributes and text, and how it sits among its relatives.
struct ElementPlace {
    ByteSpan startTag;  ///< "<" to ">" inclusive
    ByteSpan name;
    std::vector<AttributePlace> attributes;
    std::size_t texts = 0;  ///< texts the library reads (white space alone is none)
    ByteSpan endTag;        ///< "</name>"; empty, at the end of the start tag, for "<name/>"
    std::size_t parent = kNone;
    std::size_t children = 0;
    std::size_t lastChild = kNone;

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    bool isEmptyTag() const noexcept { return endTag.begin == endTag.end; }
};

/// A document read for editing: its bytes, the tree the library reads from them, and, when the
/// fast reader takes the document, where each element of the tree lies in the bytes.
class SourceDocument {
  public:
    /// Reads `file` ("-": standard input) once. Throws CommandError naming the input when it
    /// cannot be read or is not a well-formed document.
    explicit SourceDocument(const std::string& file);

    /// The input as messages name it: "standard input" for "-", otherwise the file name.
    const std::string& file() const noexcept { return file_; }
    const std::string& bytes() const noexcept { return bytes_; }
    VelXmlN::Tree& tree() noexcept { return *tree_; }

    /// Empty when the document can be edited byte for byte; otherwise what writing it in the
    /// library's layout would lose, as a phrase ("its ISO-8859-1 encoding, ...").
    const std::string& notEditable() const noexcept { return notEditable_; }

    /// Where `element`, an element of tree(), lies. Only when notEditable() is empty.
    const ElementPlace& placeOf(const VelXmlN::Data* element) const;
    const ElementPlace& place(std::size_t index) const { return places_[index]; }
    std::size_t indexOf(const VelXmlN::Data* element) const;

    /// The file's line end: "\r\n" when its first line ends so, "\n" otherwise.
    const std::string& lineEnd() const noexcept { return lineEnd_; }

    /// One level of the file's indentation, the most common step between an element on a line of
    /// its own and its parent; a tab when the file shows none.
    const std::string& indentStep() const noexcept { return indentStep_; }

    /// The quote of the first attribute of the document; '"' when it has none.
    char quote() const noexcept { return quote_; }

    /// The white space in front of `index`'s start tag when only white space precedes it on its
    /// line; `atLineStart` tells whether that is so.
    std::string indentOf(std::size_t index, bool& atLineStart) const;

  private:
    void findPlaces();
    void findStyle();

    std::string file_;
    std::string bytes_;
    std::unique_ptr<VelXmlN::Tree> tree_;
    std::string notEditable_;
    std::vector<ElementPlace> places_;
    std::unordered_map<const VelXmlN::Data*, std::size_t> indexes_;
    std::string lineEnd_ = "\n";
    std::string indentStep_ = "\t";
    char quote_ = '"';
};

/// Replacements of byte spans of one document, applied in one pass.
class ByteEdits {
  public:
    /// Replaces `span` with `text`. Insertions at one place keep the order of the calls.
    void replace(ByteSpan span, std::string text);

    /// The document with every replacement made. Spans must not overlap.
    std::string apply(const std::string& bytes) const;

    bool empty() const noexcept { return edits_.empty(); }

  private:
    struct Edit {
        ByteSpan span;
        std::string text;
    };
    std::vector<Edit> edits_;
};

/// Throws CommandError naming `file` when `bytes`, an edited form of it, is not a document.
void checkReadsBack(const std::string& bytes, const std::string& file);

/// `text` (narrow) as UTF-8 document text: "<", ">" and "&" escaped as the writer does, and a
/// carriage return, which a reader would turn into a line feed. Throws CommandError for a
/// character XML cannot carry.
std::string escapeText(const std::string& text);

/// `value` (narrow) as UTF-8 attribute text between `quote`s: "<", ">", "&" and that quote
/// escaped as the writer does, and tab, line feed and carriage return, which a reader would turn
/// into spaces. Throws CommandError for a character XML cannot carry.
std::string escapeAttribute(const std::string& value, char quote);

/// `name` (narrow) as UTF-8; throws CommandError "<file>: invalid XML name '<name>'" when it is
/// not an XML name.
std::string xmlName(const std::string& name, const std::string& file);

}  // namespace velxmlncli

#endif
