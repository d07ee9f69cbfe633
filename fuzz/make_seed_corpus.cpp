// Writes the seed corpus of every fuzz target: real frames, messages, command
// lines and replies, in each harness's input format. Run it to regenerate
// fuzz/corpus/ after a format changes:
//   snimac_fuzz_seed_corpus fuzz/corpus
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "fuzz/attendance_script.h"
#include "fuzz/endpoint_script.h"
#include "fuzz/upgrade_script.h"
#include "link/packet.h"

namespace snimac::fuzz {
namespace {

using TBytes = std::vector<uint8_t>;

std::filesystem::path root;

void Write(const std::string& target, const std::string& name, const TBytes& bytes) {
  const std::filesystem::path dir = root / target;
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
}

TBytes Cat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const TBytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TBytes Text(const std::string& s) { return TBytes(s.begin(), s.end()); }

TBytes Chunk(const TBytes& bytes) { return Cat({{static_cast<uint8_t>(bytes.size())}, bytes}); }

TBytes Frame(const TRawPacket& p) {
  uint8_t out[kFrameBufferSize];
  return TBytes(out, out + EncodeFrame(p, out));
}

TBytes Token(int address = kEndpointAddress) {
  TRawPacket p;
  BuildToken(p, address);
  return Frame(p);
}

TBytes Data(int seq, int ack, const TBytes& payload) {
  TRawPacket p;
  BuildData(p, kEndpointAddress, seq, ack, payload.data(), static_cast<int>(payload.size()));
  return Frame(p);
}

TBytes Control(uint8_t control) {
  TRawPacket p;
  p.PushByte(kEndpointAddress);
  p.PushByte(control);
  p.AppendCrc();
  return Frame(p);
}

const TBytes kCard = {0x83, 0x01, 0x04, 0xA1, 0xB2, 0xC3};
const TBytes kFeedback = {0x03, 0x06, 0x00};

// Three 16-byte blocks of a card record: first text, second text, a BCD date.
TBytes RecordBlock(int index) {
  TBytes area(48, 0);
  const std::string first = "Zelen\xFD";
  const std::string second = "\xC8" "ap";
  size_t pos = 0;
  area[pos++] = static_cast<uint8_t>(0x40 | (first.size() + 1));
  for (char c : first) area[pos++] = static_cast<uint8_t>(c);
  area[pos++] = 0;
  area[pos++] = static_cast<uint8_t>(0x00 | (second.size() + 1));
  for (char c : second) area[pos++] = static_cast<uint8_t>(c);
  area[pos++] = 0;
  area[pos++] = 0xC4;
  for (uint8_t b : {0x11, 0x20, 0x09, 0x01}) area[pos++] = b;
  TBytes block = {0x8A, 0x00, 0x00};
  block.insert(block.end(), area.begin() + index * 16, area.begin() + index * 16 + 16);
  return block;
}

void FrameReaderSeeds() {
  Write("frame_reader", "token", Token());
  Write("frame_reader", "card", Cat({Data(0, 0, kCard), Token()}));
  Write("frame_reader", "reset_handshake", Cat({Control(kCtlResetRequest), Control(kCtlResetAck), Token()}));
  Write("frame_reader", "escaped", Data(3, 1, {0x83, 0x01, 0xC0, 0xC1, 0x7D, 0x00}));
  Write("frame_reader", "noise_then_frame", Cat({{0x55, 0xC1, 0x7D, 0xFF}, Data(1, 0, RecordBlock(0)), Token()}));
  TBytes overLong = {kFrameStart};
  overLong.insert(overLong.end(), 40, 0x11);
  overLong.push_back(kFrameEnd);
  Write("frame_reader", "over_long", Cat({overLong, Token()}));
  const TBytes cut = Data(2, 0, kCard);
  Write("frame_reader", "cut_frame", Cat({TBytes(cut.begin(), cut.end() - 3), Token()}));
}

// One endpoint turn: the window's offers, then the reader's frames.
TBytes Turn(uint8_t window, std::initializer_list<TBytes> offers, std::initializer_list<TBytes> frames) {
  TBytes out = {static_cast<uint8_t>(window | offers.size())};
  for (const TBytes& o : offers) out = Cat({out, {static_cast<uint8_t>(kMessageEndsBurst | o.size())}, o});
  out.push_back(static_cast<uint8_t>(frames.size()));
  for (const TBytes& f : frames) out = Cat({out, f});
  return out;
}
TBytes TokenFrame() { return {kToken}; }
TBytes Own(std::initializer_list<uint8_t> controlAndPayload) { return Cat({{kOwnPacket}, Chunk(controlAndPayload)}); }

void EndpointSeeds() {
  const TBytes alive = Cat({Turn(0, {}, {TokenFrame()}), Turn(0, {}, {TokenFrame()}), Turn(0, {}, {TokenFrame()}),
                            Turn(0, {}, {Own({kCtlResetAck}), TokenFrame()}), Turn(0, {}, {TokenFrame()})});
  Write("endpoint", "alive", alive);
  Write("endpoint", "card", Cat({alive, Turn(0, {}, {Own({0x00, 0x83, 0x01, 0x04, 0xA1, 0xB2, 0xC3}), TokenFrame()}),
                                 Turn(0, {kFeedback}, {Own({0xC1}), TokenFrame()}), Turn(0, {}, {TokenFrame()})}));
  Write("endpoint", "slave_reset", Cat({alive, Turn(0, {}, {Own({kCtlResetRequest}), TokenFrame()}),
                                        Turn(0, {}, {TokenFrame()}), Turn(0, {}, {Own({0x10, 0x85, 0x00}), TokenFrame()})}));
  Write("endpoint", "window_burst", Cat({alive, Turn(kWindowWait, {kFeedback, {0x0A}, {0x02, 0xFF, 0xFF, 0x00}}, {}),
                                         Turn(0, {}, {Own({0xC2}), TokenFrame()}), Turn(kWindowFlush, {}, {TokenFrame()})}));
  Write("endpoint", "unnumbered_and_noise",
        Cat({alive, Turn(0, {}, {Own({kCtlUnnumbered, 0x05, 0x01, 0x02}), Cat({{kRaw}, Chunk({0xC0, 0x01, 0x99, 0xC1})}),
                                  Cat({{kPacket}, Chunk({0x02, 0x00, 0x83})}), TokenFrame()})}));
}

void ReaderMessageSeeds() {
  Write("reader_messages", "card", Chunk(kCard));
  Write("reader_messages", "plain_hex_card", Chunk({0x83, 0x81, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C}));
  Write("reader_messages", "version",
        Cat({Chunk(Cat({{0x85, 0x00}, Text("MXT_A FW")})), Chunk(Cat({{0x85, 0x01}, Text(" v4.0 Se")})),
             Chunk(Cat({{0x85, 0x02}, Text("p  1 201")})), Chunk(Cat({{0x85, 0x03}, Text("1")}))}));
  Write("reader_messages", "record",
        Cat({Chunk(kCard), Chunk(RecordBlock(0)), Chunk(RecordBlock(1)), Chunk(RecordBlock(2))}));
  Write("reader_messages", "no_blocks", Cat({Chunk(kCard), Chunk({0x8A, 0x00, 0x01, 0x03})}));
  Write("reader_messages", "link_events", Cat({Chunk({0xA0}), Chunk({0xA1}), Chunk({})}));
}

void OptionSeeds() {
  const auto args = [](std::initializer_list<std::string> list) {
    TBytes out;
    for (const std::string& a : list) {
      if (!out.empty()) out.push_back(0);
      out = Cat({out, Text(a)});
    }
    return out;
  };
  Write("options", "attendance", args({"-net", "-db", "/tmp/att.db", "-log", "-logdir", "/var/log/snimac"}));
  Write("options", "grab", args({"/KEYB", "-ser", "Okno", "-ser", "Jin\xC3\xA9", "-pmdp", "-prefix", "CAF5"}));
  Write("options", "others", args({"-com", "COM3", "-upgrade", "-prefix", "Sa"}));
  Write("options", "refused", args({"-net", "-bogus"}));
  Write("options", "bad_prefix", args({"-prefix", "F25"}));
}

TBytes Op(TUpgradeOperation op, std::initializer_list<uint8_t> args = {}) { return Cat({{op}, args}); }

void UpgradeSeeds() {
  const TBytes goodLoader = Cat({Op(kGoodLoader, {255}), Op(kGoodLoader, {255}), Op(kGoodLoader, {255})});
  Write("upgrade", "h8_high", Cat({Op(kStep), Op(kBankReply, {1}), Op(kStep), Op(kAddressReply, {0, 0, 0x20, 0}),
                                    goodLoader, Op(kStep), Op(kLinkEvent, {0})}));
  Write("upgrade", "h8_low_errors",
        Cat({Op(kStep), Op(kBankReply, {2}), Op(kStep), Op(kAddressReply, {0, 0, 0x24, 0}), Op(kStep), Op(kStep),
             Op(kResult, {0x01}), Op(kStep), Op(kStep), Op(kResult, {0x03}), Op(kStep), Op(kStep), Op(kResult, {0}),
             Op(kGoodLoader, {8}), Op(kResult, {0x04}), Op(kStep), Op(kStep), Op(kResult, {0xE1}), Op(kTimeout),
             Op(kGoodLoader, {40}), Op(kClose, {1})}));
  Write("upgrade", "avr", Cat({Op(kStep), Op(kBankReply, {0}), Op(kStep), Op(kAddressReply, {0, 0, 0xA0, 0}),
                               Op(kLinkEvent, {0}), goodLoader, Op(kLinkEvent, {0})}));
  Write("upgrade", "timeouts_and_close",
        Cat({Op(kStep), Op(kTimeout), Op(kStep), Op(kBankReply, {3, 0x40, 0x00}), Op(kStep), Op(kTimeout), Op(kStep),
             Op(kAddressReply, {0, 0, 0x20, 0}), Op(kClose, {0}), Op(kStep), Op(kClose, {1}), Op(kStep)}));
  Write("upgrade", "odd_replies", Cat({Op(kReply, {2, 0x88, 0x09}), Op(kStep), Op(kReply, {3, 0x87, 0x00}),
                                       Op(kReply, {0}), Op(kReply, {7, 0x88, 0x01, 0x00, 0x00, 0x90, 0x00, 0x55})}));
}

TBytes Read(const std::string& text) { return Cat({{kAddRead, 0x0B, 0x05, 0x0E}, Chunk(Text(text))}); }
TBytes Reply(const std::string& line) { return Chunk(Text(line)); }

void AttendanceSeeds() {
  Write("attendance", "server_confirms",
        Cat({Read("04a1b2c3"), Read("0a1b2c3d"), {kCycle, kConnects, 0}, Reply("OK\r\n"), {0}, Reply("OK\r\n")}));
  Write("attendance", "server_down_file",
        Cat({Read("04a1b2c3"), {kCycle, kRefused, 0, 0}, Read("04a1b2c3;Zeleny;Cap;2011-09-01"),
             {kCycle, kConnectTimesOut, 0, 0}}));
  Write("attendance", "file_fails_then_works",
        Cat({Read("11223344"), {kCycle, kRefused, kFailAppend, 0}, {kCycle, kRefused, 0, kFailFlush},
             {kCycle, kConnects, 0}, Reply("OK\r\n")}));
  Write("attendance", "garbage_replies",
        Cat({Read("aa"), Read("bb"), {kCycle, kConnects, 0}, Reply("O"), Reply("K\r"), Reply("\nNO\r\n"), {0, 0},
             {kCycle, kConnects, kRefuseWrite, 0, 0}, {kCycle, kConnects, 0, 0, 0, 0}}));
}

}  // namespace
}  // namespace snimac::fuzz

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
    return 2;
  }
  snimac::fuzz::root = argv[1];
  snimac::fuzz::FrameReaderSeeds();
  snimac::fuzz::EndpointSeeds();
  snimac::fuzz::ReaderMessageSeeds();
  snimac::fuzz::OptionSeeds();
  snimac::fuzz::UpgradeSeeds();
  snimac::fuzz::AttendanceSeeds();
  return 0;
}
