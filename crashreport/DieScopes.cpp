#include "crashreport/DieScopes.h"

#include <dwarf.h>

#include <algorithm>
#include <string>

namespace crashreport {

namespace {

// Nesting of namespaces, classes and blocks followed; deeper DWARF is skipped.
constexpr int kMaxDepth = 64;
// Steps along abstract origins and specifications before giving up (they could loop).
constexpr int kMaxReferenceSteps = 8;

const char* dieName(Dwarf_Die* die) {
    Dwarf_Attribute attribute;
    return dwarf_formstring(dwarf_attr_integrate(die, DW_AT_name, &attribute));
}

bool isClass(int tag) {
    return tag == DW_TAG_class_type || tag == DW_TAG_structure_type || tag == DW_TAG_union_type;
}

constexpr const char* kAnonymousNamespace = "(anonymous namespace)";
constexpr const char* kLambda = "<lambda>";
constexpr const char* kUnnamedType = "{unnamed type}";

// A closure type has no name; its destructor says what it is.
const char* className(Dwarf_Die* type) {
    if (const char* name = dieName(type)) return name;
    Dwarf_Die member;
    if (dwarf_child(type, &member) == 0) {
        do {
            const char* name = dieName(&member);
            if (name && std::string_view(name).starts_with("~<lambda")) return kLambda;
        } while (dwarf_siblingof(&member, &member) == 0);
    }
    return kUnnamedType;
}

}  // namespace

void TDieScopes::build(Dwarf_Die* unit) {
    m_entries.clear();
    m_nodes.clear();
    m_nodes.push_back({0, "", false});
    walk(unit, 0, 0);
}

uint32_t TDieScopes::addNode(uint32_t parent, const char* name, bool function) {
    m_nodes.push_back({parent, name, function});
    return static_cast<uint32_t>(m_nodes.size() - 1);
}

void TDieScopes::walk(Dwarf_Die* scope, uint32_t node, int depth) {
    if (depth > kMaxDepth) return;
    Dwarf_Die child;
    if (dwarf_child(scope, &child) != 0) return;
    do {
        const int tag = dwarf_tag(&child);
        if (tag == DW_TAG_namespace) {
            const char* name = dieName(&child);
            walk(&child, addNode(node, name ? name : kAnonymousNamespace, false), depth + 1);
        } else if (isClass(tag)) {
            if (dwarf_haschildren(&child)) walk(&child, addNode(node, className(&child), false), depth + 1);
        } else if (tag == DW_TAG_subprogram) {
            m_entries.push_back({dwarf_dieoffset(&child), node});
            // Classes inside a function body (lambdas) are scoped by the function.
            if (dwarf_haschildren(&child) && !dwarf_hasattr(&child, DW_AT_declaration)) {
                if (const char* name = dieName(&child)) {
                    const uint32_t own = nodeOf(&child);
                    walk(&child, addNode(own ? own : node, name, true), depth + 1);
                }
            }
        } else if (tag == DW_TAG_lexical_block) {
            walk(&child, node, depth + 1);
        }
    } while (dwarf_siblingof(&child, &child) == 0);
}

uint32_t TDieScopes::find(Dwarf_Off offset) const {
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), offset,
                                     [](const Entry& e, Dwarf_Off o) { return e.offset < o; });
    return at != m_entries.end() && at->offset == offset ? at->node : 0;
}

uint32_t TDieScopes::nodeOf(Dwarf_Die* function) const {
    Dwarf_Die current = *function;
    for (int step = 0; step < kMaxReferenceSteps; ++step) {
        if (const uint32_t node = find(dwarf_dieoffset(&current))) return node;
        Dwarf_Attribute attribute;
        Dwarf_Die next;
        if (dwarf_formref_die(dwarf_attr(&current, DW_AT_abstract_origin, &attribute), &next) ||
            dwarf_formref_die(dwarf_attr(&current, DW_AT_specification, &attribute), &next))
            current = next;
        else
            return 0;
    }
    return 0;
}

std::string TDieScopes::scopeOf(Dwarf_Die* function) const {
    const char* parts[kMaxDepth + 2];
    bool functions[kMaxDepth + 2];
    int count = 0;
    for (uint32_t node = nodeOf(function); node != 0 && count < kMaxDepth + 2; node = m_nodes[node].parent) {
        parts[count] = m_nodes[node].name;
        functions[count++] = m_nodes[node].function;
    }
    std::string text;
    while (count-- > 0) {
        text += parts[count];
        text += functions[count] ? "()::" : "::";
    }
    return text;
}

}  // namespace crashreport
