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
std::size_t batchLines(const Layout& layout) {
  return std::clamp<std::size_t>(kBatchBytes / std::max<std::size_t>(layout.recordLength, 1), 1, kBatchLines);
}

class EncodeRun {
 public:
  explicit EncodeRun(const EncodeOptions& options)
      : options_(options),
        layout_(options.layout),
        progress_(!options.quiet && ::isatty(STDERR_FILENO) != 0),
        mapping_(loadGaijiMapping(options.gaijiPath)),
        rules_{options.layout, options.convertSign, options.encoding, options.lenient, options.csv, options.host,
               options.shiftCodes} {}

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
    BatchReader reader(
        inputs, {options_.encoding, options_.form, options_.csv, options_.header, options_.skipBlankLines},
        layout_, batchLines(layout_), kBatchBytes);
    const unsigned threads = options_.threads != 0 ? options_.threads : encodingThreads();
    std::vector<Batch> batches(threads * kBatchesPerThread);
    // The plan and the threads come with the first batch: a run without records makes neither. One
    // plan serves every thread. The pool ends before the plan, the batches, the sink and the guard go.
    std::optional<EncodePlan> plan;
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
            plan.emplace(rules_.layout, rules_.recordOptions(), PlanTables(mapping_, PlanUse::encode, rules_.host),
                         rules_.encoding);
            pool.emplace(threads, [this, &plan] {
              auto encoder = std::make_shared<RecordEncoder>(rules_, mapping_, *plan);
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
    std::fprintf(stderr, "quor: interrupted; %s\n", sink.abandonAndDescribe(recordLength_).c_str());
    return kExitIo;  // the signal, raised again when the guard goes, normally ends the process first
  }

  // Writes the good records of an encoded batch and reports its bad lines, line by line, unless a bad
  // record or a termination signal ends the run.
  Outcome writeBatch(const Batch& batch, const std::string& display, OutputSink& sink) {
    if (!batch.failure && batch.badLines.empty() && batch.changed.empty() && !batch.records.empty()) {
      // Every record good: written in one piece, the signal check where the loop below would make it.
      const std::uint64_t before = records_ + badRecords_;
      sink.write(batch.records.data(), batch.records.size());
      if (recordLength_ == 0) recordLength_ = batch.recordEnds.front();
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
    std::size_t recordBegin = 0;
    for (std::size_t i = 0; i < lines; ++i) {
      if (bad < batch.badLines.size() && batch.badLines[bad].line == i) {
        const std::string where = display + ":" + std::to_string(batch.lines[i]);
        if (!noteBadRecord(where, batch.badLines[bad].problem)) return Outcome::badRecord;
        ++bad;
      } else {
        const std::size_t recordEnd = batch.recordEnds[record++];
        sink.write(batch.records.data() + recordBegin, recordEnd - recordBegin);
        if (recordLength_ == 0) recordLength_ = recordEnd - recordBegin;
        recordBegin = recordEnd;
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
  void reportStop(OutputSink& sink) const {
    std::fprintf(stderr, "quor: stopped; %s%s\n", sink.abandonAndDescribe(recordLength_).c_str(),
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
    const std::string length =
        records_ == 0 ? std::string() : ", record length " + std::to_string(recordLength_);
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
  const Layout& layout_;
  Progress progress_;
  const GaijiMapping mapping_;               // shared by the encoders, which only read it
  const RecordRules rules_;
  const InterruptionGuard* guard_ = nullptr;  // the run's, set by run()
  ChangeCounts changes_{};
  std::vector<std::string> changed_;  // the first changed values, with their place
  std::vector<std::string> skipped_;
  std::uint64_t records_ = 0;
  std::uint64_t badRecords_ = 0;
  std::size_t recordLength_ = 0;
};

}  // namespace

int runEncode(const EncodeOptions& options) {
  // Refused before anything is read or written: an output that is a file the run reads, or a terminal.
  OutputTarget target =
      openOutput(options.outputPath, {options.inputs, options.layoutPath, options.gaijiPath}, options.force);
  EncodeRun run(options);
  return run.run(std::move(target));
}

}  // namespace quor::cli
