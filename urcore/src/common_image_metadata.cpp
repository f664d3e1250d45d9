#include <ur/common_image_metadata.h>

namespace ur {

CxCommonImageMetadata::CxCommonImageMetadata(QObject* parent) : IxMetadataItem(parent) {}

IxMetadataItem* CxCommonImageMetadata::clone() const {
  auto* copy = new CxCommonImageMetadata();
  copy->dataType = dataType;
  copy->bitDepth = bitDepth;
  copy->bayerGrid = bayerGrid;
  copy->planar = planar;
  copy->patternWidth = patternWidth;
  copy->patternHeight = patternHeight;
  copy->cameraMake = cameraMake;
  copy->cameraModel = cameraModel;
  copy->author = author;
  copy->software = software;
  copy->copyright = copyright;
  copy->description = description;
  copy->dateTime = dateTime;
  copy->exposureTime = exposureTime;
  copy->gain = gain;
  copy->aperture = aperture;
  copy->fNumber = fNumber;
  copy->iso = iso;
  copy->whiteBalance = whiteBalance;
  return copy;
}

void CxCommonImageMetadata::setFromImage(const SxImageBuf& buf) {
  dataType = buf.dataType;
  bitDepth = buf.bitDepth;
  bayerGrid = buf.bayerGrid;
  planar = buf.planar;
  patternWidth = buf.patternWidth;
  patternHeight = buf.patternHeight;
}

bool CxCommonImageMetadata::hasAcquisitionInfo() const {
  const bool anyText = !cameraMake.isEmpty() || !cameraModel.isEmpty() || !author.isEmpty() ||
                       !software.isEmpty() || !copyright.isEmpty() || !description.isEmpty();
  const bool anyNumber = exposureTime >= 0.0 || gain >= 0.0 || aperture >= 0.0 ||
                         fNumber >= 0.0 || iso >= 0 || whiteBalance >= 0;
  return anyText || anyNumber || dateTime.isValid();
}

}  // namespace ur
