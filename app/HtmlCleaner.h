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

// Limits of a cleaner and of the texts it cleans; beyond them it raises
// std::invalid_argument / std::length_error with these texts.
inline constexpr size_t kMaxReplaceRules = 32000;  // rule numbers are kept in 16 bits
inline constexpr size_t kMaxReplacementBytes = 1;  // a replacement overwrites the occurrence's first byte
inline constexpr size_t kMaxCleanedTextBytes = static_cast<size_t>(INT32_MAX) - 2;  // positions are ints
inline constexpr const char kTooManyRules[] = "too many replace rules";
inline constexpr const char kUnsupportedRule[] = "unsupported replace rule";
inline constexpr const char kTextTooLong[] = "text too long to clean";

struct ReplaceRule {
    std::string_view find;         // not empty
    std::string_view replaceWith;  // at most kMaxReplacementBytes, and never holding find
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
