// ChildOut, AttributeIn and AttributeOut: what they append, what they find, and createRange's
// refusals.
#include <VelXmlN/AttributeIn.h>
#include <VelXmlN/AttributeOut.h>
#include <VelXmlN/ChildIn.h>
#include <VelXmlN/ChildOut.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using Math::Range;
using VelXmlN::AttributeIn;
using VelXmlN::AttributeOut;
using VelXmlN::ChildIn;
using VelXmlN::ChildOut;
using VelXmlN::Data;

TEST(ChildOut, CreateFunctionsAlwaysAppend) {
    Data parent("p");
    EXPECT_TRUE(ChildOut::createChild(parent, "Layer", "")->getAttributes().empty());
    Data* top = ChildOut::createChild(parent, "Layer", "Top");
    EXPECT_NE(ChildOut::createChild(parent, "Layer", "Top"), top);
    EXPECT_EQ(ChildIn::readAttributeName(*top).getValue(), "Top");

    // An empty value is still written, and found before a later child of the name.
    ChildOut::createString(parent, "Speed", "");
    ChildOut::createString(parent, "Speed", "3");
    EXPECT_EQ(parent.getChildren().size(), 5u);
    EXPECT_EQ(ChildIn::readString(parent, "Speed").getValue(), "");
}

TEST(ChildOut, TryCreateChildReusesWhatFindChildFinds) {
    Data parent("p");
    Data* plain = parent.createChild("Layer");
    EXPECT_EQ(ChildOut::tryCreateChild(parent, "Layer", ""), plain);
    Data* top = ChildOut::tryCreateChild(parent, "Layer", "Top");
    EXPECT_NE(top, plain);
    EXPECT_EQ(top->getAttributeString("Name"), "Top");
    EXPECT_EQ(ChildOut::tryCreateChild(parent, "Layer", "Top"), top);
    EXPECT_EQ(parent.getChildren().size(), 2u);
}

TEST(ChildOut, CreateRangeWritesLowerThenUpper) {
    Data parent("p");
    Data* child = ChildOut::createRange(parent, "R", Range(1.5, 10), "%g");
    EXPECT_EQ(child->getAttributeString("Value"), "1.5 10");
    EXPECT_EQ(ChildIn::readRange(parent, "R").getValue(), Range(1.5, 10));

    // Stored as given: a reversed range is written reversed and read back ordered.
    ChildOut::createRange(parent, "S", Range(4, -1), "%.1f");
    EXPECT_EQ(parent.getChildren()[1]->getAttributeString("Value"), "4.0 -1.0");
    EXPECT_EQ(ChildIn::readRange(parent, "S").getValue(), Range(-1, 4));

    // A field width of 4095 characters still fits.
    ChildOut::createRange(parent, "W", Range(1, 2), "%4095g");
    EXPECT_EQ(parent.getChildren()[2]->getAttributeString("Value").size(), 2 * 4095u + 1);
    EXPECT_EQ(ChildIn::readRange(parent, "W").getValue(), Range(1, 2));
}

TEST(ChildOut, CreateRangeRefusesBadFormatsAndAddsNothing) {
    Data parent("p");
    EXPECT_THROW(ChildOut::createRange(parent, "R", Range(1, 2), "%d"), std::invalid_argument);
    EXPECT_THROW(ChildOut::createRange(parent, "R", Range(1, 2), "%g %g"), std::invalid_argument);
    EXPECT_THROW(ChildOut::createRange(parent, "R", Range(1, 2), std::string("%g\0%s", 5)),
                 std::invalid_argument);
    // Too long by its width, by one character of its result, or by a long number.
    EXPECT_THROW(ChildOut::createRange(parent, "R", Range(1, 2), "%4096g"), std::length_error);
    EXPECT_THROW(ChildOut::createRange(parent, "R", Range(1, 2), std::string(4095, 'x') + "%g"),
                 std::length_error);
    EXPECT_THROW(ChildOut::createRange(parent, "R", Range(1, 1e300), "%.4000f"), std::length_error);
    EXPECT_TRUE(parent.getChildren().empty());

    try {
        ChildOut::createRange(parent, "R", Range(1, 2), "%d");
        FAIL() << "no exception";
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(),
                     "invalid number format \"%d\": every conversion must take a double (one of "
                     "f, e, g, a)");
    }
}

TEST(AttributeInOut, ReadAndWriteSingleAttributes) {
    Data e("e");
    EXPECT_TRUE(AttributeIn::readString(e, "a").isNull());
    EXPECT_EQ(AttributeIn::readString(e, "a", "dflt"), "dflt");

    AttributeOut::writeString(e, "a", "1");
    AttributeOut::writeString(e, "b", "");
    e.getAttributes()[0]->setEntityFlag(false);
    AttributeOut::writeString(e, "a", "2");
    ASSERT_EQ(e.getAttributes().size(), 2u);
    EXPECT_EQ(e.getAttributes()[0]->getData(), "2") << "replaced in place";
    EXPECT_TRUE(e.getAttributes()[0]->getEntityFlag());
    EXPECT_EQ(AttributeIn::readString(e, "a").getValue(), "2");
    EXPECT_EQ(AttributeIn::readString(e, "b", "dflt"), "");

    AttributeOut::writeString(e, "", "ignored");
    EXPECT_EQ(e.getAttributes().size(), 2u);
}
