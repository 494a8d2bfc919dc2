#pragma once

// How the core reports a failure: one type, carried by value, that either
// says "done" or holds a message for the user. The message is one plain
// English text that names what failed (the file, the part, the field) and
// why; callers show it as it is and never parse it.
//
// Both types are [[nodiscard]]: a call whose failure is ignored is a
// compiler warning, and CI builds with -Werror.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace norvane {

// The reason an operation failed, as the user reads it.
struct Failure {
    std::string m_Message;
};

// Success, or a Failure.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Failure failure) : m_Failure(std::move(failure.m_Message)) {}

    bool Ok() const { return !m_Failure.has_value(); }
    explicit operator bool() const { return Ok(); }
    // Empty on success.
    const std::string& Message() const
    {
        static const std::string none;
        return m_Failure ? *m_Failure : none;
    }

private:
    std::optional<std::string> m_Failure;
};

// A value, or a Failure.
template <typename T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : m_State(std::move(value)) {}
    Expected(Failure failure) : m_State(std::move(failure)) {}

    bool Ok() const { return std::holds_alternative<T>(m_State); }
    explicit operator bool() const { return Ok(); }

    // Only when Ok().
    const T& Value() const& { return std::get<T>(m_State); }
    T& Value() & { return std::get<T>(m_State); }
    T&& Value() && { return std::get<T>(std::move(m_State)); }
    const T* operator->() const { return &Value(); }
    const T& operator*() const& { return Value(); }

    // Empty on success.
    const std::string& Message() const
    {
        static const std::string none;
        return Ok() ? none : std::get<Failure>(m_State).m_Message;
    }
    // The failure alone, to pass on to a caller of another type.
    Status AsStatus() const { return Ok() ? Status() : Status(std::get<Failure>(m_State)); }

private:
    std::variant<T, Failure> m_State;
};

} // namespace norvane
