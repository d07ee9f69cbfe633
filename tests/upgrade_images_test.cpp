#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "resources/firmware_image.h"
#include "resources/image_check.h"
#include "resources/test_firmware.h"
#include "tests/support/hex.h"
#include "upgrade/loader_commands.h"
#include "upgrade/page_walk.h"

namespace snimac {
namespace {

using test::ToHex;
using TBytes = std::vector<uint8_t>;

TFirmwareImage View(const TBytes& bytes) { return {bytes.data(), bytes.size()}; }

TBytes Bytes(const TFirmwareImage& image) { return TBytes(image.data, image.data + image.size); }

std::map<std::string, TBytes> TestImages() {
  return {{kAvrImageName, MakeTestAvrImage()},
          {kHighBankImageName, MakeTestH8Image(kHighBankBase)},
          {kLowBankImageName, MakeTestH8Image(kLowBankBase)}};
}

uint16_t LittleEndianAt(const TBytes& image, size_t at) { return static_cast<uint16_t>(image[at] | image[at + 1] << 8); }
uint16_t BigEndianAt(const TBytes& image, size_t at) { return static_cast<uint16_t>(image[at] << 8 | image[at + 1]); }

// Every place the text "FW v" occurs: the simulated readers find the version
// text by it, so it must occur once, in the version text.
std::vector<size_t> VersionMarks(const TBytes& image) {
  std::vector<size_t> found;
  for (size_t at = 0; at + 4 <= image.size(); ++at)
    if (std::memcmp(image.data() + at, "FW v", 4) == 0) found.push_back(at);
  return found;
}

std::string TextAt(const TBytes& image, size_t at) { return reinterpret_cast<const char*>(image.data() + at); }

// Offsets of the pages written, in order.
std::vector<size_t> Walk(size_t imageSize, bool avr, int skipFrom) {
  std::vector<size_t> offsets;
  for (size_t at = 0; at < imageSize; at = NextPageOffset(at, avr, skipFrom)) offsets.push_back(at);
  return offsets;
}

std::vector<size_t> Pages(size_t first, size_t last) {
  std::vector<size_t> offsets;
  for (size_t at = first; at <= last; at += kLoaderPageSize) offsets.push_back(at);
  return offsets;
}

std::vector<size_t> Join(std::vector<size_t> a, const std::vector<size_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(CarriedFirmware, AllThreeFoundByNameAndSound) {
  EXPECT_EQ(FindFirmwareImage("MXTA").size, 0x7000u);
  EXPECT_EQ(FindFirmwareImage("MXT_HI").size, 0x4312u);
  EXPECT_EQ(FindFirmwareImage("MXT_LO").size, 0x4312u);
  for (const char* unknown : {"", "mxta", "MXT", "MXT_HI.bin"}) EXPECT_FALSE(FindFirmwareImage(unknown)) << unknown;
  EXPECT_EQ(CheckFirmwareImages(), std::nullopt);
  EXPECT_EQ(AvrUsedLength(FindFirmwareImage("MXTA")), 16874);
  if (CarriesTestImages()) {
    for (const auto& [name, bytes] : TestImages()) EXPECT_EQ(Bytes(FindFirmwareImage(name)), bytes) << name;
  }
}

// The maker's images as documented; these facts depend on their bytes, so
// they can only be checked in a build that carries them.
TEST(CarriedFirmware, MakersImagesGiveTheDocumentedPageWrites) {
  if (CarriesTestImages()) GTEST_SKIP() << "built with test images";
  const auto avr = FindFirmwareImage("MXTA");
  const auto low = FindFirmwareImage("MXT_LO");
  EXPECT_EQ(LittleEndianAt(Bytes(avr), 0x6FC4), 0xDE95);
  EXPECT_EQ(BigEndianAt(Bytes(FindFirmwareImage("MXT_HI")), 0), 0xEF86);
  EXPECT_EQ(BigEndianAt(Bytes(low), 0), 0xA7E7);
  auto wire = [](const TProtoMessagePtr& m) { return ToHex(TBytes(m->Data.get(), m->Data.get() + m->Length)); };
  EXPECT_EQ(wire(BuildPageWrite(0x0000, PageAt(avr, 0).bytes)), "14 80 C9 00 00");
  EXPECT_EQ(wire(BuildPageWrite(0x6F80, PageAt(avr, 0x6F80).bytes)), "14 C3 39 6F 80");
  EXPECT_EQ(wire(BuildPageWrite(0x1000, PageAt(low, 0).bytes)), "14 5A 0E 10 00");
}

TEST(TestFirmware, AvrImageHasTheDocumentedLayout) {
  const TBytes image = MakeTestAvrImage();
  ASSERT_EQ(image.size(), kAvrImageSize);
  EXPECT_EQ(TextAt(image, 0x54), "MXT_A FW v4.0 Sep  1 2011");
  EXPECT_EQ(VersionMarks(image), std::vector<size_t>{0x54 + 6});
  const uint16_t info[5] = {0x0FAC, 0x41EA, LoaderCrc(image.data(), 16874), 0x0001, 0x0054};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(LittleEndianAt(image, 0x6FC0 + 2 * i), info[i]) << i;
  for (size_t at = 16874; at < image.size(); ++at) {
    if (at < 0x6FC0 || at >= 0x6FCA) {
      ASSERT_EQ(image[at], 0xFF) << at;
    }
  }
  EXPECT_NE(image[16873], 0xFF);  // the program really ends at its used length
}

TEST(TestFirmware, H8ImagesAreOneFirmwareForTwoBanks) {
  const TBytes high = MakeTestH8Image(kHighBankBase);
  const TBytes low = MakeTestH8Image(kLowBankBase);
  ASSERT_EQ(high.size(), kH8ImageSize);
  ASSERT_EQ(low.size(), kH8ImageSize);
  const std::vector<uint16_t> highHeader = {0, 0x0050, 0x8000, 0xC312, 0xB1FE, 0xBBC6};
  const std::vector<uint16_t> lowHeader = {0, 0x0050, 0x1000, 0x5312, 0x41FE, 0x4BC6};
  for (size_t i = 0; i < highHeader.size(); ++i) {
    EXPECT_EQ(BigEndianAt(high, 2 + 2 * i), highHeader[i]) << i;
    EXPECT_EQ(BigEndianAt(low, 2 + 2 * i), lowHeader[i]) << i;
  }
  for (const TBytes* image : {&high, &low}) {
    EXPECT_EQ(BigEndianAt(*image, 0), LoaderCrc(image->data() + 2, image->size() - 2));
    EXPECT_EQ(TextAt(*image, 0x4E), "MXT_H FW v4.0 Sep  1 2011");
    EXPECT_EQ(VersionMarks(*image), std::vector<size_t>{0x4E + 6});
  }
  EXPECT_TRUE(std::equal(high.begin() + 14, high.end(), low.begin() + 14));
  EXPECT_NE(BigEndianAt(high, 0), BigEndianAt(low, 0));
}

TEST(ImageCheck, RefusesDamagedOrMixedUpImages) {
  using TMutation = std::function<void(std::map<std::string, TBytes>&)>;
  const struct {
    const char* what;
    TMutation mutate;
    const char* reason;
  } cases[] = {
      {"H8 code byte", [](auto& m) { m["MXT_HI"][0x2000] ^= 0x01; }, "MXT_HI: contents CRC"},
      {"H8 last byte", [](auto& m) { m["MXT_LO"].back() ^= 0x80; }, "MXT_LO: contents CRC"},
      {"H8 header word", [](auto& m) { m["MXT_LO"][0x0B] ^= 0x01; }, "MXT_LO: contents CRC"},
      {"H8 CRC word", [](auto& m) { m["MXT_HI"][0x01] ^= 0x01; }, "MXT_HI: contents CRC"},
      {"banks swapped", [](auto& m) { std::swap(m["MXT_HI"], m["MXT_LO"]); }, "MXT_HI: bank base 0x1000"},
      {"H8 too long", [](auto& m) { m["MXT_HI"].push_back(0xFF); }, "MXT_HI: size 17171"},
      {"AVR program byte", [](auto& m) { m["MXTA"][100] ^= 0x01; }, "MXTA: program CRC"},
      {"AVR CRC word", [](auto& m) { m["MXTA"][0x6FC4] ^= 0x01; }, "MXTA: program CRC"},
      {"AVR used length + 1", [](auto& m) { m["MXTA"][0x6FC2] = 0xEB; }, "MXTA: program CRC"},
      {"AVR used length - 1", [](auto& m) { m["MXTA"][0x6FC2] = 0xE9; }, "MXTA: byte at 0x41E9 after the used length"},
      {"AVR used length 0", [](auto& m) { m["MXTA"][0x6FC2] = m["MXTA"][0x6FC3] = 0; }, "MXTA: used length 0 "},
      {"AVR used length negative", [](auto& m) { m["MXTA"][0x6FC3] = 0x80; }, "MXTA: used length -32534 "},
      {"AVR used length into the info block", [](auto& m) { m["MXTA"][0x6FC2] = 0xC1, m["MXTA"][0x6FC3] = 0x6F; },
       "MXTA: used length 28609 "},
      {"AVR data in a skipped page", [](auto& m) { m["MXTA"][0x5000] = 0x00; }, "MXTA: byte at 0x5000"},
      {"AVR too short", [](auto& m) { m["MXTA"].resize(0x6FFF); }, "MXTA: size 28671 bytes, expected 28672"},
      {"AVR empty", [](auto& m) { m["MXTA"].clear(); }, "MXTA: "},
  };
  const auto sound = TestImages();
  auto lookupIn = [](const std::map<std::string, TBytes>& images) {
    return [&images](const std::string& name) { return View(images.at(name)); };
  };
  EXPECT_EQ(CheckFirmwareImages(lookupIn(sound)), std::nullopt);
  for (const auto& c : cases) {
    auto images = sound;
    c.mutate(images);
    const auto reason = CheckFirmwareImages(lookupIn(images));
    ASSERT_TRUE(reason) << c.what;
    EXPECT_EQ(reason->rfind(c.reason, 0), 0u) << c.what << ": " << *reason;
  }
  // A missing image is named; so is a name that is no image.
  const auto missing = CheckFirmwareImages([&sound](const std::string& name) {
    return name == "MXT_LO" ? TFirmwareImage{} : View(sound.at(name));
  });
  EXPECT_EQ(missing, "MXT_LO: image missing");
  EXPECT_TRUE(CheckFirmwareImage("MXT", View(sound.at("MXTA"))));
}

TEST(ImageCheck, UsedLengthIsSigned) {
  TBytes image = MakeTestAvrImage();
  EXPECT_EQ(AvrUsedLength(View(image)), 16874);
  image[0x6FC2] = 0x00;
  image[0x6FC3] = 0x80;
  EXPECT_EQ(AvrUsedLength(View(image)), -32768);
  EXPECT_EQ(AvrUsedLength(TFirmwareImage{}), 0);
  image.resize(0x6FC3);
  EXPECT_EQ(AvrUsedLength(View(image)), 0);
}

TEST(PageWalk, AvrSkipsTheErasedPagesBeforeTheInfoBlock) {
  const std::vector<size_t> lastOnly = {0x6F80};
  const struct {
    int skipFrom;
    std::vector<size_t> pages;
  } cases[] = {
      {16874, Join(Pages(0, 0x4180), lastOnly)},   // 133 pages
      {0x4200, Join(Pages(0, 0x4180), lastOnly)},  // ends on a page boundary
      {0x4201, Join(Pages(0, 0x4200), lastOnly)},
      {128, {0, 0x6F80}},
      {1, {0, 0x6F80}},
      {0, {0, 0x6F80}},
      {129, {0, 0x80, 0x6F80}},
      {-32768, {0, 0x6F80}},  // used-length word 0x8000
      {-1, {0, 0x6F80}},
      {0x6F00, Join(Pages(0, 0x6E80), lastOnly)},  // one erased page skipped
      {0x6F80, Pages(0, 0x6F80)},  // nothing to skip: all 224 pages
      {0x7FFF, Pages(0, 0x6F80)},
  };
  for (const auto& c : cases) EXPECT_EQ(Walk(kAvrImageSize, true, c.skipFrom), c.pages) << c.skipFrom;
  EXPECT_EQ(Walk(kAvrImageSize, true, 16874).size(), 133u);
}

TEST(PageWalk, H8WritesEveryPageUpToThePartialLastOne) {
  const auto pages = Walk(kH8ImageSize, false, 0);
  EXPECT_EQ(pages, Pages(0, 0x4300));
  EXPECT_EQ(pages.size(), 135u);

  const TBytes image = MakeTestH8Image(kLowBankBase);
  const TPage last = PageAt(View(image), 0x4300);
  EXPECT_TRUE(std::equal(last.bytes, last.bytes + 18, image.end() - 18));
  EXPECT_TRUE(std::all_of(last.bytes + 18, std::end(last.bytes), [](uint8_t b) { return b == kPageFiller; }));
  EXPECT_EQ(kPageFiller, 0xFF);
  const TPage first = PageAt(View(image), 0);
  EXPECT_TRUE(std::equal(first.bytes, std::end(first.bytes), image.begin()));
}

}  // namespace
}  // namespace snimac
