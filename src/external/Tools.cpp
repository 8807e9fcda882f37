#include <VelXmlN/Tools.h>

#include <cstring>

namespace Tools {

std::vector<std::string> tokenize(std::string const& text, std::string const& separators) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = separators.size() == 1 ? text.find(separators[0], start)
                                                       : text.find_first_of(separators, start);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        if (stop > start) {
            pieces.emplace_back(text, start, stop - start);
        }
        start = stop + 1;
    }
    return pieces;
}

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool startsWith(std::string const& text, std::string const& prefix, bool caseSensitive) {
    if (prefix.size() > text.size()) {
        return false;
    }
    if (caseSensitive) {
        return text.compare(0, prefix.size(), prefix) == 0;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lowerAscii(text[i]) != lowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string toPositiveZero(std::string const& text) {
    // A negative zero is a "-" followed by a number whose digits are all zeros: "-0", "-0.000",
    // "-0e+00", "-.0". Anything else, "-0.5" or "-" alone, is left as it is.
    if (text.size() < 2 || text[0] != '-') {
        return text;
    }
    std::size_t i = 1;
    bool sawDigit = false;
    while (i < text.size() && (text[i] == '0' || text[i] == '.')) {
        sawDigit = sawDigit || text[i] == '0';
        ++i;
    }
    if (!sawDigit) {
        return text;
    }
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E') {
            return text;
        }
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j == text.size()) {
            return text;
        }
        for (; j < text.size(); ++j) {
            if (text[j] < '0' || text[j] > '9') {
                return text;
            }
        }
    }
    return text.substr(1);
}

}  // namespace Tools
