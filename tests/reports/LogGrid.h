#pragma once

#include <QTableWidget>

#include <memory>
#include <string>

namespace mallow::test {

/// A results grid holding `rows` rows of the compact log as the Results tab shows them: the
/// column names as headers, the hidden ID column and the log's column widths.
std::unique_ptr<QTableWidget> MakeCompactLogGrid(int rows);

/// The Comments text of a row of that grid; no two rows share it.
std::string LogComment(int row);

} // namespace mallow::test
