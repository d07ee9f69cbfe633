// A link log that drops its records once made: the harnesses still run every
// log line's formatting, without a queue that grows with the input.
#pragma once

#include "link/text_log.h"

namespace snimac::fuzz {

class TNullLog : public TTextMessageQueue {
 public:
  void Put(TTextMessagePtr message) override { characters += message->Text.size(); }
  size_t characters = 0;
};

}  // namespace snimac::fuzz
