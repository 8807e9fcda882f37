// Typed values: number texts, formatted setters, typed getters, integer sets and vectors.
#include <VelXmlN/Data.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <stdexcept>
#include <string>

using VelXmlN::AttributeData;
using VelXmlN::Data;

namespace {

std::string attributeText(const Data& e, const std::string& name) {
    const AttributeData* attribute = e.findAttribute(name);
    return attribute != nullptr ? attribute->getData() : std::string("<missing>");
}

template <typename F>
void expectThrowMessage(F&& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "expected an exception with message: " << message;
    } catch (const std::exception& e) {
        EXPECT_EQ(e.what(), message);
    }
}

}  // namespace

TEST(Values, NumberSettersOfText) {
    Data e;
    e.setData(0.1);
    EXPECT_EQ(e.getData(), "0.10000000000000000555");
    e.setData(-0.0);
    EXPECT_EQ(e.getData(), "-0");
    e.setData(1.25, "%8.3f");
    EXPECT_EQ(e.getData(), "1.250");
    e.setData(-42);
    EXPECT_EQ(e.getData(), "-42");
    e.setData(18446744073709551615ULL);
    EXPECT_EQ(e.getData(), "18446744073709551615") << "large values are written in full";
    e.setData(3.0, "  %g\t\n");
    EXPECT_EQ(e.getData(), "3");
    e.setData(5.0, "%% %g %%");
    EXPECT_EQ(e.getData(), "% 5 %");
}

TEST(Values, AttributeSetters) {
    Data e;
    e.setAttribute("a", -0.0);
    EXPECT_EQ(attributeText(e, "a"), "0") << "a negative zero attribute is written positive";
    e.setAttribute("f", -0.0001, "%.3f");
    EXPECT_EQ(attributeText(e, "f"), "0.000");
    e.setAttribute("g", 1.5, "%6.2f");
    EXPECT_EQ(attributeText(e, "g"), "1.50");
    e.setAttribute("min", std::numeric_limits<long long>::min(), true);
    EXPECT_EQ(attributeText(e, "min"), "-9223372036854775808");
    e.setAttribute("ull", 4294967296ULL, true);
    EXPECT_EQ(attributeText(e, "ull"), "4294967296");

    e.setAttribute("i", 42, false);
    EXPECT_FALSE(e.findAttribute("i")->getEntityFlag());
    e.setAttribute("i", 1.5);
    EXPECT_TRUE(e.findAttribute("i")->getEntityFlag()) << "the double form sets the flag";
    EXPECT_EQ(attributeText(e, "i"), "1.5");
}

TEST(Values, FormatsAreCheckedBeforeUse) {
    Data e;
    e.setDataPlain("kept");
    for (const char* bad : {"%d", "abc", "%*f", "%Lf", "%n", "%5"}) {
        EXPECT_THROW(e.setData(1.0, bad), std::invalid_argument) << bad;
        EXPECT_THROW(e.setAttribute("x", 1.0, bad), std::invalid_argument) << bad;
    }
    EXPECT_THROW(e.setData(1.0, nullptr), std::invalid_argument);
    EXPECT_EQ(e.getData(), "kept");
    EXPECT_EQ(e.findAttribute("x"), nullptr);
    expectThrowMessage([&] { e.setData(1.0, "%s"); },
                       "invalid number format \"%s\": every conversion must take a double (one "
                       "of f, e, g, a)");
    expectThrowMessage([&] { e.setData(1.0, "%f and %g"); },
                       "invalid number format \"%f and %g\": it holds more than one conversion");
    expectThrowMessage([&] { e.setData(1.0, "%"); },
                       "invalid number format \"%\": it ends inside a conversion");

    for (const char* good : {"%f", "%lf", "%+08.3e", "%#g", "%-10.4G", "%a", "%% %E"}) {
        EXPECT_NO_THROW(e.setData(1.0, good)) << good;
    }
}

TEST(Values, OverlongFormattedResultIsRefusedNotCut) {
    Data e;
    e.setDataPlain("kept");
    EXPECT_THROW(e.setData(1.0, "%2000f"), std::length_error);
    EXPECT_EQ(e.getData(), "kept");
    expectThrowMessage([&] { e.setData(1e300, "%.900f"); },
                       "number format \"%.900f\" gives 1202 characters; at most 1023 fit");
    e.setData(1.0, "%1023f");
    EXPECT_EQ(e.getData(), "1.000000") << "a result of exactly 1023 characters fits";
}

TEST(Values, TypedGettersAndTheirDefaults) {
    Data e;
    e.setAttribute("d", std::string(" 2.5xyz"));
    e.setAttribute("i", std::string("12abc"));
    e.setAttribute("z", std::string("0"));
    e.setAttribute("big", std::string("99999999999"));
    EXPECT_DOUBLE_EQ(e.getAttributeDouble("d"), 2.5);
    EXPECT_EQ(e.getAttributeDouble("missing"), 0.0);
    EXPECT_EQ(e.getAttributeInt("i"), 12);
    EXPECT_EQ(e.getAttributeInt("missing"), -1);
    EXPECT_EQ(e.getAttributeInt("big"), INT_MAX) << "out-of-range integers saturate";
    EXPECT_TRUE(e.getAttributeBool("missing"));
    EXPECT_FALSE(e.getAttributeBool("z"));
    EXPECT_EQ(e.getAttributeString("missing"), "");

    double d = 7;
    int i = 7;
    bool b = true;
    long l = 7;
    std::string s = "untouched";
    EXPECT_FALSE(e.findAttributeDouble("missing", d) || e.findAttributeInt("missing", i) ||
                 e.findAttributeBool("missing", b) || e.findAttributeLong("missing", l) ||
                 e.findAttributeString("missing", s));
    EXPECT_TRUE(d == 7 && i == 7 && b && l == 7 && s == "untouched") << "outputs untouched";
    EXPECT_TRUE(e.findAttributeBool("z", b));
    EXPECT_FALSE(b);
    EXPECT_TRUE(e.findAttributeString("i", s));
    EXPECT_EQ(s, "12abc");

    for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, long>>{
             {"-2.9", -2},
             {"1e3", 1000},
             // Beyond a 32-bit long (Windows) the value is clamped, as below.
             {"123456789012345678", static_cast<long>(std::min<long long>(
                                        123456789012345678LL, std::numeric_limits<long>::max()))},
             {"-1e300", LONG_MIN},
             {"nan", 0}}) {
        e.setAttribute("l", std::string(text));
        ASSERT_TRUE(e.findAttributeLong("l", l));
        EXPECT_EQ(l, expected) << text;
    }
}

TEST(Values, ChildGettersAndVector) {
    Data e;
    e.createChild("abc")->setDataPlain("abc");
    e.createChild("num")->setDataPlain(" 2.5xyz");
    EXPECT_EQ(e.getChildDouble("abc"), 0.0);
    EXPECT_EQ(e.getChildInt("num"), 2);
    EXPECT_EQ(e.getChildInt("missing"), 0) << "0, not the -1 of attributes";
    EXPECT_EQ(e.getChildString("num"), " 2.5xyz");

    Data v;
    v.createChild("Y")->setData(2.0);
    const auto xyz = v.getVector();
    EXPECT_EQ(xyz[0], 0.0);
    EXPECT_EQ(xyz[1], 2.0);
    EXPECT_EQ(xyz[2], 0.0);
}

TEST(Values, CheckValueAndFindChildToAttribute) {
    AttributeData a("v", "1.5");
    EXPECT_FALSE(a.checkValue(1.0, 0.5)) << "the tolerance is a strict bound";
    a.setData("1.4");
    EXPECT_TRUE(a.checkValue(1.0, 0.5));
    a.setData("7x");
    EXPECT_TRUE(a.checkValue(7));
    EXPECT_FALSE(a.checkValue(std::string("7")));
    EXPECT_TRUE(a.checkValue(std::string("7x")));

    Data e;
    e.createChild("item");  // no attribute: passed over
    Data* far = e.createChild("item");
    far->setAttribute("x", std::string("5"));
    Data* near = e.createChild("item");
    near->setAttribute("x", std::string("1.2"));
    e.createChild("other")->setAttribute("x", std::string("1"));
    EXPECT_EQ(e.findChildToAttribute("item", "x", 1.0, 0.5), near);
    EXPECT_EQ(e.findChildToAttribute("item", "x", 1.2, 0.0), nullptr);
    EXPECT_EQ(e.findChildToAttribute("other", "y", 1.0, 10.0), nullptr);
}

TEST(Values, IntegerSets) {
    Data e;
    e.writeIntSet({5, -3, 12});
    ASSERT_EQ(e.getAttributes().size(), 3u);
    EXPECT_EQ(attributeText(e, "N0"), "-3");
    EXPECT_EQ(attributeText(e, "N1"), "5");
    EXPECT_EQ(attributeText(e, "N2"), "12");
    std::set<int> read;
    e.readIntSet(read);
    EXPECT_EQ(read, (std::set<int>{-3, 5, 12}));

    e.writeIntSet({1});
    EXPECT_EQ(attributeText(e, "N0"), "1");
    EXPECT_EQ(attributeText(e, "N2"), "12") << "a smaller set leaves the higher attributes";
    e.writeIntSet({});
    EXPECT_EQ(e.getAttributes().size(), 3u);

    e.setAttribute("Name", std::string("abc"));
    std::set<int> more{100};
    e.readIntSet(more);
    EXPECT_EQ(more, (std::set<int>{0, 1, 5, 12, 100})) << "not cleared, and 'abc' reads as 0";
}
