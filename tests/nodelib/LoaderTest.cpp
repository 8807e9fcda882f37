// Parsing with the node library: the node conventions, bad input, the limits and the SAX form.
// (Every encoding, entity bombs, amplification, deep nesting and documents that name files are
// read through Tree, the flat functions and the scanners in the document, hostile, limits and
// sax tests, which all sit on this loader.)
#include <VelXmlN/kasxmln.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "support/TestSupport.h"

using kasxmln::CXMLAttribut;
using kasxmln::CXMLDocument;
using kasxmln::CXMLException;
using kasxmln::CXMLManager;
using kasxmln::CXMLNode;
using kasxmln::CXMLTextNode;
using testsupport::dataPath;
using testsupport::fileText;
using testsupport::ScratchFolder;
using testsupport::writeFile;

namespace {

struct Releaser {
    void operator()(CXMLDocument* document) const { document->Release(); }
};
using Document = std::unique_ptr<CXMLDocument, Releaser>;

Document load(const std::string& text) {
    return Document(CXMLManager::GetInstance()->LoadDocument(
        text.data(), static_cast<unsigned>(text.size()), false, false, nullptr, false, false));
}

// A compact form of a node tree: name(attributes)[children], texts in quotes.
std::string shape(CXMLNode* node) {
    if (node->GetNodeType() == CXMLNode::kTextNode) {
        return "\"" + std::string(dynamic_cast<CXMLTextNode*>(node)->GetText()) + "\"";
    }
    std::string out = node->GetTagName();
    if (node->GetAttributes()[0] != nullptr) {
        out += "(";
        for (CXMLAttribut** a = node->GetAttributes(); *a != nullptr; ++a) {
            out += std::string(a == node->GetAttributes() ? "" : " ") + (*a)->GetName() + "=" +
                   (*a)->GetValue();
        }
        out += ")";
    }
    if (node->GetChildren()[0] != nullptr) {
        out += "[";
        for (CXMLNode** child = node->GetChildren(); *child != nullptr; ++child) {
            out += (child == node->GetChildren() ? "" : " ") + shape(*child);
        }
        out += "]";
    }
    return out;
}

std::string shapeOf(const std::string& text) {
    return shape(load(text)->GetRootNode());
}

// The message of the CXMLException that loading `text` throws.
std::string failure(const std::string& text, int expectedCode = CXMLException::kParseError) {
    try {
        load(text);
    } catch (const CXMLException& error) {
        EXPECT_EQ(error.GetCode(), expectedCode) << error.what();
        EXPECT_STREQ(error.what(), error.GetMessageText());
        return error.GetMessageText();
    }
    ADD_FAILURE() << "no exception for " << text.substr(0, 80);
    return "";
}

}  // namespace

TEST(Loader, DecodesReferencesJoinsTextAndDropsMarkupThatIsNotElements) {
    // The narrow literals here are UTF-8 (on Windows the System code page is not).
    const testsupport::CodePageScope utf8(VelXmlN::NarrowCodePage::Utf8);
    EXPECT_EQ(shapeOf("<a x='1' y=\"&lt;&#65;&#x42;\">t&amp;u</a>"), "a(x=1 y=<AB)[\"t&u\"]");
    EXPECT_EQ(shapeOf("<a>one<!-- c -->two<?pi x?>three<![CDATA[<four>]]>five</a>"),
              "a[\"onetwothree<four>five\"]");
    EXPECT_EQ(shapeOf("<a>\n  <b/>\n  <!-- c -->\n  <c>  x  </c>\n</a>"), "a[b c[\"  x  \"]]")
        << "white space only text is not reported; other text is kept whole";
    EXPECT_EQ(shapeOf("<a> <![CDATA[ ]]> </a>"), "a") << "blank after joining";
    EXPECT_EQ(shapeOf("<a e=''>x<b/>y</a>"), "a(e=)[\"x\" b \"y\"]");
    EXPECT_EQ(shapeOf("<p:a xmlns:p='urn:x' p:k='v'><p:b/></p:a>"), "p:a(xmlns:p=urn:x p:k=v)[p:b]")
        << "namespaces are off: prefixes stay, xmlns is an ordinary attribute";
    EXPECT_EQ(shapeOf("<a>x\r\ny\rz</a>"), "a[\"x\ny\nz\"]") << "line ends normalised";
    EXPECT_EQ(shapeOf("<a v='a\tb\nc'/>"), "a(v=a b c)") << "attribute white space normalised";
    Document document = load(fileText(dataPath("entities.xml")));
    EXPECT_EQ(shape(document->GetRootNode()),
              "doc(version=1.0)[from[\"Example & Sons\"] letter[\"Dear reader, \xC2\xA9 "
              "\xE2\x82\xAC <>&'\"\"] signed[\"Example & Sons\"]]");
}

TEST(Loader, MalformedTextAndInvalidUtf8FailWithWhatAndWhere) {
    EXPECT_EQ(failure("<a><b></a>"), "expected end of tag 'b' at line 1, column 9");
    EXPECT_EQ(failure("<a b='1' b='2'/>"),
              "attribute 'b' is already specified for element 'a' at line 1, column 15");
    EXPECT_EQ(failure(""), "invalid document structure at line 1, column 1");
    EXPECT_EQ(failure(std::string(100000, '<')), "element name expected at line 1, column 2");
    EXPECT_EQ(failure("<!DOCTYPE a SYSTEM '/a.dtd'><a>x&fromDtd;</a>"),
              "entity 'fromDtd' not found at line 1, column 42")
        << "declarations in the unread DTD are not there";
    EXPECT_EQ(failure("<?xml version='1.0 '?><a/>"),
              "unsupported XML version '1.0 ' at line 1, column 21");
    EXPECT_EQ(
        failure("\xEF\xBB\xBF<?xml version='1.0' encoding='iso-8859-1'?><a/>"),
        "encoding 'iso-8859-1' contradicts the byte order mark of UTF-8 at line 1, column 42");
    EXPECT_EQ(failure("<?xml version='1.0' encoding='UTF-16'?>\n<a/>"),
              "encoding 'UTF-16' does not fit a document of single-byte characters at line 1, "
              "column 38");
    // Invalid UTF-8, also far into a text that the reader takes in several blocks.
    std::string longer = "<a>\n";
    for (int i = 0; i < 3000; ++i) {
        longer += "  <b>text</b>\n";
    }
    EXPECT_EQ(failure(longer + "  <c>x\xC3(</c>\n</a>"),
              "invalid UTF-8 (bytes C3 28) at line 3002, column 7");
    EXPECT_EQ(failure("<a>\n\xFF and more text</a>"),
              "invalid UTF-8 (byte FF) at line 2, column 1");
    EXPECT_EQ(failure("\xEF\xBB\xBF<a>\xED\xA0\x80</a>"),
              "invalid UTF-8 (bytes ED A0) at line 1, column 4");
}

TEST(Loader, UnsupportedOptionsAndNullArgumentsAreRefused) {
    CXMLManager* manager = CXMLManager::GetInstance();
    const char text[] = "<a/>";
    EXPECT_XML_THROW(manager->LoadDocument(text, 4, true, false, nullptr, false, false),
                     CXMLException::kUsageError, 0, "LoadDocument does not support validation");
    EXPECT_XML_THROW(manager->LoadDocument(text, 4, false, true, nullptr, false, false),
                     CXMLException::kUsageError, 0,
                     "LoadDocument does not support namespace processing");
    EXPECT_XML_THROW(manager->LoadDocument(text, 4, false, false, "s.xsd", false, false),
                     CXMLException::kUsageError, 0,
                     "LoadDocument does not support a schema location");
    EXPECT_XML_THROW(manager->LoadDocument(text, 4, false, false, nullptr, true, false),
                     CXMLException::kUsageError, 0,
                     "LoadDocument does not support loading external DTDs");
    EXPECT_XML_THROW(manager->LoadDocument(text, 4, false, false, nullptr, false, true),
                     CXMLException::kUsageError, 0,
                     "LoadDocument does not support keeping white-space-only text");
    EXPECT_XML_THROW(manager->LoadDocument(nullptr, 4, false, false, nullptr, false, false),
                     CXMLException::kUsageError, 0, "LoadDocument was given a null buffer");
    kasxmln::CXMLSaxHandler handler;
    EXPECT_XML_THROW(manager->LoadDocument(nullptr, &handler, false, false, nullptr, false, false),
                     CXMLException::kUsageError, 0,
                     "LoadDocument was given a null file path or handler");
}

namespace {

// Records the events of a SAX parse as text.
class Recorder : public kasxmln::CXMLSaxHandler {
  public:
    void StartDocument() override { events += "{"; }
    void EndDocument() override { events += "}"; }
    void StartElement(const char* uri, const char* name, const char* qualified,
                      CXMLAttribut** attributes) override {
        events += "<" + std::string(uri) + name + (std::string(name) == qualified ? "" : "!");
        for (CXMLAttribut** a = attributes; *a != nullptr; ++a) {
            events += std::string(" ") + (*a)->GetName() + "=" + (*a)->GetValue();
        }
        events += ">";
        offsets.push_back(GetSourceOffset());
    }
    void EndElement(const char*, const char* name, const char*) override {
        events += "</" + std::string(name) + ">";
        if (failAt == name) {
            throw std::runtime_error("stop at " + failAt);
        }
    }
    void Characters(const char* text, unsigned int length) override {
        events += std::string(text, length);
    }
    void StartCDATA() override { events += "[["; }
    void EndCDATA() override { events += "]]"; }
    void StartDTD(const char* name, const char* publicId, const char* systemId) override {
        events += std::string("!") + name + "|" + publicId + "|" + systemId + "!";
    }

    std::string events;
    std::vector<unsigned long long> offsets;
    std::string failAt;
};

std::string sax(const std::string& path, Recorder& recorder) {
    CXMLManager::GetInstance()->LoadDocument(path.c_str(), &recorder, false, false, nullptr, false,
                                             false);
    return recorder.events;
}

}  // namespace

TEST(LoaderSax, FileEventsArriveInOrder) {
    ScratchFolder folder;
    const std::string path = folder.file("doc.xml");
    writeFile(path, "<!DOCTYPE r SYSTEM 'r.dtd'><r a='1' b=''>x&amp;y<![CDATA[<c>]]><s/> </r>");
    Recorder recorder;
    EXPECT_EQ(sax(path, recorder), "{!r||r.dtd!<r a=1 b=>x&y[[<c>]]<s></s> </r>}")
        << "document and DTD start once, also when the parse starts again to check entities";
    ASSERT_EQ(recorder.offsets.size(), 2u);
    EXPECT_LT(recorder.offsets[0], recorder.offsets[1]);
    EXPECT_EQ(recorder.GetSourceOffset(), 0u) << "outside a parse";
}

TEST(LoaderSax, FailuresNameTheFile) {
    ScratchFolder folder;
    Recorder recorder;
    const std::string missing = folder.file("missing.xml");
    EXPECT_XML_THROW(sax(missing, recorder), CXMLException::kFileError, ENOENT,
                     "cannot open file '" + missing + "': No such file or directory");
    const std::string broken = folder.file("broken.xml");
    writeFile(broken, "<r>\n<a></b></r>");
    EXPECT_XML_THROW(sax(broken, recorder), CXMLException::kParseError, 2,
                     "expected end of tag 'a' at line 2, column 6 of file '" + broken + "'");
    const std::string badBytes = folder.file("bad-bytes.xml");
    writeFile(badBytes, "<r>\n\n  \xC3\xA4\xC3(</r>");
    EXPECT_XML_THROW(sax(badBytes, recorder), CXMLException::kParseError, 3,
                     "invalid UTF-8 (bytes C3 28) at line 3, column 4 of file '" + badBytes + "'");
    // Not "nul.xml": that names a device on Windows.
    const std::string nul = folder.file("zero-after-root.xml");
    writeFile(nul, std::string("<r>x</r>\n\0", 10));
    Recorder ended;
    EXPECT_XML_THROW(sax(nul, ended), CXMLException::kParseError, 2,
                     "invalid character 0x0 at line 2, column 1 of file '" + nul + "'");
    EXPECT_EQ(ended.events, "{<r>x</r>") << "a refused document is never ended";
}

#ifndef _WIN32
// A pipe is read once, by whichever reader takes its document; one that the fast reader refuses
// keeps the fast reader's words, as the file cannot be read again to find the other path's.
TEST(LoaderSax, PipesAreReadOnce) {
    ScratchFolder folder;
    const std::string pipe = folder.file("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const auto through = [&pipe](const std::string& text, Recorder& recorder) {
        std::thread writer([&pipe, &text] { writeFile(pipe, text); });
        try {
            sax(pipe, recorder);
        } catch (...) {
            writer.join();
            throw;
        }
        writer.join();
        return recorder.events;
    };
    Recorder fast;
    EXPECT_EQ(through("<r a='1'>x<![CDATA[y]]></r>", fast), "{<r a=1>x[[y]]</r>}");
    Recorder handedOver;
    EXPECT_EQ(through("<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE4</r>", handedOver),
              "{<r>\xC3\xA4</r>}");
    Recorder refused;
    EXPECT_XML_THROW(through("<r>\n<a></b></r>", refused), CXMLException::kParseError, 2,
                     "expected end of tag 'a' at line 2, column 6 of file '" + pipe + "'");
}
#endif

TEST(LoaderSax, ExceptionsOfTheHandlerPassThrough) {
    ScratchFolder folder;
    const std::string path = folder.file("doc.xml");
    writeFile(path, "<r><a/><b/></r>");
    Recorder recorder;
    recorder.failAt = "a";
    EXPECT_THROW(sax(path, recorder), std::runtime_error);
    EXPECT_EQ(recorder.events, "{<r><a></a>");
}
