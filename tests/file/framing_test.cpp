// Record framing: what the reader finds in F, V and VB bytes, however the bytes are handed to it, and
// what the writer writes read back the same.

#include "quor/framing.hpp"

#include <algorithm>
#include <random>

#include "support/test_support.hpp"

namespace quor::test {
namespace {

// The records and bad frames the reader finds in `input`, given `chunk` more bytes at a time, as a
// caller reading a file block by block does: "C1C2" for a record, "bad@4: <words>" for a bad frame
// (at its offset in the input), "end" at the end; "+" after a bad frame the reader goes on from.
std::string framesOf(const Framing& framing, const ByteString& input, std::size_t chunk,
                     std::size_t fixed = 0) {
  FrameReader reader(framing);
  std::string out;
  std::size_t done = 0;  // bytes consumed
  std::size_t held = 0;  // bytes handed over
  for (int guard = 0; guard < 100000; ++guard) {
    const bool atEnd = held == input.size();
    const Frame frame = reader.next({input.data() + done, held - done}, atEnd, fixed);
    if (frame.status == FrameStatus::record) {
      for (std::size_t i = 0; i < frame.length; ++i) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += kHex[input[done + frame.begin + i] >> 4];
        out += kHex[input[done + frame.begin + i] & 0xF];
      }
      out += ' ';
    } else if (frame.status == FrameStatus::bad) {
      out += "bad@" + std::to_string(done + frame.at) + ": " + describeFrame(frame) +
             (frame.resumes ? " + " : " ");
      if (frame.resumes) {
        EXPECT_GT(frame.skipped, 0u);
      }
    } else if (frame.status == FrameStatus::end) {
      return out + "end";
    } else {
      EXPECT_FALSE(atEnd) << "needMore at the end";
      held = std::min(input.size(), held + chunk);
    }
    done += frame.consumed;
    EXPECT_LE(done, held);
  }
  ADD_FAILURE() << "the reader never ends";
  return out;
}

TEST(Framing, ReaderFindsRecordsAndImpossibleDescriptors) {
  const Framing v{RecordFormat::variable};
  const Framing vb{RecordFormat::variableBlocked};
  const Framing little{RecordFormat::variable, true};
  const Framing data{RecordFormat::variable, false, true};
  const Framing vbLittleData{RecordFormat::variableBlocked, true, true};
  const struct {
    const char* what;
    Framing framing;
    const char* bytes;
    const char* frames;
    std::size_t fixed = 0;
  } cases[] = {
      {"fixed, back to back", {}, "C1 C2 C3 C4", "C1C2 C3C4 end", 2},
      {"fixed, leftover bytes",
       {},
       "C1 C2 C3",
       "C1C2 bad@2: 1 leftover byte after the last whole record end",
       2},
      {"V, two records and an empty one", v, "00 06 00 00 C1 C2 00 05 00 00 C3 00 04 00 00", "C1C2 C3  end"},
      {"V, zero RDW", v, "00 06 00 00 C1 C2 00 00 00 00 C3",
       "C1C2 bad@6: an RDW of length 0, less than its own 4 bytes end"},
      {"V, RDW of 3", v, "00 03 00 00", "bad@0: an RDW of length 3, less than its own 4 bytes end"},
      {"V, reserved bytes", v, "00 05 80 00 C1",
       "bad@0: an RDW whose bytes 3 and 4 are 80 00, not 00 00 (a segment of a spanned record has them; "
       "spanned "
       "records are not read) end"},
      {"V, record past the end", v, "00 06 00 00 C1 C2 00 08 00 00 C3",
       "C1C2 bad@6: a record of 4 bytes cut short by the end of the input (1 of them there) end"},
      {"V, RDW cut", v, "00 05 00 00 C1 00 05",
       "C1 bad@5: an RDW cut short by the end of the input (2 of its 4 bytes) end"},
      {"V, little-endian RDW", little, "06 00 00 00 C1 C2 05 00 00 00 C3", "C1C2 C3 end"},
      {"V, length counting the data only", data, "00 02 00 00 C1 C2 00 00 00 00", "C1C2  end"},
      {"VB, two blocks", vb, "00 0E 00 00 00 05 00 00 C1 00 05 00 00 C2 00 09 00 00 00 05 00 00 C3",
       "C1 C2 C3 end"},
      {"VB, extended BDW", vb, "80 00 00 0D 00 05 00 00 C1 00 04 00 00", "C1  end"},
      {"VB, RDW past its block: the next block is read", vb,
       "00 0D 00 00 00 05 00 00 C1 00 09 00 00 00 09 00 00 00 05 00 00 C3",
       "C1 bad@9: an RDW of length 9, past the end of its block (4 bytes left in it) + C3 end"},
      {"VB, zero RDW: the next block is read", vb,
       "00 0C 00 00 00 00 00 00 C1 C2 C3 C4 00 09 00 00 00 05 00 00 C5",
       "bad@4: an RDW of length 0, less than its own 4 bytes + C5 end"},
      {"VB, slack at the end of a block", vb, "00 0B 00 00 00 05 00 00 C1 40 40 00 09 00 00 00 05 00 00 C3",
       "C1 bad@9: 2 bytes left at the end of a block, too few for an RDW + C3 end"},
      {"VB, BDW too short", vb, "00 04 00 00 00 05 00 00 C1",
       "bad@0: a BDW of length 4, less than a BDW and an RDW (8 bytes) end"},
      {"VB, BDW reserved bytes", vb, "00 09 00 01 00 05 00 00 C1",
       "bad@0: a BDW whose bytes 3 and 4 are 00 01, not 00 00 end"},
      {"VB, block past the end of the input", vb, "00 10 00 00 00 05 00 00 C1 00 05 00 00",
       "C1 bad@9: the input ends inside a block, 3 bytes before its end end"},
      {"VB, BDW cut", vb, "00 09 00 00 00 05 00 00 C1 00 09",
       "C1 bad@9: a BDW cut short by the end of the input (2 of its 4 bytes) end"},
      {"VB, little-endian RDW counting the data", vbLittleData, "00 0D 00 00 01 00 00 00 C1 00 00 00 00",
       "C1  end"},
  };
  for (const auto& c : cases) {
    const ByteString input = bytes(c.bytes);
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{1000}})
      EXPECT_EQ(framesOf(c.framing, input, chunk, c.fixed), c.frames)
          << c.what << ", " << chunk << " bytes at a time";
  }
}

// What the writer frames, the reader gives back record for record; a VB block is never longer than the
// block size, never splits a record, and takes every record that fits (greedy).
TEST(Framing, WrittenRecordsReadBack) {
  std::mt19937 random(20);
  for (int round = 0; round < 300; ++round) {
    Framing framing;
    framing.format = static_cast<RecordFormat>(1 + random() % 2);
    framing.littleEndianRdw = random() % 2 == 1;
    framing.rdwCountsData = random() % 2 == 1;
    framing.blockSize = kSmallestBlock + random() % 200;
    FrameWriter writer(framing);
    std::vector<ByteString> records;
    std::vector<std::uint8_t> out;
    for (int n = static_cast<int>(random() % 20); n > 0; --n) {
      ByteString record(random() % (framing.blockSize - 2 * kDescriptorBytes + 1), 0);
      for (auto& byte : record) byte = static_cast<std::uint8_t>(random());
      ASSERT_TRUE(writer.fits(record.size()));
      writer.append({record.data(), record.size()}, out);
      records.push_back(record);
    }
    writer.finish(out);
    const ByteString written(out.data(), out.size());
    std::string read = framesOf(framing, written, 1 + random() % 64);
    // Records as the reader prints them: hexadecimal without blanks, one blank after each.
    std::string wanted;
    for (const ByteString& record : records) {
      std::string h = hex(record);
      h.erase(std::remove(h.begin(), h.end(), ' '), h.end());
      wanted += h + " ";
    }
    ASSERT_EQ(read, wanted + "end") << "round " << round;
    if (framing.format != RecordFormat::variableBlocked) continue;
    // Blocks: each within the size, and none that the next record would still have fitted in.
    std::size_t at = 0;
    std::size_t record = 0;
    while (at < written.size()) {
      const std::size_t block = static_cast<std::size_t>(written[at]) << 8 | written[at + 1];
      ASSERT_LE(block, framing.blockSize);
      std::size_t inside = 0;
      while (inside < block - kDescriptorBytes) inside += kDescriptorBytes + records[record++].size();
      ASSERT_EQ(inside, block - kDescriptorBytes);
      if (record < records.size()) {
        EXPECT_GT(block + kDescriptorBytes + records[record].size(), framing.blockSize) << "round " << round;
      }
      at += block;
    }
  }
}

TEST(Framing, WriterRefusesWhatItCannotFrame) {
  EXPECT_EQ(errorOf([] { FrameWriter(Framing{RecordFormat::variableBlocked, false, false, 8}); }), 5);
  FrameWriter v(Framing{RecordFormat::variable});
  std::vector<std::uint8_t> out;
  const ByteString longest(65531, 0x40);
  EXPECT_EQ(errorOf([&] { v.append({longest.data(), longest.size()}, out); }), 0);
  const ByteString tooLong(65532, 0x40);
  EXPECT_FALSE(v.fits(tooLong.size()));
  EXPECT_EQ(errorOf([&] { v.append({tooLong.data(), tooLong.size()}, out); }), 5);
  // The extended BDW for a block beyond 32767 bytes.
  FrameWriter big(Framing{RecordFormat::variableBlocked, false, false, 40000});
  out.clear();
  const ByteString record(39000, 0xC1);
  big.append({record.data(), record.size()}, out);
  big.finish(out);
  ASSERT_EQ(out.size(), 39008u);
  EXPECT_EQ(hex(ByteString(out.data(), 8)), "80 00 98 60 98 5C 00 00");
}

}  // namespace
}  // namespace quor::test
