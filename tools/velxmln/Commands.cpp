#include "Commands.h"

#include "Input.h"
#include "PathCheck.h"
#include "Text.h"

#include <VelXmlN/AtomicFile.h>
#include <VelXmlN/AttributeExistence.h>
#include <VelXmlN/Compare.h>
#include <VelXmlN/Sax2Interface.h>
#include <VelXmlN/SaxInterface.h>
#include <VelXmlN/XPathNavigator.h>
#include <VelXmlN/kasxmln.h>

#include <iostream>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace velxmlncli {
namespace {

using VelXmlN::Data;
using VelXmlN::Comparing::DifferentItem;

void checkPath(const std::string& path) {
    const std::string problem = findPathProblem(path);
    if (!problem.empty()) {
        throw CommandError("invalid XPath '" + path + "': " + problem);
    }
}

}  // namespace

void writeDocument(const VelXmlN::Tree& tree, const std::string& file) {
    if (tree.getRoot() == nullptr) {
        throw CommandError((file.empty() ? std::string("standard output") : file) +
                           ": the document has no root element; nothing written");
    }
    try {
        if (file.empty()) {
            tree.putToStream(std::cout);
            std::cout.flush();
            if (!std::cout) {
                throw CommandError("cannot write to standard output");
            }
            return;
        }
        VelXmlN::writeFileAtomically(file, [&](std::ostream& out) { tree.putToStream(out); });
    } catch (const kasxmln::CXMLException& error) {
        throw CommandError((file.empty() ? std::string("standard output") : file) + ": " +
                           error.what());
    } catch (const std::runtime_error& error) {
        if (dynamic_cast<const CommandError*>(&error) != nullptr) {
            throw;
        }
        throw CommandError(error.what());
    }
}

namespace {

/// Names the elements of a compared tree by positional paths ("/plant/line[2]/machine"): a step
/// gets its 1-based position among the siblings of its name only when the name is shared. The
/// steps of one parent's children are worked out together, once, so that naming many elements of
/// a wide tree stays linear.
class PathNamer {
  public:
    /// Names the elements below `top`, which itself is "/".
    explicit PathNamer(const Data* top) : top_(top) {}

    std::string pathOf(const Data* element) {
        if (element == nullptr) {
            return "-";
        }
        if (element == top_) {
            return "/";
        }
        std::vector<const Data*> chain;
        for (const Data* e = element; e != nullptr && e != top_; e = e->getParent()) {
            chain.push_back(e);
        }
        std::string path;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            path += '/';
            path += stepOf(*it);
        }
        return path;
    }

  private:
    const std::string& stepOf(const Data* element) {
        auto found = steps_.find(element);
        if (found == steps_.end()) {
            nameChildren(element->getParent());
            found = steps_.find(element);
        }
        return found->second;
    }

    void nameChildren(const Data* parent) {
        std::unordered_map<std::string_view, std::size_t> total;
        for (const Data* child : parent->getChildren()) {
            ++total[child->getName()];
        }
        std::unordered_map<std::string_view, std::size_t> seen;
        for (const Data* child : parent->getChildren()) {
            const std::string_view name = child->getName();
            std::string step = name.empty() ? std::string("text()") : std::string(name);
            const std::size_t position = ++seen[name];
            if (total[name] > 1) {
                step += '[' + std::to_string(position) + ']';
            }
            steps_.emplace(child, std::move(step));
        }
    }

    const Data* top_;
    std::unordered_map<const Data*, std::string> steps_;
};

const char* kindName(DifferentItem::Difference kind) {
    switch (kind) {
        case DifferentItem::NoDifference:
            return "NoDifference";
        case DifferentItem::ChildCount:
            return "ChildCount";
        case DifferentItem::AttributeCount:
            return "AttributeCount";
        case DifferentItem::MissingChild:
            return "MissingChild";
        case DifferentItem::MissingAttribute:
            return "MissingAttribute";
        case DifferentItem::AttributeValue:
            return "AttributeValue";
        case DifferentItem::Content:
            return "Content";
        case DifferentItem::MissingElement:
            return "MissingElement";
    }
    return "Unknown";
}

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
    writeDocument(*tree, options.output);
    return kExitOk;
}

int runSelect(const SelectOptions& options) {
    checkPath(options.path);
    std::unique_ptr<VelXmlN::Tree> tree = readDocument(options.input);
    const VelXmlN::XPathNavigator navigator(tree.get());
    const std::vector<Data*> selected = navigator.select(options.path);
    if (options.count) {
        std::cout << selected.size() << '\n';
        return kExitOk;
    }
    std::string line;
    for (const Data* element : selected) {
        line = options.attribute.empty() ? navigator.buildXPath(element)
                                         : navigator.buildXPath(element, options.attribute);
        line = escapeField(line);
        line += '\t';
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
    PathNamer namerA(topA.get());
    PathNamer namerB(topB.get());
    bool different = false;
    std::string line;
    for (const DifferentItem& item : differences) {
        const DifferentItem::Difference kind = item.getDifference();
        if (options.structure &&
            (kind == DifferentItem::Content || kind == DifferentItem::AttributeValue)) {
            continue;
        }
        different = true;
        line = kindName(kind);
        line += '\t';
        line += escapeField(namerA.pathOf(item.getElementA()));
        if (item.getAttributeA() != nullptr) {
            line += "/@" + escapeField(item.getAttributeA()->getName());
        }
        line += '\t';
        line += escapeField(namerB.pathOf(item.getElementB()));
        if (item.getAttributeB() != nullptr) {
            line += "/@" + escapeField(item.getAttributeB()->getName());
        }
        line += '\n';
        std::cout << line;
    }
    return different ? kExitDifferent : kExitOk;
}

int runScan(const ScanOptions& options) {
    checkInputFile(options.input);
    std::string path = options.path;
    if (!path.empty() && path[0] == '/') {
        path.erase(0, 1);
    }
    if (path.empty()) {
        throw CommandError("invalid scan path '" + options.path + "': no element name");
    }
    const std::uintmax_t size = inputSize(options.input);
    if (showsProgress(size)) {
        std::cerr << "velxmln: scanning " << options.input << " (" << (size >> 20) << " MiB)\n"
                  << std::flush;
    }

    std::vector<std::map<std::string, std::string>> found;
    std::vector<std::string> messages;
    if (options.engine == "node") {
        VelXmlN::SaxInterface scanner(options.input);
        found = scanner.getAttributes(path);
        messages = scanner.getErrorTexts();
        messages.insert(messages.end(), scanner.getExceptions().begin(),
                        scanner.getExceptions().end());
    } else {
        VelXmlN::Sax2Interface scanner(options.input);
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
        std::cerr << "velxmln: " << options.input << ": " << oneLine(message) << '\n';
    }
    return messages.empty() ? kExitOk : kExitError;
}

}  // namespace velxmlncli
