#pragma once
// A check of an HDF5 file's structure before the HDF5 library reads it. The library decodes
// the structures of the original file format (version 0 and 1 superblocks, version 1 object
// headers, B-trees, local heaps and symbol nodes carry no checksum) trusting every size they
// claim, and reads outside its buffers on damaged files. The check walks those structures from
// the superblock through every group and object header it reaches and tests each size against
// the block that holds it; structures of the later format are covered by their checksums, which
// the library verifies itself.

#include <ur/urcore_export.h>

#include <QString>

namespace ur {

// Why the HDF5 file at path cannot be read safely ("an attribute's data runs past its
// message"); empty when every structure reached fits, and for files without an HDF5 superblock
// (the library refuses those itself).
URCORE_EXPORT QString Hdf5StructureProblem(const QString& path);

}  // namespace ur
