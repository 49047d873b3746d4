#pragma once

#include <stdexcept>
#include <string>

namespace orvane {

/*!
 * The error a failing extended-attribute call becomes: a POSIX error number and the C library's message
 * for it. what() and description() give that message and nothing else.
 */
class AttributeError : public std::runtime_error
{
public:
    /// Builds the error for an error number; the message is strerror's text for it.
    explicit AttributeError(int code);

    /// Always "POSIX": the code is an errno value.
    [[nodiscard]] static const char* domain()
    {
        return "POSIX";
    }
    [[nodiscard]] int code() const noexcept
    {
        return m_code;
    }
    [[nodiscard]] std::string description() const
    {
        return what();
    }

private:
    int m_code;
};

} // namespace orvane
