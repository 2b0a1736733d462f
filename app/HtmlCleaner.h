#pragma once
// Applies a list of replace-until-none-left rules, one after the other, to a
// text in a single sweep's worth of work: every rule's occurrences are found
// by one scan up front, and later only the few bytes around each replacement
// are looked at again. The result equals running ReplaceAllText rule by rule.
// Safe from any thread (no shared state).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace app {

struct ReplaceRule {
    std::string_view find;         // not empty
    std::string_view replaceWith;  // at most one byte, and never holding find
};

class THtmlCleaner {
public:
    explicit THtmlCleaner(std::vector<ReplaceRule> rules);
    std::string apply(std::string_view text) const;

private:
    friend class HtmlCleanerRun;
    std::vector<ReplaceRule> m_rules;
    // Rules by their first two bytes (flat: m_pairRules[m_pairStart[p] ..
    // m_pairStart[p + 1])), one-byte rules by their byte, and which bytes
    // begin any rule at all.
    std::vector<uint32_t> m_pairStart;
    std::vector<int> m_pairRules;
    std::vector<std::vector<int>> m_bySingle;
    bool m_isFirst[256] = {};
    std::vector<size_t> m_longestFrom;  // longest find among rules k..end
    // The last rule whose find holds this pair of neighbouring bytes (or is
    // this one byte); -1 for none. A change whose new neighbours no later
    // rule holds cannot have formed anything.
    std::vector<int16_t> m_pairLastRule;  // 65536
    int16_t m_byteLastRule[256];
};

}  // namespace app
