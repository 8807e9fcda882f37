// Path strings for elements, and selection of elements by path.
#include <VelXmlN/Tools.h>
#include <VelXmlN/XPathNavigator.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "elements/FirstAttribute.h"
#include "elements/TreeWalk.h"

namespace VelXmlN {
namespace {

constexpr std::size_t npos = std::string_view::npos;

/// The non-empty pieces of `path` between "/" characters, in order, as views into `path`. A "/"
/// inside a quoted predicate value belongs to the value, so that values such as "text/plain" or
/// "/usr/share" can be selected: within "[...]", the first "'" after an "=" opens the value and
/// the next "'" closes it, as the step matching reads them.
std::vector<std::string_view> splitSteps(std::string_view path) {
    std::vector<std::string_view> steps;
    enum class Where { Name, Predicate, AfterEquals, Value };
    Where where = Where::Name;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        const char c = i < path.size() ? path[i] : '/';
        switch (where) {
            case Where::Name:
                if (c == '[') {
                    where = Where::Predicate;
                }
                break;
            case Where::Predicate:
            case Where::AfterEquals:
                if (c == ']') {
                    where = Where::Name;
                } else if (c == '=') {
                    where = Where::AfterEquals;
                } else if (c == '\'' && where == Where::AfterEquals) {
                    where = Where::Value;
                }
                break;
            case Where::Value:
                if (c == '\'') {
                    where = Where::Predicate;
                }
                break;
        }
        if (c == '/' && (where != Where::Value || i == path.size())) {
            if (i > start) {
                steps.push_back(path.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    return steps;
}

/// One step of a child-form path: a name and an optional attribute test, as views into the path.
struct Step {
    enum class Test {
        None,       // any element of the name
        Attribute,  // the element's first attribute named `attribute` must hold `value`
        Never       // a malformed predicate: no element matches
    };
    std::string_view name;
    std::string_view attribute;
    std::string_view value;
    Test test = Test::None;
};

/// Cuts a step into name and predicate by single-character searches, each starting where the
/// previous one found its character: "[" (p0), "@" (p1), "=" (p2), "'" (p3) and "'" (p4). The
/// attribute name lies strictly between p1 and p2, the value strictly between p3 and p4; what
/// follows p4 is not read.
Step parseStep(std::string_view text) {
    Step step;
    const std::size_t p0 = text.find('[');
    if (p0 == npos) {
        step.name = text;
        return step;
    }
    step.name = text.substr(0, p0);
    const std::size_t p1 = text.find('@', p0);
    const std::size_t p2 = p1 == npos ? npos : text.find('=', p1);
    const std::size_t p3 = p2 == npos ? npos : text.find('\'', p2);
    const std::size_t p4 = p3 == npos ? npos : text.find('\'', p3 + 1);
    if (p4 == npos) {
        // Without all four marks there is no attribute and value to test against; rather than
        // guess, such a step selects nothing, like any other name that matches nothing.
        step.test = Step::Test::Never;
        return step;
    }
    step.attribute = text.substr(p1 + 1, p2 - p1 - 1);
    step.value = text.substr(p3 + 1, p4 - p3 - 1);
    // "[@id='']" and "[@='1']" leave the step unfiltered: every element of the name matches.
    if (!step.attribute.empty() && !step.value.empty()) {
        step.test = Step::Test::Attribute;
    }
    return step;
}

bool matches(const Data& element, const Step& step) {
    if (element.getName() != step.name) {
        return false;
    }
    switch (step.test) {
        case Step::Test::None:
            return true;
        case Step::Test::Never:
            return false;
        case Step::Test::Attribute:
            break;
    }
    // Only the first attribute of that name counts, as Data::findAttribute would find it; looked
    // up by the view, without making a string per element.
    const AttributeData* attribute =
        detail::firstAttribute(element.getAttributes(), step.attribute);
    return attribute != nullptr && attribute->getData() == step.value;
}

/// The first step is matched against `start`, each further one against the children of the
/// elements matched so far. Expanding and filtering happen in one pass, so each element is looked
/// at once per step and the unmatched children of a level are never collected.
std::vector<Data*> selectChildren(Data* start, const std::vector<std::string_view>& pieces) {
    std::vector<Step> steps;
    steps.reserve(pieces.size());
    for (std::string_view piece : pieces) {
        steps.push_back(parseStep(piece));
        if (steps.back().test == Step::Test::Never) {
            return {};
        }
    }
    std::vector<Data*> current;
    if (!matches(*start, steps.front())) {
        return current;
    }
    current.push_back(start);
    std::vector<Data*> next;
    for (std::size_t i = 1; i < steps.size(); ++i) {
        next.clear();
        for (const Data* parent : current) {
            for (Data* child : parent->getChildren()) {
                if (matches(*child, steps[i])) {
                    next.push_back(child);
                }
            }
        }
        if (next.empty()) {
            return next;
        }
        current.swap(next);
    }
    return current;
}

/// The subtree of the start element laid out in pre-order: the subtree of elements[i] is the
/// index range [i, ends[i]).
struct PreOrder {
    std::vector<Data*> elements;
    std::vector<std::size_t> ends;
};

PreOrder layOut(Data* root) {
    PreOrder layout;
    layout.elements.push_back(root);
    layout.ends.push_back(0);
    // (index of an element, position of its next child to visit); grows with depth, on the heap.
    std::vector<std::pair<std::size_t, std::size_t>> stack;
    stack.emplace_back(0, 0);
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

/// True when the subtrees of `list` follow one another without overlapping, in pre-order.
bool disjointInOrder(const std::vector<std::size_t>& list, const std::vector<std::size_t>& ends) {
    for (std::size_t i = 1; i < list.size(); ++i) {
        if (list[i] < ends[list[i - 1]]) {
            return false;
        }
    }
    return true;
}

/// Each step searches the subtree of every element found by the step before, in list order, and
/// lists an element once for every such subtree it lies in. Re-walking nested subtrees would cost
/// the sum of their sizes (quadratic on a chain); instead the tree is laid out in pre-order once,
/// where every subtree is a contiguous range, and a nested list takes its matches as slices of one
/// sorted match list. The work per step is then linear in the tree plus the size of the result.
std::vector<Data*> selectDescendants(Data* start, const std::vector<std::string_view>& steps) {
    if (steps.size() == 1) {
        std::vector<Data*> found;
        const std::string_view name = steps.front();
        detail::findPreOrder(start, [&](const Data* element) {
            if (element->getName() == name) {
                // The walk hands out const views of elements the caller holds as mutable.
                found.push_back(const_cast<Data*>(element));
            }
            return false;
        });
        return found;
    }

    const PreOrder tree = layOut(start);
    std::vector<std::size_t> current{0};
    std::vector<std::size_t> next;
    std::vector<std::size_t> matching;
    for (std::string_view name : steps) {
        next.clear();
        if (disjointInOrder(current, tree.ends)) {
            for (std::size_t top : current) {
                for (std::size_t i = top; i < tree.ends[top]; ++i) {
                    if (tree.elements[i]->getName() == name) {
                        next.push_back(i);
                    }
                }
            }
        } else {
            matching.clear();
            for (std::size_t i = 0; i < tree.elements.size(); ++i) {
                if (tree.elements[i]->getName() == name) {
                    matching.push_back(i);
                }
            }
            for (std::size_t top : current) {
                auto it = std::lower_bound(matching.begin(), matching.end(), top);
                for (; it != matching.end() && *it < tree.ends[top]; ++it) {
                    next.push_back(*it);
                }
            }
        }
        if (next.empty()) {
            return {};
        }
        current.swap(next);
    }

    std::vector<Data*> found;
    found.reserve(current.size());
    for (std::size_t index : current) {
        found.push_back(tree.elements[index]);
    }
    return found;
}

/// The path of `element`, with a predicate for `attributeName` on every step whose element has
/// that attribute when `attributeName` is given. The chain is collected first and the text built
/// front to back in one buffer, so deep elements cost linear time rather than one prepend per
/// level.
std::string pathOf(const Data& element, const std::string* attributeName) {
    std::vector<std::pair<const Data*, const AttributeData*>> chain;
    std::size_t size = 0;
    for (const Data* step = &element; step != nullptr; step = step->getParent()) {
        const AttributeData* attribute =
            attributeName != nullptr ? step->findAttribute(*attributeName) : nullptr;
        size += 1 + step->getName().size();
        if (attribute != nullptr) {
            size += 6 + attributeName->size() + attribute->getData().size();
        }
        chain.emplace_back(step, attribute);
    }
    std::string path;
    path.reserve(size);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += '/';
        path += it->first->getName();
        if (it->second != nullptr) {
            path += "[@";
            path += *attributeName;
            path += "='";
            path += it->second->getData();
            path += "']";
        }
    }
    return path;
}

}  // namespace

std::string XPathNavigator::makeXPath(Data const& element) {
    return pathOf(element, nullptr);
}

std::string XPathNavigator::buildXPath(Data const* element) const {
    return element != nullptr ? pathOf(*element, nullptr) : std::string();
}

std::string XPathNavigator::buildXPath(Data const* element,
                                       std::string const& attributeName) const {
    return element != nullptr ? pathOf(*element, &attributeName) : std::string();
}

std::vector<Data*> XPathNavigator::select(std::string const& path) const {
    if (contextElement == nullptr) {
        return {};
    }
    const bool descendant = Tools::startsWith(path, "//", true);
    const std::vector<std::string_view> steps = splitSteps(path);
    if (steps.empty()) {
        return {contextElement};
    }
    return descendant ? selectDescendants(contextElement, steps)
                      : selectChildren(contextElement, steps);
}

}  // namespace VelXmlN
