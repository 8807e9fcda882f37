#ifndef VELXMLN_NULLABLE_H
#define VELXMLN_NULLABLE_H

#include <stdexcept>
#include <utility>

namespace velt {

/// An optional value: either empty or holding one value of type T. An empty Nullable still holds
/// a default-constructed T, so reading the value of an empty one gives that default.
template <typename T>
class Nullable {
  public:
    /// Makes an empty Nullable holding a default T.
    Nullable() : hasValue_(false), value_() {}

    /// Makes a Nullable holding a copy of `value`.
    Nullable(const T& value) : hasValue_(true), value_(value) {}  // NOLINT: implicit on purpose

    /// Makes a Nullable holding `value`, moved in.
    Nullable(T&& value) : hasValue_(true), value_(std::move(value)) {}  // NOLINT

    /// True when a value is held.
    bool hasValue() const noexcept { return hasValue_; }

    /// True when no value is held.
    bool isNull() const noexcept { return !hasValue_; }

    /// Same as hasValue().
    explicit operator bool() const noexcept { return hasValue_; }

    /// The held value; for an empty Nullable the default T it keeps.
    const T& getValue() const noexcept { return value_; }

    /// The held value, modifiable; for an empty Nullable the default T it keeps.
    T& getValue() noexcept { return value_; }

    /// The held value, or `fallback` when empty.
    T valueOr(const T& fallback) const { return hasValue_ ? value_ : fallback; }

    /// Two Nullables are equal when both are empty, or both hold equal values.
    friend bool operator==(const Nullable& a, const Nullable& b) {
        return a.hasValue_ == b.hasValue_ && (!a.hasValue_ || a.value_ == b.value_);
    }
    friend bool operator!=(const Nullable& a, const Nullable& b) { return !(a == b); }

  private:
    bool hasValue_;
    T value_;
};

}  // namespace velt

#endif
