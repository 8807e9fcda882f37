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
    EXPECT_EQ(Tools::tokenize("//a//b//", "/"), (Strings{"a", "b"}));
    EXPECT_EQ(Tools::tokenize("///", "/"), Strings{});
    EXPECT_EQ(Tools::tokenize("a,b;c", ",;"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(Tools::tokenize("abc", ""), Strings{"abc"});
    EXPECT_EQ(Tools::tokenize("item[@id='a/b']", "/"), (Strings{"item[@id='a", "b']"}));
}

TEST(Tools, StartsWithAndToPositiveZero) {
    EXPECT_FALSE(Tools::startsWith("/", "//", true));
    EXPECT_FALSE(Tools::startsWith("Abc", "ab", true));
    EXPECT_TRUE(Tools::startsWith("Abc", "ab", false));
    EXPECT_FALSE(Tools::startsWith("\xC4x", "\xE4", false)) << "only ASCII letters fold";

    EXPECT_EQ(Tools::toPositiveZero("-0"), "0");
    EXPECT_EQ(Tools::toPositiveZero("-0.0E-5"), "0.0E-5");
    EXPECT_EQ(Tools::toPositiveZero("-.0"), ".0");
    for (const char* unchanged : {"-0.5", "-", "-.", "-0x", "-0e", "-00.01", "", "-nan"}) {
        EXPECT_EQ(Tools::toPositiveZero(unchanged), unchanged);
    }
}

TEST(NullableAndRange, EmptyAndHolding) {
    velt::Nullable<std::string> empty;
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(empty.valueOr("fallback"), "fallback");
    velt::Nullable<std::string> held(std::string(""));
    EXPECT_TRUE(held.hasValue()) << "an empty string is still a value";
    EXPECT_NE(held, empty);

    const Math::Range none = velt::Nullable<Math::Range>().getValue();
    EXPECT_EQ(none.getLower(), std::numeric_limits<double>::max());
    EXPECT_EQ(none.getUpper(), -1.7976931348623157e308);
    EXPECT_TRUE(none.isEmpty());
    EXPECT_FALSE(Math::Range(1.5, 10).isEmpty());
}
