#pragma once
// Classes of the framework itself that are registered with CxRtti when the registry is created.

namespace ur {
class CxRtti;

namespace detail {
// Registers the common image record with its XML saver and loader (owner: none).
void RegisterCommonMetadataClasses(CxRtti& rtti);
}  // namespace detail
}  // namespace ur
