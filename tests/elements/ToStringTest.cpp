// toString(double) must give exactly what printf("%.20g") gives.
#include <VelXmlN/Data.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using VelXmlN::Data;

namespace {

std::string printfText(double value) {
#ifdef _WIN32
    // The library writes the same text on every platform, with the C library of Linux as its
    // model; MinGW's printf drops the sign of a negative NaN, which glibc keeps.
    if (std::isnan(value)) {
        return std::signbit(value) ? "-nan" : "nan";
    }
#endif
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.20g", value);
    return buffer;
}

double fromBits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

TEST(ToString, IntegersAndTextOverloads) {
    EXPECT_EQ(Data::toString(-2147483647 - 1), "-2147483648");
    const std::string text = "same object";
    EXPECT_EQ(&Data::toString(text), &text);
}

TEST(ToString, AgreesWithPrintfOnSpecialValues) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(),
                                  -std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::epsilon(),
                                  9.9999999999999999e19,
                                  99999999999999991611392.0,
                                  0.00009999999999999999,
                                  1e-4,
                                  9.99999999999999999e-5};
    for (int exponent = -330; exponent <= 310; ++exponent) {
        const double power = std::pow(10.0, exponent);
        values.push_back(power);
        values.push_back(std::nextafter(power, 0.0));
        values.push_back(std::nextafter(power, HUGE_VAL));
        values.push_back(-power);
    }
    for (int exponent = -1074; exponent <= 1023; exponent += 7) {
        values.push_back(std::ldexp(1.0, exponent));
    }
    for (const double value : values) {
        EXPECT_EQ(Data::toString(value), printfText(value)) << "bits of a value that differed";
    }
}

TEST(ToString, AgreesWithPrintfOnRandomDoubles) {
    std::mt19937_64 random(20261205);
    std::uniform_real_distribution<double> ordinary(-1e6, 1e6);
    for (int i = 0; i < 100000; ++i) {
        // Random bit patterns cover every exponent, subnormals and NaN payloads; ordinary values
        // cover the fixed notation that most documents hold.
        // Whole numbers take a fast path of their own, so they get a share too.
        double value = fromBits(random());
        if (i % 3 == 1) {
            value = ordinary(random);
        } else if (i % 3 == 2) {
            value = std::ldexp(std::round(ordinary(random)), static_cast<int>(random() % 64));
        }
        const std::string ours = Data::toString(value);
        const std::string theirs = printfText(value);
        if (ours != theirs) {
            ADD_FAILURE() << "toString(" << theirs << ") gave " << ours;
            break;
        }
    }
}
