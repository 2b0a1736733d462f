#include "app/KeywordRows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>
#include <stdexcept>
#include <string>

namespace app {

namespace {

// Rows up to this size share blocks of this size; a larger row gets a block of its own.
constexpr size_t kBlockBytes = size_t{1} << 20;
// Gaps are reclaimed only past this, so small lists never pay for it.
constexpr size_t kCompactMinBytes = size_t{4} << 20;
constexpr size_t kMaxRowBytes = UINT32_MAX;

// Room for one more element, growing by doubling (reserve(size + 1) alone
// would reallocate on every call).
template <typename T>
void roomForOneMore(std::vector<T>& v) {
    if (v.size() == v.capacity()) v.reserve(std::max<size_t>(16, v.size() * 2));
}

// Room for n elements in all, at least doubling what is there.
template <typename T>
void roomFor(std::vector<T>& v, size_t n) {
    if (n > v.capacity()) v.reserve(std::max(n, v.capacity() * 2));
}

}  // namespace

KeywordRowView TKeywordRows::row(size_t index) const {
    const Record& r = m_records[index];
    return KeywordRowView(storedAt(r), r.id(), r.checked());
}

size_t TKeywordRows::find(uint32_t id) const {
    if (id < m_firstId || id - m_firstId >= m_positionOf.size()) return kNotFound;
    const uint32_t position = m_positionOf[id - m_firstId];
    return position == 0 ? kNotFound : position - 1;
}

namespace {

template <typename Block, typename Record>
Record placeIn(std::vector<Block>& blocks, size_t& openBlock, size_t size) {
    if (openBlock < blocks.size() && blocks[openBlock].capacity - blocks[openBlock].used >= size) {
        Block& open = blocks[openBlock];
        const Record r{static_cast<uint32_t>(openBlock), static_cast<uint32_t>(open.used), 0};
        open.used += size;
        return r;
    }
    if (blocks.size() >= UINT32_MAX) throw std::bad_alloc();
    roomForOneMore(blocks);  // only here: a row that fits must allocate nothing
    const size_t capacity = std::max(kBlockBytes, size);
    Block block;
    block.bytes.reset(new char[capacity]);
    block.capacity = capacity;
    block.used = size;
    blocks.push_back(std::move(block));
    const size_t index = blocks.size() - 1;
    if (size < kBlockBytes) openBlock = index;  // a big row keeps the open block open
    return Record{static_cast<uint32_t>(index), 0, 0};
}

}  // namespace

TKeywordRows::Record TKeywordRows::place(size_t size) {
    if (size > kMaxRowBytes) throw std::length_error("Keyword row too long");
    return placeIn<Block, Record>(m_blocks, m_openBlock, size);
}

void TKeywordRows::reserve(size_t rows, size_t storedBytes) {
    if (rows > idsLeft()) throw std::bad_alloc();
    roomFor(m_records, m_records.size() + rows);
    roomFor(m_positionOf, m_positionOf.size() + rows);
    roomForOneMore(m_blocks);
    const bool fits = m_openBlock < m_blocks.size() &&
                      m_blocks[m_openBlock].capacity - m_blocks[m_openBlock].used >= storedBytes;
    if (fits || storedBytes == 0) return;
    // One block that takes exactly these rows; what the old open block had left is given up.
    Block block;
    block.capacity = std::max(storedBytes, kBlockBytes);
    block.bytes.reset(new char[block.capacity]);
    m_blocks.push_back(std::move(block));
    m_openBlock = m_blocks.size() - 1;
}

size_t TKeywordRows::append(const RowCells& cells) {
    if (idsLeft() == 0) throw std::length_error("Too many keyword rows were added");
    roomForOneMore(m_records);
    roomForOneMore(m_positionOf);
    const size_t size = storedRowSize(cells);
    Record r = place(size);
    storeRow(m_blocks[r.block].bytes.get() + r.offset, cells);
    r.idAndCheck = m_nextId++;
    m_records.push_back(r);
    m_positionOf.push_back(static_cast<uint32_t>(m_records.size()));
    m_liveBytes += size;
    return m_records.size() - 1;
}

void TKeywordRows::setCell(size_t index, int column, std::string_view text) {
    if (column < 0 || column >= kColumnCount) return;
    Record& r = m_records[index];
    char* stored = m_blocks[r.block].bytes.get() + r.offset;
    RowCells cells = storedCells(stored);
    if (cells[static_cast<size_t>(column)] == text) return;
    const size_t oldSize = storedSizeAt(stored);
    cells[static_cast<size_t>(column)] = text;
    const size_t newSize = storedRowSize(cells);
    if (newSize <= oldSize) {
        // The new row is built aside: its cells are read from where it is written.
        char small[256];
        std::string large;
        char* aside = small;
        if (newSize > sizeof(small)) {
            large.resize(newSize);
            aside = large.data();
        }
        storeRow(aside, cells);
        std::memcpy(stored, aside, newSize);
        m_gapBytes += oldSize - newSize;
    } else {
        // Blocks never move, so the old cells can be read while the new row is written.
        const Record moved = place(newSize);
        storeRow(m_blocks[moved.block].bytes.get() + moved.offset, cells);
        r.block = moved.block;
        r.offset = moved.offset;
        m_gapBytes += oldSize;
    }
    m_liveBytes = m_liveBytes - oldSize + newSize;
    compactIfWasteful();
}

void TKeywordRows::setChecked(size_t index, bool checked) {
    Record& r = m_records[index];
    r.idAndCheck = checked ? (r.idAndCheck | kCheckedBit) : r.id();
}

void TKeywordRows::setAllChecked(bool checked) {
    for (Record& r : m_records) r.idAndCheck = checked ? (r.idAndCheck | kCheckedBit) : r.id();
}

size_t TKeywordRows::removeChecked() {
    const auto firstChecked = std::find_if(m_records.begin(), m_records.end(), [](const Record& r) { return r.checked(); });
    if (firstChecked == m_records.end()) return 0;
    size_t removedBytes = 0;
    const auto end = std::remove_if(firstChecked, m_records.end(), [&](const Record& r) {
        if (!r.checked()) return false;
        removedBytes += storedSizeAt(storedAt(r));
        return true;
    });
    const size_t removed = static_cast<size_t>(m_records.end() - end);
    m_records.erase(end, m_records.end());
    m_liveBytes -= removedBytes;
    m_gapBytes += removedBytes;
    if (m_records.empty()) {
        clear();
        return removed;
    }
    rebuildIndex();
    compactIfWasteful();
    return removed;
}

void TKeywordRows::clear() {
    std::vector<Record>().swap(m_records);
    std::vector<Block>().swap(m_blocks);
    std::vector<uint32_t>().swap(m_positionOf);
    m_openBlock = SIZE_MAX;
    m_liveBytes = 0;
    m_gapBytes = 0;
    m_firstId = m_nextId;  // ids of removed rows are never found again
}

void TKeywordRows::permute(std::vector<uint32_t> order) {
    // Cycle by cycle, so no second copy of the records is needed.
    for (uint32_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) continue;
        const Record carried = m_records[start];
        uint32_t j = start;
        for (;;) {
            const uint32_t from = order[j];
            order[j] = j;
            if (from == start) {
                m_records[j] = carried;
                break;
            }
            m_records[j] = m_records[from];
            j = from;
        }
    }
    rebuildIndex();
}

// The index spans the ids from the smallest one still present; that span
// never grows here, so the rebuild needs no memory.
void TKeywordRows::rebuildIndex() {
    uint32_t firstId = m_nextId;
    for (const Record& r : m_records) firstId = std::min(firstId, r.id());
    m_positionOf.assign(m_nextId - firstId, 0);
    m_firstId = firstId;
    for (size_t i = 0; i < m_records.size(); ++i) m_positionOf[m_records[i].id() - firstId] = static_cast<uint32_t>(i + 1);
}

// Rows slide down in address order: each lands at or before where it was,
// so no row is overwritten before it has moved, and no new block is needed.
void TKeywordRows::compactIfWasteful() {
    if (m_gapBytes < kCompactMinBytes || m_gapBytes * 4 <= m_liveBytes) return;
    std::vector<uint32_t> byAddress;
    try {
        byAddress.resize(m_records.size());
    } catch (const std::bad_alloc&) {
        return;  // the gaps simply stay
    }
    std::iota(byAddress.begin(), byAddress.end(), 0u);
    std::sort(byAddress.begin(), byAddress.end(), [&](uint32_t a, uint32_t b) {
        const Record &x = m_records[a], &y = m_records[b];
        return x.block != y.block ? x.block < y.block : x.offset < y.offset;
    });
    size_t block = 0, offset = 0;
    for (const uint32_t index : byAddress) {
        Record& r = m_records[index];
        const char* from = storedAt(r);
        const size_t size = storedSizeAt(from);
        while (offset + size > m_blocks[block].capacity) {
            m_blocks[block].used = offset;
            ++block;
            offset = 0;
        }
        char* to = m_blocks[block].bytes.get() + offset;
        if (to != from) std::memmove(to, from, size);
        r.block = static_cast<uint32_t>(block);
        r.offset = static_cast<uint32_t>(offset);
        offset += size;
    }
    m_blocks[block].used = offset;
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(block) + 1, m_blocks.end());
    m_openBlock = block;
    m_gapBytes = 0;
}

}  // namespace app
