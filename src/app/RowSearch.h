#pragma once

#include <functional>

namespace RowSearch {

// The next row for which matches() holds, searching startRow to the last row and then,
// when startRow is not 0, from row 0 up to startRow - 1 (so the row before startRow,
// usually the current one, is tested last). -1 when no row matches.
int nextMatchingRow(int rowCount, int startRow, const std::function<bool(int)> &matches);

} // namespace RowSearch
