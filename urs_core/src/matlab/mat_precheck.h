#pragma once
// A look at the variable headers of a MATLAB file before matio reads it. matio trusts the
// element counts of cell and struct arrays and builds a record per claimed element, so a small
// damaged file can keep it busy for minutes and take gigabytes; such files are refused here.

#include <QString>

namespace urs::matlab::detail {

// Why the file cannot hold what one of its top-level variables claims: a variable that runs past
// the end of the file, or a cell, struct or object array with more elements than its bytes could
// describe. Empty when the claims fit, and for files other than the level 5 format (level 4 and
// HDF5-based files are left to matio, which does not build such records for them).
QString MatFileProblem(const QString& path);

}  // namespace urs::matlab::detail
