#include "crashreport/NameSplitter.h"

#include <cctype>
#include <vector>

namespace crashreport {

namespace {

constexpr std::string_view kAnonymousNamespace = "(anonymous namespace)";
constexpr std::string_view kOperator = "operator";

bool isIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool startsWord(std::string_view s, size_t i, std::string_view word) {
    return s.compare(i, word.size(), word) == 0 && (i == 0 || !isIdentifierChar(s[i - 1]));
}

// Position just past an operator's symbol ("operator()", "operator<<", "operator new[]"), from its 'o'.
size_t skipOperator(std::string_view s, size_t at) {
    size_t i = at + kOperator.size();
    if (s.compare(i, 2, "()") == 0 || s.compare(i, 2, "[]") == 0) return i + 2;
    while (i < s.size() && s[i] != '(') ++i;
    return i;
}

// Position of the ')' closing the '(' at open, or npos.
size_t closingParen(std::string_view s, size_t open) {
    int depth = 0;
    for (size_t i = open; i < s.size(); ++i) {
        if (s[i] == '(') ++depth;
        else if (s[i] == ')' && --depth == 0) return i;
    }
    return std::string_view::npos;
}

// After a parameter list: its qualifiers (" const", " &&") and then "::"
// mean the function encloses a local entity; returns the position of "::" or npos.
size_t localScopeAfter(std::string_view s, size_t afterParen) {
    size_t k = afterParen;
    while (k < s.size() && (s[k] == ' ' || s[k] == '&' || std::islower(static_cast<unsigned char>(s[k])))) ++k;
    return s.compare(k, 2, "::") == 0 ? k : std::string_view::npos;
}

// The name with its return type, parameter lists and qualifiers taken out;
// scopes holds the positions of its top-level "::", function the position of
// the "::" before the outermost function that encloses a local entity
// (npos: none, or at the start).
struct CleanName {
    std::string text;
    std::vector<size_t> scopes;
    bool local = false;
    size_t function = std::string::npos;

    void markFunction(size_t scopesBefore) {
        if (local) return;
        local = true;
        function = scopes.size() >= scopesBefore ? scopes[scopes.size() - scopesBefore] : std::string::npos;
    }
};

CleanName cleanName(std::string_view s) {
    CleanName name;
    int depth = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (depth == 0) {
            if (s.compare(i, kAnonymousNamespace.size(), kAnonymousNamespace) == 0) {
                name.text += kAnonymousNamespace;
                i += kAnonymousNamespace.size() - 1;
                continue;
            }
            if (startsWord(s, i, kOperator)) {
                const size_t end = skipOperator(s, i);
                name.text += s.substr(i, end - i);
                i = end - 1;
                continue;
            }
            if (c == '(') {
                const size_t close = closingParen(s, i);
                const size_t scope = close == std::string_view::npos ? close : localScopeAfter(s, close + 1);
                if (scope == std::string_view::npos) break;  // the parameters of the function itself
                name.markFunction(1);
                i = scope - 1;
                continue;
            }
            if (c == ' ') {  // what came before was a return type or a "thunk to"
                name = CleanName{};
                continue;
            }
            if (c == ':' && i + 1 < s.size() && s[i + 1] == ':') {
                name.scopes.push_back(name.text.size());
                name.text += "::";
                ++i;
                continue;
            }
            // A lambda or unnamed type right inside a function that shows no parameters ("main").
            if (c == '{' && !name.scopes.empty() && name.scopes.back() + 2 == name.text.size()) name.markFunction(2);
        }
        if (c == '<' || c == '{' || c == '[' || c == '(') ++depth;
        else if ((c == '>' || c == '}' || c == ']' || c == ')') && depth > 0) --depth;
        name.text += c;
    }
    return name;
}

}  // namespace

void splitQualifiedName(std::string_view demangled, std::string& className, std::string& procedure) {
    const CleanName name = cleanName(demangled);
    size_t split = std::string::npos;
    if (name.local) split = name.function;
    else if (!name.scopes.empty()) split = name.scopes.back();
    if (split == std::string::npos) {
        className.clear();
        procedure = name.text;
    } else {
        className = name.text.substr(0, split);
        procedure = name.text.substr(split + 2);
    }
}

}  // namespace crashreport
