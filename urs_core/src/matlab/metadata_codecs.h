#pragma once
// Registration of the MATLAB metadata record and its XML saver and loader with the class
// registry. The MATLAB file code needs them whenever it writes or parses its metadata, also in
// hosts that never call urs::Init, so it registers them itself (registering twice does nothing).

namespace urs::matlab::detail {

// Registers, in this order, the metadata loader, the metadata saver and the record.
void RegisterMetadataClasses();

}  // namespace urs::matlab::detail
