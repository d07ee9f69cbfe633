// TD2xxLibrary: loading libftd2xx.so at run time, and the pass-through.
#include "platform/posix/d2xx_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>

namespace snimac {
namespace {

TEST(PosixD2xxLibrary, MissingLibraryThrowsNamingIt) {
  try {
    TD2xxLibrary library("libftd2xx-snimac-does-not-exist.so");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("Knihovnu libftd2xx-snimac-does-not-exist.so nelze načíst: ", 0), 0u) << message;
    EXPECT_GT(message.size(), std::strlen("Knihovnu libftd2xx-snimac-does-not-exist.so nelze načíst: "));
  }
}

TEST(PosixD2xxLibrary, LibraryWithoutTheFunctionsThrowsNamingTheFunction) {
  try {
    TD2xxLibrary library("libc.so.6");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Knihovna libc.so.6 neobsahuje funkci FT_ListDevices: ", 0), 0u)
        << e.what();
  }
}

// The stand-in library built by platform/posix/CMakeLists.txt next to the tests.
std::string FakeLibraryPath() {
  char exe[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return {};
  std::string path(exe, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + "libsnimac_fake_ftd2xx.so";
}

struct TFakeLog {
  char function[32];
  void* handle;
  void* arg1;
  void* arg2;
  uint32_t u1, u2, u3, u4;
};

TEST(PosixD2xxLibrary, PassesEveryCallThrough) {
  const std::string path = FakeLibraryPath();
  if (::access(path.c_str(), R_OK) != 0) GTEST_SKIP() << "no " << path;
  TD2xxLibrary library(path);
  void* self = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(self, nullptr);
  auto* log = static_cast<TFakeLog*>(dlsym(self, "fake_ftd2xx_log"));
  auto* status = static_cast<uint32_t*>(dlsym(self, "fake_ftd2xx_status"));
  ASSERT_NE(log, nullptr);
  ASSERT_NE(status, nullptr);
  FT_HANDLE h = reinterpret_cast<FT_HANDLE>(0xABCD);

  uint32_t count = 0;
  *status = FT_OK;
  EXPECT_EQ(library.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_STREQ(log->function, "FT_ListDevices");
  EXPECT_EQ(log->arg1, &count);
  EXPECT_EQ(log->u1, FT_LIST_NUMBER_ONLY);
  char text[kFtStringSize];
  EXPECT_EQ(library.ListDevices(reinterpret_cast<void*>(3), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
  EXPECT_EQ(log->arg1, reinterpret_cast<void*>(3));
  EXPECT_EQ(log->arg2, text);
  EXPECT_EQ(log->u1, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);

  FT_HANDLE opened = nullptr;
  char serial[] = "A1B2";
  EXPECT_EQ(library.OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &opened), FT_OK);
  EXPECT_STREQ(log->function, "FT_OpenEx");
  EXPECT_EQ(log->arg1, serial);
  EXPECT_EQ(log->u1, FT_OPEN_BY_SERIAL_NUMBER);
  EXPECT_EQ(opened, reinterpret_cast<FT_HANDLE>(0x1234));

  EXPECT_EQ(library.SetBaudRate(h, 9600), FT_OK);
  EXPECT_STREQ(log->function, "FT_SetBaudRate");
  EXPECT_EQ(log->handle, h);
  EXPECT_EQ(log->u1, 9600u);

  EXPECT_EQ(library.SetDataCharacteristics(h, FT_BITS_8, 2, 1), FT_OK);
  EXPECT_STREQ(log->function, "FT_SetDataCharacteristics");
  EXPECT_EQ(log->handle, h);
  EXPECT_EQ(log->u1, 8u);
  EXPECT_EQ(log->u2, 2u);
  EXPECT_EQ(log->u3, 1u);

  EXPECT_EQ(library.SetFlowControl(h, 0x0400, 0x11, 0x13), FT_OK);
  EXPECT_STREQ(log->function, "FT_SetFlowControl");
  EXPECT_EQ(log->u1, 0x0400u);
  EXPECT_EQ(log->u2, 0x11u);
  EXPECT_EQ(log->u3, 0x13u);

  EXPECT_EQ(library.SetTimeouts(h, 50, 100), FT_OK);
  EXPECT_STREQ(log->function, "FT_SetTimeouts");
  EXPECT_EQ(log->u1, 50u);
  EXPECT_EQ(log->u2, 100u);

  EXPECT_EQ(library.SetLatencyTimer(h, 2), FT_OK);
  EXPECT_STREQ(log->function, "FT_SetLatencyTimer");
  EXPECT_EQ(log->handle, h);
  EXPECT_EQ(log->u1, 2u);

  const uint8_t frame[6] = {0xC0, 1, 2, 3, 4, 0xC1};
  uint32_t written = 0;
  EXPECT_EQ(library.Write(h, frame, 6, &written), FT_OK);
  EXPECT_STREQ(log->function, "FT_Write");
  EXPECT_EQ(log->arg1, frame);
  EXPECT_EQ(log->arg2, &written);
  EXPECT_EQ(log->u1, 6u);
  EXPECT_EQ(written, 6u);

  uint8_t byte = 0;
  uint32_t received = 0;
  EXPECT_EQ(library.Read(h, &byte, 1, &received), FT_OK);
  EXPECT_STREQ(log->function, "FT_Read");
  EXPECT_EQ(log->arg1, &byte);
  EXPECT_EQ(received, 1u);
  EXPECT_EQ(byte, 0xC0);

  // Statuses come back as the library gives them.
  *status = FT_IO_ERROR;
  EXPECT_EQ(library.Read(h, &byte, 1, &received), FT_IO_ERROR);
  *status = 17;
  EXPECT_EQ(library.Close(h), 17u);
  EXPECT_STREQ(log->function, "FT_Close");
  EXPECT_EQ(log->handle, h);
  *status = FT_OK;
  dlclose(self);
}

}  // namespace
}  // namespace snimac
