#pragma once
// The tables record plans work from: each character as the library's encoders write it and each byte
// and pair as its decoders read it, asked once. Only the plans see them (PlanTables::Data is private).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "quor/gaiji_mapping.hpp"
#include "quor/record_plan.hpp"
#include "quor/text.hpp"

namespace quor::record {

struct PlanTableData {
  GaijiMapping gaiji;  // the mapping the tables were asked with

  // The tables of characters written are made on a plan's first need of each, once for every plan and
  // thread of a run: a run makes only those its layouts' fields are written with. A plan asks for them
  // when it is made, and reads them after. Each unit's entry is asked of the builder when a plan first
  // meets the unit (ask), so a run pays for the characters its input holds, not for all 65,536.
  enum class Written : std::uint8_t { text, jef, hostText, hostNational };
  bool forEncoding = false;  // made for encode plans: the tables of characters written may be asked for
  // Makes `which` if it is not made yet. Throws quor::Error 7 when memory runs out (the table is then
  // made on the next need).
  void need(Written which) const;
  mutable std::once_flag made[4];

  // A UTF-16 unit in a text field (its EBCDIC byte) and in a national field (its JEF pair, the first
  // byte high), where the record builder writes it as it stands, one character after the other, with
  // no change; otherwise kLeftToBuilder. Two bytes an entry keep the tables in the faster caches.
  static constexpr std::uint16_t kLeftToBuilder = 0x0100;  // no EBCDIC byte; a JEF pair never written
  static constexpr std::uint16_t kNotAsked = 0x0101;       // not asked yet; never a byte or a pair kept
  // Plans on several threads read and keep entries at once: each entry is read and written whole (the
  // builder's answer is the same whoever asks). An entry read while another thread may be keeping it:
  [[nodiscard]] static std::uint16_t loaded(const std::uint16_t& entry) noexcept {
    return std::atomic_ref<std::uint16_t>(const_cast<std::uint16_t&>(entry)).load(std::memory_order_relaxed);
  }
  [[nodiscard]] const std::uint16_t* tableOf(Written which) const noexcept {
    switch (which) {
      case Written::text:
        return text.data();
      case Written::jef:
        return jef.data();
      case Written::hostText:
        return hostText.data();
      default:
        return hostNational.data();
    }
  }
  // Asks the builder for the entry of `unit` in the table `which` (made by need()) and keeps it. Never
  // throws: when memory runs out asking, the unit is left to the builder and asked again next time.
  [[gnu::cold, gnu::noinline]] std::uint16_t ask(Written which, char16_t unit) const noexcept;

  std::vector<std::uint16_t> text;  // 65536 units
  std::vector<std::uint16_t> jef;   // 65536 units
  std::uint8_t blank = 0x40;        // a blank in a text field
  std::uint16_t pad = 0;            // an ideographic space in a national field

  bool forDecoding = false;  // made for decode plans: the tables of what bytes and pairs read as are here

  // What a byte of a text field reads back as; 0xFFFF when it is invalid data (a padding byte reads as
  // its character here: the plans drop trailing padding first).
  std::vector<char16_t> ebcdicRead;  // 256 bytes

  // The output bytes of a character read back, up to three, or none (`length` 0) where the decode plan
  // leaves the value to the decoder and the CSV writer: invalid data, or what the writer would quote.
  // Four bytes, read and kept whole as the entries of characters written are.
  struct alignas(4) Piece {
    std::uint8_t bytes[3];
    std::uint8_t length;
  };
  static constexpr std::uint8_t kPieceNotAsked = 0xFF;  // `length` of a pair not asked yet
  [[nodiscard]] static Piece loaded(const Piece& entry) noexcept {
    return std::atomic_ref<Piece>(const_cast<Piece&>(entry)).load(std::memory_order_relaxed);
  }
  // Each pair's piece in UTF-8 and in code page 932, for every plan: pairs that read as ASCII
  // characters, which could be a plan's delimiter, have none. Every entry starts not asked; a plan
  // meeting one asks the decoder there (askPair) and keeps the answer, so a run pays for the pairs its
  // records hold, not for all 65,536.
  std::vector<Piece> jefUtf8;   // 65536 pairs, the first byte high
  std::vector<Piece> jefCp932;  // 65536 pairs

  // Typed text and national fields on the host code page the tables were asked for.
  HostCodePage host = HostCodePage::fujitsu;
  // A unit in a typed text field: its single-byte code (below 0x100) or its double-byte pair (first byte
  // high), written as it stands; otherwise kLeftToBuilder.
  std::vector<std::uint16_t> hostText;  // 65536 units
  // A unit in a typed national field of an IBM page with double-byte characters (empty otherwise).
  std::vector<std::uint16_t> hostNational;  // 65536 units
  std::uint8_t hostBlank = 0x40;
  std::uint16_t hostPad = 0x4040;
  // What a single-byte code of the host page reads back as (0xFFFF: invalid data), and the pairs'
  // pieces, asked as JEF's are (on the Fujitsu page those of JEF above).
  std::vector<char16_t> hostSingleRead;  // 256 bytes
  std::vector<Piece> hostPairUtf8;       // 65536 pairs, IBM pages with double-byte characters
  std::vector<Piece> hostPairCp932;      // 65536 pairs
  [[nodiscard]] const Piece* hostPairs(TextEncoding encoding) const noexcept {
    if (host == HostCodePage::fujitsu) return jefPieces(encoding);
    return (encoding == TextEncoding::utf8 ? hostPairUtf8 : hostPairCp932).data();
  }
  [[nodiscard]] const Piece* jefPieces(TextEncoding encoding) const noexcept {
    return (encoding == TextEncoding::utf8 ? jefUtf8 : jefCp932).data();
  }
  // Asks the decoder what `pair` reads as, a national field's JEF pair (`hostPage` false) or a pair of
  // the host page, and keeps its piece in `encoding`'s table. Never throws: when memory runs out asking,
  // the pair is left to the decoder and asked again next time.
  [[gnu::cold, gnu::noinline]] Piece askPair(bool hostPage, TextEncoding encoding, unsigned pair) const noexcept;
};

// `c` (0xFFFF: invalid data) as `encoding` writes it; no piece for the delimiter, a quote, CR and LF.
PlanTableData::Piece pieceOf(char16_t c, TextEncoding encoding, char delimiter) noexcept;

}  // namespace quor::record

namespace quor {

struct PlanTables::Data : record::PlanTableData {};

}  // namespace quor
