#pragma once
// For code in a library module loaded into the process: reports through the
// program's own reporter by calling the program's exported ExceptionManager
// (looked up in the main program), so every module reports to one log.

#include <exception>

namespace crashreport {

// False when the program exports no ExceptionManager.
bool reportThroughProgram(std::exception_ptr error, const void* address = nullptr);

}  // namespace crashreport
