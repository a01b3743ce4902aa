#include "encode_command.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string_view>

#include "batch_reader.hpp"
#include "change_messages.hpp"
#include "encoder_pool.hpp"
#include "gaiji_file.hpp"
#include "interruption.hpp"
#include "io_error.hpp"
#include "output_sink.hpp"
#include "output_target.hpp"
#include "progress.hpp"

namespace quor::cli {

namespace {

// The skipped lines the closing summary names; the messages before it name every one.
constexpr std::size_t kListedSkips = 20;
// Held-back termination signals are looked for once every this many + 1 lines.
constexpr std::uint64_t kSignalCheckMask = 0xFFF;
// The input is encoded in batches of whole lines: at most this many lines, and no more than about this
// many bytes of lines or of records.
constexpr std::size_t kBatchLines = 4096;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
// Batches in flight per encoding thread: enough that no thread waits for the reader or the writer,
// few enough that memory stays small.
constexpr std::size_t kBatchesPerThread = 3;
// No further batch is read while the batches in flight hold this many bytes of lines: batches of
// ordinary lines never do, and a long line (up to 64 MiB) is not joined by others as long.
constexpr std::size_t kInFlightBytes = 16 * kBatchBytes;

// The lines a batch may hold: kBatchLines, fewer when the records are long.
std::size_t batchLines(const std::vector<NamedLayout>& layouts) {
  std::size_t longest = 1;
  for (const NamedLayout& layout : layouts) longest = std::max(longest, layout.layout.recordLength);
  return std::clamp<std::size_t>(kBatchBytes / longest, 1, kBatchLines);
}

// The checks of options that do not fit together, before anything is read or written.
void checkOptions(const EncodeOptions& options) {
  const FileShape& shape = options.shape;
  const bool json = shape.form == TextForm::jsonl;
  if (options.header && shape.records.several())
    throw UsageError("--header names one layout's columns, and each line names its own of " +
                     shape.records.names());
  if (json && options.header) throw UsageError("--header names CSV columns: JSON Lines name every value");
  if (json && !options.csv)
    throw UsageError("--plain cuts lines at every \",\": it does not read JSON Lines");
  if (json && options.encoding == TextEncoding::cp932)
    throw UsageError("JSON Lines are UTF-8 text: --encoding cp932 does not go with --format jsonl");
  for (const NamedLayout& layout : shape.records.layouts) {
    if (layout.layout.recordLength == 0) throw UsageError("the layout has no bytes");
    try {
      if (!FrameWriter(shape.framing).fits(layout.layout.recordLength))
        throw UsageError(
            "records of " + (layout.name.empty() ? std::string("the layout") : layout.name) + " are " +
            std::to_string(layout.layout.recordLength) + " bytes, more than " +
            (shape.framing.format == RecordFormat::variableBlocked
                 ? "a block of --block-size " + std::to_string(shape.framing.blockSize) + " holds"
                 : "an RDW frames (" + std::to_string(longestFramedRecord(shape.framing)) + ")"));
    } catch (const Error& e) {
      throw UsageError("--block-size: " + std::string(e.what()));
    }
  }
}

class EncodeRun {
 public:
  explicit EncodeRun(const EncodeOptions& options)
      : options_(options),
        layouts_(options.shape.records.layouts),
        progress_(!options.quiet && ::isatty(STDERR_FILENO) != 0),
        mapping_(loadGaijiMapping(options.gaijiPath)),
        rules_{layouts_, options.convertSign, options.encoding, options.lenient, options.csv, options.host,
               options.shiftCodes, options.padVarying},
        framer_(options.shape.framing) {
    const RecordLayouts& records = options.shape.records;
    if (options.shape.form == TextForm::jsonl) {
      json_.emplace(layouts_);
      rules_.json = &*json_;
    }
    rules_.shortRecords = options.shape.framing.format != RecordFormat::fixed;
    selector_ = records.selector(rules_.recordOptions(), mapping_);
    if (selector_) rules_.selector = &*selector_;
  }

  int run(OutputTarget target) {
    progress_.expectBytes(
        inputsSize(options_.inputs.empty() ? std::vector<std::string>{"-"} : options_.inputs));
    // A termination signal ends any wait of the run; it takes effect once the temporary file is
    // removed, or once the run has said what it left on standard output or a device.
    const InterruptionGuard guard;
    guard_ = &guard;
    OutputSink sink(std::move(target));
    try {
      return encode(sink);
    } catch (const Interrupted&) {
      return interrupted(sink);
    }
  }

 private:
  enum class Outcome { complete, badRecord, interrupted };

  int encode(OutputSink& sink) {
    std::vector<std::string> inputs = options_.inputs;
    if (inputs.empty()) inputs.emplace_back("-");
    // JSON Lines are lines: read as plain lines, each parsed whole.
    const std::optional<CsvOptions> csv =
        options_.shape.form == TextForm::jsonl ? std::nullopt : options_.csv;
    BatchReader reader(inputs,
                       {options_.encoding, options_.form, csv, options_.header, options_.skipBlankLines},
                       layouts_.front().layout, batchLines(layouts_), kBatchBytes);
    const unsigned threads = options_.threads != 0 ? options_.threads : workingThreads();
    std::vector<Batch> batches(threads * kBatchesPerThread);
    // The plans and the threads come with the first batch: a run without records makes neither. One
    // plan a layout serves every thread. The pool ends before the plans, the batches, the sink and the
    // guard go.
    std::vector<EncodePlan> plans;
    std::optional<EncoderPool> pool;

    // The reader keeps every batch busy; the records are written batch by batch in input order, so the
    // output, the messages and where a run stops are those of reading one line after the other. A
    // failure to read waits its turn behind the lines read before it.
    std::size_t oldest = 0;
    std::size_t inFlight = 0;
    std::size_t inFlightBytes = 0;
    bool reading = true;
    std::exception_ptr readFailure;
    for (;;) {
      if (reading && inFlight < batches.size() && (inFlight == 0 || inFlightBytes < kInFlightBytes)) {
        Batch& batch = batches[(oldest + inFlight) % batches.size()];
        batch.clearLines();
        bool filled = false;
        try {
          if (reader.done()) {
            reading = false;
          } else if (inFlight == 0 || reader.lineAtHand()) {
            reader.fill(batch);
            filled = true;
          }
        } catch (const Interrupted&) {
          throw;
        } catch (...) {
          readFailure = std::current_exception();
          reading = false;
        }
        if (batch.lineCount() > 0) {
          if (!pool) {
            const PlanTables tables(mapping_, PlanUse::encode, rules_.host);
            for (const NamedLayout& layout : layouts_)
              plans.emplace_back(layout.layout, rules_.recordOptions(), tables, rules_.encoding);
            pool.emplace(threads, [this, &plans] {
              auto encoder = std::make_shared<RecordEncoder>(rules_, mapping_, plans);
              return [encoder](Batch& batch) { encoder->encode(batch); };
            });
          }
          pool->submit(batch);
          ++inFlight;
          inFlightBytes += batch.text.size();
        }
        if (filled || !reading) continue;
      }
      if (inFlight == 0) break;
      Batch& batch = batches[oldest];
      pool->wait(batch);
      oldest = (oldest + 1) % batches.size();
      --inFlight;
      inFlightBytes -= batch.text.size();
      const Outcome outcome = writeBatch(batch, reader.display(batch.input), sink);
      batch.release(2 * kBatchBytes);
      if (outcome == Outcome::complete) continue;
      progress_.clear();
      if (outcome == Outcome::interrupted) return interrupted(sink);
      reportStop(sink);
      return kExitBadData;
    }
    if (readFailure) std::rethrow_exception(readFailure);
    // An interrupted producer may have ended the input early: such an input is not committed.
    if (guard_->pending()) return interrupted(sink);
    framed_.clear();
    framer_.finish(framed_);
    sink.write(framed_.data(), framed_.size());
    sink.commit();
    progress_.clear();
    if (!options_.quiet) {
      reportChangedValues();
      reportSummary(sink);
    }
    return badRecords_ == 0 ? kExitSuccess : kExitBadData;
  }

  // Drops the output after a termination signal and says what became of it.
  int interrupted(OutputSink& sink) {
    progress_.clear();
    std::fprintf(stderr, "quor: interrupted; %s\n", abandon(sink).c_str());
    return kExitIo;  // the signal, raised again when the guard goes, normally ends the process first
  }

  // Drops the output and says what became of it: what stays of one written in place is whole records,
  // or whole blocks of a VB file.
  std::string abandon(OutputSink& sink) {
    switch (options_.shape.framing.format) {
      case RecordFormat::fixed:
        return sink.abandonAndDescribe(shortest_ == longest_ ? longest_ : 0, "whole records");
      case RecordFormat::variable:
        return sink.abandonAndDescribe(0, "whole records");
      case RecordFormat::variableBlocked:
        return sink.abandonAndDescribe(0, "whole blocks");
    }
    return sink.abandonAndDescribe(0, "whole records");
  }

  // Writes the records of `batch` from `first` to `last` (indexes of recordEnds), framed.
  void writeRecords(const Batch& batch, std::size_t first, std::size_t last, OutputSink& sink) {
    std::size_t begin = first == 0 ? 0 : batch.recordEnds[first - 1];
    for (std::size_t r = first; r < last; ++r) {
      const std::size_t length = batch.recordEnds[r] - begin;
      shortest_ = std::min(shortest_, length);
      longest_ = std::max(longest_, length);
      begin = batch.recordEnds[r];
    }
    const std::size_t from = first == 0 ? 0 : batch.recordEnds[first - 1];
    if (options_.shape.framing.format == RecordFormat::fixed) {
      sink.write(batch.records.data() + from, batch.recordEnds[last - 1] - from);
      return;
    }
    framed_.clear();
    begin = from;
    for (std::size_t r = first; r < last; ++r) {
      framer_.append({batch.records.data() + begin, batch.recordEnds[r] - begin}, framed_);
      begin = batch.recordEnds[r];
    }
    sink.write(framed_.data(), framed_.size());
  }

  // Writes the good records of an encoded batch and reports its bad lines, line by line, unless a bad
  // record or a termination signal ends the run.
  Outcome writeBatch(const Batch& batch, const std::string& display, OutputSink& sink) {
    if (!batch.failure && batch.badLines.empty() && batch.changed.empty() && !batch.records.empty()) {
      // Every record good: written in one piece, the signal check where the loop below would make it.
      const std::uint64_t before = records_ + badRecords_;
      writeRecords(batch, 0, batch.recordEnds.size(), sink);
      records_ += batch.recordEnds.size();
      const std::uint64_t done = records_ + badRecords_;
      progress_.advance(before, done, batch.bytesRead);
      // No value of the batch was changed: its change counts are all zero.
      if ((before & ~kSignalCheckMask) != (done & ~kSignalCheckMask) && guard_->pending()) return Outcome::interrupted;
      return Outcome::complete;
    }
    const std::size_t lines = batch.failure ? batch.failedLine : batch.lineCount();
    std::size_t bad = 0;
    std::size_t record = 0;
    for (std::size_t i = 0; i < lines; ++i) {
      if (bad < batch.badLines.size() && batch.badLines[bad].line == i) {
        const std::string where = display + ":" + std::to_string(batch.lines[i]);
        if (!noteBadRecord(where, batch.badLines[bad].problem)) return Outcome::badRecord;
        ++bad;
      } else {
        writeRecords(batch, record, record + 1, sink);
        ++record;
        ++records_;
      }
      const std::uint64_t done = records_ + badRecords_;
      progress_.update(done, batch.bytesRead);
      if ((done & kSignalCheckMask) == 0 && guard_->pending()) return Outcome::interrupted;
    }
    if (batch.failure) std::rethrow_exception(batch.failure);
    for (std::size_t kind = 0; kind < kTallyKinds; ++kind) changes_[kind] += batch.changes[kind];
    for (const Batch::ChangedValue& value : batch.changed) {
      if (changed_.size() == Batch::kListedChanges) break;
      changed_.push_back(display + ":" + std::to_string(batch.lines[value.line]) + ": " + value.problem);
    }
    return Outcome::complete;
  }

  // Reports the bad record at `where`; false when it ends the run.
  bool noteBadRecord(const std::string& where, const std::string& problem) {
    progress_.clear();
    if (!reportBadRecord(where + ": " + problem, "(line skipped)", options_.skipBad, options_.maxErrors, badRecords_))
      return false;
    if (skipped_.size() < kListedSkips) skipped_.push_back(where);
    return true;
  }

  // Drops the output of a run a bad record ends, and says what became of it.
  void reportStop(OutputSink& sink) {
    std::fprintf(stderr, "quor: stopped; %s%s\n", abandon(sink).c_str(),
                 options_.skipBad ? "" : " (--skip-bad writes the good records and skips the bad ones)");
  }

  // With --lenient: the values written other than they read, the first ones each on a line.
  void reportChangedValues() const {
    std::uint64_t changed = 0;
    for (const std::uint64_t count : changes_) changed += count;
    if (changed == 0) return;
    std::fprintf(stderr, "quor: %s written other than they read (--lenient):\n", counted(changed, "value").c_str());
    for (const std::string& value : changed_) std::fprintf(stderr, "  %s\n", value.c_str());
    std::string kinds;
    for (std::size_t kind = 1; kind < kTallyKinds; ++kind) {
      if (changes_[kind] == 0) continue;
      if (!kinds.empty()) kinds += ", ";
      kinds += std::to_string(changes_[kind]) + " " + std::string(summaryPhrase(kind));
    }
    if (changed > changed_.size())
      std::fprintf(stderr, "  and %llu more\n", static_cast<unsigned long long>(changed - changed_.size()));
    std::fprintf(stderr, "quor: in all: %s\n", kinds.c_str());
  }

  void reportSummary(const OutputSink& sink) const {
    const std::string target = options_.outputPath.empty() ? "standard output" : options_.outputPath;
    const double seconds = progress_.elapsedSeconds();
    const std::string length = records_ == 0           ? std::string()
                               : shortest_ == longest_ ? ", record length " + std::to_string(longest_)
                                                       : ", records of " + std::to_string(shortest_) +
                                                             " to " + std::to_string(longest_) + " bytes";
    std::fprintf(stderr, "quor: %s, %s%s, %.2f s -> %s\n", counted(records_, "record").c_str(),
                 counted(sink.bytesWritten(), "byte").c_str(), length.c_str(), seconds, target.c_str());
    if (badRecords_ > 0) {
      std::string list;
      for (const std::string& where : skipped_) list += (list.empty() ? "" : ", ") + where;
      if (badRecords_ > skipped_.size()) list += ", ...";
      std::fprintf(stderr, "quor: %s skipped: %s\n", counted(badRecords_, "bad record").c_str(),
                   list.c_str());
    }
  }

  const EncodeOptions& options_;
  const std::vector<NamedLayout>& layouts_;
  Progress progress_;
  const GaijiMapping mapping_;               // shared by the encoders, which only read it
  std::optional<JsonLinesReader> json_;      // JSON Lines in, shared by the encoders
  std::optional<RecordSelector> selector_;   // the type field's check, shared by the encoders
  RecordRules rules_;
  FrameWriter framer_;
  std::vector<std::uint8_t> framed_;          // framed records on their way to the sink
  const InterruptionGuard* guard_ = nullptr;  // the run's, set by run()
  ChangeCounts changes_{};
  std::vector<std::string> changed_;  // the first changed values, with their place
  std::vector<std::string> skipped_;
  std::uint64_t records_ = 0;
  std::uint64_t badRecords_ = 0;
  std::size_t shortest_ = SIZE_MAX;  // the lengths of the records written
  std::size_t longest_ = 0;
};

}  // namespace

int runEncode(const EncodeOptions& options) {
  checkOptions(options);
  // Refused before anything is read or written: an output that is a file the run reads, or a terminal.
  OutputTarget target =
      openOutput(options.outputPath, {options.inputs, options.layoutPath, options.gaijiPath}, options.force);
  EncodeRun run(options);
  return run.run(std::move(target));
}

}  // namespace quor::cli
