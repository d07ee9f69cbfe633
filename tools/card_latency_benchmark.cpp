// snimac-card-latency-bench: how long a card takes from the moment it is
// presented to the reader until its text is typed, at 9600 baud 8N1 with the
// converter's own 16 ms latency timer and with the link's default, over many
// simulated cards. The main window, the link and the simulated reader run on
// a virtual clock; each card comes at a random moment of the poll cycle, a
// while after the previous one (its signal over). The figures are the same
// on every machine and run for the same seed.
//
//   snimac-card-latency-bench [--cards N] [--latency MS] [--seed S]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/main_frm.h"
#include "cards/typist.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"
#include "tools/bench_view.h"

namespace {

using namespace snimac;

// The virtual clock with one event at a chosen time: whoever sleeps across
// it (the link between turns, the bus waiting for the wire) wakes at that
// moment, the event runs, and the sleep goes on. A card can so be presented
// at any moment, also while a token is on its way to the reader.
class TEventClock : public TClock {
 public:
  int64_t NowUs() override { return clock_.NowUs(); }
  TLocalTime LocalNow() override { return clock_.LocalNow(); }
  void SleepUs(int64_t us) override {
    const int64_t until = clock_.NowUs() + us;
    if (event_ && atUs_ <= until) {
      clock_.SleepUntilUs(atUs_);
      auto event = std::move(event_);
      event_ = nullptr;
      event();
    }
    clock_.SleepUntilUs(until);
  }
  void At(int64_t us, std::function<void()> event) {
    atUs_ = us;
    event_ = std::move(event);
  }
  bool Pending() const { return static_cast<bool>(event_); }

 private:
  sim::TVirtualClock clock_;
  int64_t atUs_ = 0;
  std::function<void()> event_;
};

// Notes when each text is handed over for typing.
class TTimingTypist : public TTypist {
 public:
  explicit TTimingTypist(TClock& clock) : clock_(clock) {}
  void TypeText(const std::string&, const TTypingOptions&) override {
    ++typed;
    lastUs = clock_.NowUs();
  }
  std::optional<std::string> ForegroundTitle() override { return std::string("Notepad"); }

  int typed = 0;
  int64_t lastUs = 0;

 private:
  TClock& clock_;
};

struct TResult {
  std::vector<double> ms;  // per card, sorted
  uint64_t turns = 0;      // tokens the reader answered
  double seconds = 0;      // simulated time of the run
  bool ok = true;
};

double Percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0;
  const size_t rank = static_cast<size_t>(p * static_cast<double>(sorted.size()) + 0.999999);
  return sorted[std::min(sorted.size(), std::max<size_t>(rank, 1)) - 1];
}

TResult Run(uint8_t latencyMs, int cards, uint32_t seed) {
  TEventClock clock;
  sim::TSimD2xx bus(clock);
  sim::TSimReader& reader = bus.AddDevice("Reader", "BENCH");  // carries the current firmware
  bench::TBenchView ui(clock);
  TTimingTypist typist(clock);
  const TPlatformServices platform = bench::BenchPlatform(bus, clock, latencyMs, &typist);
  TMainFrm frm(ui, platform);
  bench::DriveByHand(ui, frm);
  const auto runUntil = [&](const std::function<bool()>& done, int64_t limitUs) {
    const int64_t end = clock.NowUs() + limitUs;
    while (!done()) {
      if (clock.NowUs() > end) return false;
      ui.step();
    }
    return true;
  };

  TResult r;
  frm.StartUp({});
  if (!runUntil([&] { return ui.status == "Ready" && !ui.version.empty(); }, 60000000)) {
    r.ok = false;
    return r;
  }
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int64_t> pauseUs(1500000, 2500000);
  std::uniform_int_distribution<int> byte(0, 255);
  const int64_t startUs = clock.NowUs();
  const uint64_t turnsAtStart = reader.Stats().tokensAnswered;
  for (int i = 0; i < cards; ++i) {
    std::vector<uint8_t> uid(4);
    for (uint8_t& b : uid) b = static_cast<uint8_t>(byte(rng));
    const int typedBefore = typist.typed;
    const int64_t presentedUs = clock.NowUs() + pauseUs(rng);
    clock.At(presentedUs, [&reader, uid] { reader.PresentCard(0x01, uid); });
    if (!runUntil([&] { return !clock.Pending() && typist.typed > typedBefore; }, 20000000)) {
      r.ok = false;
      break;
    }
    r.ms.push_back(static_cast<double>(typist.lastUs - presentedUs) / 1000.0);
  }
  r.turns = reader.Stats().tokensAnswered - turnsAtStart;
  r.seconds = static_cast<double>(clock.NowUs() - startUs) / 1e6;
  std::sort(r.ms.begin(), r.ms.end());
  return r;
}

bool ParseInt(const char* text, long low, long high, long& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return false;
  out = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  long cards = 1000;
  long seed = 1;
  std::vector<uint8_t> latencies = {kConverterDefaultLatencyMs, TProtocol::kDefaultLatencyMs};
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    long value = 0;
    const bool hasValue = i + 1 < argc;
    if (option == "--cards" && hasValue && ParseInt(argv[++i], 1, 1000000, value)) {
      cards = value;
    } else if (option == "--latency" && hasValue && ParseInt(argv[++i], 1, 255, value)) {
      latencies = {static_cast<uint8_t>(value)};
    } else if (option == "--seed" && hasValue && ParseInt(argv[++i], 0, 0x7FFFFFFF, value)) {
      seed = value;
    } else {
      std::fprintf(stderr, "usage: %s [--cards N] [--latency MS] [--seed S]\n", argv[0]);
      return 2;
    }
  }
  std::printf("Card presented -> text typed, on the simulated wire: 9600 baud 8N1 (1042 us a byte),\n"
              "reader processing 2 ms, grab mode, 4-byte cards at random moments 1.5-2.5 s apart.\n"
              "Virtual clock, seed %ld, %ld cards per latency timer.\n\n",
              seed, cards);
  std::printf("%8s %7s %9s %9s %9s %9s %12s\n", "latency", "cards", "median", "p99", "max", "min", "poll turns/s");
  int failures = 0;
  for (const uint8_t latency : latencies) {
    const TResult r = Run(latency, static_cast<int>(cards), static_cast<uint32_t>(seed));
    if (!r.ok) ++failures;
    std::printf("%5d ms %7zu %6.1f ms %6.1f ms %6.1f ms %6.1f ms %12.1f%s\n", latency, r.ms.size(),
                Percentile(r.ms, 0.5), Percentile(r.ms, 0.99), r.ms.empty() ? 0.0 : r.ms.back(),
                r.ms.empty() ? 0.0 : r.ms.front(), r.seconds > 0 ? static_cast<double>(r.turns) / r.seconds : 0.0,
                r.ok ? "" : "  (a card was not typed)");
  }
  return failures == 0 ? 0 : 1;
}
