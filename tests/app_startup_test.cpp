// Start-up of the main window: finding the reader, opening the link and the
// outputs, every failure message, and the teardown after each.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/main_frm.h"
#include "app/process_entry.h"
#include "app/startup_error.h"
#include "tests/support/steady_clock.h"
#include "tests/support/fake_ui.h"
#include "tests/support/refused_line_client.h"
#include "tests/support/scripted_d2xx.h"

namespace snimac::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class TRecordingSerialPort : public TSerialPort {
 public:
  bool Write(const void*, size_t) override { return true; }
};

struct TStartRig {
  TStartRig() {
    dir = fs::temp_directory_path() /
          ("snimac-start-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    platform.d2xx = &d2xx;
    platform.clock = &clock;
    platform.defaultDbFileName = (dir / "vestibar" / "vestibar.db").string();
    platform.defaultLogDir = (dir / "logs").string() + "/";
    platform.pathStyle = NativePathStyle();
    platform.openSerialPort = [this]() -> std::unique_ptr<TSerialPort> {
      ++serialOpens;
      if (!serialPortExists) return nullptr;
      return std::make_unique<TRecordingSerialPort>();
    };
    platform.makeLineClient = [] { return std::make_unique<TRefusedLineClient>(); };
    d2xx.devices = {{"MXT Reader", "A1B2"}};
  }
  ~TStartRig() {
    frm.reset();
    fs::remove_all(dir);
  }

  // Starts up; returns the failure message, or "" on success.
  std::string Start(const Args& args) {
    frm = std::make_unique<TMainFrm>(ui, platform);
    try {
      frm->StartUp(args);
      return "";
    } catch (const TStartupError& e) {
      return e.what();
    }
  }

  fs::path dir;
  test::TSteadyClock clock;
  TScriptedD2xx d2xx{clock};
  TFakeUi ui;
  TPlatformServices platform;
  bool serialPortExists = true;
  int serialOpens = 0;
  std::unique_ptr<TMainFrm> frm;
};

TEST(StartUp, ChoosesTheReaderThatSuitsTheMode) {
  using Devices = std::vector<TScriptedD2xx::TDevice>;
  struct TCase {
    const char* name;
    Devices devices;
    Args args;
    std::string expect;  // the serial number chosen, or the failure message
  };
  const std::string none = "Nebyl nalezen použitelny snímač";
  const std::vector<TCase> cases = {
      {"grab: the highest suitable index wins, attendance readers ignored",
       {{"Reader", "S0"}, {"Reader", "S1"}, {"evid reader", "S2"}}, {}, "S1"},
      {"only an attendance reader, grab mode", {{"MXT evid", "S0"}}, {}, none},
      {"only an attendance reader, attendance mode", {{"MXT evid", "S0"}}, {"-net"}, "S0"},
      {"marker in any case, anywhere", {{"Reader", "S0"}, {"xxEVIDENCE", "S1"}}, {"-net"}, "S1"},
      {"unreadable devices are skipped",
       {{"evid", "S0"}, {"evid", "S1", true, false}, {"evid", "S2", false, true}}, {"-net"}, "S0"},
      {"no device at all", {}, {}, none},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TStartRig rig;
    rig.d2xx.devices = c.devices;
    const std::string failure = rig.Start(c.args);
    if (c.expect == none) {
      EXPECT_EQ(failure, none);
    } else {
      ASSERT_EQ(failure, "");
      EXPECT_EQ(rig.frm->SerialNumber, c.expect);
      EXPECT_NE(std::find(rig.d2xx.calls.begin(), rig.d2xx.calls.end(), "OpenEx:" + c.expect + ":1"), rig.d2xx.calls.end());
    }
  }
  TStartRig broken;
  broken.d2xx.countStatus = FT_IO_ERROR;
  EXPECT_EQ(broken.Start({}), "FT_ListDevices(count) failed");
}

TEST(StartUp, ShowsIdentityOpensTheEndpointAndStartsPolling) {
  struct TCase {
    Args args;
    std::string identity;
    bool enterItemVisible;
  };
  const std::vector<TCase> cases = {
      {{}, "Grab v1.15-QRX(A1B2)", true},
      {{"-pmdp"}, "Grab v1.15-QRX-PK(A1B2)", true},
      {{"-net", "-db", ""}, "Vestibar v1.15-QRX(A1B2)", false},
  };
  for (const auto& c : cases) {
    TStartRig rig;
    rig.d2xx.devices = {{c.args.empty() || c.args[0] != "-net" ? "Reader" : "evid", "A1B2"}};
    ASSERT_EQ(rig.Start(c.args), "");
    EXPECT_EQ(rig.ui.labels[TLabel::ComLbl], c.identity);
    EXPECT_EQ(rig.ui.labels[TLabel::StatusLbl], "Inicializace");
    EXPECT_EQ(rig.ui.menuVisible[TMenuItem::PoslatEnter1], c.enterItemVisible);
    TProtoSlaveDev* endpoint = rig.frm->Endpoint();
    ASSERT_NE(endpoint, nullptr);
    EXPECT_EQ(rig.frm->Slave, endpoint);
    {
      std::lock_guard<std::recursive_mutex> guard(rig.frm->Protocol->Lock());
      EXPECT_EQ(endpoint->Address, 1);
      EXPECT_EQ(endpoint->Identity, -1);
      EXPECT_TRUE(endpoint->Active);
    }
    EXPECT_EQ(rig.frm->Protocol->SlaveCount(), 1u);
  }
}

TEST(StartUp, ThePlatformsNoticeFollowsTheFirstStatusOnce) {
  TStartRig rig;
  rig.platform.startNotice = "Relace Wayland bez X11";
  ASSERT_EQ(rig.Start({}), "");
  EXPECT_EQ(rig.ui.labels[TLabel::StatusLbl], "Relace Wayland bez X11");
  const auto& shown = rig.ui.labelHistory;
  const auto first = std::find(shown.begin(), shown.end(), "Inicializace");
  ASSERT_NE(first, shown.end());
  ASSERT_NE(first + 1, shown.end());
  EXPECT_EQ(*(first + 1), "Relace Wayland bez X11");
  EXPECT_EQ(std::count(shown.begin(), shown.end(), "Relace Wayland bez X11"), 1);
}

TEST(StartUp, VirtualSerialPortIsOpenedOnlyForSerialWindows) {
  TStartRig without;
  ASSERT_EQ(without.Start({}), "");
  EXPECT_EQ(without.serialOpens, 0);
  EXPECT_EQ(without.frm->SerialPort, nullptr);

  TStartRig with;
  ASSERT_EQ(with.Start({"-ser", "Terminal", "-ser", "Pokladna"}), "");
  EXPECT_EQ(with.serialOpens, 1);
  EXPECT_NE(with.frm->SerialPort, nullptr);
  EXPECT_EQ(with.frm->SerialWindows, (std::vector<std::string>{"Terminal", "Pokladna"}));

  TStartRig missing;
  missing.serialPortExists = false;
  EXPECT_EQ(missing.Start({"-ser", "Terminal"}), "Nepodařilo se otevřít port CNCB0, zkontrolujte instalaci com0com");
  EXPECT_EQ(missing.frm->Protocol, nullptr);  // failed before the link existed
}

TEST(StartUp, ReaderThatCannotBeOpenedStopsTheRunningLinkAtTeardown) {
  TStartRig rig;
  rig.d2xx.fail.openEx = FT_DEVICE_NOT_FOUND;
  EXPECT_EQ(rig.Start({}), "Nepodařilo se otevřít snímač 'A1B2'");
  ASSERT_NE(rig.frm->Protocol, nullptr);
  EXPECT_EQ(rig.frm->Endpoint(), nullptr);
  rig.frm.reset();  // stops and waits for the link thread
}

TEST(StartUp, LinkLogFileIsNamedAfterTheSafeSerialNumber) {
  TStartRig rig;
  rig.d2xx.devices = {{"Reader", "../A1 B2"}};
  const fs::path logDir = rig.dir / "deep" / "logs";
  ASSERT_EQ(rig.Start({"-log", "-logdir", logDir.string()}), "");
  EXPECT_EQ(rig.frm->LogDir, logDir.string() + Separator(NativePathStyle()));
  rig.frm.reset();
  EXPECT_TRUE(fs::exists(logDir / "grab-___A1_B2.log"));

  TStartRig quiet;
  ASSERT_EQ(quiet.Start({"-logdir", (quiet.dir / "nolog").string()}), "");
  EXPECT_EQ(quiet.frm->LogDir, (quiet.dir / "nolog").string() + Separator(NativePathStyle()));
  EXPECT_FALSE(fs::exists(quiet.dir / "nolog"));
  EXPECT_EQ(quiet.frm->Protocol->Log(), nullptr);

  TStartRig defaults;
  ASSERT_EQ(defaults.Start({}), "");
  EXPECT_EQ(defaults.frm->LogDir, defaults.platform.defaultLogDir);
}

TEST(StartUp, AttendanceFileAndItsDirectoryChain) {
  TStartRig rig;
  rig.d2xx.devices = {{"evid", "A1B2"}};
  const fs::path db = rig.dir / "a" / "b" / "c" / "vestibar.db";
  ASSERT_EQ(rig.Start({"-net", "-db", db.string()}), "");
  ASSERT_NE(rig.frm->Attendance, nullptr);
  EXPECT_TRUE(fs::exists(db));

  TStartRig grab;  // grab mode opens no attendance file
  ASSERT_EQ(grab.Start({"-db", db.string()}), "");
  EXPECT_EQ(grab.frm->Attendance, nullptr);

  TStartRig blocked;
  blocked.d2xx.devices = {{"evid", "A1B2"}};
  std::ofstream(blocked.dir / "file").put('x');
  const fs::path under = blocked.dir / "file" / "sub";
  EXPECT_EQ(blocked.Start({"-net", "-db", (under / "x.db").string()}),
            "Nepodařilo se vytvořit adresář '" + under.string() + "'");

  TStartRig notAFile;
  notAFile.d2xx.devices = {{"evid", "A1B2"}};
  fs::create_directories(notAFile.dir / "taken.db");
  const std::string taken = (notAFile.dir / "taken.db").string();
  EXPECT_EQ(notAFile.Start({"-net", "-db", taken}), "Nepodařilo se otevřít soubor '" + taken + "'");
}

TEST(StartUp, BareAttendanceFileNameIsOpenedInTheCurrentDirectory) {
  TStartRig rig;
  rig.d2xx.devices = {{"evid", "A1B2"}};
  const fs::path cwd = fs::current_path();
  fs::current_path(rig.dir);
  const std::string failure = rig.Start({"-net", "-db", "bare.db"});
  fs::current_path(cwd);
  EXPECT_EQ(failure, "");
  EXPECT_TRUE(fs::exists(rig.dir / "bare.db"));
}

TEST(ProcessEntry, FailedStartUpShowsTheErrorBoxAndSkipsTheLoop) {
  TStartRig rig;
  rig.d2xx.devices.clear();
  bool looped = false;
  const TRunResult r = RunApplication(rig.ui, rig.platform, {"-keyb"}, [&](TMainFrm&) { looped = true; });
  EXPECT_EQ(r, TRunResult::StartupFailed);
  EXPECT_FALSE(looped);
  EXPECT_EQ(rig.ui.title, "Snímač karet");
  EXPECT_EQ(rig.ui.boxes, (std::vector<std::string>{"Chyba|Nebyl nalezen použitelny snímač"}));

  TStartRig bad;
  EXPECT_EQ(RunApplication(bad.ui, bad.platform, {"soubor.txt"}, [](TMainFrm&) {}), TRunResult::StartupFailed);
  EXPECT_EQ(bad.ui.boxes, (std::vector<std::string>{"Chyba|Neplatný argument 'soubor.txt'"}));

  TStartRig good;
  EXPECT_EQ(RunApplication(good.ui, good.platform, {}, [&](TMainFrm& m) { looped = m.Protocol != nullptr; }),
            TRunResult::Finished);
  EXPECT_TRUE(looped);
}

}  // namespace
}  // namespace snimac::test
