#include "sim/demo_cards.h"

#include <chrono>

namespace snimac::sim {

TDemoCards::TDemoCards(std::vector<TSimReader*> readers, int intervalMs)
    : readers_(std::move(readers)), intervalMs_(intervalMs), thread_([this] { Run(); }) {}

TDemoCards::~TDemoCards() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
    wake_.notify_one();
  }
  thread_.join();
}

TDemoCards::TCard TDemoCards::Card(int n) {
  // A data record: first text "Zelený", second "Čáp", date 2011-09-01 (ISO 8859-2).
  const std::vector<uint8_t> record = {0x47, 'Z', 'e', 'l', 'e', 'n', 0xFD, 0x00, 0x04, 0xC8, 0xE1,
                                       'p',  0x00, 0xC4, 0x11, 0x20, 0x09, 0x01, 0x00};
  switch (n % 3) {
    case 0: return {0x81, {0x04, 0xA1, 0xB2, 0xC3}, record};
    case 1: return {0x01, {0x12, 0x34, 0xAB, 0x0F}, record};
    default: return {0x81, {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, {}};
  }
}

void TDemoCards::Run() {
  int n = 0;
  std::unique_lock<std::mutex> guard(lock_);
  while (!wake_.wait_for(guard, std::chrono::milliseconds(intervalMs_), [this] { return stop_; })) {
    const TCard card = Card(n++);
    for (TSimReader* reader : readers_) reader->PresentCard(card.flags, card.bytes, card.blocks);
  }
}

}  // namespace snimac::sim
