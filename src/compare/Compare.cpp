#include <VelXmlN/Compare.h>

#include <cstddef>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "elements/FirstAttribute.h"

namespace VelXmlN {

using Comparing::DifferentItem;
using Difference = DifferentItem::Difference;

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// Up to this many children (or attributes) on each side partners are found by scanning, which is
// cheaper than building an index.
constexpr std::size_t kScanLimit = 32;

// One element pair whose children are being walked. Only pairs whose A side has children get a
// frame, so leaves cost no stack space.
struct Frame {
    const Data* a;
    const Data* b;
    std::size_t next;      // index of the next child of `a` to visit
    std::size_t countA;    // children of `a` that no rule ignores
    std::size_t matched;   // children of `a` that found a partner and no rule ignores
    std::size_t partners;  // offset of a's partners in the shared list, or kNone when the i-th
                           // child of `a` pairs with the i-th child of `b`
};

// Finds the partner of every child of `a`: the n-th child of `a` bearing a name pairs with the
// n-th child of `b` bearing it, or with nothing. Returns kNone when each child pairs with the
// child at the same position of `b`; otherwise appends one entry per child of `a` (null for no
// partner) to `partners` and returns the offset of the first.
std::size_t pairChildren(const Data* a, const Data* b, std::vector<const Data*>& partners) {
    const std::vector<Data*>& childrenA = a->getChildren();
    const std::vector<Data*>& childrenB = b->getChildren();
    // When the names of A's children match B's position by position, every child's occurrence
    // number is the same on both sides, so the pairing is positional. Equal trees always go here.
    if (childrenA.size() <= childrenB.size()) {
        std::size_t i = 0;
        while (i < childrenA.size() && childrenA[i]->getName() == childrenB[i]->getName()) {
            ++i;
        }
        if (i == childrenA.size()) {
            return kNone;
        }
    }

    const std::size_t offset = partners.size();
    partners.resize(offset + childrenA.size(), nullptr);
    if (childrenA.size() <= kScanLimit && childrenB.size() <= kScanLimit) {
        for (std::size_t i = 0; i < childrenA.size(); ++i) {
            const std::string& name = childrenA[i]->getName();
            std::size_t occurrence = 1;
            for (std::size_t j = 0; j < i; ++j) {
                occurrence += childrenA[j]->getName() == name ? 1 : 0;
            }
            for (const Data* candidate : childrenB) {
                if (candidate->getName() == name && --occurrence == 0) {
                    partners[offset + i] = candidate;
                    break;
                }
            }
        }
        return offset;
    }

    // The index: for each name the position of its next unpaired occurrence in B, and for each
    // position of B the position of the following occurrence of the same name.
    struct Cursor {
        std::size_t position = kNone;
    };
    std::unordered_map<std::string_view, Cursor> cursors;
    cursors.reserve(childrenB.size());
    std::vector<std::size_t> following(childrenB.size());
    for (std::size_t j = childrenB.size(); j-- > 0;) {
        Cursor& cursor = cursors[childrenB[j]->getName()];
        following[j] = cursor.position;
        cursor.position = j;
    }
    for (std::size_t i = 0; i < childrenA.size(); ++i) {
        const auto found = cursors.find(childrenA[i]->getName());
        if (found == cursors.end() || found->second.position == kNone) {
            continue;
        }
        const std::size_t position = found->second.position;
        partners[offset + i] = childrenB[position];
        found->second.position = following[position];
    }
    return offset;
}

}  // namespace

Compare::Compare() : compareContent(false), differentItems(nullptr) {}

Compare::~Compare() = default;

void Compare::setIgnores(std::vector<Comparing::Ignore const*> const& rules) {
    ignores = rules;
}

bool Compare::isElementIgnored(Data const* element) const {
    for (const Comparing::Ignore* rule : ignores) {
        if (rule != nullptr && rule->isIgnored(element)) {
            return true;
        }
    }
    return false;
}

bool Compare::isArgumentIgnored(Data const* element, AttributeData const* attribute) const {
    for (const Comparing::Ignore* rule : ignores) {
        if (rule != nullptr && rule->isIgnored(element, attribute)) {
            return true;
        }
    }
    return false;
}

Difference Compare::differ(Data const* a, Data const* b) {
    if (a == nullptr || b == nullptr) {
        if (differentItems != nullptr) {
            differentItems->emplace_back(a, nullptr, b, nullptr, DifferentItem::MissingElement);
        }
        return DifferentItem::MissingElement;
    }
    if (isElementIgnored(a)) {
        return DifferentItem::NoDifference;
    }

    const bool collecting = differentItems != nullptr;
    std::vector<Frame> stack;
    std::vector<const Data*> partners;

    // Counts the children of a pair and, when `x` has any, opens a frame for walking them. This is
    // the part of the comparison of two elements that comes before their children are visited.
    const auto open = [&](const Data* x, const Data* y) {
        const std::vector<Data*>& childrenX = x->getChildren();
        const std::vector<Data*>& childrenY = y->getChildren();
        std::size_t countX = childrenX.size();
        std::size_t countY = childrenY.size();
        if (!ignores.empty()) {
            for (const Data* child : childrenX) {
                countX -= isElementIgnored(child) ? 1 : 0;
            }
            for (const Data* child : childrenY) {
                countY -= isElementIgnored(child) ? 1 : 0;
            }
        }
        if (countX != countY) {
            if (!collecting) {
                return DifferentItem::ChildCount;
            }
            differentItems->emplace_back(x, nullptr, y, nullptr, DifferentItem::ChildCount);
        }
        if (!childrenX.empty()) {
            // With no children on side A nothing can be paired and nothing is missing.
            stack.push_back(Frame{x, y, 0, countX, 0, pairChildren(x, y, partners)});
        }
        return DifferentItem::NoDifference;
    };

    Difference result = open(a, b);
    if (result != DifferentItem::NoDifference) {
        return result;
    }
    while (!stack.empty()) {
        Frame& top = stack.back();
        const std::vector<Data*>& childrenA = top.a->getChildren();
        if (top.next == childrenA.size()) {
            const Frame done = top;
            if (done.partners != kNone) {
                partners.resize(done.partners);
            }
            stack.pop_back();
            if (done.matched != done.countA) {
                if (!collecting) {
                    return DifferentItem::MissingChild;
                }
                differentItems->emplace_back(done.a, nullptr, done.b, nullptr,
                                             DifferentItem::MissingChild);
            }
            continue;
        }
        const std::size_t index = top.next++;
        const Data* x = childrenA[index];
        const Data* y =
            top.partners == kNone ? top.b->getChildren()[index] : partners[top.partners + index];
        if (y == nullptr) {
            continue;
        }
        // Text and attributes are compared for every paired child, also for one a rule ignores.
        if (compareContent && x->getData() != y->getData()) {
            if (!collecting) {
                return DifferentItem::Content;
            }
            differentItems->emplace_back(x, nullptr, y, nullptr, DifferentItem::Content);
        }
        result = differArguments(x, y);
        if (!collecting && result != DifferentItem::NoDifference) {
            return result;
        }
        if (isElementIgnored(x)) {
            continue;
        }
        // Counted now rather than after the subtree: the count is read only when this frame
        // closes, and `top` may move when a frame is pushed.
        ++top.matched;
        result = open(x, y);
        if (result != DifferentItem::NoDifference) {
            return result;
        }
    }
    return DifferentItem::NoDifference;
}

Difference Compare::differArguments(Data const* a, Data const* b) {
    const bool collecting = differentItems != nullptr;
    const std::vector<AttributeData*>& attributesA = a->getAttributes();
    const std::vector<AttributeData*>& attributesB = b->getAttributes();
    std::size_t countA = attributesA.size();
    std::size_t countB = attributesB.size();
    if (!ignores.empty()) {
        for (const AttributeData* attribute : attributesA) {
            countA -= isArgumentIgnored(a, attribute) ? 1 : 0;
        }
        for (const AttributeData* attribute : attributesB) {
            countB -= isArgumentIgnored(b, attribute) ? 1 : 0;
        }
    }
    if (countA != countB) {
        if (!collecting) {
            return DifferentItem::AttributeCount;
        }
        differentItems->emplace_back(a, nullptr, b, nullptr, DifferentItem::AttributeCount);
    }
    if (attributesA.empty()) {
        return DifferentItem::NoDifference;  // countA is 0, so nothing can be missing
    }

    // Long lists are paired through an index of the first attribute of each name in B.
    std::unordered_map<std::string_view, const AttributeData*> firstOfName;
    const bool indexed = attributesB.size() > kScanLimit;
    if (indexed) {
        firstOfName.reserve(attributesB.size());
        for (const AttributeData* attribute : attributesB) {
            firstOfName.try_emplace(attribute->getName(), attribute);
        }
    }

    std::size_t matched = 0;
    for (const AttributeData* x : attributesA) {
        const AttributeData* y = nullptr;
        if (indexed) {
            const auto found = firstOfName.find(x->getName());
            y = found != firstOfName.end() ? found->second : nullptr;
        } else {
            y = detail::firstAttribute(attributesB, x->getName());
        }
        if (y == nullptr || isArgumentIgnored(a, x)) {
            continue;
        }
        if (compareContent && x->getData() != y->getData()) {
            if (!collecting) {
                return DifferentItem::AttributeValue;
            }
            differentItems->emplace_back(a, x, b, y, DifferentItem::AttributeValue);
        }
        ++matched;
    }
    if (matched == countA) {
        return DifferentItem::NoDifference;
    }
    if (!collecting) {
        return DifferentItem::MissingAttribute;
    }
    differentItems->emplace_back(a, nullptr, b, nullptr, DifferentItem::MissingAttribute);
    return DifferentItem::NoDifference;
}

std::vector<DifferentItem> Compare::findDifferences(Data const* a, Data const* b) {
    return findDifferences(a, b, {});
}

std::vector<DifferentItem> Compare::findDifferences(
    Data const* a, Data const* b, std::vector<Comparing::Ignore const*> const& rules) {
    std::vector<DifferentItem> found;
    Compare compare;
    compare.setCompareContent(true);
    compare.setIgnores(rules);
    compare.setDifferentItems(&found);
    compare.differ(a, b);
    return found;
}

bool Compare::areEqual(Data const* a, Data const* b) {
    return areEqual(a, b, {});
}

bool Compare::areEqual(Data const* a, Data const* b,
                       std::vector<Comparing::Ignore const*> const& rules) {
    Compare compare;
    compare.setCompareContent(true);
    compare.setIgnores(rules);
    return compare.differ(a, b) == DifferentItem::NoDifference;
}

bool Compare::areEquallyStructured(Data const* a, Data const* b) {
    return areEquallyStructured(a, b, {});
}

bool Compare::areEquallyStructured(Data const* a, Data const* b,
                                   std::vector<Comparing::Ignore const*> const& rules) {
    Compare compare;
    compare.setCompareContent(false);
    compare.setIgnores(rules);
    return compare.differ(a, b) == DifferentItem::NoDifference;
}

}  // namespace VelXmlN
