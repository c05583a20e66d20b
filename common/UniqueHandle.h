#pragma once
// One move-only owner for every kind of platform handle. The traits name the handle type,
// its empty value and the function that closes it:
//
//     struct Traits {
//         using Type = ...;
//         static Type empty();
//         static void close(Type value);
//     };
//
// Copying does not compile, so a handle can never be closed twice.

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : m_hValue(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    UniqueHandle(UniqueHandle&& other) noexcept : m_hValue(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Type get() const { return m_hValue; }
    bool isValid() const { return m_hValue != Traits::empty(); }
    explicit operator bool() const { return isValid(); }

    // Closes the held value (if any) and takes the new one.
    void reset(Type value = Traits::empty()) {
        Type old = std::exchange(m_hValue, value);
        if (old != Traits::empty()) {
            Traits::close(old);
        }
    }

    // Gives up ownership without closing.
    Type release() { return std::exchange(m_hValue, Traits::empty()); }

    // Address for a platform call that returns a new handle through a pointer; closes the
    // old one first so nothing leaks.
    Type* put() {
        reset();
        return &m_hValue;
    }

private:
    Type m_hValue = Traits::empty();
};
