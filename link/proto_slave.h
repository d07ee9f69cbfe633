// The link's endpoint for one addressed device: the per-slave link state and
// its poll turn (address assignment, reset handshake, numbered data with a
// window of 4 and cumulative ACK, liveness), and the application queues
// towards the window.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

#include "link/proto_message.h"
#include "link/text_log.h"

namespace snimac {

class TProtocol;

// One-byte messages the link itself delivers to the application.
constexpr uint8_t kMsgSlaveWakes = 0xA0;
constexpr uint8_t kMsgSlaveDies = 0xA1;

class TProtoSlave {
 public:
  enum TLinkState : uint8_t { Alive = 0, Lost = 1, Initial = 2 };

  // Registers with the link; polled from then on, silent until opened.
  TProtoSlave(TProtocol& link, TTextMessageQueue* log);
  // Unregisters first, so the link thread never polls an endpoint being destroyed.
  virtual ~TProtoSlave();
  TProtoSlave(const TProtoSlave&) = delete;
  TProtoSlave& operator=(const TProtoSlave&) = delete;

  // A negative address takes the lowest free one from the link; throws
  // std::runtime_error("Can't allocate slave address") when none is free.
  bool Open(int32_t identity, int address);

  virtual void Restart(bool loader);
  // Hands one received payload to the application; > 0 when it was taken.
  virtual int Receive(const uint8_t* bytes, int count);
  virtual TProtoMessagePtr GetNextPacket();
  virtual int Log(TLogLevel level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  virtual void Dies();
  virtual void Wakes();
  virtual void Notify() {}

  // One poll turn; link thread only, link lock held.
  void Poll();
  // -1 rejected, 0 the slave's token, 1 handled. Length without the CRC.
  int HandleFrame(const uint8_t* frame, int length);
  int AckUpTo(int ack);

  // UI thread: oldest received message, or none.
  TProtoMessagePtr GetReceived();
  // Queues a message that is sent before the window is asked for more.
  void PutOutgoing(TProtoMessagePtr message);
  // Drops every waiting and unacknowledged outgoing message.
  void Flush();

  // Link state, guarded by the link's lock.
  int WindowSize = 4;
  int WakeThreshold = 2;
  int DeathThreshold = 4;
  int SendSeq = 0;
  int RecvSeq = 0;
  bool NeedAddress = false;
  bool ResetPending = false;
  bool ResetAckPending = false;
  bool AckPending = false;
  bool PollAgain = false;
  TLinkState LinkState = Initial;
  int32_t Identity = 0;
  int Address = 0;
  int Score = 0;
  int PollInterval = 200;  // valid before Open: the link reschedules unopened endpoints too
  bool Active = false;
  int AddressRepeat = 0;
  // Next poll time in ms of the link's steady clock; 0 = due at once.
  // Changed only while the endpoint is out of the link's schedule.
  int64_t NextDue = 0;

  size_t UnackedCount() const { return UnackedQueue.size(); }
  TProtocol& Link() { return link_; }

 protected:
  // Leaves the link (waiting for a turn in progress). A derived endpoint calls
  // this first thing in its destructor: once its own destructor runs, the link
  // thread must no longer be able to reach its overrides.
  void Withdraw();

  TProtocol& link_;
  TTextMessageQueue* log_;

 private:
  friend class TProtocol;
  std::deque<TProtoMessagePtr> UnackedQueue;  // link lock
  std::deque<TProtoMessagePtr> OutQueue;      // endpoint lock
  std::deque<TProtoMessagePtr> RecvQueue;     // endpoint lock
  std::recursive_mutex Lock;

  void SendNewData(bool& expectAnswer);
  void ReadAnswer(int& answered);
  void UpdateLiveness(int answered);
  int HandleControl(uint8_t control, const uint8_t* frame, int length);
  int HandleData(uint8_t control, const uint8_t* frame, int length);
};

}  // namespace snimac
