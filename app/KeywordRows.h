#pragma once
// The rows of the Keyword list, stored with little overhead: every row's
// cells lie back to back in large byte blocks, and a row is a 12-byte record
// pointing there; an index finds a row's position from its id in O(1). A row
// whose cell grows moves to the end of the blocks; the gaps such moves and
// removals leave are closed in place (rows slide down, emptied blocks go)
// once they pass a quarter of the bytes in use.
// No Qt. One thread at a time.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "app/KeywordRow.h"
#include "app/RowEncoding.h"

namespace app {

// Most rows one list holds; an addition that would pass it is refused whole.
constexpr size_t kMaxRows = 10'000'000;

class TKeywordRows {
public:
    static constexpr size_t kNotFound = SIZE_MAX;

    TKeywordRows() = default;
    // Ids start at firstId rather than 1 (for tests of the id limit).
    explicit TKeywordRows(uint32_t firstId) : m_firstId(firstId), m_nextId(firstId) {}
    TKeywordRows(const TKeywordRows&) = delete;
    TKeywordRows& operator=(const TKeywordRows&) = delete;

    size_t count() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    // REQUIRES: index < count(). The view is valid until the next change.
    KeywordRowView row(size_t index) const;
    std::string_view cell(size_t index, int column) const { return row(index).cell(column); }
    // The current position of the row with this id, or kNotFound. O(1).
    size_t find(uint32_t id) const;

    // Makes room for `rows` more rows taking `storedBytes` (the sum of their
    // storedRowSize) so that the appends that follow allocate nothing and
    // cannot fail. Raises std::bad_alloc, changing nothing, without the
    // memory or when the ids left (2^31 in a list's life) are fewer than rows.
    void reserve(size_t rows, size_t storedBytes);
    // Appends a row whose caption, keyword and searches are given, the counts
    // empty; returns its index. May raise std::bad_alloc without room reserved.
    size_t append(const RowCells& cells);
    // REQUIRES: index < count(). Out-of-range columns are ignored.
    void setCell(size_t index, int column, std::string_view text);
    void setChecked(size_t index, bool checked);
    void setAllChecked(bool checked);
    // Removes the checked rows, keeping the others' order; returns how many went.
    size_t removeChecked();
    void clear();
    // Row j takes the row that was at order[j]; order is a permutation of 0..count-1.
    void permute(std::vector<uint32_t> order);

    // Bytes of row text held, and of gaps left by moved or removed rows.
    size_t liveBytes() const { return m_liveBytes; }
    size_t gapBytes() const { return m_gapBytes; }

    static constexpr uint32_t kCheckedBit = 0x80000000u;  // ids stay below it
    // Ids are never reused: this many can be handed out in a list's life.
    uint32_t idsLeft() const { return kLastId + 1 - m_nextId; }

private:
    static constexpr uint32_t kLastId = kCheckedBit - 2;
    struct Record {
        uint32_t block;
        uint32_t offset;
        uint32_t idAndCheck;
        uint32_t id() const { return idAndCheck & ~kCheckedBit; }
        bool checked() const { return idAndCheck & kCheckedBit; }
    };
    struct Block {
        std::unique_ptr<char[]> bytes;
        size_t capacity = 0;
        size_t used = 0;
    };

    const char* storedAt(const Record& r) const { return m_blocks[r.block].bytes.get() + r.offset; }
    // Room for size bytes; returns where a row of that size goes.
    Record place(size_t size);
    void rebuildIndex();
    void compactIfWasteful();

    std::vector<Record> m_records;
    std::vector<Block> m_blocks;
    size_t m_openBlock = SIZE_MAX;  // where small rows go next
    size_t m_liveBytes = 0;
    size_t m_gapBytes = 0;
    // m_positionOf[id - m_firstId] is the row's position + 1, or 0 when gone.
    std::vector<uint32_t> m_positionOf;
    uint32_t m_firstId = 1;
    uint32_t m_nextId = 1;
};

}  // namespace app
