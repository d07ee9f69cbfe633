// The reader firmware images carried as raw data resources (RT_RCDATA) of
// the executable, found by their names MXTA, MXT_HI and MXT_LO. A loaded
// resource stays mapped for as long as the module is, so the bytes can be
// handed out without a copy.
#include <windows.h>

#include <string>

#include "resources/firmware_image.h"

namespace snimac {
namespace {

// The module these images were linked into: the executable, or a DLL that
// carries them itself.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

}  // namespace

TFirmwareImage FindFirmwareImage(const std::string& name) {
  if (name != kAvrImageName && name != kHighBankImageName && name != kLowBankImageName) return {};
  const HMODULE module = OwnModule();
  const std::wstring wideName(name.begin(), name.end());  // the names are ASCII
  HRSRC found = ::FindResourceW(module, wideName.c_str(), RT_RCDATA);
  if (found == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  const DWORD size = ::SizeofResource(module, found);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return {};
  return {static_cast<const uint8_t*>(bytes), size};
}

bool CarriesTestImages() { return SNIMAC_FIRMWARE_IS_TEST != 0; }

}  // namespace snimac
