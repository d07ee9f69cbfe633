// The attendance queue: every read waits here until the attendance server
// confirms it or it has been written to the attendance file. Each cycle
// (LogTimer, every five seconds) first offers the queue to the server, then
// writes what is left to the file. A read leaves the queue only when it has
// been confirmed or written: when the file cannot be written, the reads stay
// queued in order and the next cycle tries again. All of it runs on the UI
// thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "cards/attendance_file.h"
#include "cards/line_client.h"
#include "cards/log_item.h"
#include "cards/server_address.h"

namespace snimac {

// The bounds of one server exchange: the window waits at most for the
// connect, and for each record one write and one reply.
struct TAttendanceLimits {
  std::chrono::milliseconds connectTimeout{2000};
  std::chrono::milliseconds writeTimeout{1000};
  std::chrono::milliseconds replyTimeout{1000};
  size_t maxReplyLength = 256;
};

class TAttendanceQueue {
 public:
  TAttendanceQueue(std::unique_ptr<TLineClient> client, TServerAddress server,
                   std::unique_ptr<TAttendanceFile> file, TAttendanceLimits limits = {});
  // A last resort when FlushAtExit was not called: what is still queued is
  // written to the file (no server exchange, no callbacks).
  ~TAttendanceQueue();
  TAttendanceQueue(const TAttendanceQueue&) = delete;
  TAttendanceQueue& operator=(const TAttendanceQueue&) = delete;

  void AddLogItem(TLogItem item);

  // Offers the records from the head, one line "L <dd/mm/yyyy-hh:nn> <text>"
  // each; a reply of exactly "OK" confirms and removes the record, anything
  // else (or nothing) ends the exchange. Failures are not reported: they
  // only leave more records for the file.
  void SendLogItems();

  // One LogTimer cycle: nothing when the queue is empty; otherwise the server
  // exchange, then every remaining record to the file as
  // "<dd/mm/yyyy-hh:nn> <text>" CR LF, then one flush.
  void FlushLogItems();

  // The same cycle when the program ends, so that no read is lost at exit.
  // True when nothing is left in the queue.
  bool FlushAtExit();

  const std::deque<TLogItem>& LogItems() const { return items_; }
  bool FileWriteFailing() const { return fileFailing_; }

  // Called when writing the file fails after it last worked (once per
  // failure, not every cycle), with the message for the user.
  std::function<void(const std::string& message)> onFileError;
  // Called when a failure is over: the file could be written again, or the
  // server confirmed every read still queued.
  std::function<void()> onFileWorks;
  // Called for every record that leaves the queue: confirmed by the server,
  // or written to the file.
  enum class TDelivery { Server, File };
  std::function<void(const TLogItem& item, TDelivery where)> onDelivered;

 private:
  // Writes the queue to the file and releases it once flushed; false when
  // the file failed (then nothing is released).
  bool WritePendingToFile();
  void ReportFileResult(bool written);

  std::unique_ptr<TLineClient> client_;
  TServerAddress server_;
  std::unique_ptr<TAttendanceFile> file_;
  TAttendanceLimits limits_;
  std::deque<TLogItem> items_;
  bool fileFailing_ = false;
};

}  // namespace snimac
