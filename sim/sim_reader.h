// The simulated card reader: the slave side of the reader link (the packet
// format and link state seen from the other end) and the reader's application.
//
// Written from the wire description only, independent of the master's code
// (link/packet.*, link/frame_reader.*, link/proto_slave.*), so that it can
// catch the master's faults. Pure logic, no time: bytes from the master go in
// through OnByte, the answer to a token addressed to the reader comes out of
// TakeOutput already framed and stuffed. The bus (TSimD2xx) adds the wire's
// timing. Every public operation takes the reader's own lock, so a test may
// present cards from one thread while the link thread drives the bus.
//
// Link behaviour (the slave's mirror of the master's rules):
// - Frames: 0xC0, stuffed packet, 0xC1 (tokens: no end byte). The receiver
//   restarts on every 0xC0, drops frames longer than 36 bytes, shorter than 4
//   bytes, with a dangling escape, or with a bad CRC (counted, never handled).
// - Address: unassigned at power-on (unless configured). An address assignment
//   (to 0x7F, control 0x83, sub-type 0x01, identity MSB first, new address) is
//   accepted when the identity is the reader's or 0xFFFFFFFF. A reader without
//   an address, or tokens for another address, get no answer at all.
// - Answer to a token: [0x82 owed] [0x81 own reset request] [data: due resends,
//   then new packets up to the window | ACK-only 0xC0|ack when an ACK is owed
//   and no data goes out] [unnumbered packets] and its own token, at most
//   `maxFramesPerAnswer` frames in all (the master handles 9 per turn).
// - Sequence numbers: numbered data waits for a reset handshake after power-on
//   and after every accepted address assignment (the master always resets the
//   sequence after addressing, and discards slave data while its reset is
//   pending). The master's 0x81 resets both numbers, is answered with 0x82 and
//   completes the handshake; RequestReset sends 0x81 in every answer until the
//   master's 0x82. While unsynchronised, master data is neither delivered nor
//   acknowledged. Unacknowledged packets survive a reset and are sent again
//   numbered from SEQ 0 (unless keepUnackedOnReset is false).
// - Resend policy (go-back-N): any ACK from the master reflects every answer
//   the master has read before it built that packet, so an ACK that leaves
//   packets unacknowledged means those were lost: all of them are sent again,
//   from the oldest, in the next answer. The master sends no ACK at all when it
//   received nothing (its ACK-only packet is also never followed by a token),
//   so packets still unacknowledged at the `resendAfterTokens`-th token after
//   their transmission are sent again too. A healthy master acknowledges before
//   the second token, so the default (2) causes no spurious resends.
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
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_loader_config.h"

namespace snimac::sim {

struct TSimReaderConfig {
  // Device identity matched by the address assignment (0xFFFFFFFF matches any).
  uint32_t identity = 0x00012345;
  // Version text sent in 8-character VersionFragment messages (0x85).
  std::string version = "MXT_A FW v4.0 Sep  1 2011";
  // Address at power-on; 0 = none until an address assignment arrives.
  uint8_t address = 0;
  // Most numbered packets unacknowledged at once.
  int windowSize = 4;
  // Unacknowledged packets are sent again at this token after their
  // transmission when no ACK came in between (see the resend policy).
  int resendAfterTokens = 2;
  // Frames in one answer, the reader's own token included.
  int maxFramesPerAnswer = 9;
  // Whether unacknowledged packets survive a sequence reset (sent again from
  // SEQ 0) or are dropped.
  bool keepUnackedOnReset = true;
  // Whether VersionRequest (0x0A) is answered.
  bool answerVersionRequest = true;
  // The reader family and its loader; the default has none.
  TSimLoaderConfig loader;
};

struct TSimReaderStats {
  uint64_t bytesReceived = 0;
  uint64_t framesReceived = 0;     // complete frames with a good CRC (any address), tokens excluded
  uint64_t badCrcFrames = 0;       // dropped: CRC check failed
  uint64_t malformedFrames = 0;    // dropped: too short, too long, dangling escape, cut by 0xC0
  uint64_t framesForOthers = 0;    // good frames for another address (or before an address)
  uint64_t tokensReceived = 0;     // tokens for any address
  uint64_t tokensAnswered = 0;     // tokens for this reader, answered
  uint64_t addressAssignments = 0; // accepted
  uint64_t addressRefused = 0;     // identity did not match
  uint64_t resetRequestsReceived = 0;  // master's 0x81
  uint64_t resetAcksReceived = 0;      // master's 0x82
  uint64_t resetRequestsSent = 0;      // own 0x81
  uint64_t resetAcksSent = 0;          // own 0x82
  uint64_t dataDelivered = 0;      // master data in sequence, delivered to the application
  uint64_t dataRepeated = 0;       // master data with SEQ one below the expected one
  uint64_t dataUnexpected = 0;     // master data out of order
  uint64_t dataIgnored = 0;        // master data while unsynchronised / own reset pending
  uint64_t acksReceived = 0;       // ACK-only packets from the master
  uint64_t invalidAcks = 0;        // ACK beyond the unacknowledged packets
  uint64_t unknownControl = 0;     // control codes the reader does not handle
  uint64_t unnumberedReceived = 0; // 0x83 packets at the reader's address
  uint64_t dataSent = 0;           // new numbered packets
  uint64_t dataResent = 0;         // numbered packets sent again
  uint64_t ackOnlySent = 0;
  uint64_t unnumberedSent = 0;
  uint64_t goBackEvents = 0;       // times all unacknowledged packets were marked for resending
  uint64_t bytesWhileDown = 0;     // bytes that arrived while the reader was down (restart, hang)
  uint64_t restarts = 0;           // comebacks after the restart command (H8)
  uint64_t programSwitches = 0;    // application <-> loader (AVR)
};

// One unnumbered packet received at the reader's address (not the address
// assignment): its sub-type and the bytes after it.
struct TSimUnnumbered {
  uint8_t subType = 0;
  std::vector<uint8_t> data;
};

class TSimLoader;

class TSimReader {
 public:
  // Maximal packet (address to CRC) and data payload.
  static constexpr size_t kMaxPacket = 36;
  static constexpr size_t kMaxPayload = 32;

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
  bool SendMessage(std::vector<uint8_t> payload);
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
  struct TOutPacket {
    std::vector<uint8_t> payload;
    bool due = true;  // to be (re)sent in the next answer
  };

  // Frame receiver.
  void ReceiveByte(uint8_t byte);
  void ResetReceiver();
  void FrameComplete();
  void HandlePacket(const uint8_t* p, size_t n);  // good CRC, CRC stripped
  void HandleToken(uint8_t addressByte);
  void HandleAddressAssignment(const uint8_t* p, size_t n);
  void HandleData(uint8_t control, const uint8_t* payload, size_t n);
  void AckUpTo(int ack);
  void ResetSequence();
  void MarkAllDue();
  void Deliver(const std::vector<uint8_t>& message);
  void QueueMessage(std::vector<uint8_t> payload);
  void Answer();
  void EmitPacket(const std::vector<uint8_t>& packet);  // appends CRC, frames
  void EmitToken();
  // Time, programs, loader.
  void Advance(int64_t nowUs);
  bool IsDown() const { return nowUs_ < downUntilUs_; }
  bool ApplicationRunning() const;
  // Link state as at power-on, with `address`; the frame receiver is left alone.
  void ResetLink(uint8_t address);
  void PowerOn();
  void QueueLoaderReplies();
  // The running program's text when it has one.
  void RefreshVersion();

  const TSimReaderConfig config_;
  mutable std::mutex mutex_;

  // Receiver state.
  bool inFrame_ = false;
  bool escape_ = false;
  bool overflow_ = false;
  std::vector<uint8_t> frame_;

  // Link state.
  uint8_t address_ = 0;
  bool synced_ = false;
  bool resetRequested_ = false;   // own 0x81 until the master's 0x82
  bool resetAckOwed_ = false;     // master's 0x81 to be answered with 0x82
  bool ackOwed_ = false;
  int sendSeq_ = 0;
  int recvSeq_ = 0;
  int tokensWaiting_ = 0;         // tokens since the last transmission / ACK
  std::deque<TOutPacket> unacked_;
  std::deque<std::vector<uint8_t>> queue_;
  std::deque<TSimUnnumbered> unnumbered_;
  std::vector<uint8_t> injected_;
  std::vector<uint8_t> output_;

  // Programs and time.
  std::unique_ptr<TSimLoader> loader_;  // null: no loader (TSimReaderFamily::None)
  std::string version_;
  int64_t nowUs_ = 0;
  int64_t downUntilUs_ = 0;             // down before this time
  bool restartAfterAnswer_ = false;     // restart command in; goes once its ACK is out
  bool restarting_ = false;             // down until the restart is over

  // Application state.
  std::vector<std::vector<uint8_t>> received_;
  std::vector<TSimUnnumbered> receivedUnnumbered_;
  std::vector<uint8_t> blocks_;   // 48 bytes or empty
  uint8_t blockFailureCode_ = 0;
  int blockFailureTimes_ = 0;
  bool signalOn_ = false;
  int feedbackCount_ = 0;
  int versionRequests_ = 0;
  int blockOpens_ = 0;
  int blockReads_ = 0;

  TSimReaderStats stats_;
};

}  // namespace snimac::sim
