// What the main window does with a card: the record, the grid row, and the
// output (typed, written to the serial port, or queued for attendance).
#include <algorithm>

#include "app/main_frm.h"
#include "app/texts.h"
#include "cards/card_format.h"
#include "cards/serial_output.h"

namespace snimac {

namespace {
constexpr int kPmdpFormat = 1;
constexpr const char* kLineEnd = "\r\n";
}  // namespace

std::string TMainFrm::RecordCard(const uint8_t* bytes, int count, int format) {
  FeedbackPending = true;
  SignalState = TSignalState::OnToSend;
  TLogItem item{platform_.clock->LocalNow(), FormatCardBytes(bytes, static_cast<size_t>(count), format)};
  AddGridRow(item);
  std::string text = item.Text;
  if (Mode == TMode::Attendance && Attendance) Attendance->AddLogItem(std::move(item));
  return text;
}

void TMainFrm::HandleCardNumber(const uint8_t* bytes, int count, int format) {
  const std::string text = RecordCard(bytes, count, format);
  if (Mode != TMode::Grab) return;  // attendance: the record goes to the server or the file
  if (!SerialWindows.empty() && platform_.typist) {
    const std::optional<std::string> title = platform_.typist->ForegroundTitle();
    if (title && IsSerialWindow(*title)) {
      if (WriteSerial(SerialPort.get(), text + kLineEnd)) {
        ui_.ShowDelivery(TDelivery::Serial, text);
      } else {
        ui_.SetLabel(TLabel::StatusLbl, kSerialWriteFailedStatus + text);
        if (linkLog_) {
          linkLog_->Put(std::make_unique<TTextMessage>(TLogLevel::Error, kSerialWriteFailedLog + text, kSerialLogSource));
        }
      }
      return;
    }
  }
  TypeText(text);
}

void TMainFrm::HandleCardUid(const uint8_t* bytes, int count) { TypeText(RecordCard(bytes, count, kPmdpFormat)); }

void TMainFrm::HandleCardRecord(const uint8_t* uid, int uidCount, const uint8_t* blocks) {
  const std::string id = RecordCard(uid, uidCount, kPmdpFormat);
  uint8_t area[kCardRecordSize];
  std::copy(blocks, blocks + kCardRecordSize, area);
  const TCardRecord record = ParseCardRecord(area);
  TypeText(id + ";" + Transliterate(record.FirstText) + ";" + Transliterate(record.SecondText) + ";" + record.Date);
}

bool TMainFrm::IsSerialWindow(const std::string& title) const {
  return std::find(SerialWindows.begin(), SerialWindows.end(), title) != SerialWindows.end();
}

void TMainFrm::TypeText(const std::string& text) {
  if (!platform_.typist) return;
  TTypingOptions options;
  options.PrefixKey = PrefixKey;
  options.PrefixModifiers = PrefixModifiers;
  options.PressEnter = TrayPopup.PoslatEnter();
  platform_.typist->TypeText(text, options);
  ui_.ShowDelivery(TDelivery::Typed, text);
}

void TMainFrm::LogTimerTimer() {
  if (Attendance) Attendance->FlushLogItems();
}

// The grid shows every read; the selection follows new rows only from the last row.
void TMainFrm::AddGridRow(const TLogItem& item) {
  grid_.Add(item);
  const int row = grid_.RowCount() - 1;
  ui_.AddGridRow(row, grid_.Cell(row, TLogGrid::kTimeColumn), grid_.Cell(row, TLogGrid::kTextColumn));
  if (grid_.Selected() == row) ui_.SelectGridRow(row);
}

void TMainFrm::LogGridSelect(int row) {
  if (grid_.Select(row)) ui_.SelectGridRow(row);
}

void TMainFrm::ShowDelivered(const TLogItem& item, TAttendanceQueue::TDelivery where) {
  const TDelivery to = where == TAttendanceQueue::TDelivery::Server ? TDelivery::Server : TDelivery::File;
  ui_.ShowDelivery(to, FormatRecordTime(item.Time) + " " + item.Text);
}

// A failing attendance file stays in view until it can be written again.
void TMainFrm::ShowStatus(const std::string& text) {
  linkStatus_ = text;
  if (Attendance && Attendance->FileWriteFailing()) return;
  ui_.SetLabel(TLabel::StatusLbl, text);
}

void TMainFrm::ShowFileError(const std::string& message) {
  ui_.SetLabel(TLabel::StatusLbl, message);
  if (linkLog_) linkLog_->Put(std::make_unique<TTextMessage>(TLogLevel::Error, message, texts::kAttendanceLogSource));
}

}  // namespace snimac
