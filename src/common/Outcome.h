#pragma once

// How the core reports a failure: one type, carried by value, that either
// says "done" or holds a message for the user and the kind of failure. The
// message is one plain English text that names what failed (the file, the
// part, the field) and why; callers show it as it is and never parse it.
// The kind is for callers that act on it: the command line's exit status,
// an analysis that stops at a cancel, a result that says "simulation
// unavailable" rather than "not simulated".
//
// Both types are [[nodiscard]]: a call whose failure is ignored is a
// compiler warning, and CI builds with -Werror.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace norvane {

// What kind of failure it is.
enum class FailureKind {
    Failed,       // anything else; the message says what
    Unavailable,  // a part of the program is not there (ngspice's library)
    Refused,      // the input is not acceptable (a value, a netlist, a file)
    NotConverged, // a numerical method found no solution
    TimedOut,     // it ran out of its time limit
    Cancelled,    // the caller asked it to stop
};

// The reason an operation failed, as the user reads it.
struct Failure {
    std::string m_Message;
    FailureKind m_Kind = FailureKind::Failed;
};

// Success, or a Failure.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Failure failure) : m_Failure(std::move(failure)) {}

    bool Ok() const { return !m_Failure.has_value(); }
    explicit operator bool() const { return Ok(); }
    // Empty on success.
    const std::string& Message() const
    {
        static const std::string none;
        return m_Failure ? m_Failure->m_Message : none;
    }
    // Only when !Ok().
    FailureKind Kind() const { return m_Failure ? m_Failure->m_Kind : FailureKind::Failed; }
    bool Is(FailureKind kind) const { return m_Failure && m_Failure->m_Kind == kind; }

private:
    std::optional<Failure> m_Failure;
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
    // Only when !Ok().
    FailureKind Kind() const { return Ok() ? FailureKind::Failed : std::get<Failure>(m_State).m_Kind; }
    bool Is(FailureKind kind) const { return !Ok() && std::get<Failure>(m_State).m_Kind == kind; }
    // The failure alone, to pass on to a caller of another type.
    Status AsStatus() const { return Ok() ? Status() : Status(std::get<Failure>(m_State)); }

private:
    std::variant<T, Failure> m_State;
};

} // namespace norvane
