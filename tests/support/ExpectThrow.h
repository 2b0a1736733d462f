#pragma once
// expectThrowWith<E>(fn, "text"): fn must throw E (or a descendant) whose what() is exactly text.
// A mismatch is reported at the caller's line; tests need no hand-written try/catch blocks.

#include <gtest/gtest.h>

#include <exception>
#include <source_location>
#include <string>
#include <typeinfo>
#include <utility>

namespace testsupport {

// expectThrowWith<E>(fn, "text", check): as below, and check(e) then looks at the rest of the caught
// exception (its code, its body ...).
template <class E, class Fn, class Check>
void expectThrowWith(Fn&& fn, const std::string& text, Check&& check,
                     std::source_location where = std::source_location::current()) {
    std::string problem;
    try {
        fn();
        problem = "did not throw (expected \"" + text + "\")";
    } catch (const E& e) {
        if (text != e.what())
            problem = std::string("threw the expected type with \"") + e.what() + "\", expected \"" + text + "\"";
        check(e);
    } catch (const std::exception& e) {
        problem = std::string("threw ") + typeid(e).name() + " (\"" + e.what() + "\") instead of " + typeid(E).name();
    } catch (...) {
        problem = "threw something that is no std::exception";
    }
    if (!problem.empty()) ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << problem;
}

template <class E, class Fn>
void expectThrowWith(Fn&& fn, const std::string& text,
                     std::source_location where = std::source_location::current()) {
    expectThrowWith<E>(std::forward<Fn>(fn), text, [](const E&) {}, where);
}

}  // namespace testsupport
