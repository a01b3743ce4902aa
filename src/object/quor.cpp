// The converter object: creation, destruction, the version, the gaiji file property, and the public
// single-field encoders, each a thin guarded call into its subsystem.

#include "quor/quor.hpp"

#include <cstdint>

#include "character/ebcdic_kana.hpp"
#include "character/jef.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "object/api_guard.hpp"
#include "object/fields.hpp"
#include "object/limits.hpp"

namespace quor {

using detail::guarded;

Quor::Quor() : fields_(guarded([] { return std::make_unique<Fields>(); })) {}
Quor::~Quor() = default;
Quor::Quor(Quor&&) noexcept = default;
Quor& Quor::operator=(Quor&&) noexcept = default;

Quor::Fields& Quor::live() const {
  if (!fields_) throw Error(errors::kInvalidCall);
  return *fields_;
}

std::u16string Quor::Version() const {
  return guarded([] {
    constexpr int major = 1, minor = 0, revision = 0;
    std::u16string text;
    for (int part : {major, minor, revision}) {
      if (!text.empty()) text += u'.';
      for (char c : std::to_string(part)) text += static_cast<char16_t>(c);
    }
    return text;
  });
}

std::u16string Quor::JEFGaijiFilePath() const {
  return guarded([&] { return live().gaijiFilePath; });
}

void Quor::JEFGaijiFilePath(std::u16string_view vNewValue) {
  guarded([&] { live().gaijiFilePath.assign(vNewValue); });
}

void Quor::PinGaijiMapping(GaijiMapping mapping) {
  guarded([&] { live().pinnedGaiji = std::move(mapping); });
}

void Quor::UnpinGaijiMapping() noexcept {
  if (fields_) fields_->pinnedGaiji.reset();
}

ByteString Quor::FujitsuZoneFD(std::u16string_view ConvertString, std::int32_t ConvertLength,
                               bool ConvertSign) const {
  return guarded([&] {
    (void)live();
    return numeric::encodeZoned(ConvertString, ConvertLength, ConvertSign);
  });
}

ByteString Quor::FujitsuPack(std::u16string_view ConvertString, std::int32_t ConvertLength,
                             bool ConvertSign) const {
  return guarded([&] {
    (void)live();
    return numeric::encodePacked(ConvertString, ConvertLength, ConvertSign);
  });
}

ByteString Quor::SJIStoEBCDICK(std::u16string_view SJIS_Character, std::int32_t ConvertLength) const {
  return guarded([&] {
    (void)live();
    if (ConvertLength > 0 && static_cast<std::size_t>(ConvertLength) > detail::kMaxResultBytes)
      throw Error(errors::kOutOfMemory);
    return character::encodeEbcdicKana(SJIS_Character, ConvertLength);
  });
}

ByteString Quor::FujitsuJEF(std::u16string_view SJIS_Kanji, std::int32_t ConvertLength) const {
  return guarded([&] {
    const Fields& f = live();
    // An output that cannot be set up (a length below 1, 2 x length beyond 32 bits or beyond the
    // memory a call may take) gives the empty result; the characters could write nothing.
    if (ConvertLength < 1 || ConvertLength > INT32_MAX / 2 ||
        2 * static_cast<std::size_t>(ConvertLength) > detail::kMaxResultBytes)
      return ByteString();
    if (f.pinnedGaiji) return character::encodeJef(SJIS_Kanji, ConvertLength, *f.pinnedGaiji);
    // The mapping file is read once for the call, and only when there is a character to look up.
    const bool writes = !SJIS_Kanji.empty();
    const GaijiMapping mapping = writes ? GaijiMapping::read(f.gaijiFilePath) : GaijiMapping();
    return character::encodeJef(SJIS_Kanji, ConvertLength, mapping);
  });
}

}  // namespace quor
