// The explicit device list SNIMAC_DEVICES: what is accepted, and that a
// mistake is reported with the entry that holds it.
#include "app/device_list.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace snimac {
namespace {

struct TGoodCase {
  const char* text;
  std::vector<TListedDevice> devices;
};

TEST(DeviceList, AcceptedLists) {
  const std::vector<TGoodCase> cases = {
      {"", {}},
      {" ;; \n ; ", {}},
      {"/dev/pts/3|Card reader|A1B2", {{"/dev/pts/3", "Card reader", "A1B2"}}},
      {"/dev/pts/3|Card reader|A1B2;", {{"/dev/pts/3", "Card reader", "A1B2"}}},
      {";/dev/ttyUSB0|USB <-> Serial|FT1;/dev/ttyUSB1|Evidence EVID|FT2",
       {{"/dev/ttyUSB0", "USB <-> Serial", "FT1"}, {"/dev/ttyUSB1", "Evidence EVID", "FT2"}}},
      {"  /dev/pts/4 | Reader one |  S1 \n;\t/dev/pts/5|Reader two|S2  ",
       {{"/dev/pts/4", "Reader one", "S1"}, {"/dev/pts/5", "Reader two", "S2"}}},
      {"/dev/pts/6|Čtečka karet|Č1", {{"/dev/pts/6", "Čtečka karet", "Č1"}}},
  };
  for (const TGoodCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<TListedDevice> devices;
    ASSERT_NO_THROW(devices = ParseDeviceList(c.text));
    ASSERT_EQ(devices.size(), c.devices.size());
    for (size_t i = 0; i < devices.size(); ++i) {
      EXPECT_EQ(devices[i].path, c.devices[i].path);
      EXPECT_EQ(devices[i].description, c.devices[i].description);
      EXPECT_EQ(devices[i].serial, c.devices[i].serial);
    }
  }
}

struct TBadCase {
  const char* text;
  const char* namedEntry;  // the message must quote this entry
};

TEST(DeviceList, RejectedListsNameTheEntry) {
  const std::vector<TBadCase> cases = {
      {"/dev/pts/3", "/dev/pts/3"},
      {"/dev/pts/3|Reader", "/dev/pts/3|Reader"},
      {"/dev/pts/3|Reader|S1|extra", "/dev/pts/3|Reader|S1|extra"},
      {"/dev/pts/3||S1", "/dev/pts/3||S1"},
      {"|Reader|S1", "|Reader|S1"},
      {"/dev/pts/3|Reader|", "/dev/pts/3|Reader|"},
      {"/dev/pts/3|Reader| ", "/dev/pts/3|Reader|"},
      {"/dev/pts/1|A|S1;/dev/pts/2|B", "/dev/pts/2|B"},
      {"/dev/pts/1|A|S1;/dev/pts/2|B|S1", "/dev/pts/2|B|S1"},  // serial twice
  };
  for (const TBadCase& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseDeviceList(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("SNIMAC_DEVICES"), std::string::npos) << message;
      EXPECT_NE(message.find(std::string("'") + c.namedEntry + "'"), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace snimac
