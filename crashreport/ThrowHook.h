#pragma once
// The stack at the throw. This library defines the runtime's throw entry
// (__cxa_throw) for the executable it is linked into; while capture is on,
// each throw copies the throwing thread's registers and stack top into a small
// per-thread ring before it goes on to the runtime's own entry. A report made
// after the catch finds the copy by the exception object. Safe from any thread.

#include <cstdint>
#include <exception>

#include "crashreport/StackSnapshot.h"

namespace crashreport {

void setThrowCapture(bool on);
bool throwCaptureOn();

struct TThrowRecord {
    const TStackSnapshot* snapshot = nullptr;
    uintptr_t throwSite = 0;  // return address of the throw's call into the runtime
};

// The record of the throw of object on this thread, if it is still in the ring.
TThrowRecord findThrowRecord(const void* object);
// The thrown object an exception_ptr refers to (null for none).
const void* exceptionObjectOf(const std::exception_ptr& error);

}  // namespace crashreport
