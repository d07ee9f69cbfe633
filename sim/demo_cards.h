// Presents a demonstration card to a simulated reader every few seconds, so
// that a newcomer sees the whole road (reader, link, card, output) without
// hardware. Runs on its own thread until destroyed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/sim_reader.h"

namespace snimac::sim {

class TDemoCards {
 public:
  // `readers`: every simulated reader; each gets the same card in turn.
  TDemoCards(std::vector<TSimReader*> readers, int intervalMs);
  ~TDemoCards();
  TDemoCards(const TDemoCards&) = delete;
  TDemoCards& operator=(const TDemoCards&) = delete;

  // The n-th demonstration card: flags and bytes, and its data record.
  struct TCard {
    uint8_t flags;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> blocks;
  };
  static TCard Card(int n);

 private:
  void Run();

  std::vector<TSimReader*> readers_;
  int intervalMs_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace snimac::sim
