#include "unzip/zip_streams.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace qv::unzip {

TBufferedStream::TBufferedStream(Stream& inner, size_t bufferSize) : inner_(&inner), buffer_(bufferSize) {}

TBufferedStream::~TBufferedStream() { flush(); }

int64_t TBufferedStream::logicalPosition() const {
  if (state_ == State::Reading) return innerPos_ - static_cast<int64_t>(fill_ - pos_);
  if (state_ == State::Writing) return innerPos_ + static_cast<int64_t>(fill_);
  return innerPos_;
}

bool TBufferedStream::flush() {
  if (state_ != State::Writing || fill_ == 0) return true;
  const size_t n = inner_->write(buffer_.data(), fill_);
  innerPos_ += static_cast<int64_t>(n);
  const bool ok = n == fill_;
  fill_ = 0;
  return ok;
}

size_t TBufferedStream::read(void* out, size_t count) {
  if (state_ == State::Writing) {
    flush();
    fill_ = pos_ = 0;
  }
  if (state_ != State::Reading) {
    state_ = State::Reading;
    fill_ = pos_ = 0;
  }
  auto* dst = static_cast<unsigned char*>(out);
  size_t done = 0;
  while (done < count) {
    if (pos_ == fill_) {
      const size_t want = count - done;
      if (want >= buffer_.size()) {
        const size_t n = inner_->read(dst + done, want);
        innerPos_ += static_cast<int64_t>(n);
        fill_ = pos_ = 0;
        return done + n;
      }
      fill_ = inner_->read(buffer_.data(), buffer_.size());
      innerPos_ += static_cast<int64_t>(fill_);
      pos_ = 0;
      if (fill_ == 0) break;
    }
    const size_t take = std::min(count - done, fill_ - pos_);
    std::memcpy(dst + done, buffer_.data() + pos_, take);
    pos_ += take;
    done += take;
  }
  return done;
}

size_t TBufferedStream::write(const void* in, size_t count) {
  if (state_ == State::Reading) {
    // Drop what was read ahead: the wrapped stream must stand where the caller thinks it is.
    const int64_t logical = logicalPosition();
    innerPos_ = inner_->seek(logical, SeekOrigin::Begin);
    fill_ = pos_ = 0;
  }
  state_ = State::Writing;
  const auto* src = static_cast<const unsigned char*>(in);
  if (fill_ == 0 && count >= buffer_.size()) {
    const size_t n = inner_->write(src, count);
    innerPos_ += static_cast<int64_t>(n);
    return n;
  }
  size_t done = 0;
  while (done < count) {
    const size_t take = std::min(count - done, buffer_.size() - fill_);
    std::memcpy(buffer_.data() + fill_, src + done, take);
    fill_ += take;
    done += take;
    if (fill_ == buffer_.size() && !flush()) return done - take;
  }
  return done;
}

int64_t TBufferedStream::seek(int64_t offset, SeekOrigin origin) {
  const int64_t here = logicalPosition();
  if (origin == SeekOrigin::Current && offset == 0) return here;
  if (origin == SeekOrigin::Begin && offset == here) return here;
  if (state_ == State::Reading && origin != SeekOrigin::End) {
    // Inside what was read ahead: move within the buffer instead of dropping it, so stepping over
    // the extra fields and comments of a directory costs no reads.
    const int64_t target = origin == SeekOrigin::Current ? here + offset : offset;
    const int64_t bufferStart = innerPos_ - static_cast<int64_t>(fill_);
    if (target >= bufferStart && target <= innerPos_) {
      pos_ = static_cast<size_t>(target - bufferStart);
      return target;
    }
  }
  flush();
  const int64_t target = origin == SeekOrigin::Current ? here + offset : offset;
  innerPos_ = inner_->seek(target, origin == SeekOrigin::End ? SeekOrigin::End : SeekOrigin::Begin);
  fill_ = pos_ = 0;
  state_ = State::Unknown;
  return innerPos_;
}

int64_t TBufferedStream::size() {
  flush();
  if (state_ == State::Writing) state_ = State::Unknown;
  return inner_->size();
}

TBufferedFileStream::TBufferedFileStream(size_t bufferSize) : TBufferedStream(file_, bufferSize) {}

TBufferedFileStream::~TBufferedFileStream() { close(); }

bool TBufferedFileStream::open(const std::string& utf8Path, NativeFile::Mode mode, std::string* error, bool* exists) {
  close();
  resetBuffer();
  return file_.open(utf8Path, mode, error, exists);
}

bool TBufferedFileStream::close(bool flushToDisk) {
  if (!file_.isOpen()) return true;
  bool ok = flush();
  resetBuffer();
  if (flushToDisk) ok = file_.flushToDisk() && ok;
  return file_.close() && ok;
}

}  // namespace qv::unzip
