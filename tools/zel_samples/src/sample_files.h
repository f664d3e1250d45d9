#pragma once
// The project's own sample frames: small ones for the main job's round trip, and two large ones
// for the conversion benchmark.

#include <QString>
#include <QStringList>

namespace zel::samples {

// Writes grey12_few_levels.tif, grey16_many_levels.tif, grey8.png and mosaic_rggb16.png
// (640 x 480) into dir, creating it when needed. Returns the paths written; on failure an
// empty list and errorText set.
QStringList WriteMainSamples(const QString& dir, QString& errorText);

// Writes the 4000 x 3000 grey benchmark frames bench_grey10_200_levels.tif and
// bench_grey12_3500_levels.tif into dir, as WriteMainSamples.
QStringList WriteBenchFrames(const QString& dir, QString& errorText);

// Writes count 4000 x 3000 10-bit RGGB mosaics mosaic_000.tif, ... into dir, each plane holding
// at most 250 levels (so that the raw path restores them exactly), as WriteMainSamples.
QStringList WriteBenchMosaics(const QString& dir, int count, QString& errorText);

}  // namespace zel::samples
