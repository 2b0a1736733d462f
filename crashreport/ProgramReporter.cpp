#include "crashreport/ProgramReporter.h"

#include <dlfcn.h>

namespace crashreport {

bool reportThroughProgram(std::exception_ptr error, const void* address) {
    using Entry = void (*)(void*, void*);
    void* program = dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
    if (!program) return false;
    auto entry = reinterpret_cast<Entry>(dlsym(program, "ExceptionManager"));
    dlclose(program);
    if (!entry) return false;
    entry(&error, const_cast<void*>(address));
    return true;
}

}  // namespace crashreport
