#include "cards/attendance.h"

#include <string_view>
#include <utility>

#include "cards/card_texts.h"
#include "cards/read_time.h"

namespace snimac {

namespace {

std::string ServerLine(const TLogItem& item) { return "L " + FormatRecordTime(item.Time) + " " + item.Text; }

std::string FileLine(const TLogItem& item) { return FormatRecordTime(item.Time) + " " + item.Text; }

std::string FileErrorMessage(const std::string& path) {
  const std::string_view text = card_texts::kErrWriteFile;
  const size_t at = text.find("%s");
  return std::string(text.substr(0, at)) + path + std::string(text.substr(at + 2));
}

}  // namespace

TAttendanceQueue::TAttendanceQueue(std::unique_ptr<TLineClient> client, TServerAddress server,
                                   std::unique_ptr<TAttendanceFile> file, TAttendanceLimits limits)
    : client_(std::move(client)), server_(std::move(server)), file_(std::move(file)), limits_(limits) {}

TAttendanceQueue::~TAttendanceQueue() {
  if (!items_.empty()) WritePendingToFile();
}

void TAttendanceQueue::AddLogItem(TLogItem item) { items_.push_back(std::move(item)); }

void TAttendanceQueue::SendLogItems() {
  if (items_.empty()) return;
  if (client_->Connect(server_.host, server_.port, limits_.connectTimeout) != TConnectResult::Connected) {
    return;
  }
  while (!items_.empty()) {
    if (!client_->WriteLine(ServerLine(items_.front()), limits_.writeTimeout)) break;
    const TLineRead reply = client_->ReadLine(limits_.replyTimeout, limits_.maxReplyLength);
    if (reply.status != TLineStatus::Line || reply.text != "OK") break;
    if (onDelivered) onDelivered(items_.front(), TDelivery::Server);
    items_.pop_front();
  }
  client_->Disconnect();
}

void TAttendanceQueue::FlushLogItems() {
  if (items_.empty()) return;
  SendLogItems();
  // A queue the server emptied holds nothing the file failed on: the error is over.
  ReportFileResult(items_.empty() || WritePendingToFile());
}

bool TAttendanceQueue::FlushAtExit() {
  FlushLogItems();
  return items_.empty();
}

bool TAttendanceQueue::WritePendingToFile() {
  size_t appended = 0;
  for (const TLogItem& item : items_) {
    if (!file_->Append(FileLine(item))) break;
    ++appended;
  }
  // The lines before a refused one are written: release them once the flush
  // vouches for them; keep the rest, in order, for the next cycle.
  if (!file_->Flush()) return false;
  if (onDelivered) {
    for (size_t i = 0; i < appended; ++i) onDelivered(items_[i], TDelivery::File);
  }
  items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(appended));
  return items_.empty();
}

void TAttendanceQueue::ReportFileResult(bool written) {
  if (written == !fileFailing_) return;
  fileFailing_ = !written;
  if (fileFailing_) {
    if (onFileError) onFileError(FileErrorMessage(file_->Name()));
  } else {
    if (onFileWorks) onFileWorks();
  }
}

}  // namespace snimac
