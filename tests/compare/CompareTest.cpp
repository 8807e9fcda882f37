// Tree comparison: what is compared, how children and attributes pair, and the order of records.
#include <VelXmlN/Compare.h>

#include <gtest/gtest.h>

#include <type_traits>

#include "compare/CompareTestUtil.h"

using namespace testsupport;
using VelXmlN::Compare;

TEST(DifferentItem, FixedValuesAndFields) {
    EXPECT_EQ(DifferentItem::NoDifference, 0);
    EXPECT_EQ(DifferentItem::ChildCount, 1);
    EXPECT_EQ(DifferentItem::AttributeCount, 2);
    EXPECT_EQ(DifferentItem::MissingChild, 3);
    EXPECT_EQ(DifferentItem::MissingAttribute, 4);
    EXPECT_EQ(DifferentItem::AttributeValue, 5);
    EXPECT_EQ(DifferentItem::Content, 6);
    EXPECT_EQ(DifferentItem::MissingElement, 7);
    EXPECT_EQ(sizeof(Difference), 4u);
}

TEST(Compare, NullSidesAndOnlyWhatLiesBelowIsCompared) {
    Data a("a"), b("b");
    EXPECT_EQ(differences(nullptr, nullptr),
              (std::vector<Record>{record(nullptr, nullptr, DifferentItem::MissingElement)}));
    EXPECT_EQ(differences(nullptr, &a),
              (std::vector<Record>{record(nullptr, &a, DifferentItem::MissingElement)}));
    EXPECT_FALSE(Compare::areEqual(&a, nullptr));
    EXPECT_FALSE(Compare::areEquallyStructured(nullptr, &a));

    a.setData(std::string("text"));
    a.setAttribute("x", std::string("1"));
    a.createChild("c")->setData(std::string("same"));
    b.createChild("c")->setData(std::string("same"));
    EXPECT_TRUE(Compare::areEqual(&a, &b));
    EXPECT_TRUE(differences(&a, &b).empty());
}

TEST(Compare, ChildrenPairByNameAndOccurrence) {
    // Distinct names in another order compare equal.
    Data a("r"), b("r");
    a.createChild("x")->setData(std::string("1"));
    a.createChild("y")->setData(std::string("2"));
    b.createChild("y")->setData(std::string("2"));
    b.createChild("x")->setData(std::string("1"));
    EXPECT_TRUE(differences(&a, &b).empty());

    // A: x, x and B: x, y: the second x has no partner, the counts agree.
    Data c("r"), d("r");
    c.createChild("x");
    c.createChild("x");
    d.createChild("x");
    d.createChild("y");
    EXPECT_EQ(differences(&c, &d),
              (std::vector<Record>{record(&c, &d, DifferentItem::MissingChild)}));
    EXPECT_EQ(Probe::first(&c, &d, true), DifferentItem::MissingChild);

    // The n-th x of A meets the n-th x of B wherever it stands.
    Data e("r"), f("r");
    Data* e1 = e.createChild("x");
    Data* e2 = e.createChild("x");
    e1->setData(std::string("1"));
    e2->setData(std::string("2"));
    f.createChild("y");
    Data* f1 = f.createChild("x");
    Data* f2 = f.createChild("x");
    f1->setData(std::string("2"));
    f2->setData(std::string("1"));
    EXPECT_EQ(differences(&e, &f), (std::vector<Record>{record(&e, &f, DifferentItem::ChildCount),
                                                        record(e1, f1, DifferentItem::Content),
                                                        record(e2, f2, DifferentItem::Content)}));
}

TEST(Compare, AttributesPairWithTheFirstOfTheirName) {
    Data a("r"), b("r");
    Data* x = a.createChild("x");
    Data* y = b.createChild("x");
    x->setAttribute("k", std::string("1"));
    y->getAttributes().push_back(new AttributeData("k", "1"));
    y->getAttributes().push_back(new AttributeData("k", "2"));
    EXPECT_EQ(differences(&a, &b),
              (std::vector<Record>{record(x, y, DifferentItem::AttributeCount)}));

    // Two of the same name in A both pair with B's first one.
    x->getAttributes().push_back(new AttributeData("k", "2"));
    EXPECT_EQ(differences(&a, &b),
              (std::vector<Record>{record(x, x->getAttributes()[1], y, y->getAttributes()[0])}));
}

TEST(Compare, ContentOnlyForEqualAndNotForStructure) {
    Data a("r"), b("r");
    Data* x = a.createChild("x");
    Data* y = b.createChild("x");
    x->setData(std::string("1"));
    y->setDataPlain("1 ");
    x->setAttribute("k", std::string("1.0"));
    y->setAttribute("k", std::string("1"));
    EXPECT_FALSE(Compare::areEqual(&a, &b));
    EXPECT_TRUE(Compare::areEquallyStructured(&a, &b));
    EXPECT_EQ(Probe::first(&a, &b, true), DifferentItem::Content);

    y->setData(std::string("1"));
    EXPECT_EQ(Probe::first(&a, &b, true), DifferentItem::AttributeValue);
    y->createChild("z");
    EXPECT_EQ(Probe::first(&a, &b, false), DifferentItem::ChildCount);
    y->setAttribute("extra", std::string());
    EXPECT_EQ(Probe::first(&a, &b, false), DifferentItem::AttributeCount)
        << "a child's attributes come before its own children";
}

TEST(Compare, CollectingModeRecordOrder) {
    // A: r { x "1" [p q m] { c "a" }, y "2", z }
    // B: r { y "2", x "9" [p q s t] { c "b", d } }
    Data a("r"), b("r");
    Data* xA = a.createChild("x");
    Data* yA = a.createChild("y");
    a.createChild("z");
    xA->setData(std::string("1"));
    xA->setAttribute("p", std::string("1"));
    xA->setAttribute("q", std::string("2"));
    xA->setAttribute("m", std::string("3"));
    Data* cA = xA->createChild("c");
    cA->setData(std::string("a"));
    yA->setData(std::string("2"));

    b.createChild("y")->setData(std::string("2"));
    Data* xB = b.createChild("x");
    xB->setData(std::string("9"));
    xB->setAttribute("p", std::string("1"));
    xB->setAttribute("q", std::string("3"));
    xB->setAttribute("s", std::string("0"));
    xB->setAttribute("t", std::string("0"));
    Data* cB = xB->createChild("c");
    cB->setData(std::string("b"));
    xB->createChild("d");

    const std::vector<Record> expected{
        record(&a, &b, DifferentItem::ChildCount),
        record(xA, xB, DifferentItem::Content),
        record(xA, xB, DifferentItem::AttributeCount),
        record(xA, xA->getAttributes()[1], xB, xB->getAttributes()[1]),
        record(xA, xB, DifferentItem::MissingAttribute),
        record(xA, xB, DifferentItem::ChildCount),
        record(cA, cB, DifferentItem::Content),
        record(&a, &b, DifferentItem::MissingChild),
    };
    EXPECT_EQ(differences(&a, &b), expected);
    EXPECT_EQ(Probe::first(&a, &b, true), DifferentItem::ChildCount);
    EXPECT_FALSE(Compare::areEqual(&a, &b));

    // Without the content checks only structural records remain, in the same order.
    a.createChild("y");  // counts now agree
    b.createChild("z");
    b.createChild("y");
    EXPECT_EQ(Probe::first(&a, &b, false), DifferentItem::AttributeCount);
}
