// The explicit device list SNIMAC_DEVICES: what is accepted, and that a
// mistake is reported with the entry that holds it; the D2XX answers a port
// gives from such a list.
#include "app/device_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

void* Index(uintptr_t i) { return reinterpret_cast<void*>(i); }

const std::string k63 = std::string(63, 'a');
// "Č" is two bytes: at byte 62 it would be cut in two by a 63-byte limit.
const std::string kCutInUtf8 = std::string(62, 'a') + "\xc4\x8c";

const std::vector<TListedDevice> kDevices = {
    {"/dev/pts/1", "Reader", "S1"},
    {"/dev/pts/2", "", "S2"},  // unreadable description
    {"/dev/pts/3", "Other", ""},  // unreadable serial number
    {"COM5", k63 + "b", kCutInUtf8},
};

struct TListCase {
  const char* name;
  uintptr_t index;
  uint32_t flags;
  bool withBuffer;
  FT_STATUS status;
  const char* text;  // the buffer afterwards
};

TEST(DeviceList, ListsTextsByIndex) {
  const uint32_t bySerial = FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER;
  const uint32_t byDescription = FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION;
  const std::string kCut = std::string(62, 'a');
  const std::vector<TListCase> cases = {
      {"description", 0, byDescription, true, FT_OK, "Reader"},
      {"serial number", 0, bySerial, true, FT_OK, "S1"},
      {"empty description", 1, byDescription, true, FT_OTHER_ERROR, ""},
      {"description beside an empty one", 1, bySerial, true, FT_OK, "S2"},
      {"empty serial number", 2, bySerial, true, FT_OTHER_ERROR, ""},
      {"cut to 63 bytes", 3, byDescription, true, FT_OK, k63.c_str()},
      {"not inside a UTF-8 sequence", 3, bySerial, true, FT_OK, kCut.c_str()},
      {"index out of range", 4, byDescription, true, FT_DEVICE_NOT_FOUND, ""},
      {"huge index", UINTPTR_MAX, bySerial, true, FT_DEVICE_NOT_FOUND, ""},
      {"FT_LIST_ALL", 0, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION, true, FT_INVALID_PARAMETER, "stale"},
      {"by location", 0, FT_LIST_BY_INDEX | 4u, true, FT_INVALID_PARAMETER, "stale"},
      {"no text asked for", 0, FT_LIST_BY_INDEX, true, FT_INVALID_PARAMETER, "stale"},
      {"index without FT_LIST_BY_INDEX", 0, FT_OPEN_BY_DESCRIPTION, true, FT_INVALID_PARAMETER, "stale"},
      {"no buffer", 0, byDescription, false, FT_INVALID_PARAMETER, "stale"},
  };
  for (const TListCase& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[kFtStringSize + 1];
    std::memset(buffer, 'x', sizeof buffer);
    std::strcpy(buffer, "stale");
    EXPECT_EQ(ListFromDevices(kDevices, Index(c.index), c.withBuffer ? buffer : nullptr, c.flags), c.status);
    EXPECT_STREQ(buffer, c.text);
    EXPECT_EQ(buffer[kFtStringSize], 'x');  // nothing beyond the 64 bytes
  }
}

TEST(DeviceList, CountsTheDevices) {
  uint32_t count = 99;
  EXPECT_EQ(ListFromDevices(kDevices, &count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, kDevices.size());
  EXPECT_EQ(ListFromDevices({}, &count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(ListFromDevices(kDevices, nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
  EXPECT_EQ(CheckListQuery(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
  EXPECT_EQ(CheckListQuery(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  // A valid text query finds its buffer emptied even when the list then
  // cannot be had.
  char buffer[kFtStringSize] = "stale";
  EXPECT_EQ(CheckListQuery(Index(0), buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
  EXPECT_STREQ(buffer, "");
}

TEST(DeviceList, OpenFindsTheDeviceByItsText) {
  const std::vector<TListedDevice> devices = {
      {"/dev/pts/1", "Reader", "S1"},
      {"/dev/pts/2", "Reader", "S2"},
      {"", "No path", "S3"},
      {"/dev/pts/4", "Later", "S3"},
  };
  const TListedDevice* found = FindDevice(devices, "S2", FT_OPEN_BY_SERIAL_NUMBER);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->path, "/dev/pts/2");
  found = FindDevice(devices, "Reader", FT_OPEN_BY_DESCRIPTION);  // the first of two
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->path, "/dev/pts/1");
  EXPECT_EQ(FindDevice(devices, "S3", FT_OPEN_BY_SERIAL_NUMBER), nullptr);  // nothing to open
  EXPECT_EQ(FindDevice(devices, "S2", FT_OPEN_BY_DESCRIPTION), nullptr);
  EXPECT_EQ(FindDevice(devices, "s1", FT_OPEN_BY_SERIAL_NUMBER), nullptr);
  EXPECT_EQ(FindDevice(devices, "S1", 4u), nullptr);
  EXPECT_EQ(FindDevice({{"/dev/pts/1", "", ""}}, "", FT_OPEN_BY_SERIAL_NUMBER), nullptr);

  FT_HANDLE handle = reinterpret_cast<FT_HANDLE>(1);
  EXPECT_EQ(CheckOpenQuery(const_cast<char*>("S1"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  EXPECT_EQ(handle, nullptr);
  handle = reinterpret_cast<FT_HANDLE>(1);
  EXPECT_EQ(CheckOpenQuery(const_cast<char*>(""), FT_OPEN_BY_DESCRIPTION, &handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(CheckOpenQuery(nullptr, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_INVALID_PARAMETER);
  EXPECT_EQ(CheckOpenQuery(const_cast<char*>("S1"), 4u, &handle), FT_INVALID_PARAMETER);
  EXPECT_EQ(CheckOpenQuery(const_cast<char*>("S1"), FT_OPEN_BY_SERIAL_NUMBER, nullptr), FT_INVALID_PARAMETER);
}

}  // namespace
}  // namespace snimac
