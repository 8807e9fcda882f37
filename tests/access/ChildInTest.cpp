// ChildIn: the name/value convention, findValue's search, booleans and ranges with their errors.
#include <VelXmlN/ChildIn.h>
#include <VelXmlN/ChildOut.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using Math::Range;
using VelXmlN::ChildIn;
using VelXmlN::Data;

namespace {

Data* setting(Data& parent, const std::string& key, const std::string& value) {
    Data* child = parent.createChild(key);
    child->setAttribute("Value", value);
    return child;
}

// Runs readRange on a single setting with `value` and returns what() of the exception it throws.
template <typename Exception>
std::string rangeError(const std::string& value) {
    Data parent("p");
    setting(parent, "R", value);
    try {
        ChildIn::readRange(parent, "R");
    } catch (const Exception& error) {
        return error.what();
    }
    return "no exception";
}

}  // namespace

TEST(ChildIn, FindChildrenAndFindChildByName) {
    Data parent("p");
    Data* plain = parent.createChild("Layer");
    parent.createChild("Other")->setAttribute("Name", std::string("Top"));
    Data* bottom = parent.createChild("Layer");
    bottom->setAttribute("Name", std::string("Bottom"));
    Data* top = parent.createChild("Layer");
    top->setAttribute("Other", std::string("x"));
    top->setAttribute("Name", std::string("Top"));
    Data* secondName = parent.createChild("Layer");
    secondName->setAttribute("Name", std::string("A"));
    secondName->getAttributes().push_back(new VelXmlN::AttributeData("Name", "B"));

    EXPECT_EQ(ChildIn::findChildren(parent, "Layer"),
              (std::vector<const Data*>{plain, bottom, top, secondName}));
    EXPECT_TRUE(ChildIn::findChildren(parent, "layer").empty());

    EXPECT_EQ(ChildIn::findChild(parent, "Layer", ""), plain);
    EXPECT_EQ(ChildIn::findChild(parent, "Layer", "Top"), top);
    EXPECT_EQ(ChildIn::findChild(parent, "Layer", "B"), nullptr) << "only the first Name counts";
    EXPECT_EQ(ChildIn::findChild(parent, "Layer", "top"), nullptr);
    EXPECT_EQ(ChildIn::findChild(parent, "Missing", ""), nullptr);

    EXPECT_EQ(ChildIn::readAttributeName(*secondName).getValue(), "A");
    EXPECT_EQ(ChildIn::readAttributeName(*plain, "fallback"), "fallback");
    EXPECT_TRUE(ChildIn::readAttributeName(*plain).isNull());
    // The vocabulary is ready before any test runs: it is made when the library loads.
    EXPECT_EQ(ChildIn::Constants::Name + ChildIn::Constants::Value + ChildIn::Constants::True,
              "NameValuetrue");
}

TEST(ChildIn, FindValueSkipsChildrenWithoutValue) {
    Data parent("p");
    parent.createChild("Speed")->setAttribute("Name", std::string("no value here"));
    setting(parent, "Other", "9");
    setting(parent, "Speed", "3");
    setting(parent, "Speed", "4");
    EXPECT_EQ(ChildIn::readString(parent, "Speed").getValue(), "3");
    EXPECT_EQ(ChildIn::readString(parent, "Speed", "dflt"), "3");
    EXPECT_TRUE(ChildIn::readString(parent, "Missing").isNull());
    EXPECT_EQ(ChildIn::readString(parent, "Missing", "dflt"), "dflt");

    Data empty("p");
    setting(empty, "Speed", "");
    EXPECT_TRUE(ChildIn::readString(empty, "Speed").hasValue());
    EXPECT_EQ(ChildIn::readString(empty, "Speed", "dflt"), "");
    EXPECT_TRUE(ChildIn::readBool(empty, "Speed").hasValue());
    EXPECT_FALSE(ChildIn::readBool(empty, "Speed").getValue());
}

TEST(ChildIn, BooleansAreTrueOnlyForExactTrue) {
    Data parent("p");
    setting(parent, "a", "true");
    setting(parent, "b", "TRUE");
    setting(parent, "c", "1");
    setting(parent, "d", "true ");
    EXPECT_TRUE(ChildIn::readBool(parent, "a").getValue());
    EXPECT_FALSE(ChildIn::readBool(parent, "b").getValue());
    EXPECT_FALSE(ChildIn::readBool(parent, "c").getValue());
    EXPECT_FALSE(ChildIn::readBool(parent, "d", true));
    EXPECT_TRUE(ChildIn::readBool(parent, "missing").isNull());
    EXPECT_TRUE(ChildIn::readBool(parent, "missing", true));
    EXPECT_FALSE(ChildIn::readBool(parent, "missing", false));
}

TEST(ChildIn, ReadRangeOrdersBoundsAndNeedsTwoTokens) {
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
    EXPECT_TRUE(ChildIn::readRange(parent, "missing").isNull());
    EXPECT_TRUE(ChildIn::readRange(parent, "missing").getValue().isEmpty());

    const Range fallback(-1, 1);
    EXPECT_EQ(ChildIn::readRange(parent, "one", fallback), fallback);
    EXPECT_EQ(ChildIn::readRange(parent, "down", fallback), Range(1.5, 10));
}

TEST(ChildIn, ReadRangePassesOnConversionErrors) {
    EXPECT_EQ(rangeError<std::invalid_argument>("1 b"), "invalid stod argument");
    EXPECT_EQ(rangeError<std::out_of_range>("1e999 1"), "stod argument out of range");

    Data parent("p");
    setting(parent, "R", "x y");
    EXPECT_THROW(ChildIn::readRange(parent, "R", Range(0, 1)), std::invalid_argument);
}
