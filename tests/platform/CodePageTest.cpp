// The narrow code page: its setting, and the two conversion rules as the converter (narrow to
// UTF-8 through UTF-16) and the loader (UTF-16 to narrow) apply them.
#include <VelXmlN/CodePage.h>
#include <VelXmlN/kasxmln.h>

#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <memory>
#include <string>

#include "support/TestSupport.h"

using kasxmln::CStringConverter;
using testsupport::CodePageScope;
using testsupport::visible;
using VelXmlN::NarrowCodePage;

namespace {

std::string utf8Of(const std::string& narrow) {
    CStringConverter converter(narrow.c_str());
    const char* bytes = nullptr;
    std::size_t length = 0;
    converter.ToUtf8(bytes, length);
    return std::string(bytes, length);
}

// The narrow text of the only text of a one-element UTF-8 document.
std::string narrowOf(const std::string& utf8) {
    const std::string document = "<a>" + utf8 + "</a>";
    kasxmln::CXMLDocument* loaded = kasxmln::CXMLManager::GetInstance()->LoadDocument(
        document.data(), static_cast<unsigned>(document.size()), false, false, nullptr, false,
        false);
    std::unique_ptr<kasxmln::CXMLDocument, void (*)(kasxmln::CXMLDocument*)> owner(
        loaded, [](kasxmln::CXMLDocument* d) { d->Release(); });
    auto* text = dynamic_cast<kasxmln::CXMLTextNode*>(loaded->GetRootNode()->GetChildren()[0]);
    return text != nullptr ? text->GetText() : "<no text>";
}

}  // namespace

// System is UTF-8 on every host but Windows, where it is the ANSI code page
// (SystemIsTheAnsiCodePageOnWindows).
#ifdef _WIN32
constexpr NarrowCodePage kUtf8Pages[] = {NarrowCodePage::Utf8};
#else
constexpr NarrowCodePage kUtf8Pages[] = {NarrowCodePage::System, NarrowCodePage::Utf8};
#endif

TEST(CodePage, Utf8NarrowTextIsCopiedAndInvalidSequencesBecomeReplacementCharacters) {
    EXPECT_EQ(VelXmlN::getNarrowCodePage(), NarrowCodePage::System) << "the default";
    for (NarrowCodePage page : kUtf8Pages) {
        CodePageScope scope(page);
        EXPECT_EQ(utf8Of("a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z"),
                  "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z");
        // One U+FFFD for each maximal invalid subpart, as Unicode recommends.
        const std::string fffd = "\xEF\xBF\xBD";
        EXPECT_EQ(visible(utf8Of("x\xC3(y")), visible("x" + fffd + "(y"));
        EXPECT_EQ(visible(utf8Of("\xFF")), visible(fffd));
        EXPECT_EQ(visible(utf8Of("\xC0\xAF")), visible(fffd + fffd)) << "overlong form";
        EXPECT_EQ(visible(utf8Of("\xED\xA0\x80")), visible(fffd + fffd + fffd))
            << "encoded surrogate";
        EXPECT_EQ(visible(utf8Of("\xF4\x90\x80\x80")), visible(fffd + fffd + fffd + fffd))
            << "beyond U+10FFFF";
        EXPECT_EQ(visible(utf8Of("end\xE2\x82")), visible("end" + fffd)) << "cut short";
    }
}

TEST(CodePage, SystemIsTheAnsiCodePageOnWindows) {
#ifndef _WIN32
    GTEST_SKIP() << "only Windows has an ANSI code page; elsewhere System is UTF-8";
#else
    ASSERT_EQ(GetACP(), 1252u) << "the test expects a Western Windows (Wine's default)";
    const CodePageScope scope(NarrowCodePage::System);
    EXPECT_EQ(visible(utf8Of("a\xE4\x80\x81")), visible("a\xC3\xA4\xE2\x82\xAC\xEF\xBF\xBD"));
    EXPECT_EQ(visible(narrowOf("\xC3\xA4\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80.")),
              visible("\xE4\x80??."));
#endif
}

// Each code page reads back its own text; what it cannot hold reads as one question mark each.
TEST(CodePage, BothCodePagesRoundTripTheirOwnText) {
    const std::string foreign = "\xC3\xA4\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80.";  // ä € 中 😀
    {
        CodePageScope scope(NarrowCodePage::Windows1252);
        EXPECT_EQ(visible(narrowOf(foreign)), visible("\xE4\x80??."));
        EXPECT_EQ(visible(narrowOf("&#x81;&#x201C;&#x2200;")), visible("?\x93?"))
            << "U+0081 has no Windows-1252 byte";
        EXPECT_EQ(visible(utf8Of("\x80\x93\x9F")), visible("\xE2\x82\xAC\xE2\x80\x9C\xC5\xB8"));
        for (const char* undefined : {"\x81", "\x8D", "\x8F", "\x90", "\x9D"}) {
            EXPECT_EQ(visible(utf8Of(undefined)), visible("\xEF\xBF\xBD"));
        }
        std::string all;
        for (int byte = 0x20; byte <= 0xFF; ++byte) {
            if (byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D &&
                byte != '<' && byte != '&') {
                all += static_cast<char>(byte);
            }
        }
        EXPECT_EQ(visible(narrowOf(utf8Of(all))), visible(all));
    }
    {
        CodePageScope scope(NarrowCodePage::Utf8);
        EXPECT_EQ(narrowOf(utf8Of(foreign)), foreign);
    }
}
