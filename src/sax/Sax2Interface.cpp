// Sax2Interface: the attribute scanner over the Xerces-C SAX2 reader.
#include <VelXmlN/Sax2Interface.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/sax2/XMLReaderFactory.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <VelXmlN/Tools.h>
#include <VelXmlN/kasxmln.h>

#include "external/CodePageConvert.h"
#include "external/FileSystem.h"
#include "external/ParserInput.h"
#include "external/XercesInit.h"

namespace VelXmlN {

namespace {

using XmlString = std::basic_string<XMLCh>;
using Attributes = std::map<std::string, std::string>;

std::string narrow(const XMLCh* text) {
    return detail::toNarrow(text);
}

// The file, read with the narrow path exactly as the caller gave it. Handing Xerces-C the name as
// a system identifier would let it take the name for a URL (and fetch "http://..." names) and
// pass it through its own transcoder; the node library opens files the same way, so both
// scanners read the same file for the same name.
class ScanSource final : public xercesc::InputSource {
  public:
    ScanSource(const std::string& fileName, std::uint64_t& taken)
        : fileName_(fileName), taken_(taken) {
        const std::u16string systemId = detail::toUtf16(fileName);
        setSystemId(systemId.c_str());
    }

    // Null when the file cannot be opened: the parser then reports a fatal error naming it.
    xercesc::BinInputStream* makeStream() const override {
        kasxmln::detail::File file(VelXmlN::platform::openBytesForReading(fileName_));
        if (!file) {
            return nullptr;
        }
        // A file that opens but cannot be read (a directory) fails here, not in the parser's
        // first read: Xerces-C's reader loses memory when an exception leaves its constructor.
        const int first = std::getc(file.get());
        if (first == EOF && std::ferror(file.get()) != 0) {
            ThrowXML(xercesc::XMLPlatformUtilsException,
                     xercesc::XMLExcepts::File_CouldNotReadFromFile);
        }
        if (first != EOF) {
            std::ungetc(first, file.get());
        }
        return new Stream(std::move(file), taken_);
    }

  private:
    class Stream final : public kasxmln::detail::CountingStream {
      public:
        Stream(kasxmln::detail::File file, std::uint64_t& taken)
            : CountingStream(taken), file_(std::move(file)) {}

      protected:
        // A read error (a directory, a failing disk) is the parser's own file error, so that it
        // becomes a fatal error of the scan like any other unreadable input.
        std::size_t read(XMLByte* toFill, std::size_t maxToRead) override {
            const std::size_t got = std::fread(toFill, 1, maxToRead, file_.get());
            if (got == 0 && std::ferror(file_.get()) != 0) {
                ThrowXML(xercesc::XMLPlatformUtilsException,
                         xercesc::XMLExcepts::File_CouldNotReadFromFile);
            }
            return got;
        }

      private:
        kasxmln::detail::File file_;
    };

    std::string fileName_;
    std::uint64_t& taken_;
};

// Nothing that a document names outside itself is ever read: every external DTD subset, external
// entity and schema the parser asks for reads as empty. With validation on, Xerces-C loads an
// external DTD even when told not to (its load-external-DTD feature only applies without
// validation), so a resolver is the one dependable stop; it also keeps a document from making the
// scanner open local files or contact hosts on its behalf.
class NoExternalEntities final : public xercesc::EntityResolver {
  public:
    xercesc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const systemId) override {
        static const XMLByte nothing[1] = {0};
        static const XMLCh noName[1] = {0};
        return new xercesc::MemBufInputSource(nothing, 0, systemId != nullptr ? systemId : noName,
                                              false);
    }
};

// The bounds that the parser does not keep by itself, set like the node library's so that a
// document one scanner refuses as hostile is refused by both: the depth of elements (checked as
// each starts) and the amplification of text. Text delivered beyond kAmplificationThreshold units
// may be at most kMaxAmplification times the bytes read: more is an entity-expansion bomb whose
// text would keep the scan busy for minutes. A refusal leaves the parse as SAXParseException, so
// the scan it ends is recorded like any other that the parse ends with an exception.
class ScanLimits : public xercesc::DefaultHandler {
  public:
    ScanLimits(const std::uint64_t& taken, const std::string& fileName)
        : taken_(taken), fileName_(fileName) {}

    void setDocumentLocator(const xercesc::Locator* const locator) override { locator_ = locator; }

    void characters(const XMLCh* const, const XMLSize_t length) override { deliver(length); }

    void ignorableWhitespace(const XMLCh* const, const XMLSize_t length) override {
        deliver(length);
    }

    // " at line L, column C of file 'F'" for the current place of the parse.
    std::string where() const {
        std::string text;
        const XMLFileLoc line = locator_ != nullptr ? locator_->getLineNumber() : 0;
        if (line > 0) {
            text = " at line " + std::to_string(line) + ", column " +
                   std::to_string(locator_->getColumnNumber());
        }
        return text + " of file '" + fileName_ + "'";
    }

    std::string amplificationMessage() const {
        return "the document expands to more than " + std::to_string(kasxmln::kMaxAmplification) +
               " times its own size (entity expansion)" + where();
    }

  protected:
    void deliver(std::size_t units) {
        delivered_ += units;
        if (delivered_ > kasxmln::kAmplificationThreshold &&
            delivered_ / kasxmln::kMaxAmplification > taken_) {
            refuse(amplificationMessage());
        }
    }

    [[noreturn]] void refuse(const std::string& message) const {
        const std::u16string text = detail::toUtf16(message);
        if (locator_ != nullptr) {
            throw xercesc::SAXParseException(text.c_str(), *locator_);
        }
        throw xercesc::SAXParseException(text.c_str(), nullptr, nullptr, 0, 0);
    }

  private:
    const std::uint64_t& taken_;
    const std::string& fileName_;
    const xercesc::Locator* locator_ = nullptr;
    std::uint64_t delivered_ = 0;
};

// Collects the attributes of the elements at the path; fatal errors are kept as texts, warnings
// and other errors (validation errors included) are ignored.
class MySaxHandler final : public ScanLimits {
  public:
    using ScanLimits::ScanLimits;

    void startElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const qname,
                      const xercesc::Attributes& attributes) override {
        elementStack.emplace_back(localname);
        if (elementStack.size() > kasxmln::kMaxElementDepth) {
            refuse("element '" + narrow(qname) + "' is nested deeper than the limit of " +
                   std::to_string(kasxmln::kMaxElementDepth) + " levels" + where());
        }
        const XMLSize_t count = attributes.getLength();
        // The parser builds every attribute value in full, expanding entity references; a
        // document full of such references is as much a bomb as entity text is.
        for (XMLSize_t i = 0; i < count; ++i) {
            const XMLCh* value = attributes.getValue(i);
            deliver(value != nullptr ? xercesc::XMLString::stringLen(value) : 0);
        }
        if (elementStack.size() != path.size() || elementStack != path) {
            return;
        }
        std::map<XmlString, XmlString>& found = results.emplace_back();
        for (XMLSize_t i = 0; i < count; ++i) {
            const XMLCh* name = attributes.getLocalName(i);
            const XMLCh* value = attributes.getValue(i);
            if (name != nullptr && value != nullptr) {
                found.insert_or_assign(XmlString(name), XmlString(value));
            }
        }
    }

    void endElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const) override {
        if (!elementStack.empty() && elementStack.back() == localname) {
            elementStack.pop_back();
        }
    }

    void fatalError(const xercesc::SAXParseException& problem) override {
        errorTexts.push_back(narrow(problem.getMessage()));
    }

    std::vector<std::map<XmlString, XmlString>> results;
    std::vector<std::string> errorTexts;
    std::vector<XmlString> path;
    std::vector<XmlString> elementStack;
};

void configure(xercesc::SAX2XMLReader& reader) {
    using xercesc::XMLUni;
    // The DTD-only scanner, as in the node library: schemas are never used here, and the default
    // scanner loses the record it makes for an external DTD subset (Xerces-C 3.2.4 leaks it).
    reader.setProperty(XMLUni::fgXercesScannerName, const_cast<XMLCh*>(XMLUni::fgDGXMLScanner));
    reader.setFeature(XMLUni::fgSAX2CoreValidation, true);
    reader.setFeature(XMLUni::fgSAX2CoreNameSpaces, true);
    // Validation runs whenever the document declares a grammar. Its reports are ignored either
    // way, so validating a document that declares none would only build and drop one "not
    // declared" error per element and attribute, which makes the scan three times slower.
    reader.setFeature(XMLUni::fgXercesDynamic, true);
    // Schemas are neither processed nor loaded: a schema location names a file or URL, and
    // the scanner reads nothing a document names.
    reader.setFeature(XMLUni::fgXercesSchema, false);
    reader.setFeature(XMLUni::fgXercesLoadSchema, false);
    // Only honoured without validation; NoExternalEntities does the work, this says the intent.
    reader.setFeature(XMLUni::fgXercesLoadExternalDTD, false);
    // Should a resolver ever return nothing, the parser must not fall back to opening the
    // entity itself.
    reader.setFeature(XMLUni::fgXercesDisableDefaultEntityResolution, true);
}

}  // namespace

Sax2Interface::Sax2Interface(std::string const& file) : fileName(file) {}
Sax2Interface::Sax2Interface(Sax2Interface const& other) = default;
Sax2Interface::Sax2Interface(Sax2Interface&& other) noexcept = default;
Sax2Interface& Sax2Interface::operator=(Sax2Interface const& other) = default;
Sax2Interface& Sax2Interface::operator=(Sax2Interface&& other) noexcept = default;
Sax2Interface::~Sax2Interface() = default;

std::vector<std::map<std::string, std::string>> Sax2Interface::getAttributes(
    std::string const& path) {
    // Xerces-C starts once per process behind one guard shared with the node library: its
    // initialisation is not safe to run on two threads at once.
    try {
        kasxmln::detail::ensureXerces();
    } catch (const kasxmln::CXMLException& failure) {
        exceptions.emplace_back(failure.GetMessageText());
        return {};
    }

    // The objects the reader uses are declared first, so that they outlive it.
    std::uint64_t taken = 0;
    // The parser's own memory is bounded like the node library's: an attribute value full of
    // entity references is built in full before any callback could stop it.
    kasxmln::detail::BudgetedMemory memory(taken);
    xercesc::SecurityManager security;
    security.setEntityExpansionLimit(kasxmln::kMaxEntityExpansions);
    NoExternalEntities resolver;
    MySaxHandler handler(taken, fileName);
    ScanSource source(fileName, taken);
    std::unique_ptr<xercesc::SAX2XMLReader> reader(
        xercesc::XMLReaderFactory::createXMLReader(&memory));
    configure(*reader);
    reader->setProperty(xercesc::XMLUni::fgXercesSecurityManager, &security);
    reader->setContentHandler(&handler);
    reader->setErrorHandler(&handler);
    reader->setEntityResolver(&resolver);

    for (const std::string& name : Tools::tokenize(path, "/")) {
        handler.path.push_back(detail::toUtf16(name));
    }

    bool thrown = true;
    try {
        reader->parse(source);
        thrown = false;
    } catch (const xercesc::XMLException& problem) {
        exceptions.push_back(narrow(problem.getMessage()));
    } catch (const xercesc::SAXParseException& problem) {
        exceptions.push_back(narrow(problem.getMessage()));
    } catch (const xercesc::OutOfMemoryException&) {
        exceptions.push_back(memory.exceeded() ? handler.amplificationMessage()
                                               : "Unexpected Exception");
    } catch (...) {
        exceptions.emplace_back("Unexpected Exception");
    }
    errorTexts = std::move(handler.errorTexts);
    reader.reset();
    if (thrown) {
        return {};
    }

    std::vector<Attributes> result;
    result.reserve(handler.results.size());
    for (std::map<XmlString, XmlString>& wide : handler.results) {
        Attributes& attributes = result.emplace_back();
        // In the order of the wide keys: of two that read the same in the narrow code page, the
        // later one wins.
        for (const auto& [name, value] : wide) {
            attributes.insert_or_assign(detail::toNarrow(name.data(), name.size()),
                                        detail::toNarrow(value.data(), value.size()));
        }
        std::map<XmlString, XmlString>().swap(wide);
    }
    return result;
}

std::vector<std::string> const& Sax2Interface::getErrorTexts() const {
    return errorTexts;
}

std::vector<std::string> const& Sax2Interface::getExceptions() const {
    return exceptions;
}

}  // namespace VelXmlN
