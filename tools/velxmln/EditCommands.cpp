// set, delete and add: edits that change the bytes of what they edit and keep every other byte of
// the file, or, with --reformat, edit the tree and write it in the library's layout.
#include "Commands.h"
#include "EditLayout.h"
#include "Input.h"
#include "Output.h"
#include "PathLanguage.h"

#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <utility>

namespace velxmlncli {
namespace {

using VelXmlN::Data;

/// The elements `path` selects, each once, in document order; none is an error.
std::vector<Data*> selectOrRefuse(SourceDocument& document, const std::string& text,
                                  const CommandPath& path) {
    std::vector<Data*> selected = selectElements(path, *document.tree().getRoot());
    if (selected.empty()) {
        throw CommandError(document.file() + ": XPath '" + text +
                           "' selects no element; nothing written");
    }
    return selected;
}

/// NAME=VALUE options, the last value of a name winning, in the order the names first came.
std::vector<std::pair<std::string, std::string>> parseAssignments(
    const std::vector<std::string>& options) {
    std::vector<std::pair<std::string, std::string>> assignments;
    std::map<std::string, std::size_t> seen;
    for (const std::string& option : options) {
        const std::size_t equals = option.find('=');
        if (equals == 0 || equals == std::string::npos) {
            throw CommandError("invalid --attr '" + option + "': expected NAME=VALUE");
        }
        std::string name = option.substr(0, equals);
        std::string value = option.substr(equals + 1);
        const auto [found, added] = seen.emplace(name, assignments.size());
        if (added) {
            assignments.emplace_back(std::move(name), std::move(value));
        } else {
            assignments[found->second].second = std::move(value);
        }
    }
    return assignments;
}

/// Refuses a document that cannot be edited byte for byte, saying what rewriting it would lose.
void requireEditable(const SourceDocument& document) {
    const std::string& why = document.notEditable();
    if (why.empty()) {
        return;
    }
    const bool encoding = why.compare(0, 16, "it is encoded in") == 0;
    throw CommandError(document.file() + ": cannot keep the file as it is (" + why +
                       "): rewriting it would drop its comments, processing instructions, "
                       "DOCTYPE and layout" +
                       (encoding ? std::string(" and make it UTF-8") : std::string()) +
                       "; give --reformat to rewrite it anyway");
}

/// Checks that the edited bytes are still a document, then writes them to `target` ("-":
/// standard output) as a whole or not at all.
void finish(const SourceDocument& document, const ByteEdits& edits, const std::string& target) {
    const std::string edited = edits.apply(document.bytes());
    checkReadsBack(edited, document.file());
    writeOutput(target, [&edited](std::ostream& out) {
        out.write(edited.data(), static_cast<std::streamsize>(edited.size()));
    });
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/// The span of `bytes` in [begin, end) without the white space at either end.
ByteSpan trimmed(const std::string& bytes, ByteSpan span) {
    while (span.begin < span.end && isSpace(bytes[span.begin])) {
        ++span.begin;
    }
    while (span.end > span.begin && isSpace(bytes[span.end - 1])) {
        --span.end;
    }
    return span;
}

/// The new content of an element whose text becomes `text` (escaped), given the span of its old
/// text or content. The library reads every byte of that span but spaces at the ends as the text,
/// so all of it is replaced; the comments and processing instructions before the first characters
/// and after the last ones are kept in front of and behind the new text, those between characters
/// go with them.
std::string rebuiltText(const std::string& bytes, ByteSpan span, const std::string& text) {
    std::string before;
    std::string after;
    bool characters = false;
    std::size_t i = span.begin;
    while (i < span.end) {
        std::size_t next = 0;
        bool markup = true;
        if (bytes.compare(i, 4, "<!--") == 0) {
            next = bytes.find("-->", i + 4) + 3;
        } else if (bytes.compare(i, 2, "<?") == 0) {
            next = bytes.find("?>", i + 2) + 2;
        } else if (bytes.compare(i, 9, "<![CDATA[") == 0) {
            next = bytes.find("]]>", i + 9) + 3;
            markup = false;
        } else {
            next = std::min(bytes.find('<', i), span.end);
            const ByteSpan filled = trimmed(bytes, ByteSpan{i, next});
            markup = filled.begin == filled.end;
            if (markup) {
                i = next;
                continue;
            }
        }
        if (markup) {
            (characters ? after : before).append(bytes, i, next - i);
        } else {
            characters = true;
            after.clear();
        }
        i = next;
    }
    return before + text + after;
}

/// Where the "/>" of an empty-element tag begins, with the white space before it.
std::size_t emptyTagClose(const std::string& bytes, const ElementPlace& place) {
    std::size_t close = place.startTag.end - 2;
    while (isSpace(bytes[close - 1])) {
        --close;
    }
    return close;
}

std::string nameOf(const std::string& bytes, const ElementPlace& place) {
    return bytes.substr(place.name.begin, place.name.end - place.name.begin);
}

/// Sets the text of an element without child elements.
void setText(const SourceDocument& document, const ElementPlace& place, const std::string& text,
             ByteEdits& edits) {
    const std::string& bytes = document.bytes();
    if (place.isEmptyTag()) {
        if (!text.empty()) {
            edits.replace(ByteSpan{emptyTagClose(bytes, place), place.startTag.end},
                          ">" + text + "</" + nameOf(bytes, place) + ">");
        }
        return;
    }
    const ByteSpan content{place.startTag.end, place.endTag.begin};
    if (place.texts == 0 && text.empty()) {
        return;
    }
    edits.replace(content, rebuiltText(bytes, content, text));
}

/// Sets attribute `name` (UTF-8) of an element to the escaped `value`.
void setAttribute(const SourceDocument& document, const ElementPlace& place,
                  const std::string& name, const std::string& value, ByteEdits& edits) {
    const std::string& bytes = document.bytes();
    for (const AttributePlace& attribute : place.attributes) {
        if (bytes.compare(attribute.name.begin, attribute.name.end - attribute.name.begin, name) ==
            0) {
            edits.replace(attribute.value, escapeAttribute(value, attribute.quote));
            return;
        }
    }
    // A new attribute follows the last one, in its quotes and after the same white space (a line
    // break and indentation when the attributes stand on lines of their own).
    std::size_t at = place.name.end;
    std::string space = " ";
    char quote = document.quote();
    if (!place.attributes.empty()) {
        const AttributePlace& last = place.attributes.back();
        at = last.value.end + 1;
        space = bytes.substr(last.space.begin, last.space.end - last.space.begin);
        quote = place.attributes.front().quote;
    }
    edits.replace(ByteSpan{at, at},
                  space + name + '=' + quote + escapeAttribute(value, quote) + quote);
}

/// The message for an edit that --reformat would make anyway.
CommandError refusal(const SourceDocument& document, const std::string& what,
                     const std::string& reformatted) {
    return CommandError(document.file() + ": " + what + "; nothing written (give --reformat to " +
                        reformatted + " anyway)");
}

}  // namespace

int runSet(const SetOptions& options) {
    const CommandPath path = parseCommandPath(options.path);
    if (options.texts.empty() && options.attributes.empty()) {
        throw CommandError("set: nothing to change; give --text or --attr");
    }
    const auto attributes = parseAssignments(options.attributes);

    const std::string output = editTarget("set", options.input, options.output);
    SourceDocument document(options.input);
    if (!options.reformat) {
        requireEditable(document);
    }
    const std::vector<Data*> selected = selectOrRefuse(document, options.path, path);
    if (options.reformat) {
        for (Data* element : selected) {
            if (!options.texts.empty()) {
                element->setData(options.texts.front());
            }
            for (const auto& [name, value] : attributes) {
                element->setAttribute(name, value);
            }
        }
        writeDocument(document.tree(), output);
        return kExitOk;
    }

    std::vector<std::pair<std::string, std::string>> written;
    for (const auto& [name, value] : attributes) {
        written.emplace_back(xmlName(name, document.file()), value);
    }
    const std::string text =
        options.texts.empty() ? std::string() : escapeText(options.texts.front());
    ByteEdits edits;
    for (const Data* element : selected) {
        const ElementPlace& place = document.placeOf(element);
        if (!options.texts.empty()) {
            if (place.children > 0) {
                throw refusal(document,
                              "set --text: " + uniquePath(*element) +
                                  " has child elements, which a text would be mixed into",
                              "set it");
            }
            setText(document, place, text, edits);
        }
        for (const auto& [name, value] : written) {
            setAttribute(document, place, name, value, edits);
        }
    }
    finish(document, edits, output);
    return kExitOk;
}

int runDelete(const DeleteOptions& options) {
    const CommandPath path = parseCommandPath(options.path);
    for (const std::string& name : options.attributes) {
        if (name.empty() || name.find('=') != std::string::npos) {
            throw CommandError("invalid --attr '" + name + "': expected an attribute name");
        }
    }

    const std::string output = editTarget("delete", options.input, options.output);
    SourceDocument document(options.input);
    if (!options.reformat) {
        requireEditable(document);
    }
    std::vector<Data*> selected = selectOrRefuse(document, options.path, path);
    Data* root = document.tree().getRoot();
    if (options.attributes.empty()) {
        for (const Data* element : selected) {
            if (element == root) {
                throw CommandError(document.file() +
                                   ": delete: the root element cannot be deleted; nothing written");
            }
        }
        // An element inside another selected one goes with it.
        const std::set<const Data*> chosen(selected.begin(), selected.end());
        std::vector<Data*> outermost;
        for (Data* element : selected) {
            bool inside = false;
            for (const Data* up = element->getParent(); up != nullptr && !inside;
                 up = up->getParent()) {
                inside = chosen.count(up) != 0;
            }
            if (!inside) {
                outermost.push_back(element);
            }
        }
        selected.swap(outermost);
    } else {
        bool any = false;
        for (const Data* element : selected) {
            for (const std::string& name : options.attributes) {
                any = any || element->findAttribute(name) != nullptr;
            }
        }
        if (!any) {
            throw CommandError(document.file() + ": delete: no selected element has attribute '" +
                               options.attributes.front() + "'; nothing written");
        }
    }

    if (options.reformat) {
        for (Data* element : selected) {
            if (options.attributes.empty()) {
                element->getParent()->removeChild(element);
                const std::unique_ptr<Data> gone(element);
            } else {
                for (const std::string& name : options.attributes) {
                    element->removeAttribute(name);
                }
            }
        }
        writeDocument(document.tree(), output);
        return kExitOk;
    }

    const std::string& bytes = document.bytes();
    ByteEdits edits;
    for (const Data* element : selected) {
        const ElementPlace& place = document.placeOf(element);
        if (!options.attributes.empty()) {
            for (const std::string& wanted : options.attributes) {
                const std::string name = xmlName(wanted, document.file());
                for (const AttributePlace& attribute : place.attributes) {
                    if (bytes.compare(attribute.name.begin,
                                      attribute.name.end - attribute.name.begin, name) == 0) {
                        edits.replace(ByteSpan{attribute.space.begin, attribute.value.end + 1},
                                      std::string());
                    }
                }
            }
            continue;
        }
        ByteSpan gone{place.startTag.begin,
                      place.isEmptyTag() ? place.startTag.end : place.endTag.end};
        // An element on a line of its own takes the line with it.
        std::size_t lineBegin = gone.begin;
        while (lineBegin > 0 && (bytes[lineBegin - 1] == ' ' || bytes[lineBegin - 1] == '\t')) {
            --lineBegin;
        }
        std::size_t lineEnd = gone.end;
        while (lineEnd < bytes.size() && (bytes[lineEnd] == ' ' || bytes[lineEnd] == '\t')) {
            ++lineEnd;
        }
        if (bytes.compare(lineEnd, 2, "\r\n") == 0) {
            lineEnd += 2;
        } else if (lineEnd < bytes.size() && bytes[lineEnd] == '\n') {
            ++lineEnd;
        } else {
            lineEnd = std::string::npos;
        }
        if ((lineBegin == 0 || bytes[lineBegin - 1] == '\n') && lineEnd != std::string::npos) {
            gone = ByteSpan{lineBegin, lineEnd};
        }
        edits.replace(gone, std::string());
    }
    finish(document, edits, output);
    return kExitOk;
}

int runAdd(const AddOptions& options) {
    const CommandPath path = parseCommandPath(options.path);
    const auto attributes = parseAssignments(options.attributes);

    const std::string output = editTarget("add", options.input, options.output);
    SourceDocument document(options.input);
    if (!options.reformat) {
        requireEditable(document);
    }
    const std::vector<Data*> selected = selectOrRefuse(document, options.path, path);
    if (options.reformat) {
        for (Data* element : selected) {
            Data* child = element->createChild(options.name);
            for (const auto& [name, value] : attributes) {
                child->setAttribute(name, value);
            }
            if (!options.texts.empty()) {
                child->setData(options.texts.front());
            }
        }
        writeDocument(document.tree(), output);
        return kExitOk;
    }

    const std::string& bytes = document.bytes();
    const std::string name = xmlName(options.name, document.file());
    std::vector<std::pair<std::string, std::string>> written;
    for (const auto& [attribute, value] : attributes) {
        written.emplace_back(xmlName(attribute, document.file()), value);
    }
    const std::string text =
        options.texts.empty() ? std::string() : escapeText(options.texts.front());
    ByteEdits edits;
    for (const Data* element : selected) {
        const std::size_t index = document.indexOf(element);
        const ElementPlace& place = document.place(index);
        if (place.texts > 0) {
            throw refusal(document,
                          "add: " + uniquePath(*element) +
                              " holds a text, which an element would be mixed into",
                          "add it");
        }
        // The new element takes the parent's quotes, else those of the document.
        const char quote =
            place.attributes.empty() ? document.quote() : place.attributes.front().quote;
        std::string added = '<' + name;
        for (const auto& [attribute, value] : written) {
            added += ' ' + attribute + '=' + quote + escapeAttribute(value, quote) + quote;
        }
        added += text.empty() ? "/>" : '>' + text + "</" + name + '>';

        bool parentAtStart = false;
        const std::string parentIndent = document.indentOf(index, parentAtStart);
        const std::string& lineEnd = document.lineEnd();
        if (place.children > 0) {
            // After the last child, or after the comments that follow it, on a line of its own
            // with the last child's indentation when that has a line of its own.
            bool childAtStart = false;
            const std::string childIndent = document.indentOf(place.lastChild, childAtStart);
            const ByteSpan filled =
                trimmed(bytes, ByteSpan{place.startTag.end, place.endTag.begin});
            edits.replace(ByteSpan{filled.end, filled.end},
                          (childAtStart ? lineEnd + childIndent : std::string()) + added);
            continue;
        }
        const std::string childLine =
            parentAtStart ? lineEnd + parentIndent + document.indentStep() : std::string();
        const std::string closingLine = parentAtStart ? lineEnd + parentIndent : std::string();
        if (place.isEmptyTag()) {
            edits.replace(
                ByteSpan{emptyTagClose(bytes, place), place.startTag.end},
                '>' + childLine + added + closingLine + "</" + nameOf(bytes, place) + '>');
            continue;
        }
        const ByteSpan content{place.startTag.end, place.endTag.begin};
        const ByteSpan filled = trimmed(bytes, content);
        if (filled.begin == filled.end) {
            edits.replace(content, childLine + added + closingLine);
        } else {
            edits.replace(ByteSpan{filled.end, filled.end}, childLine + added);
        }
    }
    finish(document, edits, output);
    return kExitOk;
}

}  // namespace velxmlncli
