// Opening and closing MATLAB files and writing single variables.

#include "matlab/mat_io.h"
#include "matlab/mat_precheck.h"

#include <urs/matlab_file.h>

#include <QByteArray>

namespace urs::matlab {

using detail::WriteMatrix;

void* MatOpenRead(const QString& path) {
  detail::InstallMatioLogger();
  if (!detail::MatFileProblem(path).isEmpty()) return nullptr;
  return Mat_Open(path.toLocal8Bit().constData(), MAT_ACC_RDONLY);
}

void* MatOpenWrite(const QString& path) {
  detail::InstallMatioLogger();
  return Mat_CreateVer(path.toLocal8Bit().constData(), nullptr, MAT_FT_MAT5);
}

bool MatClose(void* mat) { return mat && Mat_Close(static_cast<mat_t*>(mat)) == 0; }

bool AddVar(void* mat, const QString& value, const QString& name) {
  const QByteArray utf8 = value.toUtf8();
  return WriteMatrix(static_cast<mat_t*>(mat), name, MAT_C_CHAR, MAT_T_UTF8, 1,
                     std::size_t(utf8.size()), utf8.constData());
}

bool AddVar(void* mat, double* data, int rows, int cols, const QString& name) {
  if (!data || rows < 0 || cols < 0) return false;
  return WriteMatrix(static_cast<mat_t*>(mat), name, MAT_C_DOUBLE, MAT_T_DOUBLE, std::size_t(rows),
                     std::size_t(cols), data);
}

}  // namespace urs::matlab
