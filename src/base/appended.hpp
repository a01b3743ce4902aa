#pragma once
// Room at the end of a ByteString for an encoder to write a field into, taken back when the encoder
// fails before it is done: an encoder that throws leaves its output as it found it.

#include <cstddef>
#include <cstdint>

#include "quor/byte_string.hpp"

namespace quor::base {

class Appended {
 public:
  // `count` more bytes of `fill` at the end of `out`.
  Appended(ByteString& out, std::size_t count, std::uint8_t fill = 0) : out_(out), start_(out.size()) {
    out.resize(start_ + count, fill);
  }
  Appended(const Appended&) = delete;
  Appended& operator=(const Appended&) = delete;
  ~Appended() {
    if (!done_) out_.resize(start_);
  }

  [[nodiscard]] std::uint8_t* data() noexcept { return out_.data() + start_; }
  [[nodiscard]] std::size_t size() const noexcept { return out_.size() - start_; }
  // The bytes are complete: keep them.
  void done() noexcept { done_ = true; }

 private:
  ByteString& out_;
  std::size_t start_;
  bool done_ = false;
};

}  // namespace quor::base
