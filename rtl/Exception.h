#pragma once
// Base of every exception the program raises. Each class names itself, so an
// error box or a report can show "EClassName: message".
// Safe from any thread.

#include <exception>
#include <string>

namespace rtl {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& message() const noexcept { return m_message; }
    void setMessage(std::string message) { m_message = std::move(message); }
    virtual const char* className() const noexcept { return "Exception"; }

private:
    std::string m_message;
};

// printf-style formatting into a std::string; used for the message tables.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace rtl

// Declares an exception class that derives from Base and reports its own name.
#define RTL_DECLARE_EXCEPTION(Name, Base)                                   \
    class Name : public Base {                                              \
        using InheritedType = Base;                                         \
                                                                            \
    public:                                                                 \
        using InheritedType::InheritedType;                                 \
        const char* className() const noexcept override { return #Name; }  \
    }

namespace rtl {
RTL_DECLARE_EXCEPTION(EStreamError, Exception);
RTL_DECLARE_EXCEPTION(EReadError, EStreamError);
RTL_DECLARE_EXCEPTION(EWriteError, EStreamError);
RTL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
RTL_DECLARE_EXCEPTION(EFCreateError, EStreamError);
RTL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
RTL_DECLARE_EXCEPTION(EThread, Exception);
}  // namespace rtl
