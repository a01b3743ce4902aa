// Files of records both ways, for every framing, two record types and layouts of any kind:
// - reading: the frame reader accounts for every byte of any input, however the bytes are handed to
//   it (whole, or a few at a time), finding the same records and bad frames; a V input read without a
//   bad frame is written again to the same bytes;
// - decode then encode is the identity: records of two layouts told apart by a type byte, taken from
//   the input and brought to the form the builder writes (a V or VB record may end before its last
//   columns; a layout with varying tables makes each as long as its counters say), are framed into a
//   file; reading it back, selecting each record's layout, decoding it and
//   writing its values again as a ragged CSV line and as a JSON Lines object, reading those back,
//   building the records and framing them again gives the same file.
//
// Input: byte 0 the framing (bits 0-1 F, V or VB; bit 2 a little-endian RDW; bit 3 an RDW counting the
// data only; bits 4-7 the VB block size, bit 4 also numbers read with their leading zeros kept), then
// two layouts (fuzz_support.hpp layoutOf, each to its 0xFF), then the records, each a byte (bit 0 its
// layout, bits 1-7 the columns a V record keeps) and its layout's bytes; then the rest, read as a
// framed file of its own.
// - starting again: a record stream started at any place where the stream reading the whole input
//   stood at a boundary reads from there the same records and bad frames as the whole reading does,
//   as a reader of one partition of a file does.

#include <span>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "quor/csv.hpp"
#include "quor/csv_writer.hpp"
#include "quor/framing.hpp"
#include "quor/json_lines.hpp"
#include "quor/record.hpp"
#include "quor/record_stream.hpp"
#include "quor/record_types.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The records and bad frames of `input` read `chunk` bytes more at a time: each record's bytes, and
// for a bad frame its offset; every byte is consumed once.
std::vector<Bytes> framesOf(const quor::Framing& framing, std::span<const std::uint8_t> input,
                            std::size_t chunk, std::size_t fixed, std::vector<std::size_t>& bad) {
  quor::FrameReader reader(framing);
  std::vector<Bytes> records;
  std::size_t done = 0;
  std::size_t held = 0;
  for (;;) {
    const bool atEnd = held == input.size();
    const quor::Frame frame = reader.next(input.subspan(done, held - done), atEnd, fixed);
    QUOR_FUZZ_CHECK(frame.consumed <= held - done);
    if (frame.status == quor::FrameStatus::record) {
      QUOR_FUZZ_CHECK(frame.begin + frame.length <= frame.consumed);
      records.emplace_back(input.begin() + static_cast<std::ptrdiff_t>(done + frame.begin),
                           input.begin() + static_cast<std::ptrdiff_t>(done + frame.begin + frame.length));
    } else if (frame.status == quor::FrameStatus::bad) {
      QUOR_FUZZ_CHECK(frame.problem != quor::FrameProblem::none && !quor::describeFrame(frame).empty());
      bad.push_back(done + frame.at);
    } else if (frame.status == quor::FrameStatus::end) {
      QUOR_FUZZ_CHECK(atEnd && done + frame.consumed == input.size());
      return records;
    } else {
      QUOR_FUZZ_CHECK(!atEnd);
      held = std::min(input.size(), held + chunk);
    }
    done += frame.consumed;
  }
}

// What a RecordStream reads of `input` from byte `from` on: the records, the offsets of bad frames, and
// the places it stood at a boundary, with the records before each.
struct StreamRead {
  std::vector<Bytes> records;
  std::vector<std::size_t> bad;
  std::vector<std::pair<std::size_t, std::size_t>> places;
};

StreamRead streamOf(const quor::Framing& framing, std::span<const std::uint8_t> input, std::size_t from,
                    std::size_t fixed) {
  quor::RecordStream stream(framing, {}, nullptr, fixed);
  StreamRead read;
  for (std::size_t done = from;;) {
    if (stream.atBoundary()) read.places.emplace_back(done, stream.records());
    const quor::RecordStream::Item item = stream.next(input.subspan(done), true);
    QUOR_FUZZ_CHECK(item.kind != quor::RecordStream::Item::Kind::needMore);
    if (item.kind == quor::RecordStream::Item::Kind::end) return read;
    if (item.kind == quor::RecordStream::Item::Kind::record)
      read.records.emplace_back(input.begin() + static_cast<std::ptrdiff_t>(done + item.begin),
                                input.begin() + static_cast<std::ptrdiff_t>(done + item.begin + item.length));
    else
      read.bad.push_back(done + item.begin);
    done += item.consumed;
  }
}

// A layout from the input with a one-byte text type field in front.
quor::Layout typedLayout(quor::fuzz::Input& in) {
  quor::Layout layout = quor::fuzz::layoutOf(in, 16);
  quor::LayoutField type;
  type.name = "type";
  type.kind = quor::FieldKind::text;
  type.length = 1;
  layout.fields.insert(layout.fields.begin(), type);
  // Every field, table and overlay moves one field and one byte on.
  for (quor::VaryingTable& table : layout.tables) {
    ++table.counter;
    ++table.first;
  }
  for (std::size_t i = 1; i < layout.fields.size(); ++i)
    if (layout.fields[i].role == quor::FieldRole::overlay) ++layout.fields[i].offset;
  // Names of their own, as JSON keys must be.
  for (std::size_t i = 1; i < layout.fields.size(); ++i) layout.fields[i].name = "f" + std::to_string(i);
  quor::finishLayout(layout);
  return layout;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  const std::uint8_t flags = in.byte();
  quor::Framing framing;
  framing.format = static_cast<quor::RecordFormat>(flags % 3);
  framing.littleEndianRdw = (flags & 4u) != 0;
  framing.rdwCountsData = (flags & 8u) != 0;
  framing.blockSize = quor::kSmallestBlock + 37 * (flags >> 4);
  const bool fixed = framing.format == quor::RecordFormat::fixed;
  const std::vector<quor::NamedLayout> layouts{{"ONE", typedLayout(in)}, {"TWO", typedLayout(in)}};

  // The records: each brought to the form the builder writes.
  quor::RecordOptions options;
  options.keepZeros = (flags & 0x10u) != 0;
  std::vector<quor::RecordBuilder> builders;
  std::vector<quor::RecordDecoder> decoders;
  for (const quor::NamedLayout& layout : layouts) {
    builders.emplace_back(layout.layout, options);
    decoders.emplace_back(layout.layout, options);
  }
  quor::FrameWriter writer(framing);
  std::vector<Bytes> records;
  std::vector<std::size_t> kinds;
  std::vector<std::u16string> values;
  std::vector<quor::FieldFault> faults;
  const auto build = [&](std::size_t kind, const std::vector<std::u16string>& texts, std::size_t present) {
    const std::vector<std::u16string_view> views(texts.begin(),
                                                 texts.begin() + static_cast<std::ptrdiff_t>(present));
    quor::ByteString out;
    builders[kind].appendFirstColumns(views, out);
    return Bytes(out.begin(), out.end());
  };
  for (int n = 0; n < 8; ++n) {
    const std::uint8_t head = in.byte();
    const std::size_t kind = head & 1u;
    const quor::Layout& layout = layouts[kind].layout;
    const std::string_view raw = in.bytes(layout.recordLength);
    if (raw.size() < layout.recordLength || layout.recordLength > 4096) break;
    Bytes record(raw.begin(), raw.end());
    record[0] = kind == 0 ? 0xD6 : 0xE3;  // "O", "T"
    // A record of varying length is as long as its counters make it.
    const quor::RecordExtent extent = decoders[kind].extent(record);
    if (extent.fault) continue;
    record.resize(extent.length);
    decoders[kind].decode(record, values, faults);
    if (!faults.empty()) continue;
    const std::size_t columns = values.size();
    const std::size_t present = fixed ? columns : 1 + (head >> 1) % columns;
    const Bytes canonical = build(kind, values, present);
    if (!writer.fits(canonical.size())) continue;
    // The columns after `present` are absent, but for those of elements the counters leave out.
    const std::size_t within = decoders[kind].columnsWithin(canonical);
    QUOR_FUZZ_CHECK(within >= present);
    QUOR_FUZZ_CHECK(within == present || layout.varies());
    // What the builder writes, the decoder reads back to what builds it again.
    decoders[kind].decode(canonical, values, faults);
    QUOR_FUZZ_CHECK(faults.empty());
    QUOR_FUZZ_CHECK(build(kind, values, present) == canonical);
    records.push_back(canonical);
    kinds.push_back(kind);
  }
  std::vector<std::uint8_t> file;
  for (const Bytes& record : records) writer.append(record, file);
  writer.finish(file);

  // Read back, each record's layout told by its type byte, and written again through CSV and JSON.
  const quor::RecordTypeChoice choices[] = {{u"O", 0}, {u"T", 1}};
  const quor::RecordSelector selector(layouts[0].layout.fields[0], choices);
  const quor::JsonLinesWriter json[] = {quor::JsonLinesWriter(layouts[0].layout, "ONE", true),
                                        quor::JsonLinesWriter(layouts[1].layout, "TWO", true)};
  const quor::JsonLinesReader jsonReader(layouts);
  quor::CsvSplitter splitter(quor::CsvOptions{});
  quor::FrameWriter again(framing);
  std::vector<std::uint8_t> rewritten;
  std::vector<std::size_t> bad;
  std::size_t index = 0;
  // Fixed records are as long as the layout of their type; the reader is given each length in turn.
  quor::FrameReader reader(framing);
  for (std::size_t done = 0;;) {
    const std::span<const std::uint8_t> rest(file.data() + done, file.size() - done);
    const std::size_t type = !rest.empty() && selector.select(rest) == 1 ? 1 : 0;
    const std::size_t length = fixed && !rest.empty() ? decoders[type].extent(rest).length : 0;
    const quor::Frame frame = reader.next(rest, true, length);
    QUOR_FUZZ_CHECK(frame.status == quor::FrameStatus::record || frame.status == quor::FrameStatus::end);
    if (frame.status == quor::FrameStatus::end) break;
    const std::span<const std::uint8_t> record = rest.subspan(frame.begin, frame.length);
    done += frame.consumed;
    QUOR_FUZZ_CHECK(index < records.size() && Bytes(record.begin(), record.end()) == records[index]);
    const std::size_t kind = selector.select(record);
    QUOR_FUZZ_CHECK(kind == kinds[index]);
    decoders[kind].decode(record, values, faults);
    QUOR_FUZZ_CHECK(faults.empty());
    const std::size_t present = decoders[kind].columnsWithin(record);
    // A ragged CSV line: the layout's name, then its values given.
    std::vector<std::u16string> line{kind == 0 ? u"ONE" : u"TWO"};
    line.insert(line.end(), values.begin(), values.begin() + static_cast<std::ptrdiff_t>(present));
    std::string csv;
    quor::appendCsvRecord(line, quor::CsvWriteOptions{}, csv);
    csv.pop_back();
    std::vector<std::u16string> fromCsv;
    for (const quor::CsvField& field : splitter.split(csv, line.size() + 1)) {
      std::u16string text(field.text.size(), u'\0');
      text.resize(quor::decodeUtf8(field.text, text.data()).length);
      fromCsv.push_back(std::move(text));
    }
    QUOR_FUZZ_CHECK(fromCsv == line);
    // A JSON Lines object.
    std::string object;
    json[kind].append(values, present, object);
    object.pop_back();
    std::vector<std::u16string> fromJson;
    const quor::JsonLinesReader::Read read = jsonReader.read(object, fromJson);
    QUOR_FUZZ_CHECK(read.layout == kind && read.present == present);
    QUOR_FUZZ_CHECK(std::equal(fromJson.begin(), fromJson.begin() + static_cast<std::ptrdiff_t>(present),
                               values.begin()));
    again.append(build(kind, fromJson, present), rewritten);
    ++index;
  }
  again.finish(rewritten);
  QUOR_FUZZ_CHECK(index == records.size());
  QUOR_FUZZ_CHECK(rewritten == file);

  // Any bytes: the same records and bad frames whole or a few bytes at a time; a V input read without
  // a bad frame is written again as it was.
  const std::string_view rest = in.rest();
  const std::span<const std::uint8_t> input(reinterpret_cast<const std::uint8_t*>(rest.data()), rest.size());
  const std::size_t fixedLength = 1 + flags % 7;
  std::vector<std::size_t> badWhole;
  std::vector<std::size_t> badChunked;
  const std::vector<Bytes> whole = framesOf(framing, input, input.size() + 1, fixedLength, badWhole);
  const std::vector<Bytes> chunked = framesOf(framing, input, 1 + flags % 5, fixedLength, badChunked);
  QUOR_FUZZ_CHECK(whole == chunked && badWhole == badChunked);
  if (framing.format == quor::RecordFormat::variable && badWhole.empty()) {
    quor::FrameWriter v(framing);
    std::vector<std::uint8_t> out;
    for (const Bytes& record : whole) v.append(record, out);
    QUOR_FUZZ_CHECK(out == std::vector<std::uint8_t>(input.begin(), input.end()));
  }

  // Started again at a boundary: the rest of the same reading.
  const StreamRead all = streamOf(framing, input, 0, fixedLength);
  QUOR_FUZZ_CHECK(all.records == whole && all.bad == badWhole);
  const std::size_t step = all.places.size() / 8 + 1;
  for (std::size_t i = 0; i < all.places.size(); i += step) {
    const auto [at, before] = all.places[i];
    const StreamRead part = streamOf(framing, input, at, fixedLength);
    QUOR_FUZZ_CHECK(part.records.size() + before == whole.size() &&
                    std::equal(part.records.begin(), part.records.end(),
                               whole.begin() + static_cast<std::ptrdiff_t>(before)));
    std::vector<std::size_t> badAfter;
    for (const std::size_t offset : badWhole)
      if (offset >= at) badAfter.push_back(offset);
    QUOR_FUZZ_CHECK(part.bad == badAfter);
  }
  return 0;
}
