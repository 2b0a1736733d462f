#pragma once
// The enclosing scopes ("ns::(anonymous namespace)::T::") of the functions of
// one DWARF compile unit, for functions that carry no linkage name to demangle
// (those of anonymous namespaces, lambdas, local classes). A lambda's scope
// names the function it sits in: "ns::f()::<lambda()>::". Built once a unit,
// before its functions are read. One thread.

#include <elfutils/libdw.h>

#include <cstdint>
#include <string>
#include <vector>

namespace crashreport {

class TDieScopes {
public:
    // Indexes the namespaces, classes and functions of the unit.
    void build(Dwarf_Die* unit);
    // The scope of a function entry (following its abstract origin and
    // specification to where it was declared); empty when not known.
    // REQUIRES: the unit's Dwarf is still open (names point into it).
    std::string scopeOf(Dwarf_Die* function) const;

private:
    // A scope, spelled out only when asked for: the parent's text, the name, then "::" ("()::" for a function).
    struct Node {
        uint32_t parent;
        const char* name;
        bool function;
    };
    struct Entry {
        Dwarf_Off offset;
        uint32_t node;
    };

    void walk(Dwarf_Die* scope, uint32_t node, int depth);
    uint32_t addNode(uint32_t parent, const char* name, bool function);
    uint32_t find(Dwarf_Off offset) const;
    uint32_t nodeOf(Dwarf_Die* function) const;

    std::vector<Entry> m_entries;  // by offset: DIEs come in offset order
    std::vector<Node> m_nodes;     // 0 is the unit itself
};

}  // namespace crashreport
