#include "crashreport/InternalNotices.h"

#include <cxxabi.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "crashreport/ReportText.h"
#include "rtl/Exception.h"

namespace crashreport {

namespace {

std::mutex g_lock;
std::deque<std::string>& notices() {
    static auto* list = new std::deque<std::string>;
    return *list;
}

std::string hexAddress(uintptr_t address) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*llX", kAddressDigits, static_cast<unsigned long long>(address));
    return buffer;
}

std::string demangled(const char* name) {
    int status = 0;
    char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    std::string result = status == 0 && text ? text : name;
    std::free(text);
    return result;
}

void keep(std::string line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::lock_guard<std::mutex> guard(g_lock);
    notices().push_back(std::move(line));
    while (notices().size() > kMaxNotices) notices().pop_front();
}

}  // namespace

const char* errorCodeName(TQuillLogErrorCode code) {
    switch (code) {
        case eeNone: return "eeNone";
        case eeShowError: return "eeShowError";
        case eeLogError: return "eeLogError";
        case eeEmailMAPIError: return "eeEmailMAPIError";
        case eeEmailShellError: return "eeEmailShellError";
        case eeEmailSMTPError: return "eeEmailSMTPError";
    }
    return "eeNone";
}

void recordErrorNotice(const char* section, uintptr_t address, std::exception_ptr error) {
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const rtl::Exception& e) {
        message = rtl::format("[%s] %s", e.className(), e.what());
    } catch (const std::exception& e) {
        message = rtl::format("[%s] %s", demangled(typeid(e).name()).c_str(), e.what());
    } catch (...) {
        message = rtl::format("General '%s' error.", section);
    }
    keep(rtl::format("[ERROR] - Section: %s - Address: %s - Message: \"%s\"", section, hexAddress(address).c_str(),
                     message.c_str()));
}

void recordWarningNotice(TQuillLogErrorCode code, uintptr_t address, const std::string& message) {
    keep(rtl::format("[WARNING] - Code: %s - Address: %s - Message: \"%s\"", errorCodeName(code),
                     hexAddress(address).c_str(), message.c_str()));
}

void writeNoticeFromSignal(const char* message) {
    const ssize_t ignored = ::write(STDERR_FILENO, message, std::strlen(message));
    (void)ignored;
}

std::vector<std::string> internalNotices() {
    std::lock_guard<std::mutex> guard(g_lock);
    return {notices().begin(), notices().end()};
}

}  // namespace crashreport
