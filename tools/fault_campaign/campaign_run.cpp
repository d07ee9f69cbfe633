#include "tools/fault_campaign/campaign_run.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "app/main_frm.h"
#include "sim/sim_attendance_server.h"
#include "sim/sim_d2xx.h"
#include "sim/sim_full_disk_file.h"
#include "sim/virtual_clock.h"
#include "tools/fault_campaign/campaign_outputs.h"
#include "tools/fault_campaign/campaign_view.h"
#include "tools/fault_campaign/fault_schedule.h"

namespace snimac::campaign {

namespace {

namespace fs = std::filesystem;

constexpr const char* kReaderSerial = "FC01";
constexpr const char* kSerialWindow = "Pokladna";
constexpr int64_t kSecond = 1000000;
// After a link fault ends the reader must be addressed and polled again
// within this time, and stay so while the line is quiet.
constexpr int64_t kRecoveryUs = 45 * kSecond;
constexpr int64_t kLivenessEveryUs = 60 * kSecond;
// After the last fault every card must be through within this time.
constexpr int64_t kDrainLimitUs = 600 * kSecond;
constexpr int64_t kAfterDrainUs = 10 * kSecond;
// Steps in a row in which the clock does not move: the program spins.
constexpr uint64_t kMaxStepsWithoutTime = 1000000;
constexpr double kMeanCardGapSeconds = 40;

std::string CardText(const std::vector<uint8_t>& bytes, bool plainHex) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t b : bytes) {
    const char high = kHex[b >> 4];
    const char low = kHex[b & 15];
    text += plainHex ? high : low;
    text += plainHex ? low : high;
  }
  return text;
}

std::string RecordTime(const TLocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d-%02d:%02d", t.day, t.month, t.year, t.hour, t.minute);
  return text;
}

std::string RunTime(int64_t us) {
  char text[32];
  const int64_t s = us / kSecond;
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(s / 3600),
                static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60),
                static_cast<long long>(us / 1000 % 1000));
  return text;
}

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TCampaignRun {
 public:
  TCampaignRun(const TRunSettings& settings, std::atomic<uint64_t>& progress);
  ~TCampaignRun();
  TRunResult Run();

 private:
  bool Attendance() const { return settings_.mode == TCampaignMode::Attendance; }
  void StartUp();
  void Events();
  void Step();
  void WaitWhileUiBlocked(int64_t untilUs);
  void NoteResets();
  void OnRead(const std::string& text);
  void PresentCard();
  void StartLinkEpisode();
  void EndLinkEpisode();
  void StartOutputEpisode();
  void EndOutputEpisode();
  void CheckLiveness();
  bool Settled();
  void Drain();
  void TearDown();
  void CollectOutputs();
  void Stall(const std::string& why);

  TRunSettings settings_;
  std::atomic<uint64_t>& progress_;
  std::mt19937 rng_;
  TFaultSchedule schedule_;
  sim::TVirtualClock clock_{{2026, 3, 2, 7, 55, 0, 0}};
  sim::TSimD2xx bus_{clock_};
  sim::TSimReader* reader_ = nullptr;
  sim::TSimAttendanceServer server_;
  sim::TSimFullDiskFile* disk_ = nullptr;
  TCampaignView ui_{clock_};
  TCampaignTypist typist_;
  TCampaignSerialPort* serial_ = nullptr;
  TPlatformServices platform_;
  std::unique_ptr<TMainFrm> frm_;
  bool linkRunning_ = false;

  TCardLedger ledger_;
  TRunResult result_;
  fs::path dir_;
  fs::path db_;
  std::set<std::string> usedTexts_;
  std::map<std::string, int64_t> presentedAt_;

  TLinkEpisode link_;
  bool linkActive_ = false;
  TOutputEpisode output_;
  bool outputActive_ = false;
  int64_t nextCardUs_ = 0;
  int64_t nextTitleUs_ = 0;
  int64_t nextLivenessUs_ = kRecoveryUs;
  uint64_t lastResets_ = 0;
  uint64_t lastTokens_ = 0;
  int64_t lastTimeUs_ = -1;
  uint64_t stepsWithoutTime_ = 0;
  bool hung_ = false;
};

uint32_t StreamSeed(const TRunSettings& s, uint32_t stream) {
  std::seed_seq seq{s.seed, static_cast<uint32_t>(s.mode), stream};
  uint32_t out = 0;
  seq.generate(&out, &out + 1);
  return out;
}

TCampaignRun::TCampaignRun(const TRunSettings& settings, std::atomic<uint64_t>& progress)
    : settings_(settings),
      progress_(progress),
      rng_(StreamSeed(settings, 1)),
      schedule_(StreamSeed(settings, 2)),
      server_(StreamSeed(settings, 3)) {
  bus_.SetSeed(StreamSeed(settings, 4));
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  dir_ = fs::temp_directory_path() / ("snimac-fault-campaign-" + std::to_string(settings.seed) + "-" +
                                      ModeName(settings.mode) + "-" + std::to_string(ticks));
  db_ = dir_ / "vestibar.db";
}

TCampaignRun::~TCampaignRun() {
  linkRunning_ = false;
  frm_.reset();
}

void TCampaignRun::StartUp() {
  reader_ = &bus_.AddDevice(Attendance() ? "Snimac evid reader" : "USB Reader", kReaderSerial);
  platform_.d2xx = &bus_;
  platform_.clock = &clock_;
  platform_.typist = &typist_;
  platform_.manualLink = true;
  platform_.simulatedReader = true;
  platform_.defaultDbFileName = db_.string();
  platform_.defaultLogDir = (dir_ / "").string();
  platform_.makeLineClient = [this] {
    return std::make_unique<sim::TSimLineClient>(server_, clock_, [this](int64_t until) { WaitWhileUiBlocked(until); });
  };
  platform_.openAttendanceFile = [this](const std::string& path) -> std::unique_ptr<TAttendanceFile> {
    std::unique_ptr<sim::TSimFullDiskFile> file = sim::TSimFullDiskFile::Open(path);
    disk_ = file.get();
    return file;
  };
  platform_.openSerialPort = [this]() -> std::unique_ptr<TSerialPort> {
    auto port = std::make_unique<TCampaignSerialPort>();
    port->onLine = [this](const std::string& line) { ledger_.Output(TOutput::Serial, line); };
    serial_ = port.get();
    return port;
  };
  typist_.onTyped = [this](const std::string& text) { ledger_.Output(TOutput::Typed, text); };
  ui_.onRead = [this](const std::string& text) { OnRead(text); };
  ui_.modalStep = [this] { Step(); };

  fs::create_directories(dir_);
  frm_ = std::make_unique<TMainFrm>(ui_, platform_);
  linkRunning_ = true;
  if (Attendance()) {
    frm_->StartUp({"-net", "-db", db_.string()});
  } else {
    frm_->StartUp({"-ser", kSerialWindow});
  }
  link_ = schedule_.NextLink(0);
  output_ = schedule_.NextOutput(0);
}

TRunResult TCampaignRun::Run() {
  try {
    StartUp();
    const auto end = static_cast<int64_t>(settings_.hours * 3600.0 * kSecond);
    while (!hung_ && clock_.NowUs() < end) {
      Events();
      Step();
    }
    if (!hung_) Drain();
    TearDown();
    CollectOutputs();
  } catch (const std::exception& e) {
    ++result_.crashes;
    result_.findings.push_back(std::string("exception out of the program: ") + e.what());
  }
  result_.simulatedUs = clock_.NowUs();
  result_.counts = ledger_.Finish();
  for (const std::string& f : ledger_.Findings()) result_.findings.push_back(f);
  const sim::TSimFaultCounts bytes = bus_.FaultCounts();
  result_.faults.bytesLost = bytes.lost;
  result_.faults.bytesFlipped = bytes.flipped;
  result_.faults.bytesDuplicated = bytes.duplicated;
  result_.faults.unconfirmedLines = server_.Counts().unconfirmed;
  result_.boxes = ui_.boxes;
  std::error_code error;
  if (result_.Clean()) {
    fs::remove_all(dir_, error);
  } else {
    result_.findings.push_back("the run's files are kept in " + dir_.string());
  }
  return std::move(result_);
}

void TCampaignRun::Events() {
  const int64_t now = clock_.NowUs();
  if (now >= nextCardUs_) {
    if (!(linkActive_ && link_.kind == TLinkFault::Unplug)) PresentCard();  // a reader without power reads nothing
    const bool burst = std::uniform_int_distribution<int>(0, 6)(rng_) == 0;
    const double gap = burst ? std::uniform_real_distribution<double>(0.05, 0.8)(rng_)
                             : std::exponential_distribution<double>(1.0 / kMeanCardGapSeconds)(rng_);
    nextCardUs_ = now + static_cast<int64_t>(gap * kSecond);
  }
  if (!Attendance() && now >= nextTitleUs_) {
    typist_.title = std::uniform_int_distribution<int>(0, 2)(rng_) == 0 ? kSerialWindow : "Notepad";
    nextTitleUs_ = now + static_cast<int64_t>(std::uniform_real_distribution<double>(0.1, 120)(rng_) * kSecond);
  }
  if (!linkActive_ && now >= link_.startUs) StartLinkEpisode();
  if (linkActive_ && now >= link_.endUs) EndLinkEpisode();
  if (Attendance()) {
    if (!outputActive_ && now >= output_.startUs) StartOutputEpisode();
    if (outputActive_ && now >= output_.endUs) EndOutputEpisode();
  }
  if (!linkActive_ && now >= nextLivenessUs_) CheckLiveness();
}

void TCampaignRun::Step() {
  frm_->Protocol->RunPass();
  NoteResets();
  ui_.Pump();
  ++progress_;
  const int64_t now = clock_.NowUs();
  if (now != lastTimeUs_) {
    lastTimeUs_ = now;
    stepsWithoutTime_ = 0;
  } else if (++stepsWithoutTime_ > kMaxStepsWithoutTime && !hung_) {
    Stall("time stands still: the program spins without waiting");
    hung_ = true;
  }
}

// The UI thread waits (a connect, a reply): the link thread goes on.
void TCampaignRun::WaitWhileUiBlocked(int64_t untilUs) {
  while (clock_.NowUs() < untilUs) {
    if (!linkRunning_) {
      clock_.SleepUntilUs(untilUs);
      return;
    }
    frm_->Protocol->RunPass();
    NoteResets();
    ++progress_;
  }
}

void TCampaignRun::NoteResets() {
  const uint64_t resets = reader_->Stats().resetRequestsReceived;
  if (resets == lastResets_) return;
  result_.faults.linkResets += resets - lastResets_;
  lastResets_ = resets;
  ledger_.SequenceReset();
}

void TCampaignRun::OnRead(const std::string& text) {
  const int64_t now = clock_.NowUs();
  TReadKind kind;
  if (Attendance()) {
    kind = ledger_.Read(text, RecordTime(clock_.LocalNow()) + " " + text, kAttendanceOutputs);
  } else {
    const TOutput to = typist_.title == kSerialWindow ? TOutput::Serial : TOutput::Typed;
    kind = ledger_.Read(text, text, OutputSet(to));
  }
  const auto presented = presentedAt_.find(text);
  if (kind == TReadKind::First && presented != presentedAt_.end()) {
    result_.maxLatencyMs = std::max(result_.maxLatencyMs, (now - presented->second) / 1000);
  }
}

void TCampaignRun::PresentCard() {
  // Now and then a read the reader marks invalid: it is no card and must not come out.
  const bool invalid = std::uniform_int_distribution<int>(0, 49)(rng_) == 0;
  const bool plainHex = std::uniform_int_distribution<int>(0, 1)(rng_) == 1;
  static const size_t kLengths[] = {4, 7, 10};
  std::vector<uint8_t> bytes;
  std::string text;
  do {
    bytes.assign(kLengths[std::uniform_int_distribution<int>(0, 2)(rng_)], 0);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng_));
    text = CardText(bytes, plainHex);
  } while (!usedTexts_.insert(text).second);
  const uint8_t flags = static_cast<uint8_t>((plainHex ? 0x80 : 0x00) | (invalid ? 0x00 : 0x01));
  if (!reader_->PresentCard(flags, bytes) || invalid) return;
  ledger_.Presented(text, text + " presented at " + RunTime(clock_.NowUs()));
  presentedAt_[text] = clock_.NowUs();
}

void TCampaignRun::StartLinkEpisode() {
  linkActive_ = true;
  switch (link_.kind) {
    case TLinkFault::Noise:
      ++result_.faults.noiseEpisodes;
      bus_.SetFaults(link_.faults, link_.direction);
      break;
    case TLinkFault::Silence:
      ++result_.faults.silences;
      bus_.SetSilent(kReaderSerial, true);
      break;
    case TLinkFault::Unplug:
      ++result_.faults.unplugs;
      bus_.Unplug(kReaderSerial);
      break;
  }
}

void TCampaignRun::EndLinkEpisode() {
  switch (link_.kind) {
    case TLinkFault::Noise:
      bus_.SetFaults({}, sim::TSimDirection::Both);
      break;
    case TLinkFault::Silence:
      bus_.SetSilent(kReaderSerial, false);
      break;
    case TLinkFault::Unplug:
      // Plugged in again, the reader starts afresh: what it still held is gone.
      ledger_.ReaderPowerLost(reader_->QueuedCount() + reader_->UnackedCount());
      bus_.Replug(kReaderSerial);
      break;
  }
  linkActive_ = false;
  const int64_t now = clock_.NowUs();
  nextLivenessUs_ = now + kRecoveryUs;
  lastTokens_ = reader_->Stats().tokensAnswered;
  link_ = schedule_.NextLink(now);
}

void TCampaignRun::StartOutputEpisode() {
  outputActive_ = true;
  ++result_.faults.serverEpisodes;
  server_.SetMode(output_.serverMode);
  if (output_.diskFull && disk_) {
    ++result_.faults.diskFullEpisodes;
    disk_->Fill(output_.roomBytes);
  }
}

void TCampaignRun::EndOutputEpisode() {
  outputActive_ = false;
  server_.SetMode(sim::TSimServerMode::Up);
  if (disk_) disk_->Free();
  output_ = schedule_.NextOutput(clock_.NowUs());
}

void TCampaignRun::CheckLiveness() {
  const uint64_t tokens = reader_->Stats().tokensAnswered;
  const int64_t now = clock_.NowUs();
  if (!reader_->LinkUp() || tokens == lastTokens_) {
    Stall("the link is not up " + std::to_string(kRecoveryUs / kSecond) + " s after the last " +
          LinkFaultName(link_.kind) + " fault, at " + RunTime(now));
    nextLivenessUs_ = std::numeric_limits<int64_t>::max();  // once per quiet spell
    return;
  }
  lastTokens_ = tokens;
  nextLivenessUs_ = now + kLivenessEveryUs;
}

bool TCampaignRun::Settled() {
  if (ledger_.Unread() != 0) return false;
  if (reader_->QueuedCount() != 0 || reader_->UnackedCount() != 0) return false;
  return !frm_->Attendance || frm_->Attendance->LogItems().empty();
}

void TCampaignRun::Drain() {
  if (linkActive_) {
    link_.endUs = clock_.NowUs();
    EndLinkEpisode();
  }
  if (outputActive_) EndOutputEpisode();
  const int64_t deadline = clock_.NowUs() + kDrainLimitUs;
  uint64_t steps = 0;
  while (!hung_ && !(++steps % 64 == 0 && Settled())) {
    if (clock_.NowUs() > deadline) {
      Stall("not settled " + std::to_string(kDrainLimitUs / kSecond) + " s after the faults ended: " +
            std::to_string(ledger_.Unread()) + " cards unread");
      break;
    }
    Step();
  }
  const int64_t end = clock_.NowUs() + kAfterDrainUs;
  while (!hung_ && clock_.NowUs() < end) Step();
}

void TCampaignRun::TearDown() {
  if (disk_) {
    result_.faults.shortWrites = disk_->ShortWrites();
    result_.faults.refusedWrites = disk_->RefusedWrites();
  }
  linkRunning_ = false;
  frm_.reset();  // the normal teardown: what is still queued goes to the server or the file
  disk_ = nullptr;  // went with the window
}

void TCampaignRun::CollectOutputs() {
  for (const std::string& line : server_.Records()) {
    ledger_.Output(TOutput::Server, line.rfind("L ", 0) == 0 ? line.substr(2) : line);
  }
  if (Attendance()) {
    const std::string content = ReadWholeFile(db_);
    size_t start = 0;
    for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
      ledger_.Output(TOutput::File, content.substr(start, end - start));
    }
    if (start < content.size()) ledger_.Output(TOutput::File, content.substr(start));
  }
  if (serial_ && !serial_->Pending().empty()) ledger_.Output(TOutput::Serial, serial_->Pending());
}

void TCampaignRun::Stall(const std::string& why) {
  ++result_.stalls;
  result_.findings.push_back(why);
}

}  // namespace

const char* ModeName(TCampaignMode mode) { return mode == TCampaignMode::Attendance ? "attendance" : "grab"; }

TFaultTally& TFaultTally::operator+=(const TFaultTally& o) {
  bytesLost += o.bytesLost;
  bytesFlipped += o.bytesFlipped;
  bytesDuplicated += o.bytesDuplicated;
  noiseEpisodes += o.noiseEpisodes;
  silences += o.silences;
  unplugs += o.unplugs;
  serverEpisodes += o.serverEpisodes;
  diskFullEpisodes += o.diskFullEpisodes;
  shortWrites += o.shortWrites;
  refusedWrites += o.refusedWrites;
  unconfirmedLines += o.unconfirmedLines;
  linkResets += o.linkResets;
  return *this;
}

TRunResult RunCampaign(const TRunSettings& settings, std::atomic<uint64_t>& progress) {
  TCampaignRun run(settings, progress);
  return run.Run();
}

}  // namespace snimac::campaign
