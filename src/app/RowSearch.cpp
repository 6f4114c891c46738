#include "RowSearch.h"

namespace RowSearch {

int nextMatchingRow(int rowCount, int startRow, const std::function<bool(int)> &matches)
{
    for (int row = startRow; row < rowCount; ++row) {
        if (matches(row))
            return row;
    }
    for (int row = 0; row < startRow && row < rowCount; ++row) {
        if (matches(row))
            return row;
    }
    return -1;
}

} // namespace RowSearch
