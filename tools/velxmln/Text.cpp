#include "Text.h"

#include <cstdio>

namespace velxmlncli {

std::string escapeField(const std::string& text) {
    std::string result;
    result.reserve(text.size() + 8);
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* replacement = nullptr;
        switch (text[i]) {
            case '\\':
                replacement = "\\\\";
                break;
            case '\t':
                replacement = "\\t";
                break;
            case '\n':
                replacement = "\\n";
                break;
            case '\r':
                replacement = "\\r";
                break;
            default:
                continue;
        }
        result.append(text, plainFrom, i - plainFrom);
        result += replacement;
        plainFrom = i + 1;
    }
    result.append(text, plainFrom, std::string::npos);
    return result;
}

std::string jsonString(const std::string& text) {
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') {
            continue;
        }
        result.append(text, plainFrom, i - plainFrom);
        plainFrom = i + 1;
        switch (byte) {
            case '"':
                result += "\\\"";
                break;
            case '\\':
                result += "\\\\";
                break;
            case '\n':
                result += "\\n";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\t':
                result += "\\t";
                break;
            case '\b':
                result += "\\b";
                break;
            case '\f':
                result += "\\f";
                break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
                result += escaped;
            }
        }
    }
    result.append(text, plainFrom, std::string::npos);
    result += '"';
    return result;
}

std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace velxmlncli
