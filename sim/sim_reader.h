// The simulated card reader: the slave side of the reader link (the packet
// format and link state seen from the other end) and the reader's programs.
//
// Written from the wire description only, independent of the master's code
// (link/packet.*, link/frame_reader.*, link/proto_slave.*), so that it can
// catch the master's faults. Pure logic, no time: bytes from the master go in
// through OnByte, the answer to a token addressed to the reader comes out of
// TakeOutput already framed and stuffed. The bus (TSimD2xx) adds the wire's
// timing. Every public operation takes the reader's own lock, so a test may
// present cards from one thread while the link thread drives the bus.
//
// The reader is made of parts without locks of their own:
// - the framing (sim_reader_framing.h): frames out of the wire bytes,
//   unstuffed, CRC checked, and the answer frames;
// - the link slave (sim_link_slave.h): address, tokens and answers, sequence
//   numbers, resends, the reset handshake;
// - the card application (sim_reader_application.h): version text, signal,
//   block reads, card events;
// - the loader, if any (below).
// The reader itself decides which program runs, takes or refuses address
// assignments, routes the master's messages to the loader or the application,
// and keeps the time.
//
// Programs and loaders (config.loader, sim_loader.h): besides the card
// application the reader may carry the loader of an H8 reader (two flash
// banks, sim_h8_loader.h) or of an AVR reader (application and resident
// loader, sim_avr_loader.h). Loader commands go to the loader; its answers
// are numbered messages queued when they are ready. The version text is the
// one of the program in flash and follows what was written there.
//
// Time: the reader's time moves only when it is told (OnByte with a time,
// AdvanceTo); the bus tells it the arrival time of every byte. Flash times
// and the H8 restart run on it, so a simulation on the virtual clock stays
// deterministic. While the reader is down (restarting, or hung by a fault)
// it hears and answers nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_link_slave.h"
#include "sim/sim_loader_config.h"
#include "sim/sim_reader_application.h"
#include "sim/sim_reader_config.h"
#include "sim/sim_reader_framing.h"

namespace snimac::sim {

class TSimLoader;

class TSimReader {
 public:
  // Maximal packet (address to CRC) and data payload.
  static constexpr size_t kMaxPacket = TSimFrameReceiver::kMaxPacket;
  static constexpr size_t kMaxPayload = TSimLinkSlave::kMaxPayload;

  explicit TSimReader(TSimReaderConfig config = {});
  ~TSimReader();
  TSimReader(const TSimReader&) = delete;
  TSimReader& operator=(const TSimReader&) = delete;

  // ---- Wire side ----
  // One byte from the master, in wire order, at the reader's current time.
  void OnByte(uint8_t byte);
  // The same, arriving at `nowUs` (AdvanceTo first).
  void OnByte(uint8_t byte, int64_t nowUs);
  void OnBytes(const uint8_t* bytes, size_t count);
  void OnBytes(const std::vector<uint8_t>& bytes) { OnBytes(bytes.data(), bytes.size()); }
  // Wire bytes produced since the last call (answers to tokens), and clears them.
  std::vector<uint8_t> TakeOutput();
  bool HasOutput() const;
  // Power-on reset: no address (or the configured one), sequences and every
  // queue of outgoing messages cleared, frame receiver reset. Keeps the
  // configuration, the card record, the received-message log and the counters.
  // The flash is kept; loader answers on their way are lost. An H8 reader
  // down after the restart command comes up as the restart would bring it
  // (sim_h8_loader.h); an AVR reader comes up in its application. Either
  // answers again after a hang fault.
  void PowerCycle();
  // Moves the reader's time forward to `nowUs` (never back): loader results
  // that are ready are queued, and a restarting reader comes back when its
  // time is over.
  void AdvanceTo(int64_t nowUs);
  int64_t NowUs() const;

  // ---- Link side, on demand ----
  // Ask the master for a sequence reset (0x81 in every answer until its 0x82).
  void RequestReset();
  // Queue an unnumbered packet (0x83, sub-type, data): sent once, in the next
  // answer. False when data is over 31 bytes.
  bool SendUnnumbered(uint8_t subType, std::vector<uint8_t> data);
  // Raw wire bytes put in front of the next answer, as they are (no framing):
  // for testing the master against noise and malformed frames.
  void InjectRaw(std::vector<uint8_t> wireBytes);

  // ---- Application side ----
  // Queue an arbitrary numbered application message. False when it is empty
  // or over 32 bytes.
  bool SendAppMessage(std::vector<uint8_t> payload);
  // Queue a CardEvent: 0x83, flags, card bytes (at most 30). False too while
  // the card application does not run (AVR loader, reader down).
  bool PresentCard(uint8_t flags, std::vector<uint8_t> cardBytes);
  // The same, and the card's data record (see SetCardBlocks) in one step.
  bool PresentCard(uint8_t flags, std::vector<uint8_t> cardBytes, std::vector<uint8_t> blocks);
  // The data blocks 4, 5 and 6 of the presented card, 16 bytes each (48 in
  // all; shorter is padded with zeros, longer is cut). BlockRead b (4..6)
  // is answered with 0x8A, b, status 0, the 16 bytes of block b.
  void SetCardBlocks(std::vector<uint8_t> blocks);
  // No card record: BlockRead is answered with status 1, failure code 3.
  void ClearCardBlocks();
  // The next `times` BlockReads (-1: all until cleared) are answered with
  // status 1 and this failure code; code 0 clears.
  void SetBlockFailure(uint8_t failureCode, int times = -1);

  // ---- Observers ----
  // Every application message received from the master in sequence, in order.
  std::vector<std::vector<uint8_t>> ReceivedMessages() const;
  size_t ReceivedCount() const;
  void ClearReceived();
  std::vector<TSimUnnumbered> ReceivedUnnumbered() const;
  TSimReaderStats Stats() const;
  uint8_t Address() const;         // 0 = none
  uint32_t Identity() const;
  // Reset handshake done since power-on / the last address assignment.
  bool Synced() const;
  // Addressed and synchronised: numbered data can flow.
  bool LinkUp() const;
  bool ResetRequestPending() const;
  int SendSeq() const;  // SEQ of the oldest unacknowledged packet
  int RecvSeq() const;  // SEQ expected next from the master
  size_t UnackedCount() const;
  size_t QueuedCount() const;      // numbered messages not yet sent
  // Signal state after 02 FF FF 00 (on) / 02 FF 00 FF (off).
  bool SignalOn() const;
  int FeedbackCount() const;       // ReadFeedback (03 06 00) received
  int VersionRequests() const;     // VersionRequest (0x0A) received
  int BlockOpens() const;          // BlockOpen (18 04 C0 04) received
  int BlockReads() const;          // BlockRead (18 06 b) received
  const TSimReaderConfig& Config() const { return config_; }

  // ---- Loader ----
  // Faults added to (or all removed from) those of config.loader.faults.
  void AddLoaderFault(TSimLoaderFault fault);
  void ClearLoaderFaults();
  // The text sent after VersionRequest: the running program's.
  std::string VersionText() const;
  // Flash contents (empty without a loader).
  std::vector<uint8_t> Flash() const;
  // H8: the bank that runs; nullopt for the other families.
  std::optional<TSimBank> RunningBank() const;
  // AVR: the loader answers instead of the application.
  bool LoaderRunning() const;
  // Restarting or hung: hears and answers nothing.
  bool Down() const;
  // Pages written (their addresses) and blocks erased, in order; commands
  // with a fault or an error result are not among them.
  std::vector<uint32_t> PagesWritten() const;
  std::vector<int> BlocksErased() const;
  // Every loader command received (0x12..0x16, 0x19), whole, in order, also
  // those the running program ignored.
  std::vector<std::vector<uint8_t>> LoaderCommands() const;
  // The bytes after 0x12 in the last unlock command (empty before one).
  std::vector<uint8_t> LastUnlockCode() const;

 private:
  // One byte from the master at the reader's current time.
  void ReceiveByte(uint8_t byte);
  // Takes or refuses an address assignment for `identity`.
  void AssignAddress(uint32_t identity, uint8_t address);
  // A message from the master in sequence: to the loader or the application.
  void Deliver(std::vector<uint8_t> message);
  // Time, programs, loader.
  void Advance(int64_t nowUs);
  bool IsDown() const { return nowUs_ < downUntilUs_; }
  bool ApplicationRunning() const;
  // The answer to a token is out: a restart command whose ACK went with it
  // takes the reader down.
  void AnswerSent();
  // Link and application as at power-on, with `address`; the frame receiver
  // is left alone.
  void ResetLink(uint8_t address);
  void PowerOn();
  void QueueLoaderReplies();
  // The running program's text when it has one.
  void RefreshVersion();

  const TSimReaderConfig config_;
  mutable std::mutex mutex_;
  TSimReaderStats stats_;

  TSimFrameReceiver receiver_{stats_};
  TSimLinkSlave link_{config_, stats_};
  TSimReaderApplication application_{config_.answerVersionRequest};

  // Programs and time.
  std::unique_ptr<TSimLoader> loader_;  // null: no loader (TSimReaderFamily::None)
  std::string version_;
  int64_t nowUs_ = 0;
  int64_t downUntilUs_ = 0;             // down before this time
  bool restartAfterAnswer_ = false;     // restart command in; goes once its ACK is out
  bool restarting_ = false;             // down until the restart is over

  // Every application message received from the master in sequence.
  std::vector<std::vector<uint8_t>> received_;
};

}  // namespace snimac::sim
