#include "app/latency_setting.h"

#include "app/texts.h"
#include "link/d2xx.h"
#include "link/protocol.h"

namespace snimac {

TLatencySetting ParseLatencySetting(const std::optional<std::string>& value) {
  TLatencySetting setting;
  setting.ms = TProtocol::kDefaultLatencyMs;
  if (!value || value->empty()) return setting;
  // Digits only, at most three of them: no sign, no spaces, no overflow.
  const std::string& text = *value;
  bool digits = text.size() <= 3;
  int ms = 0;
  for (size_t i = 0; digits && i < text.size(); ++i) {
    digits = text[i] >= '0' && text[i] <= '9';
    ms = ms * 10 + (text[i] - '0');
  }
  if (digits && ms >= kMinLatencyMs && ms <= 255) {
    setting.ms = static_cast<uint8_t>(ms);
  } else {
    setting.notice = texts::With(texts::kNoteLatencySetting, text);
  }
  return setting;
}

std::string WithNotice(const std::string& notices, const std::string& notice) {
  if (notices.empty()) return notice;
  if (notice.empty()) return notices;
  return notices + "; " + notice;
}

}  // namespace snimac
