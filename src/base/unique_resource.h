#pragma once

#include <utility>

namespace zendro {

// Sole owner of a C resource. Traits supply `Value`, `Invalid()`, `IsValid(v)` and `Close(v)`.
// Most owners need no traits of their own: see `UniqueAny` below.
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

// Traits of a resource that one function closes and one value marks as none.
template <typename T, auto close, T invalid = T{}>
struct ClosedBy {
    using Value = T;
    static Value Invalid() { return invalid; }
    static bool IsValid(Value v) { return v != invalid; }
    static void Close(Value v) { close(v); }
};

// An owner in one line: `using UniqueKey = UniqueAny<HKEY, ::RegCloseKey>;`. The invalid value is
// null (or zero) unless given.
template <typename T, auto close, T invalid = T{}>
using UniqueAny = UniqueResource<ClosedBy<T, close, invalid>>;

}  // namespace zendro
