// Comparison ignore rules: what AttributeExistence matches, and how Compare consults a rule list.
#include <VelXmlN/AttributeExistence.h>

#include <gtest/gtest.h>

#include "compare/CompareTestUtil.h"

using namespace testsupport;
using VelXmlN::Comparing::AttributeExistence;

TEST(AttributeExistence, IgnoredAttributeTakesNoPartInTheComparison) {
    Data rootA("r"), rootB("r");
    Data* a = rootA.createChild("a");
    Data* b = rootB.createChild("a");
    Data* otherA = rootA.createChild("b");
    Data* otherB = rootB.createChild("b");
    a->setAttribute("id", std::string("1"));  // on one side only
    a->setAttribute("v", std::string("same"));
    b->setAttribute("v", std::string("same"));
    otherA->setAttribute("id", std::string("1"));
    otherB->setAttribute("id", std::string("2"));
    const AttributeExistence rule("a", "id");
    EXPECT_FALSE(rule.isIgnored(a)) << "the rule never ignores an element";

    // Only the "b" element's id is still compared.
    EXPECT_EQ(differences(&rootA, &rootB, {&rule}),
              (std::vector<Record>{
                  record(otherA, otherA->getAttributes()[0], otherB, otherB->getAttributes()[0])}));
    b->setAttribute("id", std::string("2"));  // now on both sides, with another value
    EXPECT_EQ(differences(&rootA, &rootB, {&rule}).size(), 1u);

    const AttributeExistence second("b", "id");
    EXPECT_TRUE(VelXmlN::Compare::areEqual(&rootA, &rootB, {&rule, &second}))
        << "an attribute is ignored when either rule matches it";
    EXPECT_FALSE(VelXmlN::Compare::areEqual(&rootA, &rootB, {}));
    const AttributeExistence wrongCase("a", "ID");
    const AttributeExistence wrongElement("A", "id");
    EXPECT_FALSE(VelXmlN::Compare::areEqual(&rootA, &rootB, {&wrongCase, &second}));
    EXPECT_FALSE(VelXmlN::Compare::areEqual(&rootA, &rootB, {&wrongElement, &second}));
}

TEST(Ignore, RulesOnEitherSide) {
    const IgnoreElement skip("skip");
    const Rules rules{&skip};

    // An ignored child on one side only changes no count.
    Data a("r"), b("r");
    a.createChild("x");
    b.createChild("x");
    a.createChild("skip")->createChild("deep");
    EXPECT_TRUE(differences(&a, &b, rules).empty());
    EXPECT_TRUE(differences(&b, &a, rules).empty());
    EXPECT_EQ(differences(&a, &b),
              (std::vector<Record>{record(&a, &b, DifferentItem::ChildCount),
                                   record(&a, &b, DifferentItem::MissingChild)}));

    // Paired ignored children still compare text and attributes, but nothing below them.
    Data c("r"), d("r");
    Data* skipC = c.createChild("skip");
    Data* skipD = d.createChild("skip");
    skipC->setData(std::string("1"));
    skipD->setData(std::string("2"));
    skipC->setAttribute("k", std::string("1"));
    skipC->createChild("only-in-c")->setData(std::string("x"));
    EXPECT_EQ(differences(&c, &d, rules),
              (std::vector<Record>{record(skipC, skipD, DifferentItem::Content),
                                   record(skipC, skipD, DifferentItem::AttributeCount),
                                   record(skipC, skipD, DifferentItem::MissingAttribute)}));
    EXPECT_EQ(Probe::first(&c, &d, false, rules), DifferentItem::AttributeCount);

    // Only side A of the compared pair is asked whether it is ignored.
    Data skipRoot("skip"), plainRoot("r");
    skipRoot.createChild("x");
    EXPECT_TRUE(differences(&skipRoot, &plainRoot, rules).empty());
    EXPECT_EQ(differences(&plainRoot, &skipRoot, rules),
              (std::vector<Record>{record(&plainRoot, &skipRoot, DifferentItem::ChildCount)}));
}

namespace {

// Ignores attributes whose value is "secret", so the two sides can disagree about a pair.
class IgnoreSecret : public Ignore {
  public:
    bool isIgnored(const Data*, const AttributeData* attribute) const override {
        return attribute->getData() == "secret";
    }
    bool isIgnored(const Data*) const override { return false; }
};

}  // namespace

TEST(Ignore, AttributesAreCountedWithTheirOwnSideAndPairedFromA) {
    const IgnoreSecret secret;
    Data rootA("r"), rootB("r");
    Data* a = rootA.createChild("x");
    Data* b = rootB.createChild("x");
    a->setAttribute("p", std::string("1"));
    b->setAttribute("p", std::string("secret"));
    // A counts 1, B counts 0; A's p still pairs with B's p and their values differ.
    EXPECT_EQ(differences(&rootA, &rootB, {&secret}),
              (std::vector<Record>{record(a, b, DifferentItem::AttributeCount),
                                   record(a, a->getAttributes()[0], b, b->getAttributes()[0])}));
    // The other way round A's p is ignored: B counts 1, nothing is paired, nothing is missing.
    EXPECT_EQ(differences(&rootB, &rootA, {&secret}),
              (std::vector<Record>{record(b, a, DifferentItem::AttributeCount)}));

    const Rules withNull{nullptr, &secret};
    EXPECT_EQ(differences(&rootB, &rootA, withNull).size(), 1u) << "null rules are skipped";
}
