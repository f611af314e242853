#include "unzip/write_behind.h"

#include <zlib.h>

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
  changed_.wait(lock, [this] { return !free_.empty(); });
  current_ = free_.back();
  free_.pop_back();
  return current_;
}

void WriteBehind::submit(size_t size) {
  {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(current_, size);
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

void WriteBehind::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;
    const auto [slot, size] = queue_.front();
    queue_.pop_front();
    busy_ = true;
    Stream* file = file_;
    uint32_t crc = crc_;
    const bool skip = failed_;
    lock.unlock();
    bool ok = true;
    if (!skip) {
      crc = static_cast<uint32_t>(crc32(crc, slot, static_cast<uInt>(size)));
      ok = file->write(slot, size) == size;
    }
    lock.lock();
    crc_ = crc;
    if (!ok) failed_ = true;
    busy_ = false;
    free_.push_back(slot);
    changed_.notify_all();
  }
}

}  // namespace qv::unzip
