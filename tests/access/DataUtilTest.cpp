// DataUtil: defaults for missing items, untouched outputs, threshold writes and find-or-create.
#include <VelXmlN/DataUtil.h>

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using VelXmlN::Data;
using VelXmlN::DataUtil;

TEST(DataUtil, ForwardersKeepTheDefaultsOfData) {
    Data e("e");
    e.createChild("c")->setData(std::string("2.5"));
    e.setAttribute("a", std::string("x"));
    EXPECT_EQ(DataUtil::getAttributeDouble(&e, "missing"), 0.0);
    EXPECT_EQ(DataUtil::getAttributeInt(&e, "missing"), -1);
    EXPECT_EQ(DataUtil::getChildDouble(&e, "c"), 2.5);
    EXPECT_EQ(DataUtil::getChildInt(&e, "missing"), 0);
    EXPECT_EQ(DataUtil::getAttributeString(&e, "a"), "x");
    EXPECT_EQ(DataUtil::getChildString(&e, "c"), "2.5");

    Data f("f");
    DataUtil::writeIntSet(&f, {5, -3});
    std::set<int> set{100};
    DataUtil::readIntSet(&f, set);
    EXPECT_EQ(set, (std::set<int>{-3, 5, 100})) << "the set is not cleared";
}

TEST(DataUtil, GetVectorLeavesOutputsUntouchedForNull) {
    double x = 1, y = 2, z = 3;
    EXPECT_FALSE(DataUtil::getVector(nullptr, x, y, z));
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(z, 3);

    Data e("e");
    e.createChild("Y")->setData(std::string("2"));
    e.createChild("Z");
    EXPECT_TRUE(DataUtil::getVector(&e, x, y, z));
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 2.0);
    EXPECT_EQ(z, 0.0);
}

TEST(DataUtil, SetChildDataRewritesFirstChildOrCreatesOne) {
    Data e("e");
    DataUtil::setChildData(&e, "F", 0.1, nullptr);
    ASSERT_EQ(e.getChildren().size(), 1u);
    EXPECT_EQ(e.getChildren()[0]->getData(), "0.10000000000000000555");
    EXPECT_EQ(e.getChildren()[0]->getParent(), &e);

    e.createChild("F")->setData(std::string("second"));
    DataUtil::setChildData(&e, "F", 1.25, "%8.3f");
    ASSERT_EQ(e.getChildren().size(), 2u);
    EXPECT_EQ(e.getChildren()[0]->getData(), "1.250");
    EXPECT_EQ(e.getChildren()[1]->getData(), "second");

    // A refused format creates no child.
    EXPECT_THROW(DataUtil::setChildData(&e, "G", 1.0, "%d"), std::invalid_argument);
    EXPECT_EQ(e.findChild("G"), nullptr);
}

TEST(DataUtil, SetChildDataCheckWritesOnlyAboveTolerance) {
    Data e("e");
    DataUtil::setChildDataCheck(&e, "F", 1e-9, 1e-6);
    DataUtil::setChildDataCheck(&e, "F", 0.0, 0.0);
    DataUtil::setChildDataCheck(&e, "F", -0.5, 0.5, "%g");
    EXPECT_TRUE(e.getChildren().empty());

    DataUtil::setChildDataCheck(&e, "F", -2.0, 1e-6);
    DataUtil::setChildDataCheck(&e, "F", 1e-9, 1e-6);
    ASSERT_EQ(e.getChildren().size(), 1u);
    EXPECT_EQ(e.getChildren()[0]->getData(), "-2") << "an existing child keeps its text";
    DataUtil::setChildDataCheck(&e, "F", 3.0, 1e-6, "%.2f");
    EXPECT_EQ(e.getChildren()[0]->getData(), "3.00");
}

TEST(DataUtil, ReadValToLeavesOutputUntouchedWhenMissing) {
    Data e("e");
    double d = 7;
    bool b = true;
    int i = 7;
    DataUtil::readValToAttribute(&e, "A", d);
    DataUtil::readValToAttribute(&e, "A", b);
    DataUtil::readValToChild(&e, "A", d);
    DataUtil::readValToChild(&e, "A", b);
    DataUtil::readValToChild(&e, "A", i);
    EXPECT_EQ(d, 7);
    EXPECT_TRUE(b);
    EXPECT_EQ(i, 7);

    e.createChild("A");  // empty text
    DataUtil::readValToChild(&e, "A", d);
    DataUtil::readValToChild(&e, "A", b);
    DataUtil::readValToChild(&e, "A", i);
    EXPECT_EQ(d, 0.0);
    EXPECT_FALSE(b);
    EXPECT_EQ(i, 0);

    e.setAttribute("A", std::string("2.5"));
    e.setAttribute("B", std::string("0.9"));
    DataUtil::readValToAttribute(&e, "A", d);
    EXPECT_EQ(d, 2.5);
    b = true;
    DataUtil::readValToAttribute(&e, "B", b);
    EXPECT_FALSE(b) << "atoi of \"0.9\" is 0";
}

TEST(DataUtil, OpenToAttributeFindsOrCreates) {
    Data e("e");
    Data* three = DataUtil::openToAttribute(&e, "Item", "Id", 3);
    EXPECT_EQ(three->getAttributeString("Id"), "3");
    EXPECT_EQ(three->getParent(), &e);
    EXPECT_EQ(DataUtil::openToAttribute(&e, "Item", "Id", 3), three);

    Data* four = DataUtil::openToAttribute(&e, "Item", "Id", 4);
    EXPECT_NE(four, three);
    EXPECT_EQ(four->getAttributeString("Id"), "4");
    EXPECT_EQ(e.getChildren().size(), 2u);

    // Children without the attribute, of another name, or with another number are passed over.
    Data f("f");
    f.createChild("Item");
    f.createChild("Other")->setAttribute("Id", std::string("9"));
    Data* prefix = f.createChild("Item");
    prefix->setAttribute("Id", std::string(" 9.9"));
    EXPECT_EQ(DataUtil::openToAttribute(&f, "Item", "Id", 9), prefix);
    EXPECT_EQ(f.getChildren().size(), 3u);
}

TEST(DataUtil, OpenToAttributeKeepsTheFull64BitValue) {
    Data e("e");
    Data* big = DataUtil::openToAttribute(&e, "Item", "Id", 4294967296ULL);
    EXPECT_EQ(big->getAttributeString("Id"), "4294967296");
    Data* zero = DataUtil::openToAttribute(&e, "Item", "Id", 0);
    EXPECT_NE(zero, big) << "4294967296 is not 0 narrowed";
    EXPECT_EQ(DataUtil::openToAttribute(&e, "Item", "Id", 4294967296ULL), big);

    Data* largest = DataUtil::openToAttribute(&e, "Item", "Id", 18446744073709551615ULL);
    EXPECT_EQ(largest->getAttributeString("Id"), "18446744073709551615");
    EXPECT_EQ(DataUtil::openToAttribute(&e, "Item", "Id", 18446744073709551615ULL), largest);

    // A negative text or one beyond 64 bits names no unsigned value; a text without digits is 0.
    Data f("f");
    f.createChild("Item")->setAttribute("Id", std::string("-1"));
    f.createChild("Item")->setAttribute("Id", std::string("18446744073709551616"));
    Data* letters = f.createChild("Item");
    letters->setAttribute("Id", std::string("abc"));
    EXPECT_EQ(DataUtil::openToAttribute(&f, "Item", "Id", 0), letters);
    Data* made = DataUtil::openToAttribute(&f, "Item", "Id", 18446744073709551615ULL);
    EXPECT_EQ(f.getChildren().size(), 4u);
    EXPECT_EQ(made, f.getChildren()[3]);
}
