#include "platform/posix/tty_discovery.h"

#include <libudev.h>
#include <strings.h>

#include <memory>
#include <stdexcept>

#include "platform/posix/posix_texts.h"

namespace snimac {

namespace {

struct TUdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using TUdevPtr = std::unique_ptr<T, TUdevDeleter>;

std::string Attribute(udev_device* device, const char* name) {
  const char* value = device ? udev_device_get_sysattr_value(device, name) : nullptr;
  return value ? std::string(value) : std::string();
}

const char* const kSpace = " \t\r\n\v\f";

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

int ToInt(const std::string& text, int fallback) {
  try {
    return std::stoi(Trim(text));  // sysfs numbers may carry blanks ("  2")
  } catch (...) {
    return fallback;
  }
}

}  // namespace

std::vector<TTtyDevice> DiscoverFtdiTtys() {
  TUdevPtr<udev> context(udev_new());
  if (!context) throw std::runtime_error("libudev: udev_new selhalo");
  TUdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "tty") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0) {
    throw std::runtime_error(posix_texts::kErrUdevScan);
  }
  std::vector<TTtyDevice> devices;
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    TUdevPtr<udev_device> tty(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!tty) continue;
    const char* node = udev_device_get_devnode(tty.get());
    if (node == nullptr) continue;
    // Parents belong to the child device; they are not unreferenced here.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
    if (usb == nullptr || strcasecmp(Attribute(usb, "idVendor").c_str(), "0403") != 0) continue;
    TTtyDevice device;
    device.path = node;
    device.description = Attribute(usb, "product");
    device.serial = Attribute(usb, "serial");
    udev_device* interface =
        udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_interface");
    if (ToInt(Attribute(usb, "bNumInterfaces"), 1) > 1 && interface != nullptr) {
      const int number = ToInt(Attribute(interface, "bInterfaceNumber"), -1);
      if (number >= 0 && number < 26) {
        const char letter = static_cast<char>('A' + number);
        if (!device.serial.empty()) device.serial += letter;
        if (!device.description.empty()) device.description += std::string(" ") + letter;
      }
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

}  // namespace snimac
