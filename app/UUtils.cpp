#include "app/UUtils.h"

#include <algorithm>
#include <cstring>

#include "app/HtmlCleaner.h"
#include "rtl/StringUtils.h"

namespace app {

namespace {

constexpr size_t npos = std::string_view::npos;
// Search strings and replacements up to this length get the quick check of
// formsNoNewMatch; longer ones always take the byte-by-byte path.
constexpr size_t kQuickCheckBytes = 64;

// glibc's memmem is much faster than a first-byte scan on tag-dense text.
size_t findBytes(std::string_view text, std::string_view search, size_t from = 0) {
    if (from > text.size()) return npos;
    const void* at = ::memmem(text.data() + from, text.size() - from, search.data(), search.size());
    return at ? static_cast<size_t>(static_cast<const char*>(at) - text.data()) : npos;
}

std::string replaceOnePass(std::string_view text, std::string_view search, std::string_view replacement) {
    std::string out;
    size_t from = 0;
    for (size_t at = findBytes(text, search); at != npos; at = findBytes(text, search, from)) {
        out.append(text.substr(from, at - from)).append(replacement);
        from = at + search.size();
    }
    return out.append(text.substr(from));
}

bool endsWith(const std::string& out, std::string_view search) {
    return out.size() >= search.size() &&
           std::memcmp(out.data() + out.size() - search.size(), search.data(), search.size()) == 0;
}

// The text is out + (pending, read from its back) + text[i..]. out never
// holds an occurrence, so the first occurrence of the whole is the first one
// to end while bytes move into out; after a replacement only bytes near it
// need that slow check, the rest is copied in bulk between finds.
class Replacer {
public:
    Replacer(std::string_view text, std::string_view search, std::string_view replacement)
        : m_text(text), m_search(search), m_reversed(replacement.rbegin(), replacement.rend()) {
        m_out.reserve(text.size());
    }

    std::string run() {
        while (m_i < m_text.size() || !m_pending.empty()) {
            if (m_pending.empty() && m_slowText == 0)
                bulkStep();
            else
                slowStep();
        }
        return std::move(m_out);
    }

private:
    void replaced() {
        // A replacement no shorter than its search string might rewrite
        // forever; such a run ends after a bounded number of replacements.
        if (m_reversed.size() >= m_search.size() && ++m_count > m_text.size() + 1024) {
            m_out.append(m_reversed.rbegin(), m_reversed.rend());
            m_out.append(m_pending.rbegin(), m_pending.rend());
            m_out.append(m_text.substr(m_i));
            m_pending.clear();
            m_i = m_text.size();
            m_slowText = 0;
            return;
        }
        m_pending.append(m_reversed);
        m_slowText = m_search.size() - 1;
    }

    void bulkStep() {
        const size_t from = m_i - std::min(m_i - m_contiguousFrom, m_search.size() - 1);
        const size_t at = findBytes(m_text, m_search, from);
        if (at == npos) {
            m_out.append(m_text.substr(m_i));
            m_i = m_text.size();
            return;
        }
        if (at < m_i)
            m_out.resize(m_out.size() - (m_i - at));  // the match began in bytes already copied
        else
            m_out.append(m_text.substr(m_i, at - m_i));
        m_i = at + m_search.size();
        if (formsNoNewMatch()) {
            // The common case: nothing new can start near the spot, keep copying in bulk.
            m_out.append(m_reversed.rbegin(), m_reversed.rend());
            m_contiguousFrom = m_i;
            return;
        }
        replaced();
    }

    // Any new occurrence must touch the replacement (or, for an empty one, the
    // joint), so it lies within out's last m-1 bytes, the replacement and the
    // next m-1 bytes of the text.
    bool formsNoNewMatch() const {
        const size_t keep = m_search.size() - 1;
        char window[3 * kQuickCheckBytes];
        if (keep >= kQuickCheckBytes || m_reversed.size() > kQuickCheckBytes) return false;
        size_t n = 0;
        const size_t tail = std::min(keep, m_out.size());
        std::memcpy(window, m_out.data() + m_out.size() - tail, tail);
        n += tail;
        for (auto it = m_reversed.rbegin(); it != m_reversed.rend(); ++it) window[n++] = *it;
        const size_t ahead = std::min(keep, m_text.size() - m_i);
        std::memcpy(window + n, m_text.data() + m_i, ahead);
        n += ahead;
        return ::memmem(window, n, m_search.data(), m_search.size()) == nullptr;
    }

    void slowStep() {
        if (!m_pending.empty()) {
            m_out.push_back(m_pending.back());
            m_pending.pop_back();
        } else {
            m_out.push_back(m_text[m_i++]);
            if (--m_slowText == 0) m_contiguousFrom = m_i - (m_search.size() - 1);
        }
        if (endsWith(m_out, m_search)) {
            m_out.resize(m_out.size() - m_search.size());
            replaced();
        }
        if (m_pending.empty() && m_i >= m_text.size()) m_slowText = 0;
    }

    std::string_view m_text;
    std::string_view m_search;
    std::string m_reversed;
    std::string m_out;
    std::string m_pending;
    size_t m_i = 0;
    size_t m_slowText = 0;
    size_t m_contiguousFrom = 0;  // out's tail copies m_text[m_contiguousFrom .. m_i)
    size_t m_count = 0;
};

struct Replacement {
    const char* find;
    const char* with;
};

// Order matters: "&amp;" first, so "&amp;nbsp;" ends up as a space.
constexpr Replacement kHtmlReplacements[] = {
    {"&amp;", "&"},      {"&nbsp;", " "},   {"\t", " "},       {"<wbr>", ""},     {"&#039;", "'"},
    {"Tel : ", ""},      {"Fax : ", ""},    {"<strong>", ""},  {"</strong>", ""}, {"<em>", ""},
    {"<hr>", ""},        {"<h3>", ""},      {"</h3>", ""},     {"<H3>", ""},      {"</H3>", ""},
    {"</em>", ""},       {"<u>", ""},       {"</u>", ""},      {"</INVALID>", ""}, {"<br>", " "},
    {"<BR>", " "},       {"<tr>", ""},      {"</tr>", ""},     {"<td>", ""},      {"</td>", ""},
    {"<table>", ""},     {"</table>", ""},  {"</font>", ""},   {"<b>", ""},       {"<i>", ""},
    {"<blockquote>", ""}, {"</p>", ""},     {"<p>", " "},      {"<P>", " "},      {"</P>", ""},
    {"</b>", ""},        {"</i>", ""},      {"</th>", ""},     {"<br />", ""},    {"</FONT>", ""},
    {"</TD>", ""},       {"<TD>", ""},      {"<B>", ""},       {"</B>", ""},      {"<TR>", ""},
    {"</TR>", ""},       {"\"", ""},        {"\n", " "},       {"\r", " "},
};

}  // namespace

std::string ReplaceAllText(std::string_view text, std::string_view search, std::string_view replacement) {
    if (search.empty() || findBytes(text, search) == npos) return std::string(text);
    if (replacement.find(search) != std::string_view::npos) return replaceOnePass(text, search, replacement);
    return Replacer(text, search, replacement).run();
}

std::string HtmlToText(std::string_view text) {
    static const THtmlCleaner cleaner = [] {
        std::vector<ReplaceRule> rules;
        for (const auto& r : kHtmlReplacements) rules.push_back({r.find, r.with});
        return THtmlCleaner(std::move(rules));
    }();
    return rtl::trimControls(cleaner.apply(text));
}

std::string ExtractBetween(std::string& parseText, std::string_view start, std::string_view end) {
    const size_t at = rtl::findIgnoreCase(parseText, start);
    if (at == std::string::npos) return {};
    parseText.erase(0, at + start.size());
    const size_t stop = rtl::findIgnoreCase(parseText, end);
    if (stop == std::string::npos) return {};
    std::string found = parseText.substr(0, stop);
    parseText.erase(0, stop);
    return found;
}

}  // namespace app
