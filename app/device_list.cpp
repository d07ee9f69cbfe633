#include "app/device_list.h"

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

}  // namespace snimac
