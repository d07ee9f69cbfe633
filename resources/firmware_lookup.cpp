#include "resources/embedded_firmware.h"
#include "resources/firmware_image.h"

namespace snimac {

TFirmwareImage FindFirmwareImage(const std::string& name) {
  for (const TEmbeddedFirmware& image : kEmbeddedFirmware)
    if (name == image.name) return {image.data, image.size};
  return {};
}

bool CarriesTestImages() { return kEmbeddedFirmwareIsTest; }

}  // namespace snimac
