// Properties over random trees: after random edits (none, one or many) the indexed pairing agrees
// record for record with a plain quadratic pairing written exactly as the rules read.
#include <VelXmlN/AttributeExistence.h>
#include <VelXmlN/Compare.h>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "compare/CompareTestUtil.h"

using namespace testsupport;
using VelXmlN::Compare;

namespace {

struct Shape {
    int depth;
    int maxChildren;
    int maxAttributes;
    std::vector<std::string> names;
    bool duplicateAttributes;  // also push attributes whose name is already there
};

const char* const kTexts[] = {"", "t", "u", "1.0", "a b"};
const char* const kAttributeNames[] = {"id", "v", "w", "k"};

std::string pick(std::mt19937& random, const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
}

int upTo(std::mt19937& random, int limit) {
    return std::uniform_int_distribution<int>(0, limit)(random);
}

void grow(Data* element, std::mt19937& random, const Shape& shape, int depth) {
    element->setDataPlain(kTexts[upTo(random, 4)]);
    const int attributes = upTo(random, shape.maxAttributes);
    for (int i = 0; i < attributes; ++i) {
        const std::string name = shape.maxAttributes > 4 ? "a" + std::to_string(upTo(random, 40))
                                                         : kAttributeNames[upTo(random, 3)];
        const std::string value = std::to_string(upTo(random, 2));
        if (shape.duplicateAttributes) {
            element->getAttributes().push_back(new AttributeData(name, value));
        } else {
            element->setAttribute(name, value);
        }
    }
    if (depth == shape.depth) {
        return;
    }
    const int children = upTo(random, shape.maxChildren);
    for (int i = 0; i < children; ++i) {
        grow(element->createChild(pick(random, shape.names)), random, shape, depth + 1);
    }
}

void preOrder(Data* element, std::vector<Data*>& out) {
    out.push_back(element);
    for (Data* child : element->getChildren()) {
        preOrder(child, out);
    }
}

// The comparison exactly as first described: for each child of A, walk B's children to its n-th
// namesake, and for each attribute of A, walk B's attributes to the first namesake.
class Reference {
  public:
    Reference(bool content, const Rules& rules, std::vector<Record>* out)
        : content_(content), rules_(rules), out_(out) {}

    Difference differ(const Data* a, const Data* b) {
        if (a == nullptr || b == nullptr) {
            note(record(a, b, DifferentItem::MissingElement));
            return DifferentItem::MissingElement;
        }
        if (elementIgnored(a)) {
            return DifferentItem::NoDifference;
        }
        std::size_t countA = 0, countB = 0;
        for (const Data* child : a->getChildren()) {
            countA += elementIgnored(child) ? 0 : 1;
        }
        for (const Data* child : b->getChildren()) {
            countB += elementIgnored(child) ? 0 : 1;
        }
        if (countA != countB && note(record(a, b, DifferentItem::ChildCount))) {
            return DifferentItem::ChildCount;
        }
        std::map<std::string, int> occurrences;
        std::size_t matched = 0;
        for (const Data* x : a->getChildren()) {
            int n = ++occurrences[x->getName()];
            const Data* y = nullptr;
            for (const Data* candidate : b->getChildren()) {
                if (candidate->getName() == x->getName() && --n == 0) {
                    y = candidate;
                    break;
                }
            }
            if (y == nullptr) {
                continue;
            }
            if (content_ && x->getData() != y->getData() &&
                note(record(x, y, DifferentItem::Content))) {
                return DifferentItem::Content;
            }
            Difference found = differArguments(x, y);
            if (out_ == nullptr && found != DifferentItem::NoDifference) {
                return found;
            }
            found = differ(x, y);
            if (out_ == nullptr && found != DifferentItem::NoDifference) {
                return found;
            }
            matched += elementIgnored(x) ? 0 : 1;
        }
        if (matched != countA && note(record(a, b, DifferentItem::MissingChild))) {
            return DifferentItem::MissingChild;
        }
        return DifferentItem::NoDifference;
    }

  private:
    Difference differArguments(const Data* a, const Data* b) {
        std::size_t countA = 0, countB = 0;
        for (const AttributeData* attribute : a->getAttributes()) {
            countA += attributeIgnored(a, attribute) ? 0 : 1;
        }
        for (const AttributeData* attribute : b->getAttributes()) {
            countB += attributeIgnored(b, attribute) ? 0 : 1;
        }
        if (countA != countB && note(record(a, b, DifferentItem::AttributeCount))) {
            return DifferentItem::AttributeCount;
        }
        std::size_t matched = 0;
        for (const AttributeData* x : a->getAttributes()) {
            const AttributeData* y = nullptr;
            for (const AttributeData* candidate : b->getAttributes()) {
                if (candidate->getName() == x->getName()) {
                    y = candidate;
                    break;
                }
            }
            if (y == nullptr || attributeIgnored(a, x)) {
                continue;
            }
            if (content_ && x->getData() != y->getData() && note(record(a, x, b, y))) {
                return DifferentItem::AttributeValue;
            }
            ++matched;
        }
        if (matched != countA && note(record(a, b, DifferentItem::MissingAttribute))) {
            return DifferentItem::MissingAttribute;
        }
        return DifferentItem::NoDifference;
    }

    // Records `r` in collecting mode; returns whether the caller must stop (first-difference
    // mode).
    bool note(const Record& r) {
        if (out_ == nullptr) {
            return true;
        }
        out_->push_back(r);
        return false;
    }

    bool elementIgnored(const Data* element) const {
        for (const Ignore* rule : rules_) {
            if (rule->isIgnored(element)) {
                return true;
            }
        }
        return false;
    }
    bool attributeIgnored(const Data* element, const AttributeData* attribute) const {
        for (const Ignore* rule : rules_) {
            if (rule->isIgnored(element, attribute)) {
                return true;
            }
        }
        return false;
    }

    bool content_;
    const Rules& rules_;
    std::vector<Record>* out_;
};

// Applies one random edit somewhere in `root`'s subtree.
void mutate(Data* root, std::mt19937& random, const Shape& shape) {
    std::vector<Data*> all;
    preOrder(root, all);
    // Half the edits go to elements with children, where the pairing has work to do.
    std::vector<Data*> parents;
    for (Data* element : all) {
        if (!element->getChildren().empty()) {
            parents.push_back(element);
        }
    }
    const std::vector<Data*>& from = parents.empty() || upTo(random, 1) == 0 ? all : parents;
    Data* element = from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    std::vector<Data*>& children = element->getChildren();
    std::vector<AttributeData*>& attributes = element->getAttributes();
    switch (upTo(random, 7)) {
        case 0:
            element->setDataPlain(kTexts[upTo(random, 4)]);
            break;
        case 1:
            if (!attributes.empty()) {
                attributes[static_cast<std::size_t>(upTo(random, 100)) % attributes.size()]
                    ->setData(std::to_string(upTo(random, 2)));
            }
            break;
        case 2:
            if (!attributes.empty()) {
                element->removeAttribute(attributes.back()->getName());
            }
            break;
        case 3:
            attributes.push_back(new AttributeData(kAttributeNames[upTo(random, 3)], "0"));
            break;
        case 4:
            if (!children.empty()) {
                Data* child =
                    children[static_cast<std::size_t>(upTo(random, 1000)) % children.size()];
                element->removeChild(child);
                delete child;
            }
            break;
        case 5: {
            Data* child = new Data(pick(random, shape.names));
            const std::size_t at =
                static_cast<std::size_t>(upTo(random, 1000)) % (children.size() + 1);
            children.insert(children.begin() + static_cast<std::ptrdiff_t>(at), child);
            child->setParent(element);
            break;
        }
        case 6:
            if (children.size() >= 2) {
                std::swap(children[0], children[children.size() - 1]);
            }
            break;
        default:
            if (!children.empty()) {
                children[0]->setName(pick(random, shape.names));
            }
            break;
    }
}

}  // namespace

TEST(CompareProperty, IndexedPairingMatchesQuadraticPairing) {
    std::mt19937 random(3);
    // Few names and up to 48 children or 40 attributes, so both the scan and the index are used,
    // with many namesakes and repeated attribute names.
    const Shape wide{2, 48, 40, {"a", "b", "c"}, true};
    const Shape narrow{4, 6, 3, {"a", "b"}, true};
    const IgnoreElement skipC("c");
    const VelXmlN::Comparing::AttributeExistence ignoreA7("a", "a7");
    const VelXmlN::Comparing::AttributeExistence ignoreV("b", "v");
    const std::vector<Rules> ruleSets{{}, {&skipC}, {&ignoreA7, &ignoreV}, {&ignoreV, &skipC}};
    for (int round = 0; round < 300; ++round) {
        const Shape& shape = round % 2 == 0 ? wide : narrow;
        Data a("root");
        grow(&a, random, shape, 0);
        Data b(a);
        const int edits = upTo(random, 12);
        for (int i = 0; i < edits; ++i) {
            mutate(&b, random, shape);
        }
        const Rules& rules = ruleSets[static_cast<std::size_t>(round) % ruleSets.size()];
        for (const bool swapSides : {false, true}) {
            const Data* left = swapSides ? &b : &a;
            const Data* right = swapSides ? &a : &b;
            std::vector<Record> expected;
            Reference(true, rules, &expected).differ(left, right);
            ASSERT_EQ(differences(left, right, rules), expected) << "round " << round;
            ASSERT_EQ(Compare::areEqual(left, right, rules), expected.empty());
            ASSERT_EQ(Compare::areEquallyStructured(left, right, rules),
                      Reference(false, rules, nullptr).differ(left, right) ==
                          DifferentItem::NoDifference);
            for (const bool content : {true, false}) {
                ASSERT_EQ(Probe::first(left, right, content, rules),
                          Reference(content, rules, nullptr).differ(left, right))
                    << "round " << round << " content " << content;
            }
        }
    }
}
