// Demangled C++ names split into the Class and Procedure/Method columns of a
// call stack row, both from a table of names as the runtime's demangler
// prints them and from this test program's own debug information.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "crashreport/ModuleList.h"
#include "crashreport/NameSplitter.h"
#include "crashreport/SymbolTable.h"

using crashreport::splitQualifiedName;

namespace {

struct Split {
    std::string className, procedure;
    bool operator==(const Split&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Split& s) { return out << '"' << s.className << "\" / \"" << s.procedure << '"'; }

Split split(std::string_view name) {
    Split s{"stale", "stale"};
    splitQualifiedName(name, s.className, s.procedure);
    return s;
}

struct Case {
    const char* demangled;
    Split expected;
};

void expectSplits(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(split(c.demangled), c.expected) << c.demangled;
}

TEST(NameSplitter, PlainAndQualifiedFunctions) {
    expectSplits({
        {"main", {"", "main"}},
        {"abort", {"", "abort"}},
        {"free_function(int, char**)", {"", "free_function"}},
        {"app::TfrmMain::btnGatherDataClick()", {"app::TfrmMain", "btnGatherDataClick"}},
        {"void ns::T::run(int) const", {"ns::T", "run"}},
        {"app::TfrmMain::~TfrmMain()", {"app::TfrmMain", "~TfrmMain"}},
        {"rtl::TThread::TThread(std::string, std::function<void (rtl::TThread&)>)", {"rtl::TThread", "TThread"}},
        {"ns::f(int) [clone .cold]", {"ns", "f"}},
        {"ns::T::name[abi:cxx11]() const", {"ns::T", "name[abi:cxx11]"}},
        {"non-virtual thunk to app::TfrmMain::event(QEvent*)", {"app::TfrmMain", "event"}},
    });
}

TEST(NameSplitter, AnonymousNamespacesStayPartOfTheScope) {
    expectSplits({
        {"(anonymous namespace)::failingButtonHandler(int)", {"(anonymous namespace)", "failingButtonHandler"}},
        {"crashreport::(anonymous namespace)::recordThrow(void const*, unsigned long)",
         {"crashreport::(anonymous namespace)", "recordThrow"}},
        {"(anonymous namespace)::Helper::step()", {"(anonymous namespace)::Helper", "step"}},
        {"(anonymous namespace)::helper", {"(anonymous namespace)", "helper"}},
    });
}

TEST(NameSplitter, TemplatesKeepTheirArguments) {
    expectSplits({
        {"std::vector<int, std::allocator<int> >::push_back(int const&)",
         {"std::vector<int, std::allocator<int> >", "push_back"}},
        {"std::pair<int, int> ns::makePair<int>(int, int)", {"ns", "makePair<int>"}},
        {"std::_Function_handler<void (), app::X::f()::{lambda()#1}>::_M_invoke(std::_Any_data const&)",
         {"std::_Function_handler<void (), app::X::f()::{lambda()#1}>", "_M_invoke"}},
        {"std::map<std::string, int, std::less<std::string>, std::allocator<std::pair<std::string const, int> > >::at(std::string const&)",
         {"std::map<std::string, int, std::less<std::string>, std::allocator<std::pair<std::string const, int> > >", "at"}},
    });
}

TEST(NameSplitter, LambdasAndLocalClassesAreNamedAfterTheirFunction) {
    expectSplits({
        {"app::TfrmMain::TfrmMain(std::string const&)::{lambda()#1}::operator()() const",
         {"app::TfrmMain", "TfrmMain::{lambda()#1}::operator()"}},
        {"runButton(int, bool)::{lambda()#2}::operator()() const", {"", "runButton::{lambda()#2}::operator()"}},
        {"ns::T::f() const::{lambda(int)#1}::operator()(int) const", {"ns::T", "f::{lambda(int)#1}::operator()"}},
        {"main::{lambda()#1}::_FUN()", {"", "main::{lambda()#1}::_FUN"}},
        {"ns::f(int)::Local::run()", {"ns", "f::Local::run"}},
        {"ns::outer()::{lambda()#1}::operator()() const::{lambda(int)#1}::operator()(int) const",
         {"ns", "outer::{lambda()#1}::operator()::{lambda(int)#1}::operator()"}},
    });
}

TEST(NameSplitter, OperatorsAreProceduresOfTheirClass) {
    expectSplits({
        {"ns::T::operator()(int)", {"ns::T", "operator()"}},
        {"ns::T::operator<(ns::T const&) const", {"ns::T", "operator<"}},
        {"ns::operator<<(std::ostream&, ns::T const&)", {"ns", "operator<<"}},
        {"ns::T::operator->() const", {"ns::T", "operator->"}},
        {"ns::T::operator[](unsigned long)", {"ns::T", "operator[]"}},
        {"ns::T::operator new(unsigned long)", {"ns::T", "operator new"}},
        {"operator delete[](void*)", {"", "operator delete[]"}},
        {"ns::T::operator bool() const", {"ns::T", "operator bool"}},
        {"ns::T::operator std::vector<int, std::allocator<int> >() const",
         {"ns::T", "operator std::vector<int, std::allocator<int> >"}},
        {"bool ns::operator< <int>(ns::A<int> const&, ns::A<int> const&)", {"ns", "operator< <int>"}},
        {"ns::T::operator<=>(ns::T const&) const", {"ns::T", "operator<=>"}},
    });
}

TEST(NameSplitter, DamagedNamesGiveWhatTheyCanWithoutReadingPastTheEnd) {
    expectSplits({
        {"", {"", ""}},
        {"ns::", {"ns", ""}},
        {"ns::f(int", {"ns", "f"}},
        {"ns::T<int::f()", {"ns", "T<int::f()"}},
        {"operator", {"", "operator"}},
        {"ns::operator", {"ns", "operator"}},
        {"a::b)(::c()", {"a", "b)"}},
    });
}

// --- The same names as this program's own debug information gives them ---

uintptr_t g_seen = 0;

__attribute__((noinline)) void notePc() { g_seen = reinterpret_cast<uintptr_t>(__builtin_return_address(0)); }

namespace inner {
__attribute__((noinline)) void hiddenHelper() {
    notePc();
    asm volatile("" ::: "memory");
}
}  // namespace inner

template <class T>
struct Holder {
    __attribute__((noinline)) bool operator<(const Holder&) const {
        notePc();
        asm volatile("" ::: "memory");
        return false;
    }
};

crashreport::TSymbol symbolAt(uintptr_t pc) {
    static const crashreport::TSymbolTable table = [] {
        auto modules = std::make_unique<crashreport::TModuleList>();
        modules->take("/proc/self/exe");
        return crashreport::TSymbolTable::fromFile("/proc/self/exe", modules->count ? modules->modules[0].bias : 0);
    }();
    return table.lookup(pc - 1);
}

TEST(NameSplitter, OwnDebugInformationNamesAnonymousTemplateAndLambdaFunctions) {
    inner::hiddenHelper();
    crashreport::TSymbol helper = symbolAt(g_seen);
    EXPECT_EQ(helper.unit, "NameSplitter_test.cpp");
    EXPECT_EQ(helper.className, "(anonymous namespace)::inner");
    EXPECT_EQ(helper.procedure, "hiddenHelper");

    Holder<int> a, b;
    (void)(a < b);
    crashreport::TSymbol less = symbolAt(g_seen);
    EXPECT_EQ(less.className, "(anonymous namespace)::Holder<int>");
    EXPECT_EQ(less.procedure, "operator<");

    std::function<void()> lambda = [] {
        notePc();
        asm volatile("" ::: "memory");
    };
    lambda();
    crashreport::TSymbol closure = symbolAt(g_seen);
    EXPECT_EQ(closure.className, "(anonymous namespace)::NameSplitter_OwnDebugInformationNamesAnonymousTemplateAndLambdaFunctions_Test");
    EXPECT_EQ(closure.procedure, "TestBody::<lambda>::operator()");
}

}  // namespace
