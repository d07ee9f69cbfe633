#include "app/main_frm.h"

#include <cstdint>
#include <stdexcept>

#include "app/paths.h"
#include "app/startup_error.h"
#include "app/texts.h"
#include "cards/read_time.h"

namespace snimac {

namespace {
constexpr const char* kLineSettings = "9600,n,8,1";
constexpr const char* kAttendanceMarker = "evid";

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}
}  // namespace

// The window loads: its tray menu is drawn and its icon added.
TMainFrm::TMainFrm(TView& ui, const TPlatformServices& platform)
    : TDevFrm(ui), TrayIcon1(ui.TrayFailurePolicy()), ui_(ui), platform_(platform), grid_(platform.dateTimeSeparators) {
  for (const TTrayMenuItem& item : TrayPopup.Items()) ui_.ShowMenuItem(item);
  if (ui_.AddTrayIcon()) {
    TrayIcon1.Registered();
    return;
  }
  const TTrayRegistration refused = TrayIcon1.RegistrationFailed();
  CarryOut(refused.actions);
  if (!refused.error.empty()) throw std::runtime_error(refused.error);  // the toolkit's error box
  if (!refused.notice.empty()) ShowStatus(refused.notice);
}

TMainFrm::~TMainFrm() {
  // The timers before anything else: a front end that dispatches events while
  // a box is open (the unsaved reads below) would otherwise tick a window
  // that is half taken apart.
  for (const TTimerId id : {TTimerId::LogTimer, TTimerId::BlickTimer, TTimerId::VersionTimer}) ui_.StopTimer(id);
  if (slave_) {
    Slave = nullptr;
    slave_.reset();
  }
  if (Protocol) {
    Protocol->Terminate();
    Protocol->WaitFor();
    Protocol.reset();
  }
  // Reads still pending go to the server or the file before the program ends;
  // if even that fails, they are shown, so that no read vanishes unseen.
  if (Attendance && !Attendance->FlushAtExit()) ShowUnsavedReads();
  Attendance.reset();
  linkLog_.reset();
  SerialPort.reset();
  CarryOut(TrayIcon1.Teardown());
}

bool TMainFrm::StartUp(const std::vector<std::string>& args) {
  ApplyOptions(ParseOptions(args, platform_.defaultDbFileName));
  const std::string serial = ChooseDevice();
  OpenSerialPort();
  CreateLink(serial);
  ShowIdentity(serial);

  slave_ = std::make_unique<TProtoSlaveDev>(*Protocol, this);
  Slave = slave_.get();
  slave_->Open(-1, 1);
  ShowStatus(texts::kStatusInit);
  if (!platform_.startNotice.empty()) ShowStatus(platform_.startNotice);

  if (Mode == TMode::Attendance) OpenDbFile();
  StartTimer(TTimerId::LogTimer);
  return true;
}

void TMainFrm::ShowUnsavedReads() {
  std::string text = texts::With(texts::kErrUnsavedReads, DbFileName);
  for (const TLogItem& item : Attendance->LogItems()) {
    const std::string line = FormatRecordTime(item.Time) + " " + item.Text;
    text += "\n" + line;
    if (linkLog_) linkLog_->Put(std::make_unique<TTextMessage>(TLogLevel::Error, line, texts::kAttendanceLogSource));
  }
  ui_.ShowMessageBox(text, texts::kErrorCaption, TMessageButtons::Ok);
}

void TMainFrm::ApplyOptions(const TOptions& o) {
  Mode = o.Mode;
  ComPort = o.ComPort;
  DbFileName = o.DbFileName;
  SerialWindows = o.SerialWindows;
  LogEnabled = o.LogEnabled;
  LogDir = o.LogDir;
  PmdpMode = o.PmdpMode;
  PrefixKey = o.PrefixKey;
  PrefixModifiers = o.PrefixModifiers;
  OfferUpgrade = o.OfferUpgrade;
}

// The device that suits the mode; of several, the one with the highest index.
std::string TMainFrm::ChooseDevice() {
  TD2xx& d2xx = *platform_.d2xx;
  uint32_t count = 0;
  if (d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) throw TStartupError(texts::kErrCount);
  std::string chosen;
  bool found = false;
  for (uint32_t i = 0; i < count; ++i) {
    char description[kFtStringSize] = {};
    char serial[kFtStringSize] = {};
    void* index = reinterpret_cast<void*>(static_cast<uintptr_t>(i));
    if (d2xx.ListDevices(index, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) != FT_OK) continue;
    if (d2xx.ListDevices(index, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) != FT_OK) continue;
    description[kFtStringSize - 1] = '\0';
    serial[kFtStringSize - 1] = '\0';
    const bool attendanceReader = Lower(description).find(kAttendanceMarker) != std::string::npos;
    if (attendanceReader == (Mode == TMode::Attendance)) {
      chosen = serial;
      found = true;
    }
  }
  if (!found) throw TStartupError(texts::kErrNoReader);
  return chosen;
}

void TMainFrm::OpenSerialPort() {
  if (SerialWindows.empty()) return;
  if (platform_.openSerialPort) SerialPort = platform_.openSerialPort();
  if (!SerialPort) throw TStartupError(texts::kErrSerialPort);
}

void TMainFrm::CreateLink(const std::string& serial) {
  const TPathStyle style = platform_.pathStyle;
  LogDir = WithTrailingSeparator(LogDir, platform_.defaultLogDir, style);
  const std::string logPath = LinkLogPath(LogDir, serial);
  if (LogEnabled) {
    CreateDirectories(DirectoryPart(logPath, style));  // a failure leaves a log without a file
    linkLog_ = std::make_unique<mqLog>(logPath, *platform_.clock);
  }
  Protocol = platform_.manualLink
                 ? std::make_unique<TProtocol>(*platform_.d2xx, *platform_.clock, linkLog_.get(), TThreadWatch::Forever(),
                                               TProtocol::TStart::Manual)
                 : std::make_unique<TProtocol>(*platform_.d2xx, *platform_.clock, linkLog_.get(), TThreadWatch::Current());
  Protocol->SetLatency(platform_.latencyMs);
  if (!Protocol->Open(serial, kLineSettings)) throw TStartupError(texts::With(texts::kErrOpenReader, serial));
  SerialNumber = serial;
}

void TMainFrm::ShowIdentity(const std::string& serial) {
  TrayPopup.ShowForMode(Mode == TMode::Grab);
  ShowMenuItem(TMenuItem::PoslatEnter1);
  const std::string mode = Mode == TMode::Attendance ? texts::kModeAttendance : texts::kModeGrab;
  std::string version = texts::kVersion;
  if (PmdpMode) version += texts::kPmdpSuffix;
  ui_.SetLabel(TLabel::ComLbl, mode + " " + version + "(" + serial + ")");
}

void TMainFrm::OpenDbFile() {
  const std::string dir = DirectoryPart(DbFileName, platform_.pathStyle);
  // A bare file name lives in the current directory: nothing to create.
  if (!dir.empty() && !CreateDirectories(dir)) throw TStartupError(texts::With(texts::kErrCreateDir, dir));
  std::unique_ptr<TAttendanceFile> file =
      platform_.openAttendanceFile ? platform_.openAttendanceFile(DbFileName) : TStdioAttendanceFile::Open(DbFileName);
  if (!file) throw TStartupError(texts::With(texts::kErrOpenFile, DbFileName));
  const std::optional<TServerAddress> server = ParseServerAddress(platform_.serverSetting);
  if (!server) throw TStartupError(texts::With(texts::kErrServerSetting, platform_.serverSetting));
  Attendance = std::make_unique<TAttendanceQueue>(platform_.makeLineClient(), *server, std::move(file));
  Attendance->onFileError = [this](const std::string& message) { ShowFileError(message); };
  Attendance->onFileWorks = [this] { ShowStatus(linkStatus_); };
  Attendance->onDelivered = [this](const TLogItem& item, TAttendanceQueue::TDelivery where) { ShowDelivered(item, where); };
}

}  // namespace snimac
