#include "PathLanguage.h"

#include "Input.h"

#include <limits>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace velxmlncli {
namespace {

using VelXmlN::Data;

/// Positions beyond this are refused rather than counted: no document has that many siblings.
constexpr std::size_t kMaxPosition = 1000000000;

bool isNameBreaker(char c) {
    return c == '[' || c == ']' || c == '@' || c == '=' || c == '\'' || c == '"' || c == '/';
}

/// ASCII characters that no XML name holds (bytes from 0x80 up are left to the document).
bool isOutsideNames(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
        return false;
    }
    return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
             c == '-' || c == '.' || c == '_' || c == ':');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// Reads a path left to right; every refusal names the column (from 1) where the problem lies.
class Parser {
  public:
    explicit Parser(const std::string& text) : text_(text) {}

    CommandPath parse() {
        if (text_.empty()) {
            throw CommandError("invalid XPath '': an empty path");
        }
        CommandPath path;
        path.descendant = text_.compare(0, 2, "//") == 0;
        i_ = path.descendant ? 2 : (text_[0] == '/' ? 1 : 0);
        while (i_ < text_.size()) {
            path.steps.push_back(step(!path.steps.empty()));
            if (i_ < text_.size()) {
                // step() stops only at the end or at a '/'.
                ++i_;
            }
        }
        if (path.steps.empty()) {
            throw CommandError("invalid XPath '" + text_ + "': a path without an element name");
        }
        return path;
    }

  private:
    [[noreturn]] void fail(const std::string& problem, std::size_t index) const {
        throw CommandError("invalid XPath '" + text_ + "': " + problem + " at column " +
                           std::to_string(index + 1));
    }

    bool at(char c) const { return i_ < text_.size() && text_[i_] == c; }

    PathStep step(bool afterAnother) {
        PathStep result;
        const std::size_t begin = i_;
        while (i_ < text_.size() && !isNameBreaker(text_[i_])) {
            ++i_;
        }
        if (i_ == begin) {
            fail(afterAnother && at('/') ? "'//' after the start of a path"
                                         : "a step without an element name",
                 begin);
        }
        result.name = text_.substr(begin, i_ - begin);
        if (i_ < text_.size() && !at('/') && !at('[')) {
            fail("unexpected '" + std::string(1, text_[i_]) + "' in an element name", i_);
        }
        for (std::size_t k = begin; k < i_; ++k) {
            if (isOutsideNames(text_[k])) {
                fail("unexpected '" + std::string(1, text_[k]) + "' in an element name", k);
            }
        }
        if (at('[') && i_ + 1 < text_.size() && text_[i_ + 1] == '@') {
            predicate(result);
        }
        if (at('[')) {
            const std::size_t open = i_;
            if (i_ + 1 < text_.size() && text_[i_ + 1] == '@') {
                fail("more than one predicate in a step", open);
            }
            position(result);
            if (at('[')) {
                fail(i_ + 1 < text_.size() && text_[i_ + 1] == '@'
                         ? "an attribute predicate after a position (write the position last)"
                         : "more than one position in a step",
                     i_);
            }
        }
        if (i_ < text_.size() && !at('/')) {
            fail("unexpected text after a predicate", i_);
        }
        return result;
    }

    /// "[@name='value']" or with double quotes; i_ is at the "[".
    void predicate(PathStep& result) {
        const std::size_t open = i_;
        i_ += 2;
        const std::size_t nameBegin = i_;
        while (i_ < text_.size() && !isNameBreaker(text_[i_])) {
            if (isOutsideNames(text_[i_])) {
                fail("unexpected '" + std::string(1, text_[i_]) + "' in an attribute name", i_);
            }
            ++i_;
        }
        if (!at('=')) {
            fail("a predicate without '='", open);
        }
        if (i_ == nameBegin) {
            fail("a predicate without an attribute name", nameBegin);
        }
        result.attribute = text_.substr(nameBegin, i_ - nameBegin);
        ++i_;
        if (!at('\'') && !at('"')) {
            fail("a predicate value that is not in quotes", i_);
        }
        const std::size_t quote = i_;
        const std::size_t close = text_.find(text_[quote], quote + 1);
        if (close == std::string::npos) {
            fail("an unterminated predicate value", quote);
        }
        result.value = text_.substr(quote + 1, close - quote - 1);
        result.hasPredicate = true;
        i_ = close + 1;
        if (i_ == text_.size()) {
            fail("an unterminated predicate (missing ']')", open);
        }
        if (!at(']')) {
            fail("unexpected text after a predicate value", i_);
        }
        ++i_;
    }

    /// "[n]"; i_ is at the "[".
    void position(PathStep& result) {
        const std::size_t open = i_++;
        const std::size_t digits = i_;
        std::size_t value = 0;
        while (i_ < text_.size() && isDigit(text_[i_])) {
            value = value * 10 + static_cast<std::size_t>(text_[i_] - '0');
            if (value > kMaxPosition) {
                fail("a position over " + std::to_string(kMaxPosition), digits);
            }
            ++i_;
        }
        if (i_ == digits) {
            fail("a predicate that is neither [@NAME='VALUE'] nor a position [N]", open);
        }
        if (i_ == text_.size()) {
            fail("an unterminated position (missing ']')", open);
        }
        if (!at(']')) {
            fail("unexpected text in a position", i_);
        }
        if (value == 0) {
            fail("position 0 (positions count from 1)", digits);
        }
        result.position = value;
        ++i_;
    }

    const std::string& text_;
    std::size_t i_ = 0;
};

/// Name and predicate of `step` (the position is checked among siblings, by the caller).
bool matches(const Data& element, const PathStep& step) {
    if (element.getName() != step.name) {
        return false;
    }
    if (!step.hasPredicate) {
        return true;
    }
    const VelXmlN::AttributeData* attribute = element.findAttribute(step.attribute);
    return attribute != nullptr && attribute->getData() == step.value;
}

std::vector<Data*> selectChildren(const CommandPath& path, Data& root) {
    std::vector<Data*> current;
    const PathStep& first = path.steps.front();
    // The start element stands alone: it is the first and only one of its kind.
    if (!matches(root, first) || first.position > 1) {
        return current;
    }
    current.push_back(&root);
    std::vector<Data*> next;
    for (std::size_t s = 1; s < path.steps.size() && !current.empty(); ++s) {
        const PathStep& step = path.steps[s];
        next.clear();
        for (const Data* parent : current) {
            std::size_t seen = 0;
            for (Data* child : parent->getChildren()) {
                if (!matches(*child, step)) {
                    continue;
                }
                ++seen;
                if (step.position == 0) {
                    next.push_back(child);
                } else if (seen == step.position) {
                    next.push_back(child);
                    break;
                }
            }
        }
        current.swap(next);
    }
    return current;
}

/// The subtree of the start element in pre-order: the subtree of elements[i] is [i, ends[i]).
struct PreOrder {
    std::vector<Data*> elements;
    std::vector<std::size_t> ends;
};

PreOrder layOut(Data& root) {
    PreOrder layout;
    layout.elements.push_back(&root);
    layout.ends.push_back(0);
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, 0}};
    while (!stack.empty()) {
        const std::size_t index = stack.back().first;
        const std::vector<Data*>& children = layout.elements[index]->getChildren();
        if (stack.back().second == children.size()) {
            layout.ends[index] = layout.elements.size();
            stack.pop_back();
            continue;
        }
        Data* child = children[stack.back().second++];
        stack.emplace_back(layout.elements.size(), 0);
        layout.elements.push_back(child);
        layout.ends.push_back(0);
    }
    return layout;
}

/// Each step searches the subtrees of the elements found so far (themselves included). The list
/// is kept as sorted pre-order indices, so a subtree inside one already searched is skipped and
/// every element is looked at once per step, and the result holds each element once.
std::vector<Data*> selectDescendants(const CommandPath& path, Data& root) {
    const PreOrder tree = layOut(root);
    std::vector<std::size_t> current{0};
    std::vector<std::size_t> next;
    for (const PathStep& step : path.steps) {
        next.clear();
        std::size_t reached = 0;
        for (const std::size_t top : current) {
            if (top < reached) {
                continue;
            }
            for (std::size_t i = top; i < tree.ends[top]; ++i) {
                if (matches(*tree.elements[i], step)) {
                    next.push_back(i);
                }
            }
            reached = tree.ends[top];
        }
        if (step.position != 0) {
            // The rank of each match among its parent's matching children, one parent at a time.
            std::unordered_map<const Data*, std::size_t> rank;
            std::unordered_set<const Data*> ranked;
            std::size_t kept = 0;
            for (const std::size_t index : next) {
                const Data* element = tree.elements[index];
                const Data* parent = element == &root ? nullptr : element->getParent();
                std::size_t position = 1;
                if (parent != nullptr) {
                    if (ranked.insert(parent).second) {
                        std::size_t seen = 0;
                        for (const Data* child : parent->getChildren()) {
                            if (matches(*child, step)) {
                                rank.emplace(child, ++seen);
                            }
                        }
                    }
                    position = rank[element];
                }
                if (position == step.position) {
                    next[kept++] = index;
                }
            }
            next.resize(kept);
        }
        if (next.empty()) {
            return {};
        }
        current.swap(next);
    }
    std::vector<Data*> found;
    found.reserve(current.size());
    for (const std::size_t index : current) {
        found.push_back(tree.elements[index]);
    }
    return found;
}

/// The value in quotes that hold it: single quotes unless the value holds one; empty when it
/// holds both kinds.
std::string quoted(const std::string& value) {
    const char quote = value.find('\'') == std::string::npos  ? '\''
                       : value.find('"') == std::string::npos ? '"'
                                                              : '\0';
    if (quote == '\0') {
        return {};
    }
    std::string text;
    text.reserve(value.size() + 2);
    text += quote;
    text += value;
    text += quote;
    return text;
}

}  // namespace

CommandPath parseCommandPath(const std::string& text) {
    return Parser(text).parse();
}

std::vector<Data*> selectElements(const CommandPath& path, Data& root) {
    if (path.steps.empty()) {
        return {};
    }
    return path.descendant ? selectDescendants(path, root) : selectChildren(path, root);
}

UniquePathNamer::UniquePathNamer(std::string attributeName)
    : attributeName_(std::move(attributeName)) {}

std::string UniquePathNamer::predicateOf(const Data& element) const {
    if (attributeName_.empty()) {
        return {};
    }
    const VelXmlN::AttributeData* attribute = element.findAttribute(attributeName_);
    if (attribute == nullptr) {
        return {};
    }
    const std::string value = quoted(attribute->getData());
    return value.empty() ? value : "[@" + attributeName_ + "=" + value + "]";
}

void UniquePathNamer::nameChildren(const Data& parent) {
    // A step with a predicate competes with the siblings of the same name and value; a bare step
    // with every sibling of the same name.
    std::vector<std::string> keys;
    keys.reserve(parent.getChildren().size());
    std::unordered_map<std::string_view, std::size_t> byName;
    std::unordered_map<std::string, std::size_t> byKey;
    for (const Data* child : parent.getChildren()) {
        ++byName[child->getName()];
        std::string predicate = predicateOf(*child);
        if (!predicate.empty()) {
            predicate.insert(0, child->getName());
            ++byKey[predicate];
        }
        keys.push_back(std::move(predicate));
    }
    std::unordered_map<std::string_view, std::size_t> seenName;
    std::unordered_map<std::string, std::size_t> seenKey;
    std::size_t k = 0;
    for (const Data* child : parent.getChildren()) {
        std::string& key = keys[k++];
        std::string step;
        std::size_t position = 0;
        std::size_t total = 0;
        const std::size_t nameRank = ++seenName[child->getName()];
        if (key.empty()) {
            step = child->getName();
            position = nameRank;
            total = byName[child->getName()];
        } else {
            position = ++seenKey[key];
            total = byKey[key];
            step = std::move(key);
        }
        if (total > 1) {
            step += '[';
            step += std::to_string(position);
            step += ']';
        }
        steps_.emplace(child, std::move(step));
    }
}

const std::string& UniquePathNamer::stepOf(const Data& element) {
    auto found = steps_.find(&element);
    if (found != steps_.end()) {
        return found->second;
    }
    const Data* parent = element.getParent();
    if (parent == nullptr) {
        return steps_.emplace(&element, element.getName() + predicateOf(element)).first->second;
    }
    nameChildren(*parent);
    return steps_.find(&element)->second;
}

std::string UniquePathNamer::pathOf(const Data& element) {
    std::vector<const Data*> chain;
    for (const Data* e = &element; e != nullptr && e != top_; e = e->getParent()) {
        chain.push_back(e);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += '/';
        path += stepOf(**it);
    }
    return path;
}

std::string uniquePath(const Data& element) {
    return UniquePathNamer().pathOf(element);
}

}  // namespace velxmlncli
