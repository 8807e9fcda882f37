#ifndef VELXMLN_KASXMLN_H
#define VELXMLN_KASXMLN_H

/* The XML node library: parses XML text into node trees or SAX callbacks, builds node trees and
   writes them as XML text. It is this library's own small layer over the Xerces-C SAX2 parser.

   Parsing is hardened and never configurable: no validation, no namespaces (names keep their
   prefixes, "xmlns" attributes are ordinary attributes), no schemas, and nothing that a document
   names (external DTD, external entity) is ever read from disk or network; an external entity
   reads as empty text, and a reference to an entity declared nowhere in the document is refused.
   Documents are refused with a CXMLException when they nest deeper than kMaxElementDepth, expand
   more than kMaxEntityExpansions entity references (character references and the five
   predefined entities do not count), or deliver more than kMaxAmplification times their own size
   in text beyond the first kAmplificationThreshold units; the parser's own memory is bounded the
   same way, so an attribute full of references is refused before it is built.

   Node conventions of a loaded tree: character and entity references are decoded; CDATA sections
   are text and join the text around them; comments and processing instructions are dropped and
   the text on either side of them is joined into one text node; text that is white space only
   (space, tab, line feed, carriage return) after joining is not reported, so reading indented
   output gives back the tree that was written. Element nodes have type kElementNode, text nodes
   type kTextNode (1).

   Names and texts are narrow strings in the code page of <VelXmlN/CodePage.h>: characters that
   the code page cannot hold read as "?".

   Writing (CXMLDocument::Save) produces UTF-8: the prologue <?xml version="1.0" encoding="UTF-8"?>
   and CR LF, then the root element, laid out and escaped exactly like VelXmlN::XmlNode::Save does
   (one tab of indentation per level, CR LF line ends, "&#x3c;"-style escapes of <, >, &, ' and "
   in names, attribute values and texts), then a final CR LF. */

#include <cstddef>
#include <cstdint>
#include <exception>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include <VelXmlN/Export.h>

namespace kasxmln {

class CXMLAttribut;
class CXMLDocument;
class CXMLNode;
class CXMLSaxHandler;
class CXMLTextNode;

/// The deepest element nesting that the loader accepts (the root element is level 1) and that the
/// writer writes. It bounds every recursive walk over a tree, so that each stays within a 1 MiB
/// stack, also in an unoptimised build under AddressSanitizer. Measured at this depth, the
/// deepest walk of reading and writing (the recursive save) takes 342 KiB optimised and 648 KiB
/// unoptimised under AddressSanitizer; a walk may use up to about 1 KiB of stack per level.
constexpr unsigned int kMaxElementDepth = 1000;

/// The most entity references (nested ones included) that one document may expand.
constexpr unsigned int kMaxEntityExpansions = 10000;

/// Text delivered by a document beyond kAmplificationThreshold bytes may be at most this many
/// times the bytes read so far; more means an entity-expansion bomb, and the document is refused.
constexpr unsigned int kMaxAmplification = 100;

/// The amount of delivered text (in UTF-16 units) before the amplification bound applies.
constexpr std::size_t kAmplificationThreshold = 8u * 1024u * 1024u;

/// The exception of the node library and of the writer. Thrown by value.
///
/// It carries two numbers and a text. The numbers say what went wrong (the constants below); the
/// text is exactly the text the exception was made with: for parse errors a message saying what
/// is wrong and where (line and column), for the writer's two errors the offending name or text.
/// what() gives a descriptive message in every case.
class VELXMLN_API CXMLException : public std::exception {
  public:
    /// The text is not well-formed XML or cannot be decoded; the second number is the line.
    static constexpr int kParseError = 1;
    /// A limit of the loader or writer was reached (depth, entity expansion, amplification); the
    /// second number is the line (0 when writing).
    static constexpr int kLimitError = 2;
    /// An element or attribute name is not an XML 1.0 name (second number kNameDetail).
    static constexpr int kNameError = 3;
    /// A file could not be opened or read; the second number is the system's error number.
    static constexpr int kFileError = 4;
    /// A text holds a control character, U+FFFE or U+FFFF, which XML cannot carry (second number
    /// kCharacterDetail).
    static constexpr int kCharacterError = 5;
    /// The call itself is not supported (an unsupported loader option, a null argument).
    static constexpr int kUsageError = 6;
    static constexpr unsigned int kNameDetail = 6;
    static constexpr unsigned int kCharacterDetail = 10;

    /// An exception with the two numbers and a copy of `text` (null is taken as "").
    CXMLException(int code, unsigned int detail, const char* text);

    /// As above, keeping the whole text even when it holds zero bytes (GetMessageText then shows
    /// the part before the first one; what() describes the whole).
    CXMLException(int code, unsigned int detail, const std::string& text);
    CXMLException(const CXMLException& other) noexcept;
    CXMLException& operator=(const CXMLException& other) noexcept;
    ~CXMLException() override;

    /// Exactly the text the exception was made with.
    const char* GetMessageText() const noexcept;

    /// The first number (one of the k...Error constants for exceptions the library throws).
    int GetCode() const noexcept;

    /// The second number.
    unsigned int GetDetail() const noexcept;

    /// A descriptive message: for kNameError "invalid XML name '<name>'", for kCharacterError
    /// "control character U+00XX at byte N cannot be written as XML: '<text>'" (or "character
    /// U+FFFE ..." and "character U+FFFF ..."; the quoted text cut to 60 bytes, control characters
    /// shown as a backslash, "x" and two hex digits), otherwise the text itself.
    const char* what() const noexcept override;

  private:
    struct Texts;
    int code_;
    unsigned int detail_;
    std::shared_ptr<const Texts> texts_;
};

/// One attribute: an owned name and an owned value.
class VELXMLN_API CXMLAttribut {
  public:
    /// An attribute holding copies of `name` and `value` (null is taken as "").
    CXMLAttribut(const char* name, const char* value);

    /// An attribute taking over both strings.
    CXMLAttribut(std::string name, std::string value) noexcept;

    /// The name, zero-terminated; valid while the attribute lives and its value is not replaced.
    const char* GetName() const noexcept;

    /// The value, zero-terminated; valid while the attribute lives and its value is not replaced.
    const char* GetValue() const noexcept;

    /// Replaces the value with a copy of `value` (null is taken as "").
    void SetValue(const char* value);

    /// Attributes are made on the heap or, by the library, in the memory of a node tree; delete
    /// works for both.
    static void* operator new(std::size_t size);
    static void operator delete(void* memory) noexcept;

  private:
    std::string name_;
    std::string value_;
};

/// A node of a document: an element with a tag name, attributes and children, or (as
/// CXMLTextNode) a text. A node owns its children and its attributes; destroying it destroys them
/// (without recursion, so any depth is safe). It never touches its parent's child array.
class VELXMLN_API CXMLNode {
  public:
    /// The node types: 1 is a text, 2 a kind written like text; every other value is an element.
    /// The loader produces only kElementNode and kTextNode (CDATA sections become text).
    enum NodeType { kElementNode = 0, kTextNode = 1, kCDataNode = 2 };

    /// Destroys the attributes and the whole subtree.
    virtual ~CXMLNode();

    /// Writes the node as XML text to `stream`: tags, attributes and children, with CR LF line
    /// breaks and `indent` plus one tab per level when `formatted`, the line breaks stopping at
    /// the first text child. Throws CXMLException for an invalid name or a control character.
    virtual void Save(std::ostream& stream, bool formatted, char* indent);

    /// The tag name; "" for a text node.
    virtual const char* GetTagName();

    /// The children in document order as a null-terminated array; never null. A caller may
    /// overwrite the slots (to replace a node by another it then owns and destroys the old one).
    /// Valid until a child is added.
    virtual CXMLNode** GetChildren();

    /// Creates an element child named `tagName` and inserts it before `ref`, or appends it when
    /// `ref` is null or not a child. Returns the new node (owned by this node); null for a null
    /// name or when this node is a text.
    virtual CXMLNode* CreateChild(const char* tagName, CXMLNode* ref);

    /// Appends a CXMLTextNode holding a copy of `text` and returns it (owned by this node); null
    /// when this node is a text.
    virtual CXMLTextNode* CreateTextChild(const char* text);

    /// The attributes in order as a null-terminated array; never null. Valid until an attribute
    /// is set.
    virtual CXMLAttribut** GetAttributes();

    /// Sets the value of the attribute `name` in place, or appends it. An empty (or null) value
    /// removes the attribute of that name instead: the node keeps no empty-valued attribute. A
    /// null name does nothing.
    virtual void SetAttribute(const char* name, const char* value);

    /// kElementNode for an element (derived classes may report other types).
    virtual NodeType GetNodeType();

    /// The parent given at construction; null for a root.
    virtual CXMLNode* GetParentNode();

  protected:
    /// A node named `tagName` (null is taken as "") with `parent` as its parent link. The node is
    /// not put into the parent's child array: the caller does that (or not). Its own children and
    /// attributes are made where the parent's are.
    CXMLNode(const char* tagName, CXMLNode* parent);

    /// Copies the tag name, the parent link and the attributes (as new records). Children are
    /// not copied: a node's children belong to it alone, so the copy starts without children.
    CXMLNode(const CXMLNode& other);

    /// As the copy constructor; the former attributes are destroyed, the children stay.
    CXMLNode& operator=(const CXMLNode& other);

  public:
    /// Nodes are made on the heap or, by the library, in the memory of their tree; delete works
    /// for both.
    static void* operator new(std::size_t size);
    static void operator delete(void* memory) noexcept;

    /// The number of children in the node's own child array: GetChildren()[GetChildCount()] is
    /// its terminator, unless a derived class returns another array from GetChildren.
    std::size_t GetChildCount() const noexcept;

    /// The tag name (or text), the parent link, the children and the attributes, kept by the
    /// library where it makes the node's children. Defined inside the library only: its layout
    /// can change without changing this class.
    class Impl;

  private:
    friend class CXMLTextNode;
    explicit CXMLNode(Impl* impl) noexcept;
    Impl* impl_;
};

/// A text node: the text is written with all five characters <, >, &, ', " escaped, without line
/// break or indentation. It has no children and no attributes.
class VELXMLN_API CXMLTextNode : public CXMLNode {
  public:
    ~CXMLTextNode() override;

    /// The text, zero-terminated; valid while the node lives.
    const char* GetText() const noexcept;

    /// Writes the escaped UTF-8 text only. Throws CXMLException for a control character.
    void Save(std::ostream& stream, bool formatted, char* indent) override;

    /// "": a text has no tag name.
    const char* GetTagName() override;

    /// kTextNode.
    NodeType GetNodeType() override;

  protected:
    /// A text node holding a copy of `text` (null is taken as ""), not linked into the parent.
    CXMLTextNode(const char* text, CXMLNode* parent);

  private:
    friend class CXMLNode::Impl;
    explicit CXMLTextNode(Impl* impl) noexcept;
};

/// A document: at most one root node, owned. Made by CXMLManager, destroyed by Release.
class VELXMLN_API CXMLDocument {
  public:
    CXMLDocument(const CXMLDocument&) = delete;
    CXMLDocument& operator=(const CXMLDocument&) = delete;

    /// Destroys the document with all its nodes.
    void Release();

    /// Writes the document as UTF-8: the prologue <?xml version="1.0" encoding="UTF-8"?>, then
    /// the root node's Save with an empty indent, so its children are indented by one tab. With
    /// `formatted` the prologue and the root element are each followed by CR LF. A document
    /// without root writes nothing. Exceptions of the nodes' Save pass out; what was written
    /// before stays in the stream.
    void Save(std::ostream& stream, bool formatted = true);

    /// The root node, owned by the document; null when there is none.
    CXMLNode* GetRootNode();

    /// Creates an element root named `tagName` (destroying a former root) and returns it. Null
    /// for a null name.
    CXMLNode* CreateRootNode(const char* tagName);

    /// The root and the memory in which the document's nodes are made; defined inside the
    /// library only.
    class Impl;

  private:
    friend class CXMLManager;
    CXMLDocument();
    ~CXMLDocument();
    Impl* impl_;
};

/// Receives the events of a SAX parse (CXMLManager::LoadDocument with a file). Every callback
/// does nothing by default. Names and texts are narrow strings valid during the call only.
/// Namespaces are off, so names keep their prefixes and the namespace callbacks never run.
class VELXMLN_API CXMLSaxHandler {
  public:
    CXMLSaxHandler() noexcept;
    virtual ~CXMLSaxHandler();

    /// Called once before anything else of the document.
    virtual void StartDocument();

    /// Called once after the root element has ended, when the whole document was well-formed.
    virtual void EndDocument();

    /// An element starts. `uri` is always "", `name` and `qualifiedName` are the full name, and
    /// `attributes` is a null-terminated array of the attributes in document order (values
    /// decoded, empty ones included), valid during the call.
    virtual void StartElement(const char* uri, const char* name, const char* qualifiedName,
                              CXMLAttribut** attributes);

    /// An element ends; the arguments are as for StartElement.
    virtual void EndElement(const char* uri, const char* name, const char* qualifiedName);

    /// A piece of text, references decoded, not zero-terminated. Text arrives in pieces as the
    /// parser reads it, white space included; CDATA sections arrive between StartCDATA and
    /// EndCDATA.
    virtual void Characters(const char* text, unsigned int length);

    virtual void StartCDATA();
    virtual void EndCDATA();

    /// The document type declaration, with its public and system identifiers ("" when absent).
    /// The external DTD that they name is never read.
    virtual void StartDTD(const char* name, const char* publicId, const char* systemId);

    /// Never called (namespaces are off); kept for handlers written against the interface.
    virtual void StartNamespace(const char* prefix, const char* uri);
    virtual void EndNamespace(const char* prefix);

    /// During a callback: the byte offset in the file up to which the parser has read the
    /// current event. Outside a parse: 0.
    virtual unsigned long long GetSourceOffset();

    /// The parse that calls the handler; defined inside the library only.
    class Context;

  private:
    const Context* context_;
};

/// The one shared entry point of the node library. Loads may run on several threads at once.
class VELXMLN_API CXMLManager {
  public:
    /// The shared manager; never null.
    static CXMLManager* GetInstance();

    CXMLManager(const CXMLManager&) = delete;
    CXMLManager& operator=(const CXMLManager&) = delete;

    /// Parses `size` bytes of XML text into a new document and returns it (never null; the caller
    /// releases it with CXMLDocument::Release). A reference to an entity that is declared nowhere
    /// in the document is refused, also when an unread external DTD might declare it. The encoding
    /// is taken from a byte order mark or the XML declaration (UTF-8 when neither is present);
    /// every encoding Xerces-C decodes is read. The five options must be false, false, null, false,
    /// false: documents are never validated, read with namespaces or a schema, or allowed to load
    /// external DTDs, and white space only text is never kept; any other value throws CXMLException
    /// (kUsageError). A document that cannot be read throws CXMLException saying what is wrong and
    /// where.
    CXMLDocument* LoadDocument(const char* buffer, unsigned int size, bool validate,
                               bool useNamespaces, const char* schemaLocation, bool loadExternalDtd,
                               bool keepWhitespace);

    /// Parses the file at `path` (a narrow path) into the callbacks of `handler`, streaming: the
    /// memory used does not grow with the size of the file, which is read once (a pipe works
    /// too). Options, limits and errors as for the buffer form; a file that cannot be opened or
    /// read throws CXMLException (kFileError). An exception thrown by a callback passes out
    /// unchanged and ends the parse. A refused document never reaches EndDocument.
    ///
    /// A document in an encoding other than UTF-8 or US-ASCII, or with an internal subset, whose
    /// type declaration names an external subset or declares parameter entities is read twice
    /// (the file is opened again after its declaration): only a second, validating pass can tell
    /// a reference to an entity that the unread declarations would have declared, which is
    /// refused rather than dropped. The handler sees the events once. From a pipe, which cannot be
    /// read again, such a document throws CXMLException (kFileError). A regular file refused after
    /// the first callbacks is read again, silently, to word the refusal as for any other document.
    void LoadDocument(const char* path, CXMLSaxHandler* handler, bool validate, bool useNamespaces,
                      const char* schemaLocation, bool loadExternalDtd, bool keepWhitespace);

    /// A new empty document (the caller releases it). With a non-null `rootTagName` the root is
    /// created too. `encoding` must be null or "UTF-8" (documents are always written as UTF-8);
    /// another value throws CXMLException (kUsageError).
    CXMLDocument* CreateDocument(const char* rootTagName, const char* encoding);

  private:
    CXMLManager();
    ~CXMLManager();
};

/// Turns one narrow string (in the code page of <VelXmlN/CodePage.h>) into escaped UTF-8 and
/// tests it as an XML name. Made for one piece at a time: Assign replaces the piece.
///
/// ToUtf8 writes "<" as "&#x3c;" and ">" as "&#x3e;", and "&", "'" and '"' as "&#x26;",
/// "&#x27;" and "&#x22;" when their escape is on; every other character is copied, encoded as
/// UTF-8. A control character below U+0020 other than tab, line feed and carriage return throws
/// CXMLException (kCharacterError, kCharacterDetail, the whole source text).
class VELXMLN_API CStringConverter {
  public:
    /// A converter of a copy of `source` (null is taken as ""), escaping the three optional
    /// characters as the flags say; names and attribute values use all three.
    explicit CStringConverter(const char* source, bool escapeAmpersand = true,
                              bool escapeApostrophe = true, bool escapeQuote = true);
    CStringConverter(const CStringConverter&) = delete;
    CStringConverter& operator=(const CStringConverter&) = delete;
    virtual ~CStringConverter();

    /// Replaces the source with a copy of `text` (null is taken as "") and drops the result.
    virtual void Assign(const char* text);

    /// True when the source is an XML 1.0 Name, with the characters U+10000 to U+EFFFF allowed
    /// anywhere as the reader allows them; the empty string is not, nor is a name holding a byte
    /// sequence the code page does not define (it could not be written as it is).
    virtual bool IsValidName();

    /// The source, zero-terminated.
    virtual const char* GetSource();

    /// Converts the source and sets `bytes` and `length` to the escaped UTF-8 result, owned by the
    /// converter and valid until the next conversion, Assign or destruction. Both are set to
    /// empty first, so they stay empty when the conversion throws.
    virtual void ToUtf8(const char*& bytes, std::size_t& length);

  private:
    std::string source_;
    std::vector<char> result_;
    bool escapeAmpersand_;
    bool escapeApostrophe_;
    bool escapeQuote_;
};

}  // namespace kasxmln

#endif
