// A feature a model may or may not carry, held on the heap only once something writes to it, so that an
// object pays only for the features it uses.
//
// Get allocates a default value on first use and returns it; Find gives the value or null without
// allocating; Read gives the value or, when there is none, one shared default that nobody may change.
// The holder has value semantics: a copy is deep and independent (it uses the value's own copy, so a
// running timer, motion or sound is never copied), assigning uses the value's own assignment, and
// assigning an empty holder destroys the held value (whose destructor ends its running work). A move
// takes the held value as it is, at its address, running work included; the source is left empty.
#pragma once

#include <memory>

template <typename T>
class FeatureHolder {
public:
    FeatureHolder() = default;
    FeatureHolder(const FeatureHolder& other) : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr) {}
    FeatureHolder(FeatureHolder&& other) noexcept = default;
    FeatureHolder& operator=(FeatureHolder&& other) noexcept = default;
    ~FeatureHolder() = default;

    FeatureHolder& operator=(const FeatureHolder& other)
    {
        if (this == &other) return *this;
        if (!other.value_) {
            value_.reset();
        } else if (value_) {
            *value_ = *other.value_;
        } else {
            value_ = std::make_unique<T>(*other.value_);
        }
        return *this;
    }

    bool Has() const { return value_ != nullptr; }

    T& Get()
    {
        if (!value_) value_ = std::make_unique<T>();
        return *value_;
    }
    T* Find() { return value_.get(); }
    const T* Find() const { return value_.get(); }
    const T& Read() const { return value_ ? *value_ : SharedDefault(); }

private:
    static const T& SharedDefault()
    {
        static const T empty{};
        return empty;
    }

    std::unique_ptr<T> value_;
};
