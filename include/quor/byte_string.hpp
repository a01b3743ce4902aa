#pragma once
// ByteString: the bytes an encoder returns. On the automation interface these bytes travel in a text
// slot; here they are a plain contiguous byte sequence whose length may be odd.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace quor {

class ByteString {
 public:
  using value_type = std::uint8_t;
  using const_iterator = std::vector<std::uint8_t>::const_iterator;
  using iterator = std::vector<std::uint8_t>::iterator;

  ByteString() = default;
  explicit ByteString(std::size_t count, std::uint8_t fill = 0) : bytes_(count, fill) {}
  ByteString(std::initializer_list<std::uint8_t> bytes) : bytes_(bytes) {}
  ByteString(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {}

  // The UTF-16LE bytes of a text, as a plain text placed in a ByteString slot reads: "1" is 31 00.
  [[nodiscard]] static ByteString fromText(std::u16string_view text);

  [[nodiscard]] std::size_t size() const noexcept { return bytes_.size(); }
  [[nodiscard]] bool empty() const noexcept { return bytes_.empty(); }
  [[nodiscard]] const std::uint8_t* data() const noexcept { return bytes_.data(); }
  [[nodiscard]] std::uint8_t* data() noexcept { return bytes_.data(); }
  [[nodiscard]] const_iterator begin() const noexcept { return bytes_.begin(); }
  [[nodiscard]] const_iterator end() const noexcept { return bytes_.end(); }
  [[nodiscard]] iterator begin() noexcept { return bytes_.begin(); }
  [[nodiscard]] iterator end() noexcept { return bytes_.end(); }
  [[nodiscard]] std::uint8_t operator[](std::size_t i) const noexcept { return bytes_[i]; }
  [[nodiscard]] std::uint8_t& operator[](std::size_t i) noexcept { return bytes_[i]; }

  void append(const ByteString& other) {
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
  }
  void append(const std::uint8_t* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  void push_back(std::uint8_t byte) { bytes_.push_back(byte); }
  void reserve(std::size_t n) { bytes_.reserve(n); }
  void resize(std::size_t n, std::uint8_t fill = 0) { bytes_.resize(n, fill); }
  void clear() noexcept { bytes_.clear(); }

  friend bool operator==(const ByteString&, const ByteString&) = default;

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace quor
