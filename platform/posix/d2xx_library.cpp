#include "platform/posix/d2xx_library.h"

#include <dlfcn.h>

#include <stdexcept>

#include "app/texts.h"
#include "platform/posix/posix_texts.h"

namespace snimac {

namespace {

std::string DlError() {
  const char* text = dlerror();
  return text ? std::string(text) : std::string(posix_texts::kUnknownError);
}

}  // namespace

template <typename F>
void TD2xxLibrary::Resolve(F& function, const char* symbol) {
  dlerror();  // clear
  void* address = dlsym(library_, symbol);
  if (address == nullptr) {
    const std::string error = DlError();
    dlclose(library_);
    library_ = nullptr;
    throw std::runtime_error("Knihovna " + name_ + " neobsahuje funkci " + symbol + ": " + error);
  }
  function = reinterpret_cast<F>(address);
}

template <typename F>
F TD2xxLibrary::Optional(const char* symbol) {
  return reinterpret_cast<F>(dlsym(library_, symbol));
}

TD2xxLibrary::TD2xxLibrary(const std::string& name) : name_(name) {
  library_ = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) {
    throw std::runtime_error(texts::With(posix_texts::kErrLoadLibrary, name_) + DlError());
  }
  Resolve(listDevices_, "FT_ListDevices");
  Resolve(openEx_, "FT_OpenEx");
  Resolve(setBaudRate_, "FT_SetBaudRate");
  Resolve(setDataCharacteristics_, "FT_SetDataCharacteristics");
  Resolve(setFlowControl_, "FT_SetFlowControl");
  Resolve(setTimeouts_, "FT_SetTimeouts");
  setLatencyTimer_ = Optional<FSetLatencyTimer>("FT_SetLatencyTimer");
  Resolve(write_, "FT_Write");
  Resolve(read_, "FT_Read");
  Resolve(close_, "FT_Close");
}

TD2xxLibrary::~TD2xxLibrary() {
  if (library_ != nullptr) dlclose(library_);
}

FT_STATUS TD2xxLibrary::ListDevices(void* arg1, void* arg2, uint32_t flags) {
  return listDevices_(arg1, arg2, flags);
}

FT_STATUS TD2xxLibrary::OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  return openEx_(arg, flags, handle);
}

FT_STATUS TD2xxLibrary::SetBaudRate(FT_HANDLE handle, uint32_t baud) { return setBaudRate_(handle, baud); }

FT_STATUS TD2xxLibrary::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                               uint8_t parity) {
  return setDataCharacteristics_(handle, wordLength, stopBits, parity);
}

FT_STATUS TD2xxLibrary::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  return setFlowControl_(handle, flow, xon, xoff);
}

FT_STATUS TD2xxLibrary::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  return setTimeouts_(handle, readMs, writeMs);
}

FT_STATUS TD2xxLibrary::SetLatencyTimer(FT_HANDLE handle, uint8_t ms) {
  if (setLatencyTimer_ == nullptr) return FT_NOT_SUPPORTED;
  return setLatencyTimer_(handle, ms);
}

FT_STATUS TD2xxLibrary::Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) {
  // FT_Write takes LPVOID; it does not modify the buffer.
  return write_(handle, const_cast<void*>(buffer), count, written);
}

FT_STATUS TD2xxLibrary::Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) {
  return read_(handle, buffer, count, received);
}

FT_STATUS TD2xxLibrary::Close(FT_HANDLE handle) { return close_(handle); }

}  // namespace snimac
