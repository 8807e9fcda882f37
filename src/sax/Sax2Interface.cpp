// Sax2Interface: the attribute scanner over the Xerces-C SAX2 reader.
#include <VelXmlN/Sax2Interface.h>

#include <cstdint>
#include <new>
#include <optional>
#include <utility>

#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/SAX2XMLReader.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

#include <VelXmlN/Tools.h>
#include <VelXmlN/kasxmln.h>

#include "nodelib/ParseGuard.h"
#include "nodelib/ParserInput.h"
#include "nodelib/XercesInit.h"
#include "platform/CodePageConvert.h"

namespace VelXmlN {

namespace {

using XmlString = std::basic_string<XMLCh>;
using Attributes = std::map<std::string, std::string>;

std::string narrow(const XMLCh* text) {
    return detail::toNarrow(text);
}

// Collects the attributes of the elements at the path; fatal errors are kept as texts, warnings
// and other errors (validation errors included) are ignored.
class MySaxHandler final : public kasxmln::detail::LimitedHandler {
  public:
    MySaxHandler(const std::uint64_t& taken, const std::string& fileName)
        : LimitedHandler(fileName) {
        startPass(taken);
    }

    void startElement(const XMLCh* const, const XMLCh* const localname, const XMLCh* const qname,
                      const xercesc::Attributes& attributes) override {
        enter(qname);
        elementStack.emplace_back(localname);
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

    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        elementStack.pop_back();
        leave();
    }

    // Text counts towards the amplification bound, though it is not collected.
    void characters(const XMLCh* const, const XMLSize_t length) override { deliver(length); }
    void ignorableWhitespace(const XMLCh* const, const XMLSize_t length) override {
        deliver(length);
    }

    void fatalError(const xercesc::SAXParseException& problem) override {
        errorTexts.push_back(narrow(problem.getMessage()));
    }

    std::vector<std::map<XmlString, XmlString>> results;
    std::vector<std::string> errorTexts;
    std::vector<XmlString> path;
    std::vector<XmlString> elementStack;
};

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
    MySaxHandler handler(taken, fileName);
    // The file is read with the narrow path exactly as the caller gave it, as the node library
    // reads it, so both scanners read the same file for the same name.
    kasxmln::detail::FileSource source(fileName, detail::toUtf16(fileName), taken);
    // The node library's hardened set-up, with the scanner's own two differences: validation
    // where the document declares a grammar (its reports are ignored), and namespaces, so that
    // the path matches local names.
    kasxmln::detail::ReaderSettings settings;
    settings.validating = true;
    settings.namespaces = true;
    std::optional<kasxmln::detail::HardenedReader> hardened;
    try {
        hardened.emplace(taken, handler, settings);
    } catch (const xercesc::OutOfMemoryException&) {
        throw std::bad_alloc();
    }
    xercesc::SAX2XMLReader& reader = hardened->reader();

    for (const std::string& name : Tools::tokenize(path, "/")) {
        handler.path.push_back(detail::toUtf16(name));
    }

    bool thrown = true;
    try {
        reader.parse(source);
        thrown = false;
    } catch (const kasxmln::CXMLException& refused) {
        // A limit of the hardened set-up: the depth, or the amplification of text.
        exceptions.emplace_back(refused.GetMessageText());
    } catch (const xercesc::XMLException& problem) {
        exceptions.push_back(narrow(problem.getMessage()));
    } catch (const xercesc::SAXParseException& problem) {
        exceptions.push_back(narrow(problem.getMessage()));
    } catch (const xercesc::OutOfMemoryException&) {
        if (hardened->memoryExceeded()) {
            try {
                handler.failAmplification();
            } catch (const kasxmln::CXMLException& refused) {
                exceptions.emplace_back(refused.GetMessageText());
            }
        } else {
            exceptions.emplace_back("Unexpected Exception");
        }
    } catch (...) {
        exceptions.emplace_back("Unexpected Exception");
    }
    errorTexts = std::move(handler.errorTexts);
    hardened.reset();
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
