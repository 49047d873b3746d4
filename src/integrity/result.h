#pragma once

#include "failure.h"

#include <cassert>
#include <utility>
#include <variant>

namespace orvane {

/// The value of a call that can fail, or its Failure. The engine reports every failure this way (or as a
/// std::optional<Failure> when there is no value); nothing it offers throws.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value)
        : m_content(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Failure failure)
        : m_content(std::in_place_index<1>, std::move(failure))
    {
    }

    explicit operator bool() const
    {
        return m_content.index() == 0;
    }
    /// Only when the call succeeded.
    T& value()
    {
        assert(*this);
        return std::get<0>(m_content);
    }
    const T& value() const
    {
        assert(*this);
        return std::get<0>(m_content);
    }
    /// Only when the call failed.
    const Failure& failure() const
    {
        assert(!*this);
        return std::get<1>(m_content);
    }

private:
    std::variant<T, Failure> m_content;
};

} // namespace orvane
