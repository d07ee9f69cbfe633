// TSimReader's observers: what tests and tools read of the reader's parts,
// each under the reader's lock.
#include "sim/sim_reader.h"

#include "sim/sim_loader.h"

namespace snimac::sim {

// ---------------------------------------------------------------- programs, loader

std::string TSimReader::VersionText() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return version_;
}

std::vector<uint8_t> TSimReader::Flash() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->Flash().Bytes() : std::vector<uint8_t>{};
}

std::optional<TSimBank> TSimReader::RunningBank() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->RunningBank() : std::nullopt;
}

bool TSimReader::LoaderRunning() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ && loader_->LoaderRunning();
}

bool TSimReader::Down() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return IsDown();
}

std::vector<uint32_t> TSimReader::PagesWritten() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->PagesWritten() : std::vector<uint32_t>{};
}

std::vector<int> TSimReader::BlocksErased() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->BlocksErased() : std::vector<int>{};
}

std::vector<std::vector<uint8_t>> TSimReader::LoaderCommands() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->Commands() : std::vector<std::vector<uint8_t>>{};
}

std::vector<uint8_t> TSimReader::LastUnlockCode() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->LastUnlock() : std::vector<uint8_t>{};
}

// ---------------------------------------------------------------- observers

std::vector<std::vector<uint8_t>> TSimReader::ReceivedMessages() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return received_;
}

size_t TSimReader::ReceivedCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return received_.size();
}

void TSimReader::ClearReceived() {
  std::lock_guard<std::mutex> guard(mutex_);
  received_.clear();
  link_.ClearReceivedUnnumbered();
}

std::vector<TSimUnnumbered> TSimReader::ReceivedUnnumbered() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.ReceivedUnnumbered();
}

TSimReaderStats TSimReader::Stats() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return stats_;
}

uint8_t TSimReader::Address() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.Address();
}

uint32_t TSimReader::Identity() const { return config_.identity; }

bool TSimReader::Synced() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.Synced();
}

bool TSimReader::LinkUp() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.LinkUp();
}

bool TSimReader::ResetRequestPending() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.ResetRequestPending();
}

int TSimReader::SendSeq() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.SendSeq();
}

int TSimReader::RecvSeq() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.RecvSeq();
}

size_t TSimReader::UnackedCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.UnackedCount();
}

size_t TSimReader::QueuedCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.QueuedCount();
}

bool TSimReader::SignalOn() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return application_.SignalOn();
}

int TSimReader::FeedbackCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return application_.FeedbackCount();
}

int TSimReader::VersionRequests() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return application_.VersionRequests();
}

int TSimReader::BlockOpens() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return application_.BlockOpens();
}

int TSimReader::BlockReads() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return application_.BlockReads();
}

}  // namespace snimac::sim
