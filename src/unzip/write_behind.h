#pragma once
// Writes a large entry's output on a second thread while the first one keeps decoding: the CRC-32
// and the system's write take about a third of the time of a big deflated entry, and on two cores
// they need not wait for each other. Slots are allocated once per run and handed back and forth; the
// file and the CRC belong to the writer between begin() and finish().
// Each slot's CRC is taken on its own and joined to the entry's with crc32_combine, so whichever
// thread is idle can take it: where data come fast (stored blocks of incompressible data) the decoder
// would otherwise wait for free slots while the writer does all the CRC work.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "unzip/zip_stream.h"

namespace qv::unzip {

class WriteBehind {
 public:
  WriteBehind(size_t slotSize, size_t slotCount);
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  void begin(Stream& file);
  // A free slot to fill (waits while all are queued).
  uint8_t* acquire();
  size_t slotSize() const { return slotSize_; }
  // Queues the slot last acquired, holding `size` bytes.
  void submit(size_t size);
  // Waits until everything queued is written. False when the file took fewer bytes than given.
  bool finish(uint32_t& crc);
  // How many slots' CRCs the decoding thread has taken instead of waiting (for tests and tuning).
  size_t crcsTakenByDecoder();

 private:
  void work();

  size_t slotSize_;
  std::vector<std::vector<uint8_t>> slots_;
  std::vector<uint8_t*> free_;
  struct Queued {
    uint8_t* slot;
    size_t size;
    uint32_t crc = 0;
    enum class Crc { Pending, Taking, Taken } state = Crc::Pending;
  };
  // Takes the CRC of the last queued slot nobody has taken yet; false when there is none. Called
  // with the lock held, releases it while working.
  bool takeQueuedCrc(std::unique_lock<std::mutex>& lock);

  // Slots waiting to be written, in file order. An entry stays here until written, so the decoder
  // may still be taking its CRC while the writer writes it.
  std::deque<Queued> queue_;
  uint8_t* current_ = nullptr;
  bool busy_ = false;
  bool stop_ = false;
  bool failed_ = false;
  uint32_t crc_ = 0;
  size_t crcsTakenByDecoder_ = 0;
  Stream* file_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace qv::unzip
