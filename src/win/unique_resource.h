#pragma once

#include <utility>

namespace zendro {

// Sole owner of a C resource. Traits supply `Value`, `Invalid()`, `IsValid(v)` and `Close(v)`.
template <typename Traits>
class UniqueResource {
  public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Value get() const { return value_; }
    explicit operator bool() const { return Traits::IsValid(value_); }

    // For out-parameters of the C API: closes what is held and hands out the slot.
    Value* put() {
        reset();
        return &value_;
    }

    Value release() { return std::exchange(value_, Traits::Invalid()); }

    void reset(Value value = Traits::Invalid()) {
        Value old = std::exchange(value_, value);
        if (Traits::IsValid(old)) Traits::Close(old);
    }

  private:
    Value value_ = Traits::Invalid();
};

}  // namespace zendro
