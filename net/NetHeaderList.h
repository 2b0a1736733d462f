#pragma once
// TNetHeaderList: the ordered name-value list that holds request and response
// header lines. Names are looked up ignoring case; continuation lines (those
// beginning with a space or tab) are joined on reading and long lines are
// wrapped on storing.
// Not thread-safe: each list belongs to one request, response or cookie.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace net {

class TNetHeaderList {
public:
    // The wrap width a list starts with; request and response head lists use
    // kHeadWrapWidth instead.
    static constexpr int kDefaultWrapWidth = 78;
    static constexpr int kHeadWrapWidth = 1024;
    static constexpr std::string_view kPairSeparator = ": ";
    static constexpr std::string_view kBreakText = "\r\n ";

    explicit TNetHeaderList(int wrapWidth = kDefaultWrapWidth) : m_wrapWidth(wrapWidth) {}

    int WrapWidth() const { return m_wrapWidth; }
    void SetWrapWidth(int width) { m_wrapWidth = width; }

    // Ordinary string-list operations. Indexes outside the list are ignored
    // by the writers and give "" from Line().
    int Count() const { return static_cast<int>(m_lines.size()); }
    std::string Line(int i) const;
    void Add(std::string line) { m_lines.push_back(std::move(line)); }
    void Insert(int i, std::string line);
    void Delete(int i);
    void Replace(int i, std::string line);
    void Clear() { m_lines.clear(); }
    // Replaces every line with the lines of `text` (CR LF, LF or CR ends).
    void SetText(std::string_view text);
    // All lines, each followed by CR LF.
    std::string Text() const;
    const std::vector<std::string>& Lines() const { return m_lines; }

    // Name of line i (text before its first ':'), upper-cased; "" when out of range.
    std::string NameAt(int i) const;
    // Value of line i with its continuation lines joined, trimmed; "" when out of range.
    std::string ValueAt(int i) const;
    // Index of the first line named `name` (case ignored), or -1. O(n).
    int FindLine(std::string_view name) const;
    std::string LookupValue(std::string_view name) const { return ValueAt(FindLine(name)); }
    // Replaces the first line named `name` in place (wrapped into pieces), adds
    // it at the end when absent, and deletes it when `value` is empty.
    void StoreValue(std::string_view name, std::string_view value);
    // Appends ValueAt of every line named `name`, in order; nothing when target is null.
    void CollectAll(std::string_view name, TNetHeaderList* target) const;
    void CollectAll(std::string_view name, std::vector<std::string>* target) const;
    // Deletes the continuation lines that follow line i.
    void DropContinuations(int i);
    // Cuts `line` into pieces of about WrapWidth columns at blanks and commas
    // outside double quotes. Pieces after the first begin with one space and
    // none holds a line break, so a stored value can never start a new line.
    std::vector<std::string> WrapLine(std::string_view line) const;

private:
    bool inRange(int i) const { return i >= 0 && i < Count(); }
    bool isContinuation(int i) const;

    std::vector<std::string> m_lines;
    int m_wrapWidth;
};

}  // namespace net
