// Helpers shared by the fuzz targets: an input decoder, a fault report that aborts, and the
// comparison of a tree with the tree its written text reads back as.
#ifndef VELXMLN_FUZZ_SUPPORT_H
#define VELXMLN_FUZZ_SUPPORT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <VelXmlN/AttributeData.h>
#include <VelXmlN/Compare.h>
#include <VelXmlN/Data.h>
#include <VelXmlN/Tree.h>

namespace fuzzing {

/// Reports a broken property with the text that shows it, then aborts so that both libFuzzer and
/// the replay test see the failure.
[[noreturn]] inline void fault(const char* what, const std::string& detail) {
    std::fprintf(stderr, "FUZZ FAULT: %s\n%s\n", what, detail.c_str());
    std::abort();
}

/// A scratch file for targets that work on files: made once per process in the temporary folder
/// (its name starts with `prefix`), rewritten by the target for every input, removed at exit.
inline const std::string& scratchFile(const char* prefix) {
    static const std::string name = [prefix] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
        const int fd = mkstemp(&pattern[0]);
        if (fd < 0) {
            fault("cannot make a scratch file", pattern);
        }
        close(fd);
        static std::string removeAtExit;
        removeAtExit = pattern;
        std::atexit([] { std::remove(removeAtExit.c_str()); });
        return pattern;
    }();
    return name;
}

/// Takes numbers and texts from the front of the input; once it is used up, numbers are 0 and
/// texts are empty, so every input decodes to something.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const noexcept { return pos_ >= size_; }

    std::uint8_t byte() noexcept { return pos_ < size_ ? data_[pos_++] : 0; }

    int smallInt(int limit) noexcept { return limit <= 0 ? 0 : byte() % limit; }

    std::int32_t int32() noexcept {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = (value << 8) | byte();
        }
        return static_cast<std::int32_t>(value);
    }

    double real() noexcept {
        // Mostly small, readable numbers; sometimes a wide range.
        const std::int32_t raw = int32();
        return (raw & 1) != 0 ? static_cast<double>(raw) * 1e-3 : static_cast<double>(raw % 1000);
    }

    /// A text of up to `limit` bytes (its length is the first byte), NUL bytes included.
    std::string text(std::size_t limit = 64) {
        const std::size_t wanted = byte() % (limit + 1);
        const std::size_t length = wanted < size_ - std::min(pos_, size_) ? wanted : size_ - pos_;
        std::string result(reinterpret_cast<const char*>(data_ + pos_), length);
        pos_ += length;
        return result;
    }

    /// As text, cut at its first NUL byte, for the C interface.
    std::string cText(std::size_t limit = 64) {
        std::string result = text(limit);
        const std::size_t zero = result.find('\0');
        if (zero != std::string::npos) {
            result.resize(zero);
        }
        return result;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

/// What reading the written text of a tree cannot bring back, by design of XML and of the
/// reader, applied to the tree before it is compared with the tree read back:
/// - line ends: a parser turns CR LF and a lone CR into LF, in texts and attribute values;
/// - attribute values: a parser turns tab and LF into a space;
/// - texts: an element's value becomes its first text piece when it has children; empty text
///   pieces vanish and adjacent ones join (nothing separates them in the written text); an
///   element whose only content is text reads back with that text, trimmed of spaces, as its
///   value; a text of XML white space alone (space, tab, LF, CR) is formatting to the reader and
///   vanishes;
/// - the root element: its attributes with an empty value are not written (the node library that
///   writes the root keeps no empty-valued attribute; other elements keep theirs).
inline std::string normalizedLineEnds(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            result += text[i];
        }
    }
    return result;
}

inline bool isWhiteSpace(const std::string& text) {
    return text.find_first_not_of(" \t\n\r") == std::string::npos;
}

inline std::string trimmedSpaces(const std::string& text) {
    if (isWhiteSpace(text)) {
        return std::string();
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

inline void normalizeElement(VelXmlN::Data& element) {
    for (VelXmlN::AttributeData* attribute : element.getAttributes()) {
        std::string value = normalizedLineEnds(attribute->getData());
        for (char& c : value) {
            if (c == '\t' || c == '\n') {
                c = ' ';
            }
        }
        attribute->setData(value);
    }
    std::vector<VelXmlN::Data*>& children = element.getChildren();
    std::string value = normalizedLineEnds(element.getData());
    if (element.getName().empty()) {
        // A text piece beside child elements is kept as it is, spaces included.
        element.setDataPlain(value);
        return;
    }
    if (children.empty()) {
        element.setDataPlain(trimmedSpaces(value));
        return;
    }
    // Rebuild the child list: the value first as a text piece, then the children with adjacent
    // text pieces joined and empty ones dropped. Line ends are normalized after joining: a CR
    // at the end of one piece and an LF at the start of the next are one line end.
    std::vector<std::unique_ptr<VelXmlN::Data>> owned;
    owned.reserve(children.size() + 1);
    for (VelXmlN::Data* child : children) {
        owned.emplace_back(child);
        child->setParent(nullptr);
    }
    children.clear();
    std::string pending = element.getData();
    element.setDataPlain(std::string());
    for (std::unique_ptr<VelXmlN::Data>& child : owned) {
        if (child->getName().empty()) {
            pending += child->getData();
            continue;
        }
        if (!isWhiteSpace(pending)) {
            auto piece = std::make_unique<VelXmlN::Data>();
            piece->setDataPlain(normalizedLineEnds(pending));
            element.addChild(std::move(piece));
        }
        pending.clear();
        element.addChild(std::move(child));
    }
    if (children.empty()) {
        element.setDataPlain(trimmedSpaces(normalizedLineEnds(pending)));
        return;
    }
    if (!isWhiteSpace(pending)) {
        auto piece = std::make_unique<VelXmlN::Data>();
        piece->setDataPlain(normalizedLineEnds(pending));
        element.addChild(std::move(piece));
    }
}

/// Whether `text` is well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF). The
/// writer turns every other sequence into U+FFFD, so only such texts come back byte for byte.
inline bool isUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned long code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
            code = c & 0x1fu;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            code = c & 0x0fu;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0u) != 0x80u) {
                return false;
            }
            code = (code << 6) | (next & 0x3fu);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10ffff)) ||
            (code >= 0xd800 && code <= 0xdfff)) {
            return false;
        }
        i += length;
    }
    return true;
}

/// Whether every name, value and text of the tree is well-formed UTF-8.
inline bool isUtf8Tree(const VelXmlN::Data& element) {
    if (!isUtf8(element.getName()) || !isUtf8(element.getData())) {
        return false;
    }
    for (const VelXmlN::AttributeData* attribute : element.getAttributes()) {
        if (!isUtf8(attribute->getName()) || !isUtf8(attribute->getData())) {
            return false;
        }
    }
    for (const VelXmlN::Data* child : element.getChildren()) {
        if (!isUtf8Tree(*child)) {
            return false;
        }
    }
    return true;
}

/// Normalizes every element of the tree below and including `root`, iteratively.
inline void normalizeTree(VelXmlN::Data* root) {
    std::vector<VelXmlN::Data*> stack;
    if (root != nullptr) {
        std::vector<VelXmlN::AttributeData*>& attributes = root->getAttributes();
        std::vector<VelXmlN::AttributeData*> kept;
        for (VelXmlN::AttributeData* attribute : attributes) {
            if (attribute->getData().empty()) {
                delete attribute;
            } else {
                kept.push_back(attribute);
            }
        }
        attributes.swap(kept);
        stack.push_back(root);
    }
    while (!stack.empty()) {
        VelXmlN::Data* element = stack.back();
        stack.pop_back();
        normalizeElement(*element);
        for (VelXmlN::Data* child : element->getChildren()) {
            stack.push_back(child);
        }
    }
}

/// The tree as an indented outline with escaped texts, for fault reports.
inline std::string describe(const VelXmlN::Data* element, int depth = 0) {
    auto quoted = [](const std::string& text) {
        std::string result = "\"";
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u >= 0x7f || c == '"' || c == '\\') {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", u);
                result += hex;
            } else {
                result += c;
            }
        }
        return result + "\"";
    };
    if (element == nullptr) {
        return "(none)\n";
    }
    std::string result(static_cast<std::size_t>(depth) * 2, ' ');
    result += quoted(element->getName()) + " = " + quoted(element->getData());
    for (const VelXmlN::AttributeData* attribute : element->getAttributes()) {
        result += " " + quoted(attribute->getName()) + ":" + quoted(attribute->getData());
    }
    result += "\n";
    if (depth < 20) {
        for (const VelXmlN::Data* child : element->getChildren()) {
            result += describe(child, depth + 1);
        }
    }
    return result;
}

/// Equal roots (name, value, attributes in order) and equal subtrees (Compare::areEqual).
inline bool sameRoots(const VelXmlN::Data& a, const VelXmlN::Data& b) {
    if (a.getName() != b.getName() || a.getData() != b.getData() ||
        a.getAttributes().size() != b.getAttributes().size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.getAttributes().size(); ++i) {
        const VelXmlN::AttributeData& x = *a.getAttributes()[i];
        const VelXmlN::AttributeData& y = *b.getAttributes()[i];
        if (x.getName() != y.getName() || x.getData() != y.getData()) {
            return false;
        }
    }
    return VelXmlN::Compare::areEqual(&a, &b);
}

}  // namespace fuzzing

#endif
