#include "decode_command.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "batch.hpp"
#include "change_messages.hpp"
#include "framed_input.hpp"
#include "gaiji_file.hpp"
#include "input_file.hpp"
#include "interruption.hpp"
#include "io_error.hpp"
#include "output_sink.hpp"
#include "output_target.hpp"
#include "progress.hpp"
#include "quor/csv_writer.hpp"
#include "quor/json_lines.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "quor/record_problem.hpp"
#include "quor/text.hpp"
#include "record_faults.hpp"
#include "text_convert.hpp"
#include "worker_pool.hpp"

namespace quor::cli {

namespace {

constexpr std::size_t kListed = 20;

// Records are decoded on the working threads in batches of at most this many records and about this
// many of their bytes; each thread has at most this many batches in flight.
constexpr std::size_t kBatchRecords = 4096;
constexpr std::size_t kBatchBytes = std::size_t{1} << 18;
constexpr std::size_t kBatchesPerThread = 2;
// Decoding threads are used, unless --threads says, when the plans' work on a batch the reading thread
// decodes itself takes more than this many times the framing and writing of its records.
constexpr int kThreadsPay = 2;

// What the framing gave, in order, each record's bytes copied, and the lines the plans wrote of them
// on a working thread; the reading thread writes them in order, and does what the plans declined.
struct DecodeBatch {
  static constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);
  struct Entry {
    FramedInput::Item::Kind kind = FramedInput::Item::Kind::end;
    std::uint64_t number = 0;
    std::uint64_t offset = 0;
    std::size_t layout = kNoLayout;
    std::size_t begin = 0;  // a record's bytes in `bytes`
    std::size_t length = 0;
    std::size_t note = kNoNote;     // a bad frame, a record without a layout: its words in `notes`
    std::size_t lineEnd = kNoLine;  // a planned record: where its line ends in `lines`
  };
  static constexpr std::size_t kNoNote = static_cast<std::size_t>(-1);
  struct Note {
    std::string problem;
    std::string passedOver;  // a bad frame
  };
  std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> bytes;
  // Plain data, so that a batch of records costs no construction or destruction of strings each.
  std::vector<Entry> entries;
  std::vector<Note> notes;
  std::uint64_t bytesRead = 0;  // of all inputs, when the batch was cut
  // Set by the working thread.
  std::vector<char, UninitializedAllocator<char>> lines;
  std::exception_ptr failure;
  bool done = false;  // guarded by the pool's mutex

  void fail(std::exception_ptr thrown) noexcept {
    lines.clear();
    for (Entry& entry : entries) entry.lineEnd = kNoLine;
    failure = std::move(thrown);
  }
};

RecordOptions recordOptionsOf(const DecodeOptions& options) {
  RecordOptions record;
  record.convertSign = options.convertSign;
  record.keepPadding = options.keepPadding;
  record.keepZeros = options.keepZeros;
  record.host = options.host;
  record.shiftCodes = options.shiftCodes;
  record.padVarying = options.padVarying;
  return record;
}

// The checks of options that do not fit together, before anything is read or written.
void checkOptions(const DecodeOptions& options) {
  const RecordLayouts& records = options.shape.records;
  const bool json = options.shape.form == TextForm::jsonl;
  if (records.unchosen)
    throw UsageError(
        options.layoutPath + " describes " + std::to_string(records.layouts.size()) + " records (" +
        records.names() +
        "): --type-field NAME and --type VALUE=RECORD say which record each is (--type '*=RECORD' "
        "reads every record as one of them)");
  for (const NamedLayout& layout : records.layouts)
    if (layout.layout.recordLength == 0) throw UsageError("the layout has no bytes");
  if (json && options.cp932)
    throw UsageError("JSON Lines are UTF-8 text: --encoding cp932 does not go with --format jsonl");
  if (json && options.header) throw UsageError("--header names CSV columns: JSON Lines name every value");
  if (json && options.overlays)
    throw UsageError("--overlays adds CSV columns: JSON Lines give the items of a record, not its overlays");
  if (options.header && records.several() && !options.splitByType)
    throw UsageError("--header names one layout's columns, and the records have " +
                     std::to_string(records.layouts.size()) +
                     " layouts: --split-by-type writes a file a layout, each with its header");
  if (options.splitByType) {
    if (options.outputPath.empty() || options.outputPath == "-")
      throw UsageError("--split-by-type writes a file a record layout: -o FOLDER names the folder");
    for (const NamedLayout& layout : records.layouts)
      if (layout.name.empty() || layout.name.find('/') != std::string::npos || layout.name == "." ||
          layout.name == "..")
        throw UsageError("--split-by-type names each file after its record layout, and '" + layout.name +
                         "' cannot name a file: give the records' layouts by --type VALUE=RECORD");
  }
}

// The folder `path` names, made when there is none yet.
void makeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
    throw IoError("--split-by-type: " + path + " is no folder");
  }
  throw ioErrorFromErrno("cannot make the folder " + path, errno);
}

class DecodeRun {
 public:
  explicit DecodeRun(const DecodeOptions& options)
      : DecodeRun(options, loadGaijiMapping(options.gaijiPath)) {}

  int run() {
    std::vector<std::string> inputs = options_.inputs;
    if (inputs.empty()) inputs.emplace_back("-");
    progress_.expectBytes(inputsSize(inputs));
    openSinks();
    // A termination signal ends any wait of the run, which then undoes or says what it wrote before
    // the signal takes effect.
    const InterruptionGuard guard;
    try {
      if (options_.header) writeHeaders();
      for (const std::string& name : inputs) {
        const InputFile input(name);
        const Outcome outcome = decodeInput(input, guard);
        if (outcome == Outcome::complete) continue;
        if (outcome == Outcome::interrupted) return interrupted();
        progress_.clear();
        // Lines are written whole, so what stays of an output written in place ends at a line.
        std::fprintf(stderr, "quor: stopped; %s%s\n", abandonAll().c_str(),
                     options_.skipBad ? "" : " (--skip-bad writes the good records and skips the bad ones)");
        return kExitBadData;
      }
      for (const auto& sink : sinks_) sink->commit();
    } catch (const Interrupted&) {
      return interrupted();
    }
    progress_.clear();
    if (!options_.quiet) report();
    return bad_ == 0 ? kExitSuccess : kExitBadData;
  }

 private:
  enum class Outcome { complete, bad, interrupted };

  // What each record layout is read and written with.
  struct Way {
    const NamedLayout* layout;
    RecordDecoder decoder;
    std::optional<DecodePlan> plan;       // CSV: the common record's way
    std::optional<JsonLinesWriter> json;  // JSON Lines
    std::string prefix;                   // CSV of several layouts: the layout's name and a delimiter
    OutputSink* sink = nullptr;
    std::uint64_t records = 0;
  };

  DecodeRun(const DecodeOptions& options, const GaijiMapping& gaiji)
      : options_(options),
        layouts_(options.shape.records.layouts),
        csv_{options.delimiter, options.cp932 ? TextEncoding::cp932 : TextEncoding::utf8,
             options.crlf.value_or(options.cp932)},
        progress_(!options.quiet && ::isatty(STDERR_FILENO) != 0) {
    const RecordOptions recordOptions = recordOptionsOf(options);
    recordOptions_ = recordOptions;
    const bool json = options.shape.form == TextForm::jsonl;
    const bool several = layouts_.size() > 1;
    std::optional<PlanTables> tables;
    if (!json) tables.emplace(gaiji, PlanUse::decode, options.host);
    ways_.reserve(layouts_.size());
    for (const NamedLayout& layout : layouts_) {
      Way& way =
          ways_.emplace_back(Way{&layout, RecordDecoder(layout.layout, recordOptions, gaiji), {}, {}, {}});
      if (json) {
        way.json.emplace(layout.layout, layout.name, several && !options.splitByType);
      } else {
        // The plan writes the record's own columns only.
        if (!options.overlays) way.plan.emplace(layout.layout, recordOptions, *tables, csv_);
        if (several && !options.splitByType) {
          const std::vector<std::u16string> name{toUtf16(layout.name, "a record name")};
          appendCsvRecord(name, csv_, way.prefix);
          way.prefix.resize(way.prefix.size() - (csv_.crlf ? 2 : 1));
          way.prefix += options.delimiter;
        }
      }
    }
    selector_ = options.shape.records.selector(recordOptions, gaiji);
  }

  void openSinks() {
    const RunFiles files{options_.inputs, options_.layoutPath, options_.gaijiPath};
    if (!options_.splitByType) {
      // The CSV is text: a terminal may show it.
      sinks_.push_back(std::make_unique<OutputSink>(openOutput(options_.outputPath, files, true)));
      for (Way& way : ways_) way.sink = sinks_.front().get();
      return;
    }
    makeFolder(options_.outputPath);
    const char* extension = options_.shape.form == TextForm::jsonl ? ".jsonl" : ".csv";
    for (Way& way : ways_) {
      sinks_.push_back(std::make_unique<OutputSink>(
          openOutput(options_.outputPath + "/" + way.layout->name + extension, files, true)));
      way.sink = sinks_.back().get();
    }
  }

  // Drops every output and says what became of them.
  std::string abandonAll() {
    std::string said;
    for (const auto& sink : sinks_) said += (said.empty() ? "" : "; ") + sink->abandonAndDescribe(0);
    return said;
  }

  // Drops the output after a termination signal and says what became of it.
  int interrupted() {
    progress_.clear();
    std::fprintf(stderr, "quor: interrupted; %s\n", abandonAll().c_str());
    return kExitIo;  // the signal, raised again when the guard goes, normally ends the process first
  }

  void writeHeaders() {
    // One header an output: a layout's own file, or the one output of one layout.
    for (Way& way : ways_) {
      if (!options_.splitByType && &way != &ways_.front()) break;
      std::vector<std::u16string> names;
      for (const std::string& name : way.layout->layout.columnNames()) names.push_back(toUtf16(name, "a field name"));
      if (options_.overlays)
        for (const LayoutField& field : way.layout->layout.fields)
          if (field.role == FieldRole::overlay) names.push_back(toUtf16(field.name, "a field name"));
      std::string line;
      appendCsvRecord(names, csv_, line);
      way.sink->write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    }
  }

  Outcome decodeInput(const InputFile& input, const InterruptionGuard& guard) {
    FramedInput records(input, options_.shape.framing, layouts_, selector_ ? &*selector_ : nullptr, 0,
                        recordOptions_);
    const unsigned threads = options_.threads != 0 ? options_.threads : workingThreads();
    const bool planned = std::any_of(ways_.begin(), ways_.end(), [](const Way& way) { return way.plan.has_value(); });
    if (threads > 1 && planned) {
      if (options_.threads != 0) return decodeInBatches(records, input.display(), guard, threads, true);
      // Threads pay when the plans' work outweighs framing the records and writing their lines, which
      // the reading thread does whatever the threads: judged on the second of two batches the reading
      // thread does itself (the first also reads the input's first block and warms the buffers). A
      // layout of records no dearer to decode than to frame and write is as fast on one thread, and
      // spares the processors.
      DecodeBatch batch;
      for (int round = 0; round < 2; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const bool reading = cutBatch(records, batch);
        const auto cut = std::chrono::steady_clock::now();
        planLines(batch);
        const auto decoded = std::chrono::steady_clock::now();
        if (!writeBatch(batch, input.display())) return Outcome::bad;
        const auto written = std::chrono::steady_clock::now();
        if (guard.pending()) return Outcome::interrupted;
        if (!reading) return endOfInput(records, guard);
        if (round == 1 && decoded - cut > kThreadsPay * ((cut - start) + (written - decoded)))
          return decodeInBatches(records, input.display(), guard, threads, reading);
      }
    }
    const std::string& display = input.display();
    for (std::uint64_t count = 0;; ++count) {
      const FramedInput::Item item = records.next();
      bytesRead_ = readBefore_ + records.bytesRead();
      if (item.kind == FramedInput::Item::Kind::end) break;
      if (item.kind == FramedInput::Item::Kind::bad) {
        if (!noteBad(placeOf(display, item) + std::string(item.problem),
                     "(" + std::string(item.passedOver) + ")"))
          return Outcome::bad;
        if (!item.resumes) break;
        continue;
      }
      if (item.layout == kNoLayout) {
        if (!noteBad(placeOf(display, item) + std::string(item.problem))) return Outcome::bad;
      } else if (!(wholeForPlan(ways_[item.layout], item.bytes) && writePlanned(ways_[item.layout], item.bytes)) &&
                 !decodeRecord(ways_[item.layout], display, item)) {
        return Outcome::bad;
      }
      progress_.update(records_ + bad_, bytesRead_);
      if ((count & 0xFFF) == 0 && guard.pending()) return Outcome::interrupted;
    }
    return endOfInput(records, guard);
  }

  // An input read to its end, or to a bad frame reading cannot go past.
  Outcome endOfInput(const FramedInput& records, const InterruptionGuard& guard) {
    bytesRead_ = readBefore_ + records.bytesRead();
    readBefore_ = bytesRead_;
    return guard.pending() ? Outcome::interrupted : Outcome::complete;
  }

  // The same on working threads: the reading thread frames the records into batches, the threads write
  // the lines of the whole records the plans take, and the reading thread writes each batch's lines in
  // order and decodes what the plans declined (short records among them) as decodeInput does. So the
  // output, the messages and where a run stops are those of one thread.
  Outcome decodeInBatches(FramedInput& records, const std::string& display, const InterruptionGuard& guard,
                          unsigned threads, bool reading) {
    std::vector<DecodeBatch> batches(threads * kBatchesPerThread);
    // The pool ends before the batches go.
    WorkerPool<DecodeBatch> pool(threads, [this] { return [this](DecodeBatch& batch) { planLines(batch); }; });
    std::size_t oldest = 0;
    std::size_t inFlight = 0;
    for (;;) {
      if (reading && inFlight < batches.size()) {
        DecodeBatch& batch = batches[(oldest + inFlight) % batches.size()];
        reading = cutBatch(records, batch);
        if (batch.entries.empty()) continue;
        pool.submit(batch);
        ++inFlight;
        continue;
      }
      if (inFlight == 0) break;
      DecodeBatch& batch = batches[oldest];
      pool.wait(batch);
      oldest = (oldest + 1) % batches.size();
      --inFlight;
      if (!writeBatch(batch, display)) return Outcome::bad;
      if (guard.pending()) return Outcome::interrupted;
    }
    return endOfInput(records, guard);
  }

  // Fills `batch` with what `records` gives next; false when reading ends with it.
  bool cutBatch(FramedInput& records, DecodeBatch& batch) {
    batch.entries.clear();
    batch.notes.clear();
    batch.bytes.clear();
    batch.failure = nullptr;
    bool more = true;
    while (batch.entries.size() < kBatchRecords && batch.bytes.size() < kBatchBytes) {
      const FramedInput::Item item = records.next();
      if (item.kind == FramedInput::Item::Kind::end) {
        more = false;
        break;
      }
      DecodeBatch::Entry& entry = batch.entries.emplace_back();
      entry.kind = item.kind;
      entry.number = item.number;
      entry.offset = item.offset;
      entry.layout = item.layout;
      entry.begin = batch.bytes.size();
      entry.length = item.bytes.size();
      // Grown without being filled and copied in one piece: an insert would construct byte by byte.
      batch.bytes.resize(entry.begin + entry.length);
      if (entry.length != 0) std::memcpy(batch.bytes.data() + entry.begin, item.bytes.data(), entry.length);
      if (!item.problem.empty() || !item.passedOver.empty()) {
        entry.note = batch.notes.size();
        batch.notes.push_back({std::string(item.problem), std::string(item.passedOver)});
      }
      if (item.kind == FramedInput::Item::Kind::bad && !item.resumes) {
        more = false;
        break;
      }
    }
    batch.bytesRead = readBefore_ + records.bytesRead();
    return more;
  }

  // On a working thread: the lines of the batch's whole records the plans take. Reads only what no
  // thread changes during a run: the plans, the layouts' names in front of their lines.
  void planLines(DecodeBatch& batch) const {
    batch.lines.clear();
    for (DecodeBatch::Entry& entry : batch.entries) {
      entry.lineEnd = DecodeBatch::kNoLine;
      if (entry.kind != FramedInput::Item::Kind::record || entry.layout == kNoLayout) continue;
      const Way& way = ways_[entry.layout];
      if (!way.plan || !wholeForPlan(way, {batch.bytes.data() + entry.begin, entry.length})) continue;
      const std::size_t at = batch.lines.size();
      batch.lines.resize(at + way.prefix.size() + way.plan->maxLineBytes());
      char* const out = batch.lines.data() + at;
      const std::size_t length =
          way.plan->decode({batch.bytes.data() + entry.begin, entry.length}, out + way.prefix.size());
      if (length == 0) {
        batch.lines.resize(at);
        continue;
      }
      std::copy(way.prefix.begin(), way.prefix.end(), out);
      batch.lines.resize(at + way.prefix.size() + length);
      entry.lineEnd = batch.lines.size();
    }
  }

  // Writes a batch back from its thread, entry by entry as decodeInput does, the lines of planned
  // records in a row to one output in one piece; false when a bad record ends the run.
  bool writeBatch(DecodeBatch& batch, const std::string& display) {
    if (batch.failure) std::rethrow_exception(batch.failure);
    bytesRead_ = batch.bytesRead;
    std::size_t written = 0;  // the lines before this are in their outputs
    std::size_t lineEnd = 0;  // of the last planned entry
    OutputSink* run = nullptr;  // the output of the lines from `written` to `lineEnd`
    const auto flush = [&] {
      if (run != nullptr)
        run->write(reinterpret_cast<const std::uint8_t*>(batch.lines.data() + written), lineEnd - written);
      written = lineEnd;
      run = nullptr;
    };
    for (const DecodeBatch::Entry& entry : batch.entries) {
      if (entry.lineEnd != DecodeBatch::kNoLine) {
        Way& way = ways_[entry.layout];
        if (run != way.sink) flush();
        run = way.sink;
        lineEnd = entry.lineEnd;
        ++records_;
        ++way.records;
        continue;
      }
      flush();
      FramedInput::Item item;
      item.kind = entry.kind;
      item.number = entry.number;
      item.offset = entry.offset;
      item.bytes = std::span<const std::uint8_t>(batch.bytes.data() + entry.begin, entry.length);
      item.layout = entry.layout;
      const DecodeBatch::Note none;
      const DecodeBatch::Note& note = entry.note == DecodeBatch::kNoNote ? none : batch.notes[entry.note];
      if (entry.kind == FramedInput::Item::Kind::bad) {
        if (!noteBad(placeOf(display, item) + note.problem, "(" + note.passedOver + ")")) return false;
      } else if (entry.layout == kNoLayout) {
        if (!noteBad(placeOf(display, item) + note.problem)) return false;
      } else if (!decodeRecord(ways_[entry.layout], display, item)) {
        return false;
      }
    }
    flush();
    progress_.update(records_ + bad_, bytesRead_);
    return true;
  }

  // "orders.dat: record 7 (byte offset 1234): ", where a message names a record or a bad frame.
  static std::string placeOf(const std::string& display, const FramedInput::Item& item) {
    return (item.number != 0 ? display + ": record " + std::to_string(item.number) : display) +
           " (byte offset " + std::to_string(item.offset) + "): ";
  }

  // A whole record, as the plans are given first: one of the layout's length, or of varying tables any
  // record, whose length its counters say. A shorter record of a fixed layout is decodeRecord's, after
  // its length is looked at.
  static bool wholeForPlan(const Way& way, std::span<const std::uint8_t> bytes) {
    const Layout& layout = way.layout->layout;
    return bytes.size() == layout.recordLength || layout.varies();
  }

  // A record's line by its layout's plan, straight into the output's buffer after the layout's name
  // where lines name it; false when the plan declines it, which leaves it to decodeRecord.
  bool writePlanned(Way& way, std::span<const std::uint8_t> bytes) {
    if (!way.plan) return false;
    OutputSink& sink = *way.sink;
    char* const out = reinterpret_cast<char*>(sink.room(way.prefix.size() + way.plan->maxLineBytes()));
    const std::size_t length = way.plan->decode(bytes, out + way.prefix.size());
    if (length == 0) return false;
    std::copy(way.prefix.begin(), way.prefix.end(), out);
    sink.wrote(way.prefix.size() + length);
    ++records_;
    ++way.records;
    return true;
  }

  // Decodes one record and writes its line; false when a bad record ends the run.
  bool decodeRecord(Way& way, const std::string& display, const FramedInput::Item& item) {
    const std::span<const std::uint8_t> bytes = item.bytes;
    const Layout& layout = way.layout->layout;
    if (bytes.size() != layout.recordLength) {
      const std::string problem = recordLengthProblem(way.decoder, way.layout->name, bytes);
      if (!problem.empty()) return noteBad(placeOf(display, item) + problem);
    }
    OutputSink& sink = *way.sink;
    // A short record by the plan (a whole one it has had: writePlanned, planLines).
    if (!wholeForPlan(way, bytes) && writePlanned(way, bytes)) return true;
    way.decoder.decode(bytes, values_, faults_, options_.lenient);
    if (!faults_.empty()) {
      const std::string where = display + ": record " + std::to_string(item.number);
      if (!options_.lenient) return noteBad(faultMessage(where, item.offset, layout, bytes, faults_.front()));
      for (const FieldFault& fault : faults_) {
        ++changed_;
        if (listed_.size() < kListed)
          listed_.push_back(faultMessage(where, item.offset, layout, bytes, fault));
      }
    }
    const std::size_t present = way.decoder.columnsWithin(bytes);
    line_.clear();
    if (way.json) {
      way.json->append(values_, present, line_);
    } else {
      std::size_t written = present;
      if (options_.overlays && present == values_.size()) {
        // Bytes a REDEFINES or RENAMES reads another way: invalid there is no fault of the record, and
        // gives the empty text.
        way.decoder.decodeOverlays(bytes, overlayValues_, overlayFaults_);
        values_.insert(values_.end(), overlayValues_.begin(), overlayValues_.end());
        written = values_.size();
      }
      line_ = way.prefix;
      appendCsvRecord(std::span<const std::u16string>(values_.data(), written), csv_, line_);
    }
    sink.write(reinterpret_cast<const std::uint8_t*>(line_.data()), line_.size());
    ++records_;
    ++way.records;
    return true;
  }

  bool noteBad(const std::string& message, const std::string& skipped = "(record skipped)") {
    progress_.clear();
    return reportBadRecord(message, skipped.c_str(), options_.skipBad, options_.maxErrors, bad_);
  }

  void report() const {
    if (changed_ > 0) {
      std::fprintf(stderr, "quor: %s of invalid data written as U+FFFD or raw digits (--lenient):\n",
                   counted(changed_, "field").c_str());
      for (const std::string& message : listed_) std::fprintf(stderr, "  %s\n", message.c_str());
      if (changed_ > listed_.size())
        std::fprintf(stderr, "  and %llu more\n", static_cast<unsigned long long>(changed_ - listed_.size()));
    }
    std::string target =
        options_.outputPath.empty() || options_.outputPath == "-" ? "standard output" : options_.outputPath;
    if (options_.splitByType) target += "/";
    std::string each;
    if (ways_.size() > 1) {
      for (const Way& way : ways_)
        each += (each.empty() ? " (" : ", ") + std::to_string(way.records) + " " + way.layout->name;
      each += ")";
    }
    std::uint64_t written = 0;
    for (const auto& sink : sinks_) written += sink->bytesWritten();
    std::fprintf(stderr, "quor: %s%s, %s, %.2f s -> %s\n", counted(records_, "record").c_str(), each.c_str(),
                 counted(written, "byte").c_str(), progress_.elapsedSeconds(), target.c_str());
    if (bad_ > 0) std::fprintf(stderr, "quor: %s skipped\n", counted(bad_, "bad record").c_str());
  }

  const DecodeOptions& options_;
  const std::vector<NamedLayout>& layouts_;
  const CsvWriteOptions csv_;
  std::vector<Way> ways_;  // one a layout
  std::optional<RecordSelector> selector_;
  std::vector<std::unique_ptr<OutputSink>> sinks_;
  Progress progress_;
  std::vector<std::u16string> values_;
  std::vector<FieldFault> faults_;
  std::vector<std::u16string> overlayValues_;
  std::vector<FieldFault> overlayFaults_;
  RecordOptions recordOptions_;
  std::string line_;
  std::vector<std::string> listed_;
  std::uint64_t changed_ = 0;
  std::uint64_t records_ = 0;
  std::uint64_t bad_ = 0;
  std::uint64_t bytesRead_ = 0;
  std::uint64_t readBefore_ = 0;  // of the inputs read to their end
};

}  // namespace

int runDecode(const DecodeOptions& options) {
  checkOptions(options);
  DecodeRun run(options);
  return run.run();
}

}  // namespace quor::cli
