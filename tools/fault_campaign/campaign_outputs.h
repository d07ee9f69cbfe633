// The card outputs of grab mode as the campaign sees them: a typist and a
// serial port that hand every text they receive to the ledger, and a
// foreground window whose title decides between them.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cards/serial_port.h"
#include "cards/typist.h"

namespace snimac::campaign {

class TCampaignTypist : public TTypist {
 public:
  void TypeText(const std::string& text, const TTypingOptions&) override {
    if (onTyped) onTyped(text);
  }
  std::optional<std::string> ForegroundTitle() override { return title; }

  std::string title = "Notepad";
  std::function<void(const std::string& text)> onTyped;
};

// Collects the bytes and hands on each line ended by CR LF.
class TCampaignSerialPort : public TSerialPort {
 public:
  bool Write(const void* bytes, size_t count) override {
    pending_.append(static_cast<const char*>(bytes), count);
    for (size_t end; (end = pending_.find("\r\n")) != std::string::npos;) {
      if (onLine) onLine(pending_.substr(0, end));
      pending_.erase(0, end + 2);
    }
    return true;
  }
  // Bytes after the last line end (a line written in part).
  const std::string& Pending() const { return pending_; }

  std::function<void(const std::string& line)> onLine;

 private:
  std::string pending_;
};

}  // namespace snimac::campaign
