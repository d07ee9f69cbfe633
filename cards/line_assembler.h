// Lines of the attendance server's protocol (cards/line_client.h) put
// together from the bytes a stream delivers, whatever pieces they come in.
// Each line client keeps one and feeds it what its socket received; the
// socket calls, time-outs and errors stay with the client.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "cards/line_client.h"

namespace snimac {

class TLineAssembler {
 public:
  // The next line, when the bytes so far decide it: Line (its text without
  // CR LF; the bytes after it are kept for the next call) or TooLong (more
  // than `maxLength` bytes before the CR LF, or that many without one).
  // nullopt: more bytes are needed first. A bare LF does not end a line.
  std::optional<TLineRead> Next(size_t maxLength);
  // How many bytes may still be added before Next decides; never 0 after
  // Next gave nullopt. Reading no more than this keeps the buffer bounded.
  size_t Room(size_t maxLength) const;
  void Add(const char* bytes, size_t count);
  // Forgets everything received (a new connection).
  void Clear() { received_.clear(); }

 private:
  std::string received_;  // bytes received but not yet returned as a line
};

}  // namespace snimac
