// The simulated loaders (sim/sim_h8_loader.*, sim/sim_avr_loader.*) behind
// the simulated reader's link. Every loader command is written here byte by
// byte from the loader's command table; nothing of the upgrade's code is
// used. The master's side of the link is played by hand (Master below).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/crc.h"
#include "sim/sim_d2xx.h"
#include "sim/sim_reader.h"
#include "sim/sim_reader_settings.h"
#include "sim/sim_wire_frames.h"
#include "sim/virtual_clock.h"

namespace snimac::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kAny = 0xFFFFFFFF;
constexpr uint32_t kAnyLoader = 0x7FFFFFFF;
constexpr int64_t kEraseUs = 50000;
constexpr int64_t kWriteUs = 10000;
const char* const kOldVersion = "MXT_A FW v3.9 Jan  1 2010";

// ---------------------------------------------------------------- commands

const Bytes kUnlock = {0x12, 0x5A, 0xA5};
const Bytes kErase4 = {0x15, 0x49, 0xA3, 0x04};
const Bytes kErase5 = {0x15, 0x58, 0x2A, 0x05};
const Bytes kErase6 = {0x15, 0x6A, 0xB1, 0x06};

uint16_t PageCheck(uint32_t address, const Bytes& page) {
  const uint8_t a[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  return Crc16Block(Crc16Block(0xFFFF, a, 2), page.data(), page.size());
}

Bytes PageWrite(uint32_t address, uint16_t check) {
  return {0x14, static_cast<uint8_t>(check >> 8), static_cast<uint8_t>(check), static_cast<uint8_t>(address >> 8),
          static_cast<uint8_t>(address)};
}

// 16 page-data commands of 8 bytes.
std::vector<Bytes> PageData(const Bytes& page) {
  std::vector<Bytes> data;
  for (size_t off = 0; off < 128; off += 8) {
    const auto from = page.begin() + static_cast<std::ptrdiff_t>(off);
    Bytes c{0x13, static_cast<uint8_t>(off)};
    c.insert(c.end(), from, from + 8);
    data.push_back(c);
  }
  return data;
}

// Page data, unlock, page write: one page as the master commits it.
std::vector<Bytes> WholePage(uint32_t address, const Bytes& page) {
  std::vector<Bytes> commands = PageData(page);
  commands.push_back(kUnlock);
  commands.push_back(PageWrite(address, PageCheck(address, page)));
  return commands;
}

Bytes Page(uint8_t seed) {
  Bytes page(128);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(seed + i * 3);
  return page;
}

// A page with a NUL-terminated text at `at`.
Bytes PageWithText(const std::string& text, size_t at) {
  Bytes page = Page(0x11);
  page[at - 1] = 0;
  for (size_t i = 0; i < text.size(); ++i) page[at + i] = static_cast<uint8_t>(text[i]);
  page[at + text.size()] = 0;
  return page;
}

Bytes Result(uint32_t index, uint8_t code) {
  return {0x87, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), code};
}

std::vector<Bytes> Cat(std::vector<Bytes> a, const std::vector<Bytes>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool Erased(const Bytes& flash, uint32_t begin, uint32_t end) {
  for (uint32_t a = begin; a < end; ++a) {
    if (flash[a] != 0xFF) return false;
  }
  return true;
}

// ---------------------------------------------------------------- the master by hand

// Address 1, numbered data with ACKs in both directions, tokens; every byte
// reaches the reader at `now`.
class Master {
 public:
  explicit Master(TSimReader& reader) : reader_(reader) {}

  // Address assignment for `identity`, a token, the reset handshake. False
  // when the reader does not answer.
  bool Connect(uint32_t identity = kAny) {
    Write(FramePacket({0x7F, 0x83, 0x01, static_cast<uint8_t>(identity >> 24), static_cast<uint8_t>(identity >> 16),
                       static_cast<uint8_t>(identity >> 8), static_cast<uint8_t>(identity), 0x01}));
    Write(FrameToken(1));
    if (reader_.TakeOutput() != FrameToken(1)) return false;
    sendSeq_ = recvSeq_ = 0;
    Write(FramePacket({0x01, 0x81}));
    Write(FrameToken(1));
    const TWireFrames answer = SplitFrames(reader_.TakeOutput());
    return answer.error.empty() && !answer.packets.empty() && answer.packets[0] == Bytes({0x01, 0x82});
  }

  // Sends the messages in bursts of four, a token after each burst (one token
  // when there are none), and returns the reader's messages of the answers.
  std::vector<Bytes> Send(const std::vector<Bytes>& messages) {
    std::vector<Bytes> got;
    size_t i = 0;
    do {
      const size_t n = std::min<size_t>(4, messages.size() - i);
      Turn(std::vector<Bytes>(messages.begin() + static_cast<std::ptrdiff_t>(i),
                              messages.begin() + static_cast<std::ptrdiff_t>(i + n)),
           got);
      i += n;
    } while (i < messages.size());
    return got;
  }
  std::vector<Bytes> Poll() { return Send({}); }

  // The reader's next messages once `us` have passed.
  std::vector<Bytes> After(int64_t us) {
    Wait(us);
    return Poll();
  }
  void Wait(int64_t us) {
    now += us;
    reader_.AdvanceTo(now);
  }

  // The version text from a VersionRequest's fragments; nullopt without any.
  std::optional<std::string> Version() {
    std::string text;
    bool any = false;
    for (const Bytes& m : Send({{0x0A}})) {
      if (m.size() >= 2 && m[0] == 0x85) {
        any = true;
        text.append(m.begin() + 2, m.end());
      }
    }
    return any ? std::optional<std::string>(text) : std::nullopt;
  }

  // SEQ of the next message to the reader: the ACK that covers all sent.
  int SendSeq() const { return sendSeq_; }
  // Packets of the last answer (the reader's token last).
  std::vector<Bytes> lastAnswer;
  int64_t now = 0;

 private:
  void Write(const Bytes& wire) {
    for (uint8_t b : wire) reader_.OnByte(b, now);
  }

  void Turn(const std::vector<Bytes>& burst, std::vector<Bytes>& got) {
    for (const Bytes& m : burst) {
      Bytes p{0x01, static_cast<uint8_t>((sendSeq_ << 4) | recvSeq_)};
      p.insert(p.end(), m.begin(), m.end());
      Write(FramePacket(p));
      sendSeq_ = (sendSeq_ + 1) & 7;
    }
    if (burst.empty()) Write(FramePacket({0x01, static_cast<uint8_t>(0xC0 | recvSeq_)}));
    Write(FrameToken(1));
    const TWireFrames answer = SplitFrames(reader_.TakeOutput());
    EXPECT_EQ(answer.error, "");
    lastAnswer = answer.packets;
    for (const Bytes& p : answer.packets) {
      if (p.size() >= 2 && p[0] == 0x01 && !(p[1] & 0x80) && ((p[1] >> 4) & 7) == recvSeq_) {
        got.emplace_back(p.begin() + 2, p.end());
        recvSeq_ = (recvSeq_ + 1) & 7;
      }
    }
  }

  TSimReader& reader_;
  int sendSeq_ = 0;
  int recvSeq_ = 0;
};

TSimReaderConfig H8(TSimBank bank = TSimBank::Low) {
  TSimReaderConfig config;
  config.version = kOldVersion;
  config.loader.family = TSimReaderFamily::H8;
  config.loader.runningBank = bank;
  return config;
}

TSimReaderConfig Avr() {
  TSimReaderConfig config;
  config.version = kOldVersion;
  config.loader.family = TSimReaderFamily::Avr;
  return config;
}

// Commands sent, then the answers that come within the longest flash time.
std::vector<Bytes> Exchange(Master& m, const std::vector<Bytes>& commands) {
  std::vector<Bytes> replies = m.Send(commands);
  return Cat(std::move(replies), m.After(kEraseUs));
}

// ---------------------------------------------------------------- H8 erase

struct TEraseCase {
  const char* name;
  TSimBank running;
  std::vector<Bytes> commands;
  uint8_t block;
  uint8_t result;
};

TEST(SimH8Loader, BlockErase) {
  const uint8_t block3 = 3;
  const uint16_t check3 = Crc16Block(0xFFFF, &block3, 1);
  const Bytes erase3 = {0x15, static_cast<uint8_t>(check3 >> 8), static_cast<uint8_t>(check3), 3};
  const TEraseCase cases[] = {
      {"block 4 with high running", TSimBank::High, {kUnlock, kErase4}, 4, 0},
      {"block 5 with low running", TSimBank::Low, {kUnlock, kErase5}, 5, 0},
      {"block 6 with low running", TSimBank::Low, {kUnlock, kErase6}, 6, 0},
      {"no unlock", TSimBank::Low, {kErase5}, 5, 1},
      {"wrong unlock code", TSimBank::Low, {{0x12, 0x5A, 0xA4}, kErase5}, 5, 1},
      {"one unlock, two erases", TSimBank::Low, {kUnlock, kErase6, kErase5}, 5, 1},
      {"wrong check", TSimBank::Low, {kUnlock, {0x15, 0x58, 0x2B, 0x05}}, 5, 1},
      {"running bank", TSimBank::Low, {kUnlock, kErase4}, 4, 1},
      {"loader block", TSimBank::High, {kUnlock, erase3}, 3, 1},
      {"no such block", TSimBank::High, {kUnlock, {0x15, 0x00, 0x00, 0x07}}, 7, 1},
  };
  const uint32_t begin[] = {0x0C00, 0x1000, 0x8000, 0xC000, 0x10000};
  for (const TEraseCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSimReader reader(H8(c.running));
    const Bytes before = reader.Flash();
    Master m(reader);
    ASSERT_TRUE(m.Connect());
    const std::vector<Bytes> got = Exchange(m, c.commands);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), Result(c.block, c.result));
    const Bytes after = reader.Flash();
    if (c.result == 0) {
      EXPECT_EQ(reader.BlocksErased().back(), c.block);
      EXPECT_TRUE(Erased(after, begin[c.block - 3], begin[c.block - 2]));
      EXPECT_NE(after[begin[c.block - 3] - 1], 0xFF);  // the block below is kept
    } else {
      EXPECT_TRUE(reader.BlocksErased().size() < 2u);
      if (reader.BlocksErased().empty()) {
        EXPECT_EQ(after, before);
      }
    }
  }
}

// ---------------------------------------------------------------- H8 page write

struct TWriteCase {
  const char* name;
  TSimBank running;
  bool eraseFirst;  // the bank that does not run
  std::vector<Bytes> commands;
  uint32_t address;
  uint8_t result;
};

TEST(SimH8Loader, PageWrite) {
  const Bytes page = Page(0x40);
  std::vector<Bytes> noUnlock = PageData(page);
  noUnlock.push_back(PageWrite(0x8000, PageCheck(0x8000, page)));
  std::vector<Bytes> wrongCheck = WholePage(0x8000, page);
  wrongCheck.back() = PageWrite(0x8000, PageCheck(0x8000, page) ^ 0x0100);
  std::vector<Bytes> shortData = WholePage(0x8000, page);
  shortData.erase(shortData.begin() + 15);  // the last 8 bytes never came
  std::vector<Bytes> overflow = WholePage(0x8000, page);
  overflow.insert(overflow.begin() + 16, Bytes{0x13, 0x7C, 1, 2, 3, 4, 5, 6, 7, 8});  // would not fit: dropped
  const auto low = TSimBank::Low;
  const auto high = TSimBank::High;
  const TWriteCase cases[] = {
      {"erased page", low, true, WholePage(0x8000, page), 0x8000, 0},
      {"last page of the high bank", low, true, WholePage(0xFF80, page), 0xFF80, 0},
      {"last page of the low bank", high, true, WholePage(0x7F80, page), 0x7F80, 0},
      {"not erased", low, false, WholePage(0x8000, page), 0x8000, 2},
      {"wrong check", low, true, wrongCheck, 0x8000, 3},
      {"page data missing", low, true, shortData, 0x8000, 3},
      {"page data beyond the page", low, true, overflow, 0x8000, 0},
      {"no unlock", low, true, noUnlock, 0x8000, 1},
      {"not a page boundary", low, true, WholePage(0x8040, page), 0x8040, 1},
      {"running bank", low, true, WholePage(0x1000, page), 0x1000, 1},
      {"loader area", high, true, WholePage(0x0F80, page), 0x0F80, 1},
  };
  for (const TWriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSimReader reader(H8(c.running));
    Master m(reader);
    ASSERT_TRUE(m.Connect());
    if (c.eraseFirst && c.running == low) {
      ASSERT_EQ(Exchange(m, {kUnlock, kErase5}), std::vector<Bytes>{Result(5, 0)});
      ASSERT_EQ(Exchange(m, {kUnlock, kErase6}), std::vector<Bytes>{Result(6, 0)});
    } else if (c.eraseFirst) {
      ASSERT_EQ(Exchange(m, {kUnlock, kErase4}), std::vector<Bytes>{Result(4, 0)});
    }
    const Bytes before = reader.Flash();
    EXPECT_EQ(Exchange(m, c.commands), std::vector<Bytes>{Result(c.address, c.result)});
    const Bytes after = reader.Flash();
    if (c.result == 0) {
      EXPECT_EQ(Bytes(after.begin() + c.address, after.begin() + c.address + 128), page);
      EXPECT_EQ(reader.PagesWritten(), std::vector<uint32_t>{c.address});
    } else {
      EXPECT_EQ(after, before);
      EXPECT_TRUE(reader.PagesWritten().empty());
    }
  }
}

TEST(SimH8Loader, PageIsSentAgainOrCommittedAgainAfterAFailure) {
  TSimReader reader(H8(TSimBank::High));
  Master m(reader);
  ASSERT_TRUE(m.Connect());
  ASSERT_EQ(Exchange(m, {kUnlock, kErase4}), std::vector<Bytes>{Result(4, 0)});
  const Bytes page = Page(0x07);
  // A corrupted chunk: the check covers the page the master meant.
  std::vector<Bytes> corrupted = WholePage(0x1000, page);
  corrupted[3][5] ^= 0x01;
  EXPECT_EQ(Exchange(m, corrupted), std::vector<Bytes>{Result(0x1000, 3)});
  EXPECT_EQ(Exchange(m, WholePage(0x1000, page)), std::vector<Bytes>{Result(0x1000, 0)});
  // Committed without an unlock: refused; the buffer still holds the page, so
  // an empty chunk at offset 128, the unlock and the write commit it.
  const Bytes next = Page(0x99);
  std::vector<Bytes> noUnlock = PageData(next);
  noUnlock.push_back(PageWrite(0x1080, PageCheck(0x1080, next)));
  EXPECT_EQ(Exchange(m, noUnlock), std::vector<Bytes>{Result(0x1080, 1)});
  EXPECT_EQ(Exchange(m, {{0x13, 0x80}, kUnlock, PageWrite(0x1080, PageCheck(0x1080, next))}),
            std::vector<Bytes>{Result(0x1080, 0)});
  // Written pages are no longer erased.
  EXPECT_EQ(Exchange(m, WholePage(0x1000, page)), std::vector<Bytes>{Result(0x1000, 2)});
  EXPECT_EQ(reader.PagesWritten(), (std::vector<uint32_t>{0x1000, 0x1080}));
  EXPECT_EQ(reader.LastUnlockCode(), (Bytes{0x5A, 0xA5}));
  const Bytes flash = reader.Flash();
  EXPECT_EQ(Bytes(flash.begin() + 0x1080, flash.begin() + 0x1100), next);
}

// ---------------------------------------------------------------- H8 restart

struct TRestartCase {
  const char* name;
  std::optional<Bytes> page;  // written at 0x8000
  const char* version;        // after the restart
  TSimBank bank;
};

TEST(SimH8Loader, RestartRunsTheOtherBankWithItsVersion) {
  const TRestartCase cases[] = {
      {"image with a version text", PageWithText("MXT_H FW v4.1 Oct  3 2011", 0x30), "MXT_H FW v4.1 Oct  3 2011",
       TSimBank::High},
      {"image without one", Page(0x21), kOldVersion, TSimBank::High},
      {"nothing written: the same bank again", std::nullopt, kOldVersion, TSimBank::Low},
  };
  for (const TRestartCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSimReader reader(H8(TSimBank::Low));
    Master m(reader);
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(m.Version(), kOldVersion);
    EXPECT_EQ(m.Send({{0x16, 0x09}}), (std::vector<Bytes>{{0x88, 0x09, 0x10, 0x00}}));
    Exchange(m, {kUnlock, kErase5});
    Exchange(m, {kUnlock, kErase6});
    if (c.page) {
      ASSERT_EQ(Exchange(m, WholePage(0x8000, *c.page)), std::vector<Bytes>{Result(0x8000, 0)});
    }

    // The restart command is acknowledged before the reader goes quiet.
    EXPECT_TRUE(m.Send({{0x19}}).empty());
    ASSERT_EQ(m.lastAnswer.size(), 2u);
    EXPECT_EQ(m.lastAnswer[0], (Bytes{0x01, static_cast<uint8_t>(0xC0 | m.SendSeq())}));
    EXPECT_TRUE(reader.Down());
    m.Wait(1500000 - 1);
    m.Poll();
    EXPECT_TRUE(m.lastAnswer.empty());
    EXPECT_TRUE(reader.Down());
    EXPECT_FALSE(m.Connect());
    EXPECT_FALSE(reader.PresentCard(0x01, {0x01}));

    m.Wait(1);
    EXPECT_FALSE(reader.Down());
    EXPECT_EQ(reader.Address(), 0);  // power-cycled
    EXPECT_EQ(reader.RunningBank(), c.bank);
    EXPECT_EQ(reader.Stats().restarts, 1u);
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(m.Version(), c.version);
    const uint8_t base = c.bank == TSimBank::High ? 0x80 : 0x10;
    EXPECT_EQ(m.Send({{0x16, 0x09}}), (std::vector<Bytes>{{0x88, 0x09, base, 0x00}}));
  }
}

TEST(SimH8Loader, RestartCommandSentAgainKeepsTheNewBank) {
  TSimReader reader(H8(TSimBank::Low));
  Master m(reader);
  ASSERT_TRUE(m.Connect());
  Exchange(m, {kUnlock, kErase5});
  ASSERT_EQ(Exchange(m, WholePage(0x8000, Page(3))), std::vector<Bytes>{Result(0x8000, 0)});
  for (int i = 0; i < 2; ++i) {
    m.Send({{0x19}});
    m.Wait(1500000);
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(reader.RunningBank(), TSimBank::High) << i;
  }
  // Now the low bank is the one to write; once written, it runs next.
  Exchange(m, {kUnlock, kErase4});
  ASSERT_EQ(Exchange(m, WholePage(0x1000, Page(4))), std::vector<Bytes>{Result(0x1000, 0)});
  m.Send({{0x19}});
  m.Wait(1500000);
  EXPECT_EQ(reader.RunningBank(), TSimBank::Low);
  EXPECT_EQ(reader.Stats().restarts, 3u);
}

TEST(SimH8Loader, IdentityWithTheLoaderFlagIsNotAnswered) {
  TSimReader reader(H8());
  Master m(reader);
  EXPECT_FALSE(m.Connect(kAnyLoader));
  EXPECT_TRUE(m.Connect(kAny));
}

// ---------------------------------------------------------------- info queries

struct TInfoCase {
  const char* name;
  TSimReaderConfig config;
  Bytes query;
  std::vector<Bytes> replies;
};

TEST(SimLoader, InfoQueries) {
  TSimReaderConfig avrAt10000 = Avr();
  avrAt10000.loader.reportedAddress = 0x10000;
  TSimReaderConfig none;
  const TInfoCase cases[] = {
      {"H8 low bank", H8(TSimBank::Low), {0x16, 0x09}, {{0x88, 0x09, 0x10, 0x00}}},
      {"H8 high bank", H8(TSimBank::High), {0x16, 0x09}, {{0x88, 0x09, 0x80, 0x00}}},
      {"H8 address", H8(), {0x16, 0x01}, {{0x88, 0x01, 0x00, 0x00, 0x24, 0x00}}},
      {"H8 unknown selector", H8(), {0x16, 0x05}, {}},
      {"AVR bank", Avr(), {0x16, 0x09}, {{0x88, 0x09}}},
      {"AVR address", Avr(), {0x16, 0x01}, {{0x88, 0x01, 0x00, 0x00, 0xA0, 0x00}}},
      {"AVR address configured", avrAt10000, {0x16, 0x01}, {{0x88, 0x01, 0x00, 0x01, 0x00, 0x00}}},
      {"no loader", none, {0x16, 0x09}, {}},
  };
  for (const TInfoCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSimReader reader(c.config);
    Master m(reader);
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(m.Send({c.query}), c.replies);
    EXPECT_EQ(reader.LoaderCommands().size(), c.config.loader.family == TSimReaderFamily::None ? 0u : 1u);
  }
}

// ---------------------------------------------------------------- AVR

struct TIdentityCase {
  const char* name;
  uint32_t application;
  uint32_t loader;
};

TEST(SimAvrLoader, LoaderFlagSwitchesBetweenApplicationAndLoader) {
  const TIdentityCase cases[] = {
      {"any reader", kAny, kAnyLoader},
      {"this reader", 0x00012345, 0x80012345},
  };
  const std::string newVersion = "MXT_A FW v4.0 Sep  1 2011";
  const Bytes first = PageWithText(newVersion, 0x54);
  for (const TIdentityCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSimReader reader(Avr());
    Master m(reader);
    ASSERT_TRUE(m.Connect(c.application));
    EXPECT_EQ(m.Version(), kOldVersion);
    // The application writes nothing.
    EXPECT_TRUE(Exchange(m, WholePage(0x0000, first)).empty());
    EXPECT_TRUE(reader.PresentCard(0x01, {0x04, 0xA1}));  // never sent: the loader takes over

    ASSERT_TRUE(m.Connect(c.loader));
    EXPECT_TRUE(reader.LoaderRunning());
    EXPECT_FALSE(reader.PresentCard(0x01, {0x04, 0xA1}));
    EXPECT_TRUE(m.Send({{0x0A}}).empty());  // neither the card nor a version
    EXPECT_EQ(Exchange(m, WholePage(0x0000, first)), std::vector<Bytes>{Result(0x0000, 0)});
    EXPECT_EQ(Exchange(m, WholePage(0x6F80, Page(1))), std::vector<Bytes>{Result(0x6F80, 0)});
    // Pages are rewritten without an erase; nothing beyond the application's flash.
    EXPECT_EQ(Exchange(m, WholePage(0x6F80, Page(2))), std::vector<Bytes>{Result(0x6F80, 0)});
    EXPECT_EQ(Exchange(m, WholePage(0x7000, Page(3))), std::vector<Bytes>{Result(0x7000, 1)});
    EXPECT_EQ(Exchange(m, {kUnlock, kErase4}), std::vector<Bytes>{Result(4, 1)});
    EXPECT_EQ(m.Send({{0x16, 0x09}}), (std::vector<Bytes>{{0x88, 0x09}}));
    EXPECT_TRUE(m.Connect(c.loader));  // the loader stays
    EXPECT_TRUE(reader.LoaderRunning());

    ASSERT_TRUE(m.Connect(c.application));
    EXPECT_FALSE(reader.LoaderRunning());
    EXPECT_EQ(m.Version(), newVersion);
    EXPECT_EQ(reader.PagesWritten(), (std::vector<uint32_t>{0x0000, 0x6F80, 0x6F80}));
    EXPECT_EQ(reader.Flash().size(), 0x7000u);
    EXPECT_EQ(reader.Stats().programSwitches, 2u);
    EXPECT_EQ(reader.RunningBank(), std::nullopt);
  }
}

TEST(SimAvrLoader, PowerCycleStartsTheApplication) {
  TSimReader reader(Avr());
  Master m(reader);
  ASSERT_TRUE(m.Connect(kAnyLoader));
  ASSERT_TRUE(reader.LoaderRunning());
  reader.PowerCycle();
  EXPECT_FALSE(reader.LoaderRunning());
  ASSERT_TRUE(m.Connect(kAny));
  EXPECT_EQ(m.Version(), kOldVersion);
}

// ---------------------------------------------------------------- faults

struct TFaultCase {
  const char* name;
  TSimReaderConfig config;
  bool eraseHighBank;
  std::vector<std::vector<Bytes>> attempts;
  std::vector<std::vector<Bytes>> replies;  // per attempt
};

TEST(SimLoader, ConfiguredFaults) {
  auto with = [](std::vector<TSimLoaderFault> faults) {
    TSimReaderConfig config = H8(TSimBank::Low);
    config.loader.faults = std::move(faults);
    return config;
  };
  using F = TSimLoaderFault;
  const auto P = TSimLoaderOp::PageWrite;
  const auto E = TSimLoaderOp::Erase;
  const auto I = TSimLoaderOp::InfoQuery;
  const std::vector<Bytes> page = WholePage(0x8000, Page(5));
  const std::vector<Bytes> other = WholePage(0x8080, Page(6));
  const std::vector<Bytes> recommit = {{0x13, 0x80}, kUnlock, page.back()};
  const std::vector<Bytes> erase5 = {kUnlock, kErase5};
  const TFaultCase cases[] = {
      {"error result twice on one page", with({F::Result(P, 0x8000, 0xE1, 2)}), true, {page, page, page},
       {{Result(0x8000, 0xE1)}, {Result(0x8000, 0xE1)}, {Result(0x8000, 0)}}},
      {"the fault spares other pages", with({F::Result(P, 0x8000, 0xE1, 1)}), true, {other, page},
       {{Result(0x8080, 0)}, {Result(0x8000, 0xE1)}}},
      {"result 4, then a commit without data", with({F::Result(P, F::kAnyTarget, 4)}), true, {page, recommit},
       {{Result(0x8000, 4)}, {Result(0x8000, 0)}}},
      {"unknown result on every page", with({F::Result(P, F::kAnyTarget, 5, -1)}), true, {page, other},
       {{Result(0x8000, 5)}, {Result(0x8080, 5)}}},
      {"silent page write", with({F::Silence(P, 0x8000)}), true, {page, recommit}, {{}, {Result(0x8000, 0)}}},
      {"erase error", with({F::Result(E, 5, 0xD2)}), false, {erase5, erase5}, {{Result(5, 0xD2)}, {Result(5, 0)}}},
      {"silent erase", with({F::Silence(E, 5)}), false, {erase5, erase5}, {{}, {Result(5, 0)}}},
      {"silent info query", with({F::Silence(I, 0x09)}), false, {{{0x16, 0x09}}, {{0x16, 0x09}}},
       {{}, {{0x88, 0x09, 0x10, 0x00}}}},
      {"short info reply", with({F::Reply(I, 0x09, {0x88, 0x09, 0x10})}), false, {{{0x16, 0x09}}},
       {{{0x88, 0x09, 0x10}}}},
      {"short loader result", with({F::Reply(P, 0x8000, {0x87, 0x80})}), true, {page}, {{{0x87, 0x80}}}},
  };
  for (const TFaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSimReader reader(c.config);
    Master m(reader);
    ASSERT_TRUE(m.Connect());
    if (c.eraseHighBank) {
      reader.ClearLoaderFaults();  // not meant for the preparation
      Exchange(m, erase5);
      Exchange(m, {kUnlock, kErase6});
      for (const TSimLoaderFault& f : c.config.loader.faults) reader.AddLoaderFault(f);
    }
    for (size_t i = 0; i < c.attempts.size(); ++i) {
      SCOPED_TRACE(i);
      const std::vector<Bytes> replies = Exchange(m, c.attempts[i]);
      EXPECT_EQ(replies, c.replies[i]);
      // A page is written only when the loader reports success.
      if (replies.size() == 1 && replies[0].size() == 4 && replies[0][0] == 0x87 && replies[0][1] >= 0x80) {
        const uint32_t address = (uint32_t{replies[0][1]} << 8) | replies[0][2];
        EXPECT_EQ(Erased(reader.Flash(), address, address + 128), replies[0][3] != 0);
      }
    }
  }
}

TEST(SimLoader, HangFaults) {
  {
    SCOPED_TRACE("H8 stays down after the restart command until power-cycled");
    TSimReaderConfig config = H8(TSimBank::Low);
    config.loader.staysDownAfterRestart = true;
    TSimReader reader(config);
    Master m(reader);
    ASSERT_TRUE(m.Connect());
    Exchange(m, {kUnlock, kErase5});
    Exchange(m, WholePage(0x8000, Page(1)));
    m.Send({{0x19}});
    m.Wait(3600LL * 1000000);
    EXPECT_FALSE(m.Connect());
    EXPECT_TRUE(reader.Down());
    reader.PowerCycle();
    EXPECT_EQ(reader.RunningBank(), TSimBank::High);
    EXPECT_TRUE(m.Connect());
  }
  {
    SCOPED_TRACE("AVR loader never answers");
    TSimReaderConfig config = Avr();
    config.loader.loaderNeverAnswers = true;
    TSimReader reader(config);
    Master m(reader);
    ASSERT_TRUE(m.Connect(kAny));
    EXPECT_FALSE(m.Connect(kAnyLoader));
    EXPECT_FALSE(m.Connect(kAny));
    reader.PowerCycle();
    EXPECT_TRUE(m.Connect(kAny));
  }
  {
    SCOPED_TRACE("AVR application never answers again");
    TSimReaderConfig config = Avr();
    config.loader.applicationNeverAnswersAgain = true;
    TSimReader reader(config);
    Master m(reader);
    ASSERT_TRUE(m.Connect(kAny));
    ASSERT_TRUE(m.Connect(kAnyLoader));
    EXPECT_FALSE(m.Connect(kAny));
    EXPECT_TRUE(reader.Down());
  }
}

// ---------------------------------------------------------------- timing

TEST(SimLoader, FlashTimesOnTheReadersClock) {
  TSimReaderConfig config = H8(TSimBank::Low);
  config.loader.eraseUs = 200000;
  TSimReader reader(config);
  Master m(reader);
  ASSERT_TRUE(m.Connect());
  EXPECT_TRUE(m.Send({kUnlock, kErase5}).empty());
  EXPECT_TRUE(m.After(200000 - 1).empty());
  EXPECT_EQ(m.After(1), std::vector<Bytes>{Result(5, 0)});
  // A refusal needs no flash time, but waits behind the erase before it.
  EXPECT_TRUE(m.Send({kUnlock, kErase6, {0x15, 0x00, 0x00, 0x04}}).empty());
  EXPECT_TRUE(m.After(200000 - 1).empty());
  EXPECT_EQ(m.After(1), (std::vector<Bytes>{Result(6, 0), Result(4, 1)}));
  // One operation at a time: two pages in one burst take twice the time.
  EXPECT_TRUE(m.Send(Cat(WholePage(0x8000, Page(9)), WholePage(0x8080, Page(10)))).empty());
  EXPECT_TRUE(m.After(kWriteUs - 1).empty());
  EXPECT_EQ(m.After(1), std::vector<Bytes>{Result(0x8000, 0)});
  EXPECT_TRUE(m.After(kWriteUs - 1).empty());
  EXPECT_EQ(m.After(1), std::vector<Bytes>{Result(0x8080, 0)});
}

// Through the bus: the reader learns the time from the wire.
TEST(SimLoader, BusClockDrivesFlashTimeAndRestart) {
  TVirtualClock clock;
  TSimD2xx bus(clock);
  TSimReaderConfig config = H8(TSimBank::Low);
  config.address = 1;
  config.loader.eraseUs = 500000;
  TSimReader& reader = bus.AddDevice("USB Reader", "A1B2", config);
  FT_HANDLE h = nullptr;
  ASSERT_EQ(bus.OpenEx(const_cast<char*>("A1B2"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
  ASSERT_EQ(bus.SetTimeouts(h, 100, 100), FT_OK);
  auto turn = [&](std::vector<Bytes> frames) {
    Bytes wire;
    for (const Bytes& f : frames) wire.insert(wire.end(), f.begin(), f.end());
    uint32_t n = 0;
    EXPECT_EQ(bus.Write(h, wire.data(), static_cast<uint32_t>(wire.size()), &n), FT_OK);
    Bytes in(256);
    uint32_t got = 0;
    EXPECT_EQ(bus.Read(h, in.data(), static_cast<uint32_t>(in.size()), &got), FT_OK);  // ends at the time-out
    in.resize(got);
    return SplitFrames(in).packets;
  };
  turn({FramePacket({0x01, 0x81}), FrameToken(1)});
  const int64_t t0 = clock.NowUs();
  turn({FramePacket({0x01, 0x00, 0x12, 0x5A, 0xA5}), FramePacket({0x01, 0x10, 0x15, 0x58, 0x2A, 0x05}), FrameToken(1)});
  int64_t seenUs = 0;
  while (seenUs == 0 && clock.NowUs() - t0 < 2000000) {
    for (const Bytes& p : turn({FramePacket({0x01, 0xC0}), FrameToken(1)})) {
      if (p.size() == 6 && Bytes(p.begin() + 2, p.end()) == Result(5, 0)) seenUs = clock.NowUs();
    }
  }
  // Each turn ends with a 100 ms read time-out: the result comes with the
  // first token after 500 ms.
  EXPECT_GE(seenUs - t0, 500000);
  EXPECT_LT(seenUs - t0, 500000 + 250000);

  // A page (as the loader found it: no data sent, all 0xFF) for the bank to boot.
  const Bytes erasedPage(128, 0xFF);
  const uint16_t check = PageCheck(0x8000, erasedPage);
  turn({FramePacket({0x01, 0x21, 0x12, 0x5A, 0xA5}),
        FramePacket({0x01, 0x31, 0x14, static_cast<uint8_t>(check >> 8), static_cast<uint8_t>(check), 0x80, 0x00}),
        FrameToken(1)});
  clock.SleepUs(kWriteUs);
  turn({FramePacket({0x01, 0xC1}), FrameToken(1)});
  ASSERT_EQ(reader.PagesWritten(), std::vector<uint32_t>{0x8000});

  const int64_t t1 = clock.NowUs();
  const std::vector<Bytes> ack = turn({FramePacket({0x01, 0x42, 0x19}), FrameToken(1)});
  ASSERT_FALSE(ack.empty());
  EXPECT_EQ(ack[0], (Bytes{0x01, 0xC5}));
  EXPECT_TRUE(reader.Down());
  while (reader.Down() && clock.NowUs() - t1 < 5000000) turn({FrameToken(1)});
  EXPECT_GE(clock.NowUs() - t1, 1500000);
  EXPECT_LT(clock.NowUs() - t1, 1500000 + 250000);
  EXPECT_EQ(reader.RunningBank(), TSimBank::High);
  EXPECT_EQ(bus.Close(h), FT_OK);
}

// The demo drives the reader from the link thread while another thread
// presents cards and looks at it.
TEST(SimLoader, ObserversFromAnotherThread) {
  TSimReader reader(H8(TSimBank::Low));
  Master m(reader);
  ASSERT_TRUE(m.Connect());
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    while (!stop) {
      reader.PresentCard(0x01, {0x01});
      (void)reader.Flash();
      (void)reader.PagesWritten();
      (void)reader.VersionText();
      (void)reader.Down();
      std::this_thread::yield();
    }
  });
  Exchange(m, {kUnlock, kErase5});
  for (uint32_t a = 0x8000; a < 0x8400; a += 128) Exchange(m, WholePage(a, Page(static_cast<uint8_t>(a >> 7))));
  stop = true;
  watcher.join();
  EXPECT_EQ(reader.PagesWritten().size(), 8u);
}

// ---------------------------------------------------------------- settings

TEST(SimReaderSettings, BuildTheConfiguration) {
  const std::map<std::string, std::string> env = {
      {"SNIMAC_SIM_FAMILY", "H8"},
      {"SNIMAC_SIM_VERSION", kOldVersion},
      {"SNIMAC_SIM_BANK", "high"},
      {"SNIMAC_SIM_REPORTED_ADDRESS", "0x2FFF"},
      {"SNIMAC_SIM_UNLOCK", "A55A"},
      {"SNIMAC_SIM_ERASE_MS", "80"},
      {"SNIMAC_SIM_WRITE_MS", "0"},
      {"SNIMAC_SIM_RESTART_MS", "2500"},
      {"SNIMAC_SIM_HANG", "restart,loader"},
      {"SNIMAC_SIM_LOADER_FAULTS", "write:8000:e1:2,erase:5:silent,info:any:silent:all"},
  };
  const TSimReaderConfig c = SimReaderConfigFromSettings([&](const std::string& name) {
    const auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  });
  EXPECT_EQ(c.loader.family, TSimReaderFamily::H8);
  EXPECT_EQ(c.version, kOldVersion);
  EXPECT_EQ(c.loader.runningBank, TSimBank::High);
  EXPECT_EQ(c.loader.reportedAddress, 0x2FFFu);
  EXPECT_EQ(c.loader.unlockCode, (std::array<uint8_t, 2>{0xA5, 0x5A}));
  EXPECT_EQ(c.loader.eraseUs, 80000);
  EXPECT_EQ(c.loader.pageWriteUs, 0);
  EXPECT_EQ(c.loader.restartUs, 2500000);
  EXPECT_TRUE(c.loader.staysDownAfterRestart);
  EXPECT_TRUE(c.loader.loaderNeverAnswers);
  EXPECT_FALSE(c.loader.applicationNeverAnswersAgain);
  ASSERT_EQ(c.loader.faults.size(), 3u);
  EXPECT_EQ(c.loader.faults[0].op, TSimLoaderOp::PageWrite);
  EXPECT_EQ(c.loader.faults[0].target, 0x8000u);
  EXPECT_EQ(c.loader.faults[0].action, TSimLoaderFault::TAction::Result);
  EXPECT_EQ(c.loader.faults[0].result, 0xE1);
  EXPECT_EQ(c.loader.faults[0].times, 2);
  EXPECT_EQ(c.loader.faults[1].op, TSimLoaderOp::Erase);
  EXPECT_EQ(c.loader.faults[1].action, TSimLoaderFault::TAction::Silence);
  EXPECT_EQ(c.loader.faults[1].times, 1);
  EXPECT_EQ(c.loader.faults[2].target, TSimLoaderFault::kAnyTarget);
  EXPECT_EQ(c.loader.faults[2].times, -1);

  // Nothing set: the defaults.
  const TSimReaderConfig d = SimReaderConfigFromSettings([](const std::string&) { return std::string(); });
  EXPECT_EQ(d.loader.family, TSimReaderFamily::None);
  EXPECT_EQ(d.version, TSimReaderConfig().version);
  EXPECT_EQ(d.loader.eraseUs, 50000);
}

TEST(SimReaderSettings, BadValuesNameTheSetting) {
  const std::pair<const char*, const char*> bad[] = {
      {"SNIMAC_SIM_FAMILY", "z80"},       {"SNIMAC_SIM_BANK", "middle"},
      {"SNIMAC_SIM_REPORTED_ADDRESS", "2g00"}, {"SNIMAC_SIM_UNLOCK", "5AA"},
      {"SNIMAC_SIM_ERASE_MS", "-5"},      {"SNIMAC_SIM_WRITE_MS", "10ms"},
      {"SNIMAC_SIM_HANG", "forever"},     {"SNIMAC_SIM_LOADER_FAULTS", "write:8000"},
      {"SNIMAC_SIM_LOADER_FAULTS", "flash:8000:1"}, {"SNIMAC_SIM_LOADER_FAULTS", "write:8000:100"},
  };
  for (const auto& [name, value] : bad) {
    SCOPED_TRACE(std::string(name) + "=" + value);
    try {
      SimReaderConfigFromSettings([&](const std::string& n) { return n == name ? std::string(value) : std::string(); });
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace snimac::sim
