#pragma once
// A look at the variable headers of a MATLAB file before matio reads it. matio trusts the
// element counts of cell and struct arrays and builds a record per claimed element, and
// allocates the name length a level 4 header claims, so a small damaged file can keep it busy
// for minutes and take gigabytes; such files are refused here.

#include <QString>

namespace urs::matlab::detail {

// Why the file cannot hold what one of its top-level variables claims: a variable that runs past
// the end of the file, a cell, struct or object array with more elements than its bytes could
// describe, (level 4 files) a name or matrix longer than the file, or (HDF5-based files) a
// structure the HDF5 library would read past. Empty when the claims fit, and for files of no
// MATLAB format.
QString MatFileProblem(const QString& path);

}  // namespace urs::matlab::detail
