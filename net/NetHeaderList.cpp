#include "net/NetHeaderList.h"

#include "rtl/StringUtils.h"

namespace net {

namespace {

bool isBreakChar(char c) { return c == '\t' || c == ' ' || c == ','; }
bool isSkipChar(char c) { return isBreakChar(c) || c == '\r' || c == '\n'; }

std::string_view nameOf(std::string_view line) {
    const size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

std::string_view valueOf(std::string_view line) {
    const size_t colon = line.find(':');
    return colon == std::string_view::npos ? line : line.substr(colon + 1);
}

std::string trimRight(std::string_view text) {
    size_t last = text.size();
    while (last > 0 && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return std::string(text.substr(0, last));
}

// Splits at CR LF, LF or a lone CR.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

// The wrapped text as lines. Continuations start with exactly one blank, and
// an empty one is dropped: it would end the head.
std::vector<std::string> piecesOf(std::string_view wrapped) {
    std::vector<std::string> pieces;
    for (auto piece : splitLines(wrapped)) {
        if (pieces.empty()) {
            pieces.push_back(trimRight(piece));
            continue;
        }
        std::string text = rtl::trimControls(piece);
        if (!text.empty()) pieces.push_back(" " + text);
    }
    return pieces;
}

}  // namespace

std::string TNetHeaderList::Line(int i) const { return inRange(i) ? m_lines[static_cast<size_t>(i)] : std::string(); }

void TNetHeaderList::Insert(int i, std::string line) {
    if (i < 0 || i > Count()) return;
    m_lines.insert(m_lines.begin() + i, std::move(line));
}

void TNetHeaderList::Delete(int i) {
    if (inRange(i)) m_lines.erase(m_lines.begin() + i);
}

void TNetHeaderList::Replace(int i, std::string line) {
    if (inRange(i)) m_lines[static_cast<size_t>(i)] = std::move(line);
}

void TNetHeaderList::SetText(std::string_view text) {
    m_lines.clear();
    if (text.empty()) return;
    auto lines = splitLines(text);
    // A final line end does not start another line.
    if (lines.back().empty()) lines.pop_back();
    for (auto line : lines) m_lines.emplace_back(line);
}

std::string TNetHeaderList::Text() const {
    std::string text;
    for (const auto& line : m_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool TNetHeaderList::isContinuation(int i) const {
    if (!inRange(i)) return false;
    const std::string& line = m_lines[static_cast<size_t>(i)];
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

std::string TNetHeaderList::NameAt(int i) const {
    return inRange(i) ? rtl::asciiUpper(nameOf(m_lines[static_cast<size_t>(i)])) : std::string();
}

std::string TNetHeaderList::ValueAt(int i) const {
    if (!inRange(i)) return {};
    std::string value = rtl::trimControls(valueOf(m_lines[static_cast<size_t>(i)]));
    // Appending in place keeps a long run of continuations linear.
    for (int k = i + 1; isContinuation(k); ++k) {
        while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ') value.pop_back();
        value += ' ';
        value += rtl::trimControls(m_lines[static_cast<size_t>(k)]);
    }
    return rtl::trimControls(value);
}

int TNetHeaderList::FindLine(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (rtl::equalsIgnoreCase(nameOf(m_lines[static_cast<size_t>(i)]), name)) return i;
    return -1;
}

void TNetHeaderList::StoreValue(std::string_view name, std::string_view value) {
    int i = FindLine(name);
    if (value.empty()) {
        if (i >= 0) {
            DropContinuations(i);
            Delete(i);
        }
        return;
    }
    if (i < 0) {
        m_lines.emplace_back();
        i = Count() - 1;
    }
    DropContinuations(i);
    std::string line(name);
    line += kPairSeparator;
    line += value;
    auto pieces = WrapLine(line);
    m_lines[static_cast<size_t>(i)] = std::move(pieces[0]);
    m_lines.insert(m_lines.begin() + i + 1, std::make_move_iterator(pieces.begin() + 1),
                   std::make_move_iterator(pieces.end()));
}

void TNetHeaderList::CollectAll(std::string_view name, TNetHeaderList* target) const {
    if (!target) return;
    for (int i = 0; i < Count(); ++i)
        if (rtl::equalsIgnoreCase(nameOf(m_lines[static_cast<size_t>(i)]), name)) target->Add(ValueAt(i));
}

void TNetHeaderList::CollectAll(std::string_view name, std::vector<std::string>* target) const {
    if (!target) return;
    for (int i = 0; i < Count(); ++i)
        if (rtl::equalsIgnoreCase(nameOf(m_lines[static_cast<size_t>(i)]), name)) target->push_back(ValueAt(i));
}

void TNetHeaderList::DropContinuations(int i) {
    if (!inRange(i)) return;
    auto first = m_lines.begin() + i + 1;
    auto last = first;
    while (last != m_lines.end() && !last->empty() && ((*last)[0] == ' ' || (*last)[0] == '\t')) ++last;
    m_lines.erase(first, last);
}

std::vector<std::string> TNetHeaderList::WrapLine(std::string_view line) const {
    // Positions are 1-based as in the wrapping rule; 0 means "no break seen".
    const size_t n = line.size();
    const size_t width = m_wrapWidth > 0 ? static_cast<size_t>(m_wrapWidth) : 1;
    std::string out;
    size_t column = 1, start = 1, brk = 0, p = 1;
    bool quoted = false, existing = false;
    while (p <= n) {
        const char c = line[p - 1];
        const bool isQuote = c == '"';
        if (c == '\r' && !quoted) {
            if (rtl::equalsIgnoreCase(line.substr(p - 1, kBreakText.size()), kBreakText)) {
                existing = true;
                p += kBreakText.size() - 1;
                brk = p;
            }
        } else if (isBreakChar(c) && !quoted) {
            brk = p;
        } else if (isQuote) {
            quoted = !quoted;
        }
        ++column;
        ++p;
        if (quoted || !(existing || (column > width && brk > start))) continue;
        out.append(line.substr(start - 1, brk - start + 1));
        column = p - brk;
        if (!isQuote)
            while (p <= n && isSkipChar(line[p - 1])) ++p;
        if (!existing && p < n) out.append(kBreakText);
        start = brk + 1;
        existing = false;
    }
    if (start <= n) out.append(line.substr(start - 1));
    return piecesOf(out);
}

}  // namespace net
