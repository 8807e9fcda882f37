// ChildIn, ChildOut, AttributeIn and AttributeOut: the name/value convention, what is found and
// what is appended, booleans and ranges with their errors.
#include <VelXmlN/AttributeIn.h>
#include <VelXmlN/AttributeOut.h>
#include <VelXmlN/ChildIn.h>
#include <VelXmlN/ChildOut.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using Math::Range;
using VelXmlN::ChildIn;
using VelXmlN::ChildOut;
using VelXmlN::Data;

namespace {

void setting(Data& parent, const std::string& key, const std::string& value) {
    parent.createChild(key)->setAttribute("Value", value);
}

}  // namespace

TEST(ChildIn, ChildrenAreFoundByNameAndTheirFirstNameAttribute) {
    Data parent("p");
    Data* plain = parent.createChild("Layer");
    parent.createChild("Other")->setAttribute("Name", std::string("Top"));
    Data* top = parent.createChild("Layer");
    top->setAttribute("Other", std::string("x"));
    top->setAttribute("Name", std::string("Top"));
    Data* twoNames = parent.createChild("Layer");
    twoNames->setAttribute("Name", std::string("A"));
    twoNames->getAttributes().push_back(new VelXmlN::AttributeData("Name", "B"));

    EXPECT_EQ(ChildIn::findChildren(parent, "Layer"),
              (std::vector<const Data*>{plain, top, twoNames}));
    EXPECT_TRUE(ChildIn::findChildren(parent, "layer").empty());
    EXPECT_EQ(ChildIn::findChild(parent, "Layer", ""), plain);
    EXPECT_EQ(ChildIn::findChild(parent, "Layer", "Top"), top);
    EXPECT_EQ(ChildIn::findChild(parent, "Layer", "B"), nullptr) << "only the first Name counts";
    EXPECT_EQ(ChildIn::findChild(parent, "Layer", "top"), nullptr);
    EXPECT_EQ(ChildIn::readAttributeName(*twoNames).getValue(), "A");
    EXPECT_EQ(ChildIn::readAttributeName(*plain, "fallback"), "fallback");
    // The vocabulary is ready before any test runs: it is made when the library loads.
    EXPECT_EQ(ChildIn::Constants::Name + ChildIn::Constants::Value + ChildIn::Constants::True,
              "NameValuetrue");

    // Writing always appends; tryCreateChild reuses what findChild finds.
    EXPECT_NE(ChildOut::createChild(parent, "Layer", "Top"), top);
    EXPECT_EQ(ChildOut::tryCreateChild(parent, "Layer", "Top"), top);
    EXPECT_EQ(ChildOut::tryCreateChild(parent, "Layer", ""), plain);
    Data* made = ChildOut::tryCreateChild(parent, "Layer", "New");
    EXPECT_EQ(ChildIn::readAttributeName(*made).getValue(), "New");
    EXPECT_TRUE(ChildOut::createChild(parent, "Layer", "")->getAttributes().empty());
    EXPECT_EQ(parent.getChildren().size(), 7u);
}

TEST(ChildIn, ValuesComeFromTheFirstChildThatHasOne) {
    Data parent("p");
    parent.createChild("Speed")->setAttribute("Name", std::string("no value here"));
    setting(parent, "Other", "9");
    ChildOut::createString(parent, "Speed", "");
    ChildOut::createString(parent, "Speed", "3");
    EXPECT_EQ(ChildIn::readString(parent, "Speed").getValue(), "") << "an empty value counts";
    EXPECT_EQ(ChildIn::readString(parent, "Missing", "dflt"), "dflt");
    EXPECT_TRUE(ChildIn::readString(parent, "Missing").isNull());
    EXPECT_FALSE(ChildIn::readBool(parent, "Speed", true));

    // Booleans are true only for exactly "true".
    for (const char* text : {"TRUE", "1", "true "}) {
        setting(parent, text, text);
        EXPECT_FALSE(ChildIn::readBool(parent, text, true)) << text;
    }
    setting(parent, "yes", "true");
    EXPECT_TRUE(ChildIn::readBool(parent, "yes").getValue());
    EXPECT_TRUE(ChildIn::readBool(parent, "missing").isNull());
    EXPECT_TRUE(ChildIn::readBool(parent, "missing", true));
}

TEST(ChildIn, RangesAreReadOrderedFromTheFirstTwoNumbers) {
    Data parent("p");
    setting(parent, "down", "10 1.5");
    setting(parent, "up", "  -2   3e2 junk 7");
    setting(parent, "one", "7");
    setting(parent, "blank", "   ");
    setting(parent, "suffix", "1x 2y");
    EXPECT_EQ(ChildIn::readRange(parent, "down").getValue(), Range(1.5, 10));
    EXPECT_EQ(ChildIn::readRange(parent, "up").getValue(), Range(-2, 300));
    EXPECT_EQ(ChildIn::readRange(parent, "suffix").getValue(), Range(1, 2));
    EXPECT_TRUE(ChildIn::readRange(parent, "one").isNull());
    EXPECT_TRUE(ChildIn::readRange(parent, "blank").isNull());
    EXPECT_TRUE(ChildIn::readRange(parent, "missing").getValue().isEmpty());
    EXPECT_EQ(ChildIn::readRange(parent, "one", Range(-1, 1)), Range(-1, 1));

    // Conversion errors pass on, with one fixed text each whatever the standard library says.
    const auto error = [](const std::string& value) {
        Data holder("p");
        setting(holder, "R", value);
        try {
            ChildIn::readRange(holder, "R", Range(0, 1));
        } catch (const std::logic_error& thrown) {
            return std::string(dynamic_cast<const std::out_of_range*>(&thrown) ? "range: "
                                                                               : "argument: ") +
                   thrown.what();
        }
        return std::string("no exception");
    };
    EXPECT_EQ(error("1 b"), "argument: invalid stod argument");
    EXPECT_EQ(error("1e999 1"), "range: stod argument out of range");
}

TEST(ChildOut, RangesAreWrittenAsGivenOrRefusedWithoutAChild) {
    Data parent("p");
    ChildOut::createRange(parent, "R", Range(4, -1), "%.1f");
    EXPECT_EQ(parent.getChildren()[0]->getAttributeString("Value"), "4.0 -1.0");
    EXPECT_EQ(ChildIn::readRange(parent, "R").getValue(), Range(-1, 4));
    ChildOut::createRange(parent, "W", Range(1, 2), "%4095g");
    EXPECT_EQ(parent.getChildren()[1]->getAttributeString("Value").size(), 2 * 4095u + 1)
        << "a field width of 4095 characters still fits";

    Data empty("p");
    for (const std::string& format :
         {std::string("%d"), std::string("%g %g"), std::string("%g\0%s", 5)}) {
        EXPECT_THROW(ChildOut::createRange(empty, "R", Range(1, 2), format), std::invalid_argument);
    }
    // Too long by its width, by one character of its result, or by a long number.
    EXPECT_THROW(ChildOut::createRange(empty, "R", Range(1, 2), "%4096g"), std::length_error);
    EXPECT_THROW(ChildOut::createRange(empty, "R", Range(1, 2), std::string(4095, 'x') + "%g"),
                 std::length_error);
    EXPECT_THROW(ChildOut::createRange(empty, "R", Range(1, 1e300), "%.4000f"), std::length_error);
    EXPECT_TRUE(empty.getChildren().empty());
}

TEST(AttributeInOut, WritingReplacesInPlaceAndSkipsAnEmptyName) {
    Data e("e");
    EXPECT_EQ(VelXmlN::AttributeIn::readString(e, "a", "dflt"), "dflt");
    VelXmlN::AttributeOut::writeString(e, "a", "1");
    VelXmlN::AttributeOut::writeString(e, "b", "");
    e.getAttributes()[0]->setEntityFlag(false);
    VelXmlN::AttributeOut::writeString(e, "a", "2");
    VelXmlN::AttributeOut::writeString(e, "", "ignored");
    ASSERT_EQ(e.getAttributes().size(), 2u);
    EXPECT_EQ(e.getAttributes()[0]->getData(), "2");
    EXPECT_TRUE(e.getAttributes()[0]->getEntityFlag());
    EXPECT_EQ(VelXmlN::AttributeIn::readString(e, "b", "dflt"), "");
}
