// The tools library stand-in: tokenizing, prefixes, negative zeros, Nullable and Range.
#include <VelXmlN/Nullable.h>
#include <VelXmlN/Range.h>
#include <VelXmlN/Tools.h>

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using Strings = std::vector<std::string>;

TEST(Tools, TokenizeDropsEmptyPieces) {
    EXPECT_EQ(Tools::tokenize("/a/b", "/"), (Strings{"a", "b"}));
    EXPECT_EQ(Tools::tokenize("//a//b//", "/"), (Strings{"a", "b"}));
    EXPECT_EQ(Tools::tokenize("", "/"), Strings{});
    EXPECT_EQ(Tools::tokenize("///", "/"), Strings{});
    EXPECT_EQ(Tools::tokenize("10 1.5  x", " "), (Strings{"10", "1.5", "x"}));
    EXPECT_EQ(Tools::tokenize("a,b;c", ",;"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Tools::tokenize("abc", ""), Strings{"abc"});
    EXPECT_EQ(Tools::tokenize("item[@id='a/b']", "/"), (Strings{"item[@id='a", "b']"}));
}

TEST(Tools, StartsWith) {
    EXPECT_TRUE(Tools::startsWith("//a", "//", true));
    EXPECT_FALSE(Tools::startsWith("/a", "//", true));
    EXPECT_FALSE(Tools::startsWith("/", "//", true));
    EXPECT_TRUE(Tools::startsWith("abc", "", true));
    EXPECT_FALSE(Tools::startsWith("Abc", "ab", true));
    EXPECT_TRUE(Tools::startsWith("Abc", "ab", false));
    EXPECT_FALSE(Tools::startsWith("\xC4x", "\xE4", false)) << "only ASCII letters fold";
}

TEST(Tools, ToPositiveZero) {
    EXPECT_EQ(Tools::toPositiveZero("-0"), "0");
    EXPECT_EQ(Tools::toPositiveZero("-0.000"), "0.000");
    EXPECT_EQ(Tools::toPositiveZero("-0e+00"), "0e+00");
    EXPECT_EQ(Tools::toPositiveZero("-0.0E-5"), "0.0E-5");
    EXPECT_EQ(Tools::toPositiveZero("-.0"), ".0");
    for (const char* unchanged : {"0", "-0.5", "-1", "-", "-.", "-0x", "-0e", "-0e+", "-00.01", "",
                                  "-inf", "-nan", "abc"}) {
        EXPECT_EQ(Tools::toPositiveZero(unchanged), unchanged);
    }
}

TEST(Nullable, EmptyAndHolding) {
    velt::Nullable<std::string> empty;
    EXPECT_FALSE(empty.hasValue());
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(empty.getValue(), "");
    EXPECT_EQ(empty.valueOr("fallback"), "fallback");
    velt::Nullable<std::string> held(std::string(""));
    EXPECT_TRUE(held.hasValue()) << "an empty string is still a value";
    EXPECT_NE(held, empty);
    velt::Nullable<Math::Range> range;
    EXPECT_EQ(range.getValue(), Math::Range()) << "an empty Nullable holds a default Range";
}

TEST(Range, DefaultIsEmptyInterval) {
    const Math::Range empty;
    EXPECT_EQ(empty.getLower(), std::numeric_limits<double>::max());
    EXPECT_EQ(empty.getUpper(), -1.7976931348623157e308);
    EXPECT_TRUE(empty.isEmpty());
    const Math::Range range(1.5, 10);
    EXPECT_EQ(range.getLower(), 1.5);
    EXPECT_EQ(range.getUpper(), 10);
    EXPECT_FALSE(range.isEmpty());
}
