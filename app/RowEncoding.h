#pragma once
// How one Keyword row lies in the list's byte blocks: the six cell lengths as
// variable-length numbers (7 bits a byte, low bits first; 1 byte below 128),
// then the six cells' bytes back to back. Short rows pay about 6 bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace app {

using RowCells = std::array<std::string_view, 6>;

// Bytes the row takes when stored.
size_t storedRowSize(const RowCells& cells);
// Writes the row at dest, which has room for storedRowSize(cells) bytes.
void storeRow(char* dest, const RowCells& cells);
// The stored size of the row that begins at stored.
size_t storedSizeAt(const char* stored);
// Cell `column` of the row that begins at stored; "" out of range.
std::string_view storedCell(const char* stored, int column);
// All six cells of the row that begins at stored.
RowCells storedCells(const char* stored);

}  // namespace app
