// The main window against the simulated reader on a virtual clock: the link,
// the reader's messages, the timers and the card outputs in one thread.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/main_frm.h"
#include "cards/serial_output.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"
#include "tests/support/reader_scenario.h"

namespace snimac::test {
namespace {

const std::vector<uint8_t> kRecord = {0x47, 'Z', 'e', 'l', 'e', 'n', 0xFD, 0x00, 0x04, 0xC8, 0xE1,
                                      'p',  0x00, 0xC4, 0x11, 0x20, 0x09, 0x01, 0x00};

TEST(ReaderScenario, ComesUpReadsTheVersionAndTypesACard) {
  TScenario s({});
  ASSERT_TRUE(s.RunUntil([&] { return s.Ready(); }));
  ASSERT_TRUE(s.RunUntil([&] { return !s.ui.labels[TLabel::HwVersionLbl].empty(); }));
  EXPECT_EQ(s.ui.labels[TLabel::HwVersionLbl], "HW:MXT_A FW v4.0 Sep  1 2011");
  EXPECT_EQ(s.reader->ReceivedMessages().front(), (std::vector<uint8_t>{0x0A}));

  s.reader->PresentCard(0x01, {0x12, 0x34, 0xAB, 0x0F});
  ASSERT_TRUE(s.RunUntil([&] { return !s.typist.typed.empty(); }));
  EXPECT_EQ(s.typist.typed, (std::vector<std::string>{"2143baf0"}));
  EXPECT_TRUE(s.typist.lastOptions.PressEnter);
  EXPECT_EQ(s.frm->Grid().Cell(1, TLogGrid::kTextColumn), "2143baf0");
  EXPECT_EQ(s.frm->Grid().Cell(1, TLogGrid::kTimeColumn).substr(0, 10), "06.12.2026");
  // Feedback, then the signal on; about a second later the signal off.
  ASSERT_TRUE(s.RunUntil([&] { return s.reader->FeedbackCount() == 1 && s.reader->SignalOn(); }));
  const int64_t on = s.clock.NowMs();
  ASSERT_TRUE(s.RunUntil([&] { return !s.reader->SignalOn(); }));
  EXPECT_GE(s.clock.NowMs() - on, 900);
  EXPECT_LE(s.clock.NowMs() - on, 1300);
  const auto messages = s.reader->ReceivedMessages();
  EXPECT_EQ(messages[messages.size() - 3], (std::vector<uint8_t>{0x03, 0x06, 0x00}));
  EXPECT_EQ(messages[messages.size() - 2], (std::vector<uint8_t>{0x02, 0xFF, 0xFF, 0x00}));
  EXPECT_EQ(messages[messages.size() - 1], (std::vector<uint8_t>{0x02, 0xFF, 0x00, 0xFF}));
}

TEST(ReaderScenario, PmdpReadsTheCardRecordBlockByBlock) {
  TScenario s({"-pmdp"});
  s.reader->PresentCard(0x01, {0x04, 0xA1, 0xB2, 0xC3}, kRecord);  // waits in the reader until the link is up
  ASSERT_TRUE(s.RunUntil([&] { return !s.typist.typed.empty(); }));
  EXPECT_EQ(s.typist.typed, (std::vector<std::string>{"04a1b2c3;Zeleny;Cap;2011-09-01"}));
  EXPECT_EQ(s.reader->BlockOpens(), 1);
  EXPECT_EQ(s.reader->BlockReads(), 3);
  EXPECT_EQ(s.frm->Grid().Cell(1, TLogGrid::kTextColumn), "04a1b2c3");

  s.reader->PresentCard(0x81, {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
  ASSERT_TRUE(s.RunUntil([&] { return s.typist.typed.size() == 2; }));
  EXPECT_EQ(s.typist.typed[1], "04112233445566");
  EXPECT_EQ(s.reader->BlockOpens(), 1);  // a 7-byte identifier needs no blocks

  s.reader->SetBlockFailure(3);
  s.reader->PresentCard(0x01, {0x0A, 0x0B, 0x0C, 0x0D});
  ASSERT_TRUE(s.RunUntil([&] { return s.typist.typed.size() == 3; }));
  EXPECT_EQ(s.typist.typed[2], "0a0b0c0d");
}

TEST(ReaderScenario, SerialWindowGetsTheNumberWithCrLfInsteadOfKeys) {
  TScenario s({"-ser", "Pokladna", "-prefix", "CF5"});
  ASSERT_TRUE(s.RunUntil([&] { return s.Ready(); }));
  s.typist.title = "Pokladna";
  s.reader->PresentCard(0x81, {0x12, 0x34, 0xAB, 0x0F});
  ASSERT_TRUE(s.RunUntil([&] { return s.serial && !s.serial->written.empty(); }));
  EXPECT_EQ(s.serial->written, "1234ab0f\r\n");
  EXPECT_TRUE(s.typist.typed.empty());

  s.typist.title = "pokladna";  // differs in case only: typed
  s.reader->PresentCard(0x81, {0x12, 0x34, 0xAB, 0x0F});
  ASSERT_TRUE(s.RunUntil([&] { return !s.typist.typed.empty(); }));
  EXPECT_EQ(s.typist.lastOptions.PrefixKey, 116);
  EXPECT_EQ(s.typist.lastOptions.PrefixModifiers, 4u);
  EXPECT_EQ(s.serial->written, "1234ab0f\r\n");
}

TEST(ReaderScenario, ACardTheSerialPortRefusesIsReportedAndTheProgramGoesOn) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "snimac-serial-refused";
  std::filesystem::remove_all(dir);
  TScenario s({"-ser", "Pokladna", "-log", "-logdir", dir.string()});
  ASSERT_TRUE(s.RunUntil([&] { return s.Ready(); }));
  s.typist.title = "Pokladna";
  s.serial->refuse = true;
  s.reader->PresentCard(0x81, {0x12, 0x34, 0xAB, 0x0F});
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.labels[TLabel::StatusLbl] != "Ready"; }));
  EXPECT_EQ(s.ui.labels[TLabel::StatusLbl], std::string(kSerialWriteFailedStatus) + "1234ab0f");
  EXPECT_TRUE(s.ui.deliveries.empty());
  EXPECT_TRUE(s.typist.typed.empty());  // not typed into the wrong window instead

  s.serial->refuse = false;
  s.reader->PresentCard(0x81, {0x0B, 0xAD});
  ASSERT_TRUE(s.RunUntil([&] { return !s.serial->written.empty(); }));
  EXPECT_EQ(s.serial->written, "0bad\r\n");
  s.frm.reset();
  // Read and closed before the folder goes: Windows cannot remove an open file.
  const std::string text = [&] {
    std::ifstream log(dir / "grab-A1B2.log");
    return std::string((std::istreambuf_iterator<char>(log)), {});
  }();
  EXPECT_NE(text.find("Serial Serial port write failed: 1234ab0f"), std::string::npos) << text;
  std::filesystem::remove_all(dir);
}

TEST(ReaderScenario, ReaderLostAndBackShowsTheStatusAndAsksTheVersionAgain) {
  TScenario s({});
  ASSERT_TRUE(s.RunUntil([&] { return !s.ui.labels[TLabel::HwVersionLbl].empty(); }));
  s.RunFor(500);  // the last fragment is acknowledged
  const int requests = s.reader->VersionRequests();
  s.bus.SetSilent("A1B2", true);
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.labels[TLabel::StatusLbl] == "Nekomunikuje"; }));
  EXPECT_EQ(s.ui.labels[TLabel::HwVersionLbl], "HW:MXT_A FW v4.0 Sep  1 2011");
  s.bus.SetSilent("A1B2", false);
  ASSERT_TRUE(s.RunUntil([&] { return s.Ready(); }));

  ASSERT_TRUE(s.RunUntil([&] { return s.reader->VersionRequests() > requests; }));
}

TEST(ReaderScenario, PoslatEnterTickDecidesTheEnter) {
  TScenario s({});
  EXPECT_TRUE(s.ui.menuVisible[TMenuItem::PoslatEnter1]);
  EXPECT_TRUE(s.ui.menuChecked[TMenuItem::PoslatEnter1]);
  s.frm->PoslatEnter1Click();
  EXPECT_FALSE(s.ui.menuChecked[TMenuItem::PoslatEnter1]);
  s.reader->PresentCard(0x01, {0x01});
  ASSERT_TRUE(s.RunUntil([&] { return !s.typist.typed.empty(); }));
  EXPECT_FALSE(s.typist.lastOptions.PressEnter);

  TScenario attendance({"-net", "-db", (std::filesystem::temp_directory_path() / "snimac-scenario.db").string()},
                       "evid reader");
  EXPECT_FALSE(attendance.ui.menuVisible[TMenuItem::PoslatEnter1]);
}

sim::TSimReaderConfig WithVersion(const std::string& version) {
  sim::TSimReaderConfig config;
  config.version = version;
  return config;
}

const char* const kQuestion =
    "Upgrade|Verze firmware ve snímači (MXT_A FW v3.9 Jan  1 2010) není aktualní.\nNahrání nové verze trvá asi 3 "
    "minuty. Pokud jste již aktualizaci spouštěli,\nkontaktujte prosim HelpDesk (100 20 3000) a aktualizaci "
    "odmítněte.\nAktualizovat snímač?";

TEST(ReaderScenario, AnOldReaderIsOfferedTheUpgradeOncePerRun) {
  TScenario s({}, "Reader", WithVersion("MXT_A FW v3.9 Jan  1 2010"));
  s.ui.answers = {TMessageResult::Cancel};
  ASSERT_TRUE(s.RunUntil([&] { return !s.ui.boxes.empty(); }));
  EXPECT_EQ(s.ui.boxes, (std::vector<std::string>{kQuestion}));
  EXPECT_EQ(s.ui.labels[TLabel::HwVersionLbl], "HW:MXT_A FW v3.9 Jan  1 2010");
  EXPECT_EQ(s.ui.modalRuns, 0);  // cancelled: no upgrade window
  // The reader comes back: the label is updated, nothing is asked again.
  s.bus.SetSilent("A1B2", true);
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.labels[TLabel::StatusLbl] == "Nekomunikuje"; }));
  s.bus.SetSilent("A1B2", false);
  const size_t labels = s.ui.labelHistory.size();
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.labelHistory.size() > labels + 1; }));
  s.RunFor(3000);
  EXPECT_EQ(s.ui.boxes.size(), 1u);
}

TEST(ReaderScenario, TheVersionTestIsACaseSensitiveSubstring) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"MXT_A FW v4.0 Sep  1 2011", false}, {"MXT_A FW v4.01", false}, {"MXT_A FW V4.0 Sep  1 2011", true},
      {"MXT_A FW v5.0 Jan  1 2030", true}};
  for (const auto& [version, asked] : cases) {
    TScenario s({}, "Reader", WithVersion(version));
    ASSERT_TRUE(s.RunUntil([&] { return !s.ui.labels[TLabel::HwVersionLbl].empty(); })) << version;
    s.RunFor(2000);
    EXPECT_EQ(s.ui.boxes.size(), asked ? 1u : 0u) << version;
  }
}

TEST(ReaderScenario, TestImagesAreNeverOfferedToARealReader) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("snimac-offer-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  {
    sim::TSimReaderConfig config = WithVersion("MXT_A FW v3.9 Jan  1 2010");
    TScenario s({"-log", "-logdir", dir.string()}, "Reader", config);
    s.platform.simulatedReader = false;
    s.frm.reset();
    s.frm = std::make_unique<TMainFrm>(s.ui, s.platform);
    s.frm->StartUp({"-log", "-logdir", dir.string()});
    ASSERT_TRUE(s.RunUntil([&] { return !s.ui.labels[TLabel::HwVersionLbl].empty(); }));
    s.RunFor(2000);
    EXPECT_TRUE(s.ui.boxes.empty());
  }
  std::ifstream log(dir / "grab-A1B2.log");
  const std::string content((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(content.find("Upgrade Upgrade not offered: this build carries test images"), std::string::npos) << content;
  log.close();  // Windows removes no open file
  std::filesystem::remove_all(dir);
}

TEST(ReaderScenario, AttendanceReadsGoToTheFileEveryFiveSecondsAndFailuresShow) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("snimac-att-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  const std::string db = (dir / "vestibar.db").string();
  TScenario s({"-net", "-db", db}, "evid reader");
  ASSERT_TRUE(s.RunUntil([&] { return s.Ready(); }));
  s.reader->PresentCard(0x81, {0x12, 0x34, 0xAB, 0x0F});
  ASSERT_TRUE(s.RunUntil([&] { return s.frm->Grid().RowCount() == 2; }));
  EXPECT_TRUE(s.typist.typed.empty());  // attendance mode types nothing
  ASSERT_EQ(s.frm->Attendance->LogItems().size(), 1u);
  ASSERT_TRUE(s.RunUntil([&] { return s.frm->Attendance->LogItems().empty(); }, 6000));
  std::ifstream in(db, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "06/12/2026-14:10 1234ab0f\r\n");
  in.close();
  s.frm.reset();  // closes the attendance file: Windows removes no open file
  std::filesystem::remove_all(dir);

  // A file that cannot be written: the read stays queued and the status says why.
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no device like /dev/full that opens but refuses every write";
#endif
  TScenario full({"-net", "-db", "/dev/full"}, "evid reader");
  ASSERT_TRUE(full.RunUntil([&] { return full.Ready(); }));
  full.reader->PresentCard(0x81, {0x12});
  ASSERT_TRUE(full.RunUntil([&] { return full.ui.labels[TLabel::StatusLbl] != "Ready"; }, 8000));
  EXPECT_EQ(full.ui.labels[TLabel::StatusLbl], "Chyba zápisu do souboru '/dev/full'");
  EXPECT_EQ(full.frm->Attendance->LogItems().size(), 1u);
}

}  // namespace
}  // namespace snimac::test
