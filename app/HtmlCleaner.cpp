#include "app/HtmlCleaner.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <queue>
#include <stdexcept>

namespace app {

THtmlCleaner::THtmlCleaner(std::vector<ReplaceRule> rules)
    : m_rules(std::move(rules)), m_pairStart(65537, 0), m_bySingle(256), m_longestFrom(m_rules.size() + 1, 0),
      m_pairLastRule(65536, -1) {
    if (m_rules.size() > kMaxReplaceRules) throw std::invalid_argument(kTooManyRules);
    std::fill(std::begin(m_byteLastRule), std::end(m_byteLastRule), int16_t{-1});
    std::vector<std::vector<int>> byPair(65536);
    for (size_t k = 0; k < m_rules.size(); ++k) {
        const ReplaceRule& rule = m_rules[k];
        if (rule.find.empty() || rule.replaceWith.size() > kMaxReplacementBytes ||
            rule.replaceWith.find(rule.find) != std::string_view::npos)
            throw std::invalid_argument(kUnsupportedRule);
        const auto b0 = static_cast<unsigned char>(rule.find[0]);
        m_isFirst[b0] = true;
        for (size_t i = 0; i + 1 < rule.find.size(); ++i)
            m_pairLastRule[(static_cast<unsigned char>(rule.find[i]) << 8) | static_cast<unsigned char>(rule.find[i + 1])] =
                static_cast<int16_t>(k);
        if (rule.find.size() == 1) {
            m_bySingle[b0].push_back(static_cast<int>(k));
            m_byteLastRule[b0] = static_cast<int16_t>(k);
        } else {
            byPair[(b0 << 8) | static_cast<unsigned char>(rule.find[1])].push_back(static_cast<int>(k));
        }
    }
    for (size_t pair = 0; pair < 65536; ++pair) {
        m_pairStart[pair] = static_cast<uint32_t>(m_pairRules.size());
        m_pairRules.insert(m_pairRules.end(), byPair[pair].begin(), byPair[pair].end());
    }
    m_pairStart[65536] = static_cast<uint32_t>(m_pairRules.size());
    for (size_t k = m_rules.size(); k-- > 0;) m_longestFrom[k] = std::max(m_longestFrom[k + 1], m_rules[k].find.size());
}

namespace {

// Which positions of the text are still there: one bit each, with a summary
// bit per 64-bit word so long removed stretches are crossed quickly.
class LiveBits {
public:
    explicit LiveBits(int n) : m_n(n), m_words((static_cast<size_t>(n) + 63) / 64, ~uint64_t{0}),
                               m_summary((m_words.size() + 63) / 64, ~uint64_t{0}) {
        if (n % 64) m_words.back() = (uint64_t{1} << (n % 64)) - 1;
        if (m_words.size() % 64) m_summary.back() = (uint64_t{1} << (m_words.size() % 64)) - 1;
    }
    bool test(int i) const { return (m_words[static_cast<size_t>(i) >> 6] >> (i & 63)) & 1; }
    void clear(int i) {
        const size_t w = static_cast<size_t>(i) >> 6;
        m_words[w] &= ~(uint64_t{1} << (i & 63));
        if (!m_words[w]) m_summary[w >> 6] &= ~(uint64_t{1} << (w & 63));
    }
    // The first live position after i, or n.
    int next(int i) const {
        ++i;
        if (i >= m_n) return m_n;
        size_t w = static_cast<size_t>(i) >> 6;
        const uint64_t here = m_words[w] & (~uint64_t{0} << (i & 63));
        if (here) return static_cast<int>((w << 6) + static_cast<size_t>(__builtin_ctzll(here)));
        ++w;
        for (size_t s = w >> 6; s < m_summary.size(); ++s) {
            uint64_t bits = m_summary[s];
            if (s == (w >> 6)) bits &= (w & 63) ? (~uint64_t{0} << (w & 63)) : ~uint64_t{0};
            if (!bits) continue;
            const size_t word = (s << 6) + static_cast<size_t>(__builtin_ctzll(bits));
            return static_cast<int>((word << 6) + static_cast<size_t>(__builtin_ctzll(m_words[word])));
        }
        return m_n;
    }
    // The last live position before i, or -1.
    int prev(int i) const {
        --i;
        if (i < 0) return -1;
        size_t w = static_cast<size_t>(i) >> 6;
        const uint64_t here = m_words[w] & (~uint64_t{0} >> (63 - (i & 63)));
        if (here) return static_cast<int>((w << 6) + 63 - static_cast<size_t>(__builtin_clzll(here)));
        if (w == 0) return -1;
        --w;
        for (size_t s = (w >> 6) + 1; s-- > 0;) {
            uint64_t bits = m_summary[s];
            if (s == (w >> 6) && (w & 63) != 63) bits &= (uint64_t{1} << ((w & 63) + 1)) - 1;
            if (!bits) continue;
            const size_t word = (s << 6) + 63 - static_cast<size_t>(__builtin_clzll(bits));
            return static_cast<int>((word << 6) + 63 - static_cast<size_t>(__builtin_clzll(m_words[word])));
        }
        return -1;
    }

private:
    int m_n;
    std::vector<uint64_t> m_words;
    std::vector<uint64_t> m_summary;
};

}  // namespace

// One application. Bytes never move: a replacement overwrites the first byte
// of its occurrence (or nothing) and removes the rest, so text order is
// position order and every position found stays comparable.
class HtmlCleanerRun {
public:
    HtmlCleanerRun(const THtmlCleaner& cleaner, std::string_view text)
        : m_c(cleaner), m_buf(text), m_n(static_cast<int>(text.size())), m_live(m_n),
          m_candidates(cleaner.m_rules.size()), m_unordered(cleaner.m_rules.size(), 0) {}

    std::string run() {
        scanAll();
        for (int k = 0; k < static_cast<int>(m_c.m_rules.size()); ++k) applyRule(k);
        std::string out;
        out.reserve(m_buf.size());
        for (int i = m_live.next(-1); i < m_n;) {
            int end = i;
            while (end + 1 < m_n && m_live.test(end + 1)) ++end;
            out.append(m_buf, static_cast<size_t>(i), static_cast<size_t>(end - i + 1));
            i = m_live.next(end);
        }
        return out;
    }

private:
    // Does rule k occur at live position i?
    bool matchAt(int i, int k) const {
        const std::string_view find = m_c.m_rules[static_cast<size_t>(k)].find;
        for (const char c : find) {
            if (i >= m_n || m_buf[static_cast<size_t>(i)] != c) return false;
            i = m_live.next(i);
        }
        return true;
    }

    // Rules (from `from` on) that may start at live position i; calls f(k).
    template <typename F>
    void forRulesAt(int i, int from, F f) const {
        const auto b0 = static_cast<unsigned char>(m_buf[static_cast<size_t>(i)]);
        if (!m_c.m_isFirst[b0]) return;
        for (int k : m_c.m_bySingle[b0])
            if (k >= from) f(k);
        const int after = m_live.next(i);
        if (after >= m_n) return;
        const unsigned pair = (b0 << 8) | static_cast<unsigned char>(m_buf[static_cast<size_t>(after)]);
        for (uint32_t p = m_c.m_pairStart[pair]; p < m_c.m_pairStart[pair + 1]; ++p)
            if (m_c.m_pairRules[p] >= from) f(m_c.m_pairRules[p]);
    }

    // Before any change the text is contiguous, so plain comparisons do.
    void scanAll() {
        const char* data = m_buf.data();
        for (int i = 0; i < m_n; ++i) {
            if (!m_c.m_isFirst[static_cast<unsigned char>(data[i])]) continue;
            forRulesAt(i, 0, [&](int k) {
                // The first two bytes matched already through the pair table.
                const std::string_view find = m_c.m_rules[static_cast<size_t>(k)].find;
                if (find.size() > static_cast<size_t>(m_n - i)) return;
                for (size_t j = 2; j < find.size(); ++j)
                    if (data[static_cast<size_t>(i) + j] != find[j]) return;
                m_candidates[static_cast<size_t>(k)].push_back(i);
            });
        }
    }

    // Replaces the occurrence of rule k at i, then looks for what that formed.
    void replaceAndRecheck(int i, int k) {
        const ReplaceRule& rule = m_c.m_rules[static_cast<size_t>(k)];
        int cursor = i;
        size_t kept = 0;
        if (!rule.replaceWith.empty()) {
            m_buf[static_cast<size_t>(i)] = rule.replaceWith[0];
            cursor = m_live.next(i);
            kept = 1;
        }
        for (size_t removed = kept; removed < rule.find.size(); ++removed) {
            const int following = m_live.next(cursor);
            m_live.clear(cursor);
            cursor = following;
        }
        if (rule.replaceWith.empty())
            recheck(cursor, true, k);  // cursor: the first byte after the removal
        else
            recheck(i, false, k);
    }

    // Looks around a change for occurrences it created: later rules get a
    // candidate, rule k's own go on the heap of occurrences still to replace.
    // A created occurrence holds the replacement byte, or both bytes beside
    // a removal, so only finds longer than their start's distance to the
    // change can be new.
    bool pairHeldFrom(int left, int right, int k) const {
        if (left < 0 || right >= m_n) return false;
        const unsigned pair = (static_cast<unsigned char>(m_buf[static_cast<size_t>(left)]) << 8) |
                              static_cast<unsigned char>(m_buf[static_cast<size_t>(right)]);
        return m_c.m_pairLastRule[pair] >= k;
    }

    // Could the change at `changed` have formed an occurrence of rule k or later?
    bool mayHaveFormed(int changed, bool removal, int k) const {
        if (removal) return changed < m_n && pairHeldFrom(m_live.prev(changed), changed, k);
        return m_c.m_byteLastRule[static_cast<unsigned char>(m_buf[static_cast<size_t>(changed)])] >= k ||
               pairHeldFrom(m_live.prev(changed), changed, k) || pairHeldFrom(changed, m_live.next(changed), k);
    }

    void recheck(int changed, bool removal, int k) {
        if (!mayHaveFormed(changed, removal, k)) return;
        const size_t longest = m_c.m_longestFrom[static_cast<size_t>(k)];
        int start = changed;
        size_t distance = 0;
        while (distance + 1 < longest) {
            const int before = m_live.prev(start);
            if (before < 0) break;
            start = before;
            ++distance;
        }
        for (int i = start; i < m_n; i = m_live.next(i), --distance) {
            if (removal && i == changed) break;
            forRulesAt(i, k, [&](int j) {
                if (m_c.m_rules[static_cast<size_t>(j)].find.size() <= distance || !matchAt(i, j)) return;
                if (j == k) {
                    m_heap.push(i);
                } else {
                    auto& list = m_candidates[static_cast<size_t>(j)];
                    if (!list.empty() && list.back() >= i) m_unordered[static_cast<size_t>(j)] = 1;
                    list.push_back(i);
                }
            });
            if (i == changed) break;
        }
    }

    bool stillMatches(int i, int k) const { return m_live.test(i) && matchAt(i, k); }

    // Occurrences are replaced first to last; whatever a replacement forms
    // lies at or before its change, so it is handled before the next one.
    void applyRule(int k) {
        auto& list = m_candidates[static_cast<size_t>(k)];
        if (list.empty()) return;
        if (m_unordered[static_cast<size_t>(k)]) {
            std::sort(list.begin(), list.end());
            list.erase(std::unique(list.begin(), list.end()), list.end());
        }
        for (const int candidate : list) {
            if (!stillMatches(candidate, k)) continue;
            replaceAndRecheck(candidate, k);
            while (!m_heap.empty()) {
                const int at = m_heap.top();
                m_heap.pop();
                if (stillMatches(at, k)) replaceAndRecheck(at, k);
            }
        }
        std::vector<int>().swap(list);
    }

    const THtmlCleaner& m_c;
    std::string m_buf;
    int m_n;
    LiveBits m_live;
    std::vector<std::vector<int>> m_candidates;
    std::vector<unsigned char> m_unordered;  // a list got a candidate out of order (or twice)
    std::priority_queue<int, std::vector<int>, std::greater<int>> m_heap;
};

std::string THtmlCleaner::apply(std::string_view text) const {
    if (text.size() > kMaxCleanedTextBytes) throw std::length_error(kTextTooLong);
    if (text.empty()) return {};
    return HtmlCleanerRun(*this, text).run();
}

}  // namespace app
