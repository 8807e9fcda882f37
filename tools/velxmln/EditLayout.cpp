#include "EditLayout.h"

#include "Input.h"

#include <VelXmlN/kasxmln.h>

#include "nodelib/FastReader.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <map>

namespace velxmlncli {
namespace {

using kasxmln::detail::ByteRange;
using VelXmlN::Data;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/// The fast reader's element events are not needed here: the tree comes from the library's reader.
class NoNodes final : public kasxmln::detail::NodeEvents {
  public:
    void restart() override {}
    void startElement(std::string_view, const kasxmln::detail::NarrowAttribute*,
                      std::size_t) override {}
    void text(std::string_view, bool) override {}
    void endElement() override {}
};

/// Collects the places of the elements in document order.
class PlaceCollector final : public kasxmln::detail::PositionEvents {
  public:
    PlaceCollector(const std::string& bytes, std::vector<ElementPlace>& places)
        : bytes_(bytes), places_(places) {}

    void startTag(ByteRange tag, const ByteRange* values, std::size_t count) override {
        const std::size_t index = places_.size();
        ElementPlace place;
        place.startTag = span(tag);
        std::size_t i = place.startTag.begin + 1;
        place.name.begin = i;
        while (i < place.startTag.end && !isSpace(bytes_[i]) && bytes_[i] != '/' &&
               bytes_[i] != '>') {
            ++i;
        }
        place.name.end = i;
        place.attributes.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            AttributePlace& attribute = place.attributes[k];
            attribute.value = span(values[k]);
            attribute.quote = bytes_[attribute.value.begin - 1];
            attribute.space.begin = i;
            while (isSpace(bytes_[i])) {
                ++i;
            }
            attribute.space.end = i;
            attribute.name.begin = i;
            while (bytes_[i] != '=' && !isSpace(bytes_[i])) {
                ++i;
            }
            attribute.name.end = i;
            i = attribute.value.end + 1;
        }
        if (!open_.empty()) {
            ElementPlace& parent = places_[open_.back()];
            place.parent = open_.back();
            ++parent.children;
            parent.lastChild = index;
        }
        places_.push_back(std::move(place));
        open_.push_back(index);
    }

    void text(ByteRange) override { ++places_[open_.back()].texts; }

    void endTag(ByteRange tag) override {
        places_[open_.back()].endTag = span(tag);
        open_.pop_back();
    }

  private:
    static ByteSpan span(ByteRange range) {
        return ByteSpan{static_cast<std::size_t>(range.begin), static_cast<std::size_t>(range.end)};
    }

    const std::string& bytes_;
    std::vector<ElementPlace>& places_;
    std::vector<std::size_t> open_;
};

/// What the fast reader would not take about a document, as a phrase.
std::string whyNotEditable(const std::string& bytes) {
    const auto starts = [&](const char* prefix, std::size_t length) {
        return bytes.compare(0, length, prefix, length) == 0;
    };
    if (starts("\xFE\xFF", 2) || starts("\xFF\xFE", 2) || starts("\0<", 2) || starts("<\0", 2)) {
        return "it is encoded in UTF-16";
    }
    const std::size_t offset = starts("\xEF\xBB\xBF", 3) ? 3 : 0;
    if (bytes.compare(offset, 5, "<?xml") == 0) {
        const std::size_t declarationEnd = bytes.find("?>", offset);
        const std::size_t encoding = bytes.find("encoding", offset);
        if (encoding < declarationEnd) {
            const std::size_t quote = bytes.find_first_of("\"'", encoding);
            const std::size_t close =
                quote < declarationEnd ? bytes.find(bytes[quote], quote + 1) : std::string::npos;
            if (close < declarationEnd) {
                std::string name = bytes.substr(quote + 1, close - quote - 1);
                std::string upper = name;
                std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
                    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
                });
                if (upper != "UTF-8" && upper != "US-ASCII" && upper != "ASCII") {
                    return "it is encoded in " + name;
                }
            }
        }
        if (bytes.compare(offset, 19, "<?xml version=\"1.1\"") == 0 ||
            bytes.compare(offset, 19, "<?xml version='1.1'") == 0) {
            return "it is an XML 1.1 document";
        }
    }
    const std::size_t doctype = bytes.find("<!DOCTYPE");
    if (doctype != std::string::npos) {
        const std::size_t subset = bytes.find_first_of("[>", doctype);
        if (subset != std::string::npos && bytes[subset] == '[') {
            return "it has an internal DTD subset";
        }
    }
    return "it uses XML that the byte-exact editor does not read";
}

}  // namespace

SourceDocument::SourceDocument(const std::string& file)
    : file_(inputName(file)), bytes_(readInput(file)), tree_(parseDocument(bytes_, file)) {
    findPlaces();
    if (notEditable_.empty()) {
        findStyle();
    }
}

void SourceDocument::findPlaces() {
    NoNodes nodes;
    PlaceCollector collector(bytes_, places_);
    kasxmln::detail::FastReader reader(nodes, &collector);
    kasxmln::detail::FastReader::Outcome outcome;
    try {
        outcome = reader.read(bytes_.data(), bytes_.size());
    } catch (const kasxmln::CXMLException& error) {
        throw CommandError(file_ + ": " + error.what());
    }
    if (outcome != kasxmln::detail::FastReader::Outcome::kDone) {
        places_.clear();
        notEditable_ = whyNotEditable(bytes_);
        return;
    }
    // The elements of the tree in document order are the start tags in the order they came; the
    // nameless records are the texts of mixed content.
    std::vector<const Data*> pending{tree_->getRoot()};
    while (!pending.empty()) {
        const Data* element = pending.back();
        pending.pop_back();
        if (element->getName().empty()) {
            continue;
        }
        indexes_.emplace(element, indexes_.size());
        const std::vector<Data*>& children = element->getChildren();
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    if (indexes_.size() != places_.size()) {
        throw CommandError(file_ + ": the reader found " + std::to_string(places_.size()) +
                           " elements but the tree has " + std::to_string(indexes_.size()) +
                           "; nothing written");
    }
}

void SourceDocument::findStyle() {
    const std::size_t lineFeed = bytes_.find('\n');
    if (lineFeed != std::string::npos && lineFeed > 0 && bytes_[lineFeed - 1] == '\r') {
        lineEnd_ = "\r\n";
    }
    for (const ElementPlace& place : places_) {
        if (!place.attributes.empty()) {
            quote_ = place.attributes.front().quote;
            break;
        }
    }
    std::map<std::string, std::size_t> steps;
    for (std::size_t i = 0; i < places_.size(); ++i) {
        if (places_[i].parent == ElementPlace::kNone) {
            continue;
        }
        bool childAtStart = false;
        bool parentAtStart = false;
        const std::string child = indentOf(i, childAtStart);
        const std::string parent = indentOf(places_[i].parent, parentAtStart);
        if (childAtStart && parentAtStart && child.size() > parent.size() &&
            child.compare(0, parent.size(), parent) == 0) {
            ++steps[child.substr(parent.size())];
        }
    }
    std::size_t most = 0;
    for (const auto& [step, count] : steps) {
        if (count > most) {
            most = count;
            indentStep_ = step;
        }
    }
}

std::size_t SourceDocument::indexOf(const Data* element) const {
    const auto found = indexes_.find(element);
    if (found == indexes_.end()) {
        throw CommandError(file_ + ": an element of the tree was not found in the file");
    }
    return found->second;
}

const ElementPlace& SourceDocument::placeOf(const Data* element) const {
    return places_[indexOf(element)];
}

std::string SourceDocument::indentOf(std::size_t index, bool& atLineStart) const {
    const std::size_t tag = places_[index].startTag.begin;
    std::size_t begin = tag;
    while (begin > 0 && (bytes_[begin - 1] == ' ' || bytes_[begin - 1] == '\t')) {
        --begin;
    }
    atLineStart = begin == 0 || bytes_[begin - 1] == '\n';
    return atLineStart ? bytes_.substr(begin, tag - begin) : std::string();
}

void checkReadsBack(const std::string& bytes, const std::string& file) {
    try {
        // The fast reader checks every rule without building anything; what it would not take
        // goes the library's whole way.
        NoNodes nodes;
        kasxmln::detail::FastReader reader(nodes);
        if (reader.read(bytes.data(), bytes.size()) !=
            kasxmln::detail::FastReader::Outcome::kDone) {
            MemoryBuffer buffer(bytes);
            std::istream in(&buffer);
            VelXmlN::Tree tree;
            tree.buildOfStream(in);
        }
    } catch (const kasxmln::CXMLException& error) {
        throw CommandError(file + ": the edited document would not read back (" +
                           std::string(error.what()) + "); nothing written");
    }
}

void ByteEdits::replace(ByteSpan span, std::string text) {
    edits_.push_back(Edit{span, std::move(text)});
}

std::string ByteEdits::apply(const std::string& bytes) const {
    std::vector<const Edit*> order;
    order.reserve(edits_.size());
    std::size_t size = bytes.size();
    for (const Edit& edit : edits_) {
        order.push_back(&edit);
        size += edit.text.size();
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Edit* a, const Edit* b) { return a->span.begin < b->span.begin; });
    std::string result;
    result.reserve(size);
    std::size_t done = 0;
    for (const Edit* edit : order) {
        if (edit->span.begin < done) {
            throw CommandError("two edits overlap; nothing written");
        }
        result.append(bytes, done, edit->span.begin - done);
        result += edit->text;
        done = edit->span.end;
    }
    result.append(bytes, done, std::string::npos);
    return result;
}

namespace {

/// `text` converted to UTF-8 and escaped by the library's converter; `extra` escapes tab, line
/// feed and carriage return (all: attributes) or carriage return alone (texts).
std::string convert(const std::string& text, bool apostrophe, bool quote, const char* extra) {
    kasxmln::CStringConverter converter(text.c_str(), true, apostrophe, quote);
    const char* bytes = nullptr;
    std::size_t length = 0;
    try {
        converter.ToUtf8(bytes, length);
    } catch (const kasxmln::CXMLException& error) {
        throw CommandError(error.what());
    }
    std::string result;
    result.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const char c = bytes[i];
        if ((c == '\t' || c == '\n' || c == '\r') && std::strchr(extra, c) != nullptr) {
            // The writer's form of an escape: "&#x", two lower-case hexadecimal digits, ";".
            result += c == '\t' ? "&#x09;" : c == '\n' ? "&#x0a;" : "&#x0d;";
        } else {
            result += c;
        }
    }
    return result;
}

}  // namespace

std::string escapeText(const std::string& text) {
    return convert(text, false, false, "\r");
}

std::string escapeAttribute(const std::string& value, char quote) {
    return convert(value, quote == '\'', quote == '"', "\t\n\r");
}

std::string xmlName(const std::string& name, const std::string& file) {
    kasxmln::CStringConverter converter(name.c_str());
    if (name.find('\0') != std::string::npos || !converter.IsValidName()) {
        throw CommandError(file + ": invalid XML name '" + name + "'");
    }
    return convert(name, true, true, "");
}

}  // namespace velxmlncli
