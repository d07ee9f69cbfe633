#include "app/device_list.h"

#include <cstring>
#include <set>
#include <stdexcept>

#include "app/texts.h"

namespace snimac {

namespace {

std::string Trim(const std::string& text) {
  const char* const space = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(space);
  return text.substr(first, last - first + 1);
}

// Copies text into a 64-byte D2XX buffer: at most 63 bytes and the zero,
// never cutting a UTF-8 sequence in two.
void CopyText(const std::string& text, void* buffer) {
  size_t n = text.size();
  if (n > static_cast<size_t>(kFtStringSize - 1)) {
    n = kFtStringSize - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  char* out = static_cast<char*>(buffer);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// The text a query or an open names a device by.
const std::string& TextBy(const TListedDevice& device, uint32_t openBy) {
  return openBy == FT_OPEN_BY_SERIAL_NUMBER ? device.serial : device.description;
}

}  // namespace

std::vector<TListedDevice> ParseDeviceList(const std::string& text) {
  std::vector<TListedDevice> devices;
  std::set<std::string> serials;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string entry = Trim(text.substr(start, end - start));
    start = end + 1;
    if (entry.empty()) continue;

    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
      const size_t bar = entry.find('|', from);
      fields.push_back(Trim(entry.substr(from, bar == std::string::npos ? std::string::npos : bar - from)));
      if (bar == std::string::npos) break;
      from = bar + 1;
    }
    const std::string prefix = texts::With(texts::kErrDeviceEntry, entry);
    if (fields.size() != 3) throw std::invalid_argument(prefix + texts::kErrDeviceShape);
    for (size_t i = 0; i < fields.size(); ++i) {
      if (fields[i].empty()) {
        throw std::invalid_argument(prefix + texts::kErrDeviceShape +
                                    texts::With(texts::kErrDeviceMissingField, texts::kDeviceFieldNames[i]));
      }
    }
    if (!serials.insert(fields[2]).second) {
      throw std::invalid_argument(prefix + texts::With(texts::kErrDeviceSerialTwice, fields[2]));
    }
    devices.push_back(TListedDevice{fields[0], fields[1], fields[2]});
  }
  return devices;
}

FT_STATUS CheckListQuery(void* arg1, void* arg2, uint32_t flags) {
  if (flags == FT_LIST_NUMBER_ONLY) return arg1 == nullptr ? FT_INVALID_PARAMETER : FT_OK;
  const uint32_t openBy = flags & ~FT_LIST_BY_INDEX;
  if ((flags & FT_LIST_BY_INDEX) == 0 ||
      (openBy != FT_OPEN_BY_SERIAL_NUMBER && openBy != FT_OPEN_BY_DESCRIPTION) || arg2 == nullptr) {
    return FT_INVALID_PARAMETER;
  }
  static_cast<char*>(arg2)[0] = '\0';
  return FT_OK;
}

FT_STATUS ListFromDevices(const std::vector<TListedDevice>& devices, void* arg1, void* arg2, uint32_t flags) {
  const FT_STATUS valid = CheckListQuery(arg1, arg2, flags);
  if (valid != FT_OK) return valid;
  if (flags == FT_LIST_NUMBER_ONLY) {
    *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(devices.size());
    return FT_OK;
  }
  const uintptr_t index = reinterpret_cast<uintptr_t>(arg1);
  if (index >= devices.size()) return FT_DEVICE_NOT_FOUND;
  const std::string& text = TextBy(devices[index], flags & ~FT_LIST_BY_INDEX);
  if (text.empty()) return FT_OTHER_ERROR;  // unreadable: the caller skips the device
  CopyText(text, arg2);
  return FT_OK;
}

FT_STATUS CheckOpenQuery(void* arg, uint32_t flags, FT_HANDLE* handle) {
  if (handle == nullptr) return FT_INVALID_PARAMETER;
  *handle = nullptr;
  if (arg == nullptr || (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION)) {
    return FT_INVALID_PARAMETER;
  }
  return static_cast<const char*>(arg)[0] == '\0' ? FT_DEVICE_NOT_FOUND : FT_OK;
}

const TListedDevice* FindDevice(const std::vector<TListedDevice>& devices, const std::string& key,
                                uint32_t flags) {
  if (key.empty() || (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION)) return nullptr;
  for (const TListedDevice& device : devices) {
    if (TextBy(device, flags) == key) return device.path.empty() ? nullptr : &device;
  }
  return nullptr;
}

}  // namespace snimac
