#ifndef VELXMLN_RANGE_H
#define VELXMLN_RANGE_H

#include <limits>

namespace Math {

/// A numeric interval from a lower to an upper bound. The default value is the empty interval,
/// lower bound the largest finite double and upper bound its negative.
class Range {
  public:
    /// The empty interval.
    constexpr Range() noexcept
        : lower_(std::numeric_limits<double>::max()), upper_(-std::numeric_limits<double>::max()) {}

    /// The interval from `lower` to `upper`, stored as given (no reordering).
    constexpr Range(double lower, double upper) noexcept : lower_(lower), upper_(upper) {}

    /// The lower bound.
    constexpr double getLower() const noexcept { return lower_; }

    /// The upper bound.
    constexpr double getUpper() const noexcept { return upper_; }

    /// True when the lower bound is above the upper bound (the default range is empty).
    constexpr bool isEmpty() const noexcept { return lower_ > upper_; }

    friend constexpr bool operator==(const Range& a, const Range& b) noexcept {
        return a.lower_ == b.lower_ && a.upper_ == b.upper_;
    }
    friend constexpr bool operator!=(const Range& a, const Range& b) noexcept { return !(a == b); }

  private:
    double lower_;
    double upper_;
};

}  // namespace Math

#endif
