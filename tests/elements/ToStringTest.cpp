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

TEST(ToString, AgreesWithPrintfOnBoundariesAndRandomDoubles) {
    EXPECT_EQ(Data::toString(-2147483647 - 1), "-2147483648");
    using Limits = std::numeric_limits<double>;
    std::vector<double> values = {0.0,
                                  -0.0,
                                  Limits::infinity(),
                                  -Limits::infinity(),
                                  Limits::quiet_NaN(),
                                  -Limits::quiet_NaN(),
                                  Limits::min(),
                                  Limits::denorm_min(),
                                  -Limits::denorm_min(),
                                  Limits::max(),
                                  Limits::lowest(),
                                  Limits::epsilon(),
                                  9.9999999999999999e19,
                                  99999999999999991611392.0,
                                  0.00009999999999999999,
                                  1e-4,
                                  9.99999999999999999e-5};
    // Powers of ten and their neighbours, where the notation and the digit count change.
    for (int exponent = -330; exponent <= 310; ++exponent) {
        const double power = std::pow(10.0, exponent);
        values.insert(values.end(),
                      {power, std::nextafter(power, 0.0), std::nextafter(power, HUGE_VAL), -power});
    }
    for (int exponent = -1074; exponent <= 1023; exponent += 7) {
        values.push_back(std::ldexp(1.0, exponent));
    }
    // Random bit patterns cover every exponent, subnormals and NaN payloads; ordinary values the
    // fixed notation that most documents hold; whole numbers take a fast path of their own.
    std::mt19937_64 random(20261205);
    std::uniform_real_distribution<double> ordinary(-1e6, 1e6);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(i % 3 == 0   ? fromBits(random())
                         : i % 3 == 1 ? ordinary(random)
                                      : std::ldexp(std::round(ordinary(random)),
                                                   static_cast<int>(random() % 64)));
    }
    for (const double value : values) {
        if (Data::toString(value) != printfText(value)) {
            ADD_FAILURE() << "toString(" << printfText(value) << ") gave " << Data::toString(value);
            break;
        }
    }
}
