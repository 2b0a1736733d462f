#pragma once
// A demangled C++ function name split into the Class and Procedure/Method
// columns of a call stack row. Parameters, qualifiers and a leading return
// type are dropped ("void ns::T::run(int) const" -> "ns::T", "run"). A lambda
// or local class is named after the function it sits in:
// "ns::T::f()::{lambda()#1}::operator()() const" -> "ns::T", "f::{lambda()#1}::operator()".
// Reads only [demangled.begin(), demangled.end()), whatever the text holds.

#include <string>
#include <string_view>

namespace crashreport {

void splitQualifiedName(std::string_view demangled, std::string& className, std::string& procedure);

}  // namespace crashreport
