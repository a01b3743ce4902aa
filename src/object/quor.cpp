// The converter object: creation, destruction, the version, the gaiji file property, and the public
// single-field encoders, each a guarded call into its encoder.

#include "quor/quor.hpp"

#include <cstdint>

#include "base/api_guard.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/jef.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "object/fields.hpp"
#include "quor/version.hpp"

namespace quor {

using base::guarded;

Quor::Quor() : fields_(guarded([] { return std::make_unique<Fields>(); })) {}
Quor::~Quor() = default;
Quor::Quor(Quor&&) noexcept = default;
Quor& Quor::operator=(Quor&&) noexcept = default;

Quor::Fields& Quor::live() {
  if (!fields_) throw Error(errors::kInvalidCall);
  return *fields_;
}

const Quor::Fields& Quor::live() const {
  if (!fields_) throw Error(errors::kInvalidCall);
  return *fields_;
}

std::u16string Quor::Version() const {
  return guarded([] {
    std::u16string text;
    for (int part : {kVersionMajor, kVersionMinor, kVersionPatch}) {
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
    ByteString out;
    numeric::appendZoned(ConvertString, ConvertLength, ConvertSign, out);
    return out;
  });
}

ByteString Quor::FujitsuPack(std::u16string_view ConvertString, std::int32_t ConvertLength,
                             bool ConvertSign) const {
  return guarded([&] {
    (void)live();
    ByteString out;
    numeric::appendPacked(ConvertString, ConvertLength, ConvertSign, out);
    return out;
  });
}

ByteString Quor::SJIStoEBCDICK(std::u16string_view SJIS_Character, std::int32_t ConvertLength) const {
  return guarded([&] {
    (void)live();
    ByteString out;
    character::appendEbcdicKana(SJIS_Character, ConvertLength, out);
    return out;
  });
}

ByteString Quor::FujitsuJEF(std::u16string_view SJIS_Kanji, std::int32_t ConvertLength) const {
  return guarded([&] {
    const Fields& f = live();
    ByteString out;
    // The mapping file is read once for the call, and only when there is a character to look up in a
    // field that has room for it.
    if (f.pinnedGaiji) {
      character::appendJef(SJIS_Kanji, ConvertLength, *f.pinnedGaiji, out);
    } else if (SJIS_Kanji.empty() || character::jefFieldBytes(ConvertLength) == 0) {
      character::appendJef(SJIS_Kanji, ConvertLength, GaijiMapping(), out);
    } else {
      character::appendJef(SJIS_Kanji, ConvertLength, GaijiMapping::read(f.gaijiFilePath), out);
    }
    return out;
  });
}

}  // namespace quor
