// The whole firmware upgrade on the simulated wire, on a virtual clock: the
// question, consent, the procedure against the simulated loader, completion,
// the endpoint back with the main window and the new version read.
#include <gtest/gtest.h>

#include <algorithm>

#include "resources/firmware_image.h"
#include "tests/support/reader_scenario.h"

namespace snimac::test {
namespace {

sim::TSimReaderConfig OldReader(sim::TSimReaderFamily family, const std::string& version) {
  sim::TSimReaderConfig config;
  config.version = version;
  config.loader.family = family;
  return config;
}

std::vector<uint8_t> Bytes(const TFirmwareImage& image) { return {image.data, image.data + image.size}; }

int Count(const std::vector<std::string>& boxes, const std::string& prefix) {
  return static_cast<int>(std::count_if(boxes.begin(), boxes.end(),
                                        [&](const std::string& b) { return b.rfind(prefix, 0) == 0; }));
}

TEST(UpgradeScenario, H8ReaderGetsTheOtherBankAndReportsTheNewVersion) {
  TScenario s({}, "Reader", OldReader(sim::TSimReaderFamily::H8, "MXT_H FW v3.9 Jan  1 2010"));
  s.ui.answers = {TMessageResult::Ok};  // consent; the completion box is OK-only
  const int64_t start = s.clock.NowMs();
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.labels[TLabel::HwVersionLbl] == "HW:MXT_H FW v4.0 Sep  1 2011"; },
                         30 * 60 * 1000));
  EXPECT_EQ(Count(s.ui.boxes, "Upgrade|Verze firmware ve snímači (MXT_H FW v3.9 Jan  1 2010)"), 1);
  EXPECT_EQ(s.ui.boxes.back(), "Upgrade|Aktualizace byla uspešně dokončena");
  EXPECT_EQ(s.ui.boxes.size(), 2u);  // no second question after the version is read again
  EXPECT_EQ(s.ui.modalRuns, 1);
  EXPECT_FALSE(s.ui.upgradeWindowShown);
  EXPECT_EQ(s.frm->Endpoint()->Form(), s.frm.get());
  EXPECT_EQ(s.reader->RunningBank(), sim::TSimBank::High);
  EXPECT_EQ(s.reader->BlocksErased(), (std::vector<int>{5, 6}));

  // The high bank holds the image byte for byte, then the filler to the page end.
  const std::vector<uint8_t> image = Bytes(FindFirmwareImage("MXT_HI"));
  const std::vector<uint8_t> flash = s.reader->Flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin() + 0x8000));
  EXPECT_TRUE(std::all_of(flash.begin() + 0x8000 + 0x4312, flash.begin() + 0xC380, [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(s.reader->PagesWritten().size(), 135u);
  EXPECT_EQ(s.ui.progressMaximum, 0x4312);
  EXPECT_EQ(s.ui.progress.back(), 0x4300);
  RecordProperty("h8_upgrade_ms", static_cast<int>(s.clock.NowMs() - start));

  // Cards work again afterwards.
  s.reader->PresentCard(0x81, {0xAB});
  ASSERT_TRUE(s.RunUntil([&] { return !s.typist.typed.empty(); }));
  EXPECT_EQ(s.typist.typed.back(), "ab");
}

TEST(UpgradeScenario, AvrReaderIsWrittenThroughItsLoader) {
  TScenario s({}, "Reader", OldReader(sim::TSimReaderFamily::Avr, "MXT_A FW v3.9 Jan  1 2010"));
  s.ui.answers = {TMessageResult::Ok};
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.labels[TLabel::HwVersionLbl] == "HW:MXT_A FW v4.0 Sep  1 2011"; },
                         30 * 60 * 1000));
  EXPECT_EQ(s.ui.boxes.back(), "Upgrade|Aktualizace byla uspešně dokončena");
  EXPECT_EQ(s.ui.boxes.size(), 2u);
  EXPECT_FALSE(s.reader->LoaderRunning());
  const auto pages = s.reader->PagesWritten();
  ASSERT_EQ(pages.size(), 133u);
  EXPECT_EQ(pages[131], 0x4180u);
  EXPECT_EQ(pages[132], 0x6F80u);
  // Written pages, the skipped pages still erased, the last page with the info block.
  EXPECT_EQ(s.reader->Flash(), Bytes(FindFirmwareImage("MXTA")));
  {
    std::lock_guard<std::recursive_mutex> guard(s.frm->Protocol->Lock());
    EXPECT_EQ(s.frm->Endpoint()->Identity, -1);
  }
}

TEST(UpgradeScenario, LoaderErrorsWithinTheBudgetStillComplete) {
  sim::TSimReaderConfig config = OldReader(sim::TSimReaderFamily::H8, "MXT_H FW v3.9 Jan  1 2010");
  config.loader.faults = {sim::TSimLoaderFault::Result(sim::TSimLoaderOp::PageWrite, 0x8080, 0xE1, 2),
                          sim::TSimLoaderFault::Result(sim::TSimLoaderOp::Erase, 6, 0x04, 1),
                          sim::TSimLoaderFault::Silence(sim::TSimLoaderOp::PageWrite, 0x8100, 1)};
  TScenario s({}, "Reader", config);
  s.ui.answers = {TMessageResult::Ok};
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.labels[TLabel::HwVersionLbl] == "HW:MXT_H FW v4.0 Sep  1 2011"; },
                         30 * 60 * 1000));
  EXPECT_EQ(s.ui.boxes.back(), "Upgrade|Aktualizace byla uspešně dokončena");
  const std::vector<uint8_t> image = Bytes(FindFirmwareImage("MXT_HI"));
  const std::vector<uint8_t> flash = s.reader->Flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin() + 0x8000));
}

TEST(UpgradeScenario, ASilentLoaderEndsInTheErrorAndTheReaderIsUsableAgain) {
  sim::TSimReaderConfig config = OldReader(sim::TSimReaderFamily::Avr, "MXT_A FW v3.9 Jan  1 2010");
  config.loader.faults = {sim::TSimLoaderFault::Silence(sim::TSimLoaderOp::PageWrite, 0x0100, -1)};
  TScenario s({}, "Reader", config);
  s.ui.answers = {TMessageResult::Ok};
  ASSERT_TRUE(s.RunUntil([&] { return Count(s.ui.boxes, "Upgrade|Při aktualizaci") == 1; }, 30 * 60 * 1000));
  EXPECT_NE(s.ui.boxes.back().find("Write timeout s=16 a=0100"), std::string::npos);
  EXPECT_NE(s.ui.boxes.back().find("Pokud snímač svítí"), std::string::npos);
  // Back out of the loader: the application answers, its version is read, nothing is asked again.
  ASSERT_TRUE(s.RunUntil([&] { return !s.reader->LoaderRunning() && s.Ready(); }, 60000));
  s.RunFor(5000);
  EXPECT_EQ(Count(s.ui.boxes, "Upgrade|Verze firmware"), 1);
  EXPECT_EQ(s.frm->Endpoint()->Form(), s.frm.get());
}

}  // namespace
}  // namespace snimac::test
