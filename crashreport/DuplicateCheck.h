#pragma once
// Whether two log entries report the same error: the same Address, Module,
// Type and Message of the Exception section. The address is compared relative
// to its module's load address (taken from the entry's Modules table), so the
// same throw site matches across runs although the program loads elsewhere
// each time. Never allocates.

#include <cstdint>
#include <string_view>

namespace crashreport {

struct TExceptionFields {
    std::string_view address, module, type, message;
    uint64_t moduleOffset = 0;
    bool hasOffset = false;
};

// modulesTitle: the title line of the Modules table ("Modules Information:").
TExceptionFields exceptionFieldsOf(std::string_view entry, std::string_view modulesTitle);
bool sameError(const TExceptionFields& a, const TExceptionFields& b);

}  // namespace crashreport
