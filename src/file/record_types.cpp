// RecordSelector: a record's layout from its type field, read by the record decoder as any field is,
// and compared with the choices' values read the same way (each written by the record builder first).

#include "quor/record_types.hpp"

#include "base/api_guard.hpp"
#include "quor/error.hpp"
#include "quor/text.hpp"

namespace quor {

namespace {

// Type fields of at most this many bytes get a table of every value of their bytes.
constexpr std::size_t kTabledBytes = 2;

bool sameInAnyCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// The field alone, at the start of a record of its own, taking a value.
Layout aloneLayout(const LayoutField& field) {
  Layout layout;
  layout.fields.push_back(field);
  layout.fields.back().role = FieldRole::column;
  layout.fields.back().offset = 0;
  finishLayout(layout);
  return layout;
}

// A value as compared: without the blanks (and ideographic spaces) around it.
std::u16string_view trimmed(std::u16string_view value) {
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\u3000'; };
  while (!value.empty() && blank(value.front())) value.remove_prefix(1);
  while (!value.empty() && blank(value.back())) value.remove_suffix(1);
  return value;
}

}  // namespace

std::optional<LayoutField> findField(std::span<const NamedLayout> layouts, std::string_view name) {
  return base::guarded([&]() -> std::optional<LayoutField> {
    for (const NamedLayout& layout : layouts) {
      const LayoutField* alike = nullptr;
      std::size_t count = 0;
      for (const LayoutField& field : layout.layout.fields) {
        if (field.name == name) return field;
        if (sameInAnyCase(field.name, name)) {
          alike = &field;
          ++count;
        }
      }
      if (count == 1) return *alike;
    }
    return std::nullopt;
  });
}

RecordSelector::RecordSelector(const LayoutField& typeField, std::span<const RecordTypeChoice> choices,
                               const RecordOptions& options, const GaijiMapping& gaiji)
    : field_(typeField), decoder_(aloneLayout(typeField), options, gaiji) {
  base::guarded([&] {
    field_.size = decoder_.layout().recordLength;
    RecordBuilder builder(decoder_.layout(), options, gaiji);
    std::vector<std::u16string> read;
    std::vector<FieldFault> faults;
    const std::string fieldName =
        "the type field" + (field_.name.empty() ? std::string() : " " + field_.name);
    for (const RecordTypeChoice& choice : choices) {
      const std::string value = "'" + toUtf8(choice.value) + "'";
      if (choice.value == u"*") {
        if (fallback_ != kNoLayout)
          throw Error(errors::kInvalidCall, "the value '*' (any other) is given twice");
        fallback_ = choice.layout;
        continue;
      }
      // The value as the builder writes it and the decoder reads it back: the one way it compares.
      ByteString bytes;
      ValueChange change;
      const std::u16string_view values[] = {choice.value};
      try {
        builder.append(values, bytes, std::span<ValueChange>(&change, 1));
      } catch (const Error& e) {
        if (e.number() == errors::kOutOfMemory) throw;
        throw Error(errors::kInvalidCall,
                    "the value " + value + " cannot be written in " + fieldName + ": " +
                        describeFailure(e.number(), choice.value, decoder_.layout().fields[0]));
      }
      if (change.kind != Change::none)
        throw Error(errors::kInvalidCall,
                    "the value " + value + " cannot be written in " + fieldName +
                        " as it reads: " + describeChange(change, choice.value, decoder_.layout().fields[0]));
      decoder_.decode({bytes.data(), bytes.size()}, read, faults);
      const std::u16string compared(trimmed(read.front()));
      for (const RecordTypeChoice& earlier : choices_)
        if (earlier.value == compared)
          throw Error(errors::kInvalidCall,
                      "the value " + value + " is given twice (as '" + toUtf8(compared) + "')");
      choices_.push_back({compared, choice.layout});
    }
    if (field_.size <= kTabledBytes) {
      // Every value of the bytes, read once.
      table_.resize(std::size_t{1} << (8 * field_.size));
      std::uint8_t bytes[kTabledBytes];
      for (std::size_t value = 0; value < table_.size(); ++value) {
        for (std::size_t i = 0; i < field_.size; ++i)
          bytes[i] = static_cast<std::uint8_t>(value >> (8 * (field_.size - 1 - i)));
        decoder_.decode({bytes, field_.size}, read, faults);
        table_[value] = faults.empty() ? choose(trimmed(read.front())) : kNoLayout;
      }
    }
  });
}

std::size_t RecordSelector::choose(std::u16string_view value) const noexcept {
  for (const RecordTypeChoice& choice : choices_)
    if (choice.value == value) return choice.layout;
  return fallback_;
}

std::size_t RecordSelector::select(std::span<const std::uint8_t> record) const {
  if (record.size() < bytesNeeded())
    throw Error(errors::kInvalidCall, "a record too short for its type field");
  const std::uint8_t* bytes = record.data() + field_.offset;
  if (!table_.empty()) {
    std::size_t value = 0;
    for (std::size_t i = 0; i < field_.size; ++i) value = value << 8 | bytes[i];
    return table_[value];
  }
  const char* fault = nullptr;
  const std::u16string value = valueOf(record, fault);
  return fault != nullptr ? kNoLayout : choose(value);
}

std::u16string RecordSelector::valueOf(std::span<const std::uint8_t> record, const char*& fault) const {
  return base::guarded([&] {
    if (record.size() < bytesNeeded())
      throw Error(errors::kInvalidCall, "a record too short for its type field");
    std::vector<std::u16string> read;
    std::vector<FieldFault> faults;
    decoder_.decode(record.subspan(field_.offset, field_.size), read, faults);
    fault = faults.empty() ? nullptr : faults.front().reason;
    return faults.empty() ? std::u16string(trimmed(read.front())) : std::u16string();
  });
}

}  // namespace quor
