#include "unzip/write_behind.h"

#include <zlib.h>

#include <algorithm>

namespace qv::unzip {

WriteBehind::WriteBehind(size_t slotSize, size_t slotCount) : slotSize_(slotSize), slots_(slotCount) {
  for (auto& s : slots_) {
    s.resize(slotSize);
    free_.push_back(s.data());
  }
  thread_ = std::thread([this] { work(); });
}

WriteBehind::~WriteBehind() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void WriteBehind::begin(Stream& file) {
  std::lock_guard lock(mutex_);
  file_ = &file;
  crc_ = 0;
  failed_ = false;
}

uint8_t* WriteBehind::acquire() {
  std::unique_lock lock(mutex_);
  // Rather than wait for the writer, do part of its work.
  while (free_.empty() && takeQueuedCrc(lock)) {
  }
  changed_.wait(lock, [this] { return !free_.empty(); });
  current_ = free_.back();
  free_.pop_back();
  return current_;
}

void WriteBehind::submit(size_t size) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({current_, size});
    current_ = nullptr;
  }
  changed_.notify_all();
}

bool WriteBehind::finish(uint32_t& crc) {
  std::unique_lock lock(mutex_);
  if (current_) {  // acquired but never submitted: an error cut the entry short
    free_.push_back(current_);
    current_ = nullptr;
  }
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
  crc = crc_;
  file_ = nullptr;
  return !failed_;
}

bool WriteBehind::takeQueuedCrc(std::unique_lock<std::mutex>& lock) {
  // From the back: the writer works from the front.
  auto it = std::find_if(queue_.rbegin(), queue_.rend(), [](const Queued& q) { return q.state == Queued::Crc::Pending; });
  if (it == queue_.rend()) return false;
  Queued& q = *it;  // stays put: the writer removes an entry only once its CRC is taken
  q.state = Queued::Crc::Taking;
  lock.unlock();
  const uint32_t crc = static_cast<uint32_t>(crc32(0, q.slot, static_cast<uInt>(q.size)));
  lock.lock();
  q.crc = crc;
  q.state = Queued::Crc::Taken;
  ++crcsTakenByDecoder_;
  changed_.notify_all();
  return true;
}

size_t WriteBehind::crcsTakenByDecoder() {
  std::lock_guard lock(mutex_);
  return crcsTakenByDecoder_;
}

void WriteBehind::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;
    Queued& q = queue_.front();
    const bool takeCrc = q.state == Queued::Crc::Pending;
    if (takeCrc) q.state = Queued::Crc::Taking;
    busy_ = true;
    Stream* file = file_;
    const bool skip = failed_;
    lock.unlock();
    uint32_t crc = 0;
    bool ok = true;
    if (takeCrc) crc = static_cast<uint32_t>(crc32(0, q.slot, static_cast<uInt>(q.size)));
    if (!skip) ok = file->write(q.slot, q.size) == q.size;
    lock.lock();
    if (takeCrc) {
      q.crc = crc;
      q.state = Queued::Crc::Taken;
    }
    changed_.wait(lock, [&q] { return q.state == Queued::Crc::Taken; });
    crc_ = static_cast<uint32_t>(crc32_combine(crc_, q.crc, static_cast<z_off_t>(q.size)));
    if (!ok) failed_ = true;
    free_.push_back(q.slot);
    queue_.pop_front();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace qv::unzip
