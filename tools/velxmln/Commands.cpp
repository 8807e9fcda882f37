#include "Commands.h"

#include "Input.h"
#include "Output.h"
#include "PathLanguage.h"
#include "Text.h"

#include <VelXmlN/AtomicFile.h>
#include <VelXmlN/AttributeExistence.h>
#include <VelXmlN/Compare.h>
#include <VelXmlN/Sax2Interface.h>
#include <VelXmlN/SaxInterface.h>
#include <VelXmlN/kasxmln.h>

#include <iostream>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace velxmlncli {

void writeDocument(const VelXmlN::Tree& tree, const std::string& target) {
    const std::string name = target == kStandardStream ? std::string("standard output") : target;
    if (tree.getRoot() == nullptr) {
        throw CommandError(name + ": the document has no root element; nothing written");
    }
    try {
        writeOutput(target, [&](std::ostream& out) { tree.putToStream(out); });
    } catch (const kasxmln::CXMLException& error) {
        throw CommandError(name + ": " + error.what());
    }
}

namespace {

using VelXmlN::Data;
using VelXmlN::Comparing::DifferentItem;

/// One field of a difference record: a text, a count, or nothing (the side lacks the item).
struct Field {
    enum class Kind { None, Text, Count };
    Kind kind = Kind::None;
    std::string text;
    std::size_t count = 0;

    static Field of(const std::string& value) { return {Kind::Text, value, 0}; }
    static Field number(std::size_t value) { return {Kind::Count, {}, value}; }
};

/// Prints the records of a comparison, one a line: tab-separated
/// KIND, PATH IN A, PATH IN B, ITEM, A's VALUE, B's VALUE, or one JSON object. Paths are the
/// command's own, which select the element again; ITEM names the attribute ("@name") or text
/// piece ("#text[2]") the record concerns. A missing attribute or child is named on whichever
/// side has it, also where the comparison only counted it.
class DiffPrinter {
  public:
    DiffPrinter(const Data* topA, const Data* topB,
                const std::vector<VelXmlN::Comparing::Ignore const*>& ignores, bool json)
        : ignores_(ignores), json_(json) {
        namerA_.startBelow(topA);
        namerB_.startBelow(topB);
    }

    void print(const std::vector<DifferentItem>& differences, bool structureOnly) {
        // Children and attributes that lack a partner are named once per pair of elements: with
        // the Missing record when there is one, else with the count that shows them.
        std::unordered_set<const Data*> missingChildren;
        std::unordered_set<const Data*> missingAttributes;
        for (const DifferentItem& item : differences) {
            if (item.getDifference() == DifferentItem::MissingChild) {
                missingChildren.insert(item.getElementA());
            } else if (item.getDifference() == DifferentItem::MissingAttribute) {
                missingAttributes.insert(item.getElementA());
            }
        }
        for (const DifferentItem& item : differences) {
            const DifferentItem::Difference kind = item.getDifference();
            const Data* a = item.getElementA();
            const Data* b = item.getElementB();
            switch (kind) {
                case DifferentItem::Content:
                    if (!structureOnly) {
                        printContent(*a, *b);
                    }
                    break;
                case DifferentItem::AttributeValue:
                    if (!structureOnly) {
                        record(kind, a, b, "@" + item.getAttributeA()->getName(),
                               Field::of(item.getAttributeA()->getData()),
                               Field::of(item.getAttributeB()->getData()));
                    }
                    break;
                case DifferentItem::ChildCount:
                    record(kind, a, b, {}, Field::number(a->getChildren().size()),
                           Field::number(b->getChildren().size()));
                    if (missingChildren.count(a) == 0) {
                        printUnpairedChildren(*a, *b);
                    }
                    break;
                case DifferentItem::AttributeCount:
                    record(kind, a, b, {}, Field::number(countAttributes(*a)),
                           Field::number(countAttributes(*b)));
                    if (missingAttributes.count(a) == 0) {
                        printUnpairedAttributes(*a, *b);
                    }
                    break;
                case DifferentItem::MissingChild:
                    printUnpairedChildren(*a, *b);
                    break;
                case DifferentItem::MissingAttribute:
                    printUnpairedAttributes(*a, *b);
                    break;
                case DifferentItem::NoDifference:
                case DifferentItem::MissingElement:
                    record(kind, a, b, {}, {}, {});
                    break;
            }
        }
    }

    bool printedAny() const { return printed_; }

  private:
    bool ignored(const Data& element, const VelXmlN::AttributeData* attribute) const {
        for (const auto* rule : ignores_) {
            if (rule->isIgnored(&element, attribute)) {
                return true;
            }
        }
        return false;
    }

    std::size_t countAttributes(const Data& element) const {
        std::size_t count = 0;
        for (const auto* attribute : element.getAttributes()) {
            count += ignored(element, attribute) ? 0 : 1;
        }
        return count;
    }

    /// "#text", or "#text[n]" when its parent holds more than one text piece. The pieces of one
    /// parent are numbered together, once.
    const std::string& textItem(const Data& piece) {
        auto found = textItems_.find(&piece);
        if (found != textItems_.end()) {
            return found->second;
        }
        const std::vector<Data*>& siblings = piece.getParent()->getChildren();
        std::size_t total = 0;
        for (const Data* sibling : siblings) {
            total += sibling->getName().empty() ? 1 : 0;
        }
        std::size_t position = 0;
        for (const Data* sibling : siblings) {
            if (sibling->getName().empty()) {
                textItems_.emplace(sibling, total > 1 ? "#text[" + std::to_string(++position) + "]"
                                                      : std::string("#text"));
            }
        }
        return textItems_.find(&piece)->second;
    }

    void printContent(const Data& a, const Data& b) {
        if (a.getName().empty()) {
            record(DifferentItem::Content, a.getParent(), b.getParent(), textItem(a),
                   Field::of(a.getData()), Field::of(b.getData()));
        } else {
            record(DifferentItem::Content, &a, &b, {}, Field::of(a.getData()),
                   Field::of(b.getData()));
        }
    }

    /// The children of `a` that have no partner in `b`, then those of `b` without one in `a`:
    /// children pair by name and occurrence, so the n-th child of a name has a partner when the
    /// other side has at least n of that name.
    void printUnpairedChildren(const Data& a, const Data& b) {
        printUnpairedSide(a, b, true);
        printUnpairedSide(b, a, false);
    }

    void printUnpairedSide(const Data& side, const Data& other, bool isA) {
        std::unordered_map<std::string_view, std::size_t> available;
        for (const Data* child : other.getChildren()) {
            ++available[child->getName()];
        }
        std::unordered_map<std::string_view, std::size_t> seen;
        for (const Data* child : side.getChildren()) {
            if (++seen[child->getName()] <= available[child->getName()]) {
                continue;
            }
            const Field value = Field::of(child->getData());
            if (child->getName().empty()) {
                record(DifferentItem::MissingChild, &(isA ? side : other), &(isA ? other : side),
                       textItem(*child), isA ? value : Field(), isA ? Field() : value);
            } else {
                record(DifferentItem::MissingChild, isA ? child : nullptr, isA ? nullptr : child,
                       {}, isA ? value : Field(), isA ? Field() : value);
            }
        }
    }

    /// The attributes of `a` without a partner of the same name in `b`, then those of `b`
    /// without one in `a`; attributes that a rule ignores take no part.
    void printUnpairedAttributes(const Data& a, const Data& b) {
        for (const auto* attribute : a.getAttributes()) {
            if (b.findAttribute(attribute->getName()) == nullptr && !ignored(a, attribute)) {
                record(DifferentItem::MissingAttribute, &a, &b, "@" + attribute->getName(),
                       Field::of(attribute->getData()), Field());
            }
        }
        for (const auto* attribute : b.getAttributes()) {
            if (a.findAttribute(attribute->getName()) == nullptr && !ignored(b, attribute)) {
                record(DifferentItem::MissingAttribute, &a, &b, "@" + attribute->getName(), Field(),
                       Field::of(attribute->getData()));
            }
        }
    }

    static void appendField(std::string& line, const Field& field, bool json) {
        switch (field.kind) {
            case Field::Kind::None:
                line += json ? "null" : "";
                break;
            case Field::Kind::Text:
                line += json ? jsonString(field.text) : escapeField(field.text);
                break;
            case Field::Kind::Count:
                line += std::to_string(field.count);
                break;
        }
    }

    std::string pathField(UniquePathNamer& namer, const Data* element) {
        if (element == nullptr) {
            return json_ ? "null" : "-";
        }
        const std::string path = namer.pathOf(*element);
        return json_ ? jsonString(path) : escapeField(path);
    }

    void record(DifferentItem::Difference kind, const Data* a, const Data* b,
                const std::string& item, const Field& valueA, const Field& valueB) {
        printed_ = true;
        line_.clear();
        const Field itemField = item.empty() ? Field() : Field::of(item);
        if (json_) {
            line_ += "{\"kind\":\"";
            line_ += DifferentItem::getDifferenceName(kind);
            line_ += "\",\"pathA\":";
            line_ += pathField(namerA_, a);
            line_ += ",\"pathB\":";
            line_ += pathField(namerB_, b);
            line_ += ",\"item\":";
            appendField(line_, itemField, true);
            line_ += ",\"a\":";
            appendField(line_, valueA, true);
            line_ += ",\"b\":";
            appendField(line_, valueB, true);
            line_ += "}\n";
        } else {
            line_ += DifferentItem::getDifferenceName(kind);
            line_ += '\t';
            line_ += pathField(namerA_, a);
            line_ += '\t';
            line_ += pathField(namerB_, b);
            line_ += '\t';
            appendField(line_, itemField, false);
            line_ += '\t';
            appendField(line_, valueA, false);
            line_ += '\t';
            appendField(line_, valueB, false);
            line_ += '\n';
        }
        std::cout << line_;
    }

    const std::vector<VelXmlN::Comparing::Ignore const*>& ignores_;
    bool json_;
    bool printed_ = false;
    UniquePathNamer namerA_;
    UniquePathNamer namerB_;
    std::unordered_map<const Data*, std::string> textItems_;
    std::string line_;
};

/// Moves the root of `tree` below a nameless element, so that the comparison, which looks at what
/// lies below the two elements it is given, includes the roots themselves.
std::unique_ptr<Data> adoptRoot(VelXmlN::Tree& tree) {
    auto top = std::make_unique<Data>();
    std::unique_ptr<Data> root(tree.getRoot());
    tree.setRoot(nullptr);
    top->addChild(std::move(root));
    return top;
}

}  // namespace

int runFormat(const FormatOptions& options) {
    std::unique_ptr<VelXmlN::Tree> tree = readDocument(options.input);
    tree->setEncodeSkip(static_cast<VelXmlN::EncodeSkip>(options.encodeSkip));
    writeDocument(*tree, options.output.empty() ? std::string(kStandardStream) : options.output);
    return kExitOk;
}

int runSelect(const SelectOptions& options) {
    const CommandPath path = parseCommandPath(options.path);
    std::unique_ptr<VelXmlN::Tree> tree = readDocument(options.input);
    const std::vector<Data*> selected = selectElements(path, *tree->getRoot());
    if (options.count) {
        std::cout << selected.size() << '\n';
        return kExitOk;
    }
    UniquePathNamer namer(options.attribute);
    std::string line;
    for (const Data* element : selected) {
        line.clear();
        if (!options.values) {
            line = escapeField(namer.pathOf(*element));
            line += '\t';
        }
        line += escapeField(element->getData());
        line += '\n';
        std::cout << line;
    }
    return kExitOk;
}

int runDiff(const DiffOptions& options) {
    std::vector<VelXmlN::Comparing::AttributeExistence> rules;
    rules.reserve(options.ignores.size());
    for (const std::string& ignore : options.ignores) {
        const std::size_t at = ignore.find('@');
        if (at == 0 || at == std::string::npos || at + 1 == ignore.size() ||
            ignore.find('@', at + 1) != std::string::npos) {
            throw CommandError("invalid --ignore '" + ignore + "': expected ELEMENT@ATTRIBUTE");
        }
        rules.emplace_back(ignore.substr(0, at), ignore.substr(at + 1));
    }
    std::vector<VelXmlN::Comparing::Ignore const*> ignores;
    for (const auto& rule : rules) {
        ignores.push_back(&rule);
    }

    std::unique_ptr<VelXmlN::Tree> treeA = readDocument(options.inputA);
    std::unique_ptr<VelXmlN::Tree> treeB = readDocument(options.inputB);
    const std::unique_ptr<Data> topA = adoptRoot(*treeA);
    const std::unique_ptr<Data> topB = adoptRoot(*treeB);

    const std::vector<DifferentItem> differences =
        VelXmlN::Compare::findDifferences(topA.get(), topB.get(), ignores);
    DiffPrinter printer(topA.get(), topB.get(), ignores, options.json);
    printer.print(differences, options.structure);
    return printer.printedAny() ? kExitDifferent : kExitOk;
}

int runScan(const ScanOptions& options) {
    std::string path = options.path;
    if (!path.empty() && path[0] == '/') {
        path.erase(0, 1);
    }
    if (path.empty()) {
        throw CommandError("invalid scan path '" + options.path + "': no element name");
    }
    // Opened once, here or by the scanner, never checked by one open and scanned by another: a
    // FIFO's writer writes once.
    const ScanInput input(options.input);
    const std::uintmax_t size = input.size();
    if (showsProgress(size)) {
        std::cerr << "velxmln: scanning " << inputName(options.input) << " (" << (size >> 20)
                  << " MiB)\n"
                  << std::flush;
    }

    std::vector<std::map<std::string, std::string>> found;
    std::vector<std::string> messages;
    if (options.engine == "node") {
        VelXmlN::SaxInterface scanner(input.path());
        found = scanner.getAttributes(path);
        messages = scanner.getErrorTexts();
        messages.insert(messages.end(), scanner.getExceptions().begin(),
                        scanner.getExceptions().end());
    } else {
        VelXmlN::Sax2Interface scanner(input.path());
        found = scanner.getAttributes(path);
        messages = scanner.getErrorTexts();
        messages.insert(messages.end(), scanner.getExceptions().begin(),
                        scanner.getExceptions().end());
    }

    std::string line;
    for (const auto& attributes : found) {
        line.clear();
        if (options.json) {
            line += '{';
            for (const auto& [name, value] : attributes) {
                if (line.size() > 1) {
                    line += ',';
                }
                line += jsonString(name);
                line += ':';
                line += jsonString(value);
            }
            line += '}';
        } else {
            for (const auto& [name, value] : attributes) {
                if (!line.empty()) {
                    line += '\t';
                }
                line += escapeField(name);
                line += '=';
                line += escapeField(value);
            }
        }
        line += '\n';
        std::cout << line;
    }
    std::cout.flush();
    for (const std::string& message : messages) {
        std::cerr << "velxmln: " << inputName(options.input) << ": "
                  << oneLine(input.message(message)) << '\n';
    }
    return messages.empty() ? kExitOk : kExitError;
}

}  // namespace velxmlncli
