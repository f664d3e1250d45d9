// Start-up and shut-down of the library: registration of its MATLAB classes with the framework.

#include "matlab/metadata_codecs.h"

#include <urs/image_loader.h>
#include <urs/matlab_image_loader.h>
#include <urs/matlab_image_saver.h>

#include <ur/rtti.h>

namespace urs {

bool Init() {
  ur::CxRtti* rtti = ur::CxRtti::instance();
  // The classes belong to this library, not to a plug-in: no owner.
  rtti->registerClass(nullptr, matlab::CxMatlabImageLoader::staticMetaObject,
                      QStringLiteral("IxImageDataLoader"));
  rtti->registerClass(nullptr, matlab::CxMatlabImageSaver::staticMetaObject,
                      QStringLiteral("IxImageDataSaver"));
  matlab::detail::RegisterMetadataClasses();
  return true;
}

bool Finish() { return true; }

}  // namespace urs
