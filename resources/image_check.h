// The carried firmware images are checked before the upgrade is offered: a
// damaged or mixed-up image must never reach the reader's flash.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "resources/firmware_image.h"

namespace snimac {

using TFirmwareLookup = std::function<TFirmwareImage(const std::string& name)>;

// Checks all three images as `find` supplies them (by default the carried
// ones). Nothing when they are sound, otherwise a short reason for the log
// that names the image and what failed.
std::optional<std::string> CheckFirmwareImages(const TFirmwareLookup& find = FindFirmwareImage);

// Checks one image against the layout of its name.
std::optional<std::string> CheckFirmwareImage(const std::string& name, const TFirmwareImage& image);

// The signed used-length word of an MXTA image (the first offset the AVR page
// walk may skip from); 0 when the image is too short to hold it.
int16_t AvrUsedLength(const TFirmwareImage& image);

}  // namespace snimac
