// DataUtil: untouched outputs for missing items, threshold writes and find-or-create by a 64-bit
// number. Its getters forward to Data, whose defaults are tested there; one check per getter
// shows each reaches the right one.
#include <VelXmlN/DataUtil.h>

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using VelXmlN::Data;
using VelXmlN::DataUtil;

TEST(DataUtil, GettersReachTheirNamesakesInData) {
    Data e("e");
    e.createChild("c")->setData(std::string("2.5"));
    e.setAttribute("a", std::string("7.5"));
    EXPECT_EQ(DataUtil::getAttributeDouble(&e, "a"), 7.5);
    EXPECT_EQ(DataUtil::getAttributeInt(&e, "missing"), -1);
    EXPECT_EQ(DataUtil::getChildDouble(&e, "c"), 2.5);
    EXPECT_EQ(DataUtil::getChildInt(&e, "missing"), 0);
    EXPECT_EQ(DataUtil::getAttributeString(&e, "a") + DataUtil::getChildString(&e, "c"), "7.52.5");
    DataUtil::writeIntSet(&e, {5, -3});
    std::set<int> set{100};
    DataUtil::readIntSet(&e, set);
    EXPECT_EQ(set, (std::set<int>{-3, 5, 7, 100})) << "with 'a' read as 7; the set is not cleared";
}

TEST(DataUtil, OutputsAreLeftAloneForWhatIsMissing) {
    double x = 1, y = 2, z = 3;
    bool b = true;
    int i = 7;
    EXPECT_FALSE(DataUtil::getVector(nullptr, x, y, z));
    Data e("e");
    DataUtil::readValToAttribute(&e, "A", x);
    DataUtil::readValToAttribute(&e, "A", b);
    DataUtil::readValToChild(&e, "A", x);
    DataUtil::readValToChild(&e, "A", b);
    DataUtil::readValToChild(&e, "A", i);
    EXPECT_TRUE(x == 1 && y == 2 && z == 3 && b && i == 7);

    e.createChild("Y")->setData(std::string("2"));
    EXPECT_TRUE(DataUtil::getVector(&e, x, y, z));
    EXPECT_TRUE(x == 0 && y == 2 && z == 0);
    e.createChild("A");  // empty text
    DataUtil::readValToChild(&e, "A", y);
    DataUtil::readValToChild(&e, "A", b);
    DataUtil::readValToChild(&e, "A", i);
    EXPECT_TRUE(y == 0 && !b && i == 0);
    e.setAttribute("A", std::string("2.5"));
    e.setAttribute("B", std::string("0.9"));
    DataUtil::readValToAttribute(&e, "A", x);
    EXPECT_EQ(x, 2.5);
    b = true;
    DataUtil::readValToAttribute(&e, "B", b);
    EXPECT_FALSE(b) << "atoi of \"0.9\" is 0";
}

TEST(DataUtil, SetChildDataRewritesTheFirstChildOrCreatesOneAboveTheTolerance) {
    Data e("e");
    DataUtil::setChildData(&e, "F", 0.1, nullptr);
    EXPECT_EQ(e.getChildString("F"), "0.10000000000000000555");
    e.createChild("F")->setData(std::string("second"));
    DataUtil::setChildData(&e, "F", 1.25, "%8.3f");
    ASSERT_EQ(e.getChildren().size(), 2u);
    EXPECT_EQ(e.getChildren()[0]->getData(), "1.250");
    EXPECT_EQ(e.getChildren()[1]->getData(), "second");
    EXPECT_THROW(DataUtil::setChildData(&e, "G", 1.0, "%d"), std::invalid_argument);
    EXPECT_EQ(e.findChild("G"), nullptr) << "a refused format creates no child";

    DataUtil::setChildDataCheck(&e, "C", 1e-9, 1e-6);
    DataUtil::setChildDataCheck(&e, "C", -0.5, 0.5, "%g");
    EXPECT_EQ(e.findChild("C"), nullptr);
    DataUtil::setChildDataCheck(&e, "C", -2.0, 1e-6);
    DataUtil::setChildDataCheck(&e, "C", 1e-9, 1e-6);
    EXPECT_EQ(e.getChildString("C"), "-2") << "an existing child keeps its text";
    DataUtil::setChildDataCheck(&e, "C", 3.0, 1e-6, "%.2f");
    EXPECT_EQ(e.getChildString("C"), "3.00");
}

TEST(DataUtil, OpenToAttributeFindsTheFull64BitValueOrCreates) {
    Data e("e");
    e.createChild("Item");
    e.createChild("Other")->setAttribute("Id", std::string("9"));
    Data* prefix = e.createChild("Item");
    prefix->setAttribute("Id", std::string(" 9.9"));
    for (const char* text : {"-1", "18446744073709551616"}) {
        e.createChild("Item")->setAttribute("Id", std::string(text));  // no unsigned value
    }
    Data* letters = e.createChild("Item");
    letters->setAttribute("Id", std::string("abc"));
    EXPECT_EQ(DataUtil::openToAttribute(&e, "Item", "Id", 9), prefix);
    EXPECT_EQ(DataUtil::openToAttribute(&e, "Item", "Id", 0), letters);
    EXPECT_EQ(e.getChildren().size(), 6u);

    Data* big = DataUtil::openToAttribute(&e, "Item", "Id", 4294967296ULL);
    EXPECT_EQ(big->getAttributeString("Id"), "4294967296");
    EXPECT_EQ(big->getParent(), &e);
    EXPECT_EQ(DataUtil::openToAttribute(&e, "Item", "Id", 4294967296ULL), big);
    Data* largest = DataUtil::openToAttribute(&e, "Item", "Id", 18446744073709551615ULL);
    EXPECT_EQ(largest->getAttributeString("Id"), "18446744073709551615");
    EXPECT_EQ(DataUtil::openToAttribute(&e, "Item", "Id", 18446744073709551615ULL), largest);
    EXPECT_EQ(e.getChildren().size(), 8u);
}
