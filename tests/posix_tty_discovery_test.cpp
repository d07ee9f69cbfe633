// The libudev discovery of FTDI ttys (smoke test only: there are no FTDI
// converters on a build machine).
#include "platform/posix/tty_discovery.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace snimac {
namespace {

TEST(PosixDiscoverFtdiTtys, RunsWithoutError) {
  std::vector<TTtyDevice> devices;
  ASSERT_NO_THROW(devices = DiscoverFtdiTtys());
  for (const TTtyDevice& d : devices) EXPECT_EQ(d.path.rfind("/dev/", 0), 0u) << d.path;
  // Without the kernel's FTDI driver bound to anything there is nothing to find.
  if (::access("/sys/bus/usb/drivers/ftdi_sio", F_OK) != 0) {
    EXPECT_TRUE(devices.empty());
  }
}

}  // namespace
}  // namespace snimac
