#include <VelXmlN/kasxmln.h>

#include <cstdio>
#include <string>
#include <utility>

#include "nodelib/XmlCharacters.h"

namespace kasxmln {

namespace {

// The excerpt of a refused text shown by what(): short enough for a log line.
constexpr std::size_t kExcerptBytes = 60;

std::string quoted(const std::string& text) {
    std::string result = "'";
    const std::size_t shown = text.size() < kExcerptBytes ? text.size() : kExcerptBytes;
    for (std::size_t i = 0; i < shown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            result += escaped;
        } else {
            result += static_cast<char>(c);
        }
    }
    if (shown < text.size()) {
        result += "...";
    }
    return result + "'";
}

std::string describe(int code, const std::string& text) {
    if (code == CXMLException::kNameError) {
        return "invalid XML name " + quoted(text);
    }
    if (code == CXMLException::kCharacterError) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (detail::isForbiddenControl(c)) {
                char where[64];
                std::snprintf(where, sizeof where, "control character U+%04X at byte %zu", c, i);
                return std::string(where) + " cannot be written as XML: " + quoted(text);
            }
        }
        // U+FFFE and U+FFFF, which only UTF-8 narrow text can hold.
        for (const char* bytes : {"\xEF\xBF\xBE", "\xEF\xBF\xBF"}) {
            const std::size_t i = text.find(bytes);
            if (i != std::string::npos) {
                char where[64];
                std::snprintf(where, sizeof where, "character U+%s at byte %zu",
                              bytes[2] == '\xBE' ? "FFFE" : "FFFF", i);
                return std::string(where) + " cannot be written as XML: " + quoted(text);
            }
        }
        return "control character cannot be written as XML: " + quoted(text);
    }
    return text;
}

}  // namespace

#ifdef _WIN32
// A program that binds one of the constants to a reference (EXPECT_EQ does) imports it from the
// DLL, like any member of an exported class; these definitions make the DLL emit and export them.
constexpr int CXMLException::kParseError;
constexpr int CXMLException::kLimitError;
constexpr int CXMLException::kNameError;
constexpr int CXMLException::kFileError;
constexpr int CXMLException::kCharacterError;
constexpr int CXMLException::kUsageError;
constexpr unsigned int CXMLException::kNameDetail;
constexpr unsigned int CXMLException::kCharacterDetail;
#endif

struct CXMLException::Texts {
    std::string text;
    std::string description;
};

CXMLException::CXMLException(int code, unsigned int detail, const char* text)
    : CXMLException(code, detail, std::string(text != nullptr ? text : "")) {}

CXMLException::CXMLException(int code, unsigned int detail, const std::string& text)
    : code_(code), detail_(detail) {
    auto texts = std::make_shared<Texts>();
    texts->text = text;
    texts->description = describe(code, text);
    texts_ = std::move(texts);
}

CXMLException::CXMLException(const CXMLException& other) noexcept = default;
CXMLException& CXMLException::operator=(const CXMLException& other) noexcept = default;
CXMLException::~CXMLException() = default;

const char* CXMLException::GetMessageText() const noexcept {
    return texts_->text.c_str();
}

int CXMLException::GetCode() const noexcept {
    return code_;
}

unsigned int CXMLException::GetDetail() const noexcept {
    return detail_;
}

const char* CXMLException::what() const noexcept {
    return texts_->description.c_str();
}

}  // namespace kasxmln
