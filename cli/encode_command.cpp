#include "encode_command.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include "interruption.hpp"
#include "io_error.hpp"
#include "line_reader.hpp"
#include "output_sink.hpp"
#include "progress.hpp"
#include "quor/quor.hpp"
#include "text_convert.hpp"
#include "value_check.hpp"

namespace quor::cli {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
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
constexpr unsigned kMostThreads = 4;

// "1 record", "2 records".
std::string counted(std::uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// An input file held open for the length of its reading.
class InputFile {
 public:
  explicit InputFile(const std::string& name) {
    if (name == "-") {
      fd_ = STDIN_FILENO;
      display_ = "<stdin>";
      return;
    }
    fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw ioErrorFromErrno("cannot open " + name, errno);
    owned_ = true;
    display_ = name;
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() {
    if (owned_) ::close(fd_);
  }
  [[nodiscard]] int fd() const noexcept { return fd_; }
  [[nodiscard]] const std::string& display() const noexcept { return display_; }

 private:
  int fd_ = -1;
  bool owned_ = false;
  std::string display_;
};

// Lines of one input handed to an encoder, and what became of them.
struct Batch {
  struct BadLine {
    std::size_t line;     // index in the batch
    std::string problem;  // why it is bad
  };

  // Set by the reader.
  std::size_t input = 0;          // the input's index (BatchReader::display)
  std::uint64_t firstLine = 0;    // the number of the first line in its input, from 1
  std::uint64_t bytesRead = 0;    // of all inputs, when the batch was cut: for the progress line
  std::string text;               // the lines back to back, without line ends (nor byte-order mark)
  std::vector<std::size_t> ends;  // where each line ends in text

  // Set by the encoder.
  std::vector<std::uint8_t> records;    // the good records back to back
  std::vector<std::size_t> recordEnds;  // where each one ends
  std::vector<BadLine> badLines;        // in line order
  ChangeCounts changes{};               // values of the good records written differently
  std::exception_ptr failure;           // an unforeseen failure at line failedLine ends the batch
  std::size_t failedLine = 0;
  bool encoded = false;  // guarded by the pool's mutex

  [[nodiscard]] std::size_t lineCount() const noexcept { return ends.size(); }

  void clearLines() {
    text.clear();
    ends.clear();
  }
};

// Builds the records of batches. Each encoder has its own component object and buffers, so encoders
// on different threads share nothing but the read-only layout, value checker and gaiji reading.
class RecordEncoder {
 public:
  RecordEncoder(const EncodeOptions& options, const ValueChecker& checker, const GaijiMapping& mapping)
      : options_(options), layout_(options.layout), checker_(checker) {
    quor_.PinGaijiMapping(mapping);
    items_.reserve(layout_.fields.size());
  }

  void encode(Batch& batch) noexcept {
    batch.records.clear();
    batch.recordEnds.clear();
    batch.badLines.clear();
    batch.changes = {};
    batch.failure = nullptr;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < batch.lineCount(); ++i) {
      const std::string_view line(batch.text.data() + begin, batch.ends[i] - begin);
      begin = batch.ends[i];
      try {
        if (!encodeLine(line, batch)) batch.badLines.push_back({i, std::move(problem_)});
      } catch (...) {
        batch.failure = std::current_exception();
        batch.failedLine = i;
        return;
      }
    }
  }

 private:
  // Builds one record into the batch. False when the record is bad; problem_ then says why.
  bool encodeLine(std::string_view line, Batch& batch) {
    const DecodeResult decoded = decodeLine(line, options_.encoding, text_);
    if (!decoded.ok) {
      problem_ = "byte " + std::to_string(decoded.errorOffset + 1) + ": not valid " +
                 (options_.encoding == InputEncoding::utf8 ? "UTF-8" : "code page 932") + " text";
      return false;
    }
    const std::u16string_view values(text_.data(), decoded.length);
    splitItems(values);
    if (items_.size() != layout_.fields.size()) {
      problem_ = (items_.empty() ? std::string("empty line") : counted(items_.size(), "item")) +
                 ", the layout has " + counted(layout_.fields.size(), "field");
      return false;
    }
    ByteString record;
    try {
      record = quor_.FujitsuHostQuor(values, layout_.lengthList, layout_.formatList, options_.convertSign);
    } catch (const Error& error) {
      problem_ = locateFailure(error);
      return false;
    }
    if (!checkChanges(batch.changes)) return false;
    batch.records.insert(batch.records.end(), record.begin(), record.end());
    batch.recordEnds.push_back(batch.records.size());
    return true;
  }

  // Items cut at every "," as the component cuts them: no quoting, no trimming.
  void splitItems(std::u16string_view values) {
    items_.clear();
    if (values.empty()) return;
    std::size_t start = 0;
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
      // Four units at a time: a unit that is a comma becomes 0 by the XOR, and the lowest lane the test
      // flags is the first zero one.
      constexpr std::uint64_t kLow = 0x0001000100010001ull;
      constexpr std::uint64_t kCommas = 0x002C002C002C002Cull;
      while (i + 4 <= values.size()) {
        std::uint64_t units;
        std::memcpy(&units, values.data() + i, sizeof units);
        const std::uint64_t x = units ^ kCommas;
        const std::uint64_t found = (x - kLow) & ~x & (kLow << 15);
        if (found == 0) {
          i += 4;
          continue;
        }
        i += static_cast<std::size_t>(std::countr_zero(found)) / 16;
        items_.push_back(values.substr(start, i - start));
        start = ++i;
      }
    }
    for (; i < values.size(); ++i) {
      if (values[i] != u',') continue;
      items_.push_back(values.substr(start, i - start));
      start = i + 1;
    }
    items_.push_back(values.substr(start));
  }

  // The component names only the error; the field is found by building each field on its own, which
  // gives the same result since a field's bytes depend on nothing else. Each field is built twice in
  // one call, because a single field with an empty value cannot be written as a list.
  std::string locateFailure(const Error& error) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const auto twice = [](std::u16string_view item) {
        std::u16string text(item);
        text += u',';
        text += item;
        return text;
      };
      const LayoutField& field = layout_.fields[i];
      const std::u16string length = toUtf16(std::to_string(field.length), "length");
      const std::u16string format = toUtf16(std::to_string(static_cast<int>(field.format)), "format");
      try {
        (void)quor_.FujitsuHostQuor(twice(items_[i]), twice(length), twice(format), options_.convertSign);
      } catch (const Error& fieldError) {
        return layout_.describe(i) + ": error " + std::to_string(fieldError.number()) + ": " +
               fieldError.what();
      }
    }
    return "error " + std::to_string(error.number()) + ": " + error.what();
  }

  // Counts the values the component would change; under --strict the first one makes the record bad.
  bool checkChanges(ChangeCounts& changes) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const Change change = checker_.check(items_[i], layout_.fields[i]);
      if (change == Change::none) continue;
      if (options_.strict) {
        problem_ = layout_.describe(i) + ": " + describeChange(change, items_[i], layout_.fields[i]);
        return false;
      }
      ++changes[static_cast<std::size_t>(change)];
    }
    return true;
  }

  const EncodeOptions& options_;
  const Layout& layout_;
  const ValueChecker& checker_;
  Quor quor_;
  std::u16string text_;                     // the decoded line, storage reused
  std::vector<std::u16string_view> items_;  // its items, views into text_
  std::string problem_;                     // why the last bad record is bad
};

// Encodes batches on worker threads, one encoder each. The caller hands batches in with submit() and
// takes each back with wait(). Should no thread start, wait() encodes the batch itself.
class EncoderPool {
 public:
  EncoderPool(const EncodeOptions& options, const ValueChecker& checker, const GaijiMapping& mapping,
              unsigned threads) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i)
      encoders_.push_back(std::make_unique<RecordEncoder>(options, checker, mapping));
    try {
      for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this, encoder = encoders_[i].get()] { work(*encoder); });
    } catch (const std::system_error&) {
      // Fewer threads, or none: the batches are still encoded.
    }
  }
  EncoderPool(const EncoderPool&) = delete;
  EncoderPool& operator=(const EncoderPool&) = delete;

  // Drops the batches not begun, lets the threads finish the ones they hold, and ends them.
  ~EncoderPool() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      queue_.clear();
    }
    workReady_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  void submit(Batch& batch) {
    if (threads_.empty()) return;
    {
      const std::lock_guard lock(mutex_);
      batch.encoded = false;
      queue_.push_back(&batch);
    }
    workReady_.notify_one();
  }

  // Until `batch`, submitted before, is encoded.
  void wait(Batch& batch) {
    if (threads_.empty()) {
      encoders_.front()->encode(batch);
      return;
    }
    std::unique_lock lock(mutex_);
    batchDone_.wait(lock, [&batch] { return batch.encoded; });
  }

 private:
  void work(RecordEncoder& encoder) {
    std::unique_lock lock(mutex_);
    for (;;) {
      workReady_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      Batch* batch = queue_.front();
      queue_.pop_front();
      lock.unlock();
      encoder.encode(*batch);
      lock.lock();
      batch->encoded = true;
      batchDone_.notify_all();
    }
  }

  std::vector<std::unique_ptr<RecordEncoder>> encoders_;
  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable batchDone_;
  std::deque<Batch*> queue_;  // submitted, not yet begun
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Cuts the inputs, read in order as one input, into batches of whole lines of one input each.
class BatchReader {
 public:
  BatchReader(const std::vector<std::string>& names, InputEncoding encoding, std::size_t batchLines)
      : names_(names), encoding_(encoding), batchLines_(batchLines) {}

  // True when every input has been read to its end. Opens the next input when one ended; throws
  // IoError when it cannot be opened.
  bool done() {
    if (reader_) return false;
    if (next_ == names_.size()) return true;
    file_ = std::make_unique<InputFile>(names_[next_]);
    ++next_;
    displays_.push_back(file_->display());
    reader_ = std::make_unique<LineReader>(file_->fd(), file_->display());
    return false;
  }

  // True when fill() would not wait for the producer of a pipe or a terminal.
  bool lineAtHand() { return !reader_ || reader_->lineAtHand(); }

  // Fills `batch` with the next lines of the open input (done() was false). It holds at least one line
  // unless the input ended; it is cut short rather than wait for more input. Throws IoError when the
  // input cannot be read; the batch then holds the lines read before.
  void fill(Batch& batch) {
    batch.clearLines();
    batch.input = displays_.size() - 1;
    std::string_view line;
    while (batch.lineCount() < batchLines_ && batch.text.size() < kBatchBytes) {
      if (batch.lineCount() > 0 && !reader_->lineAtHand()) return;
      if (!reader_->next(line)) {
        bytesRead_ += reader_->bytesRead();
        reader_.reset();
        file_.reset();
        return;
      }
      if (batch.lineCount() == 0) batch.firstLine = reader_->lineNumber();
      if (reader_->lineNumber() == 1 && encoding_ == InputEncoding::utf8 &&
          line.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        line.remove_prefix(kUtf8ByteOrderMark.size());
      batch.text.append(line);
      batch.ends.push_back(batch.text.size());
      batch.bytesRead = bytesRead_ + reader_->bytesRead();
    }
  }

  [[nodiscard]] const std::string& display(std::size_t input) const { return displays_[input]; }

 private:
  const std::vector<std::string>& names_;
  const InputEncoding encoding_;
  const std::size_t batchLines_;
  std::size_t next_ = 0;  // the next input to open
  std::unique_ptr<InputFile> file_;
  std::unique_ptr<LineReader> reader_;  // of file_; none between inputs
  std::vector<std::string> displays_;   // the names of the inputs opened, for messages
  std::uint64_t bytesRead_ = 0;         // of the inputs read to their end
};

// The lines a batch may hold: kBatchLines, fewer when the records are long. No field takes more than
// two bytes a character.
std::size_t batchLines(const Layout& layout) {
  std::size_t recordBytes = 0;
  for (const LayoutField& field : layout.fields) recordBytes += 2 * static_cast<std::size_t>(field.length);
  return std::clamp<std::size_t>(kBatchBytes / std::max<std::size_t>(recordBytes, 1), 1, kBatchLines);
}

// The number of encoding threads: one a processor, within reason.
unsigned encodingThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
}

class EncodeRun {
 public:
  explicit EncodeRun(const EncodeOptions& options)
      : options_(options),
        layout_(options.layout),
        progress_(!options.quiet && ::isatty(STDERR_FILENO) != 0),
        mapping_(readGaijiMapping()) {}

  int run() {
    std::vector<std::string> inputs = options_.inputs;
    if (inputs.empty()) inputs.emplace_back("-");
    // A temporary file is removed before a termination signal takes effect. Not while someone types
    // the input: a held-back Ctrl-C would wait for the next line.
    const bool typedInput =
        ::isatty(STDIN_FILENO) != 0 && std::find(inputs.begin(), inputs.end(), "-") != inputs.end();
    const InterruptionGuard guard(!options_.outputPath.empty() && !typedInput);
    guard_ = &guard;
    OutputSink sink = options_.outputPath.empty() ? OutputSink::toStandardOutput()
                                                  : OutputSink::toFile(options_.outputPath);
    BatchReader reader(inputs, options_.encoding, batchLines(layout_));
    const unsigned threads = encodingThreads();
    std::vector<Batch> batches(threads * kBatchesPerThread);
    // Started after the guard, the threads hold the signals back as well; the pool ends before the
    // batches, the sink and the guard go.
    EncoderPool pool(options_, checker_, mapping_, threads);

    // The reader keeps every batch busy; the records are written batch by batch in input order, so the
    // output, the messages and where a run stops are those of reading one line after the other. A
    // failure to read waits its turn behind the lines read before it.
    std::size_t oldest = 0;
    std::size_t inFlight = 0;
    bool reading = true;
    std::exception_ptr readFailure;
    for (;;) {
      if (reading && inFlight < batches.size()) {
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
        } catch (...) {
          readFailure = std::current_exception();
          reading = false;
        }
        if (batch.lineCount() > 0) {
          pool.submit(batch);
          ++inFlight;
        }
        if (filled || !reading) continue;
      }
      if (inFlight == 0) break;
      Batch& batch = batches[oldest];
      pool.wait(batch);
      oldest = (oldest + 1) % batches.size();
      --inFlight;
      const Outcome outcome = writeBatch(batch, reader.display(batch.input), sink);
      if (outcome == Outcome::complete) continue;
      progress_.clear();
      if (outcome == Outcome::interrupted) {
        std::fprintf(stderr, "quor: interrupted; %s was not written\n", options_.outputPath.c_str());
        sink.abandon();
        return kExitIo;  // the signal, released with the guard, normally ends the process first
      }
      reportStop(sink);
      sink.abandon();
      return kExitBadData;
    }
    if (readFailure) std::rethrow_exception(readFailure);
    // An interrupted producer may have ended the input early: such an input is not committed.
    if (guard.pending()) {
      progress_.clear();
      std::fprintf(stderr, "quor: interrupted; %s was not written\n", options_.outputPath.c_str());
      sink.abandon();
      return kExitIo;
    }
    sink.commit();
    progress_.clear();
    if (!options_.quiet) reportSummary(sink);
    return badRecords_ == 0 ? kExitSuccess : kExitBadData;
  }

 private:
  // The mapping file is read once and pinned on every encoder, so the records do not read it per
  // character. Without --gaiji the component's default file is used, as the component would read it.
  GaijiMapping readGaijiMapping() const {
    const std::u16string path = options_.gaijiPath ? toUtf16(*options_.gaijiPath, "the --gaiji file name")
                                                   : Quor().JEFGaijiFilePath();
    GaijiMapping mapping = GaijiMapping::read(path);
    if (options_.gaijiPath && !mapping.opened())
      throw IoError("cannot read the gaiji mapping file " + *options_.gaijiPath);
    return mapping;
  }

  enum class Outcome { complete, badRecord, interrupted };

  // Writes the good records of an encoded batch and reports its bad lines, line by line, unless a bad
  // record or a termination signal ends the run.
  Outcome writeBatch(const Batch& batch, const std::string& display, OutputSink& sink) {
    const std::size_t lines = batch.failure ? batch.failedLine : batch.lineCount();
    std::size_t bad = 0;
    std::size_t record = 0;
    std::size_t recordBegin = 0;
    for (std::size_t i = 0; i < lines; ++i) {
      if (bad < batch.badLines.size() && batch.badLines[bad].line == i) {
        const std::string where = display + ":" + std::to_string(batch.firstLine + i);
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
    for (std::size_t kind = 0; kind < kChangeKinds; ++kind) changes_[kind] += batch.changes[kind];
    return Outcome::complete;
  }

  // Reports the bad record at `where`; false when it ends the run.
  bool noteBadRecord(const std::string& where, const std::string& problem) {
    ++badRecords_;
    progress_.clear();
    const bool tooMany = options_.maxErrors && badRecords_ > *options_.maxErrors;
    if (!options_.skipBad || tooMany) {
      std::fprintf(stderr, "%s: %s\n", where.c_str(), problem.c_str());
      if (tooMany)
        std::fprintf(stderr, "quor: the bad records exceed --max-errors %llu\n",
                     static_cast<unsigned long long>(*options_.maxErrors));
      return false;
    }
    std::fprintf(stderr, "%s: %s (line skipped)\n", where.c_str(), problem.c_str());
    if (skipped_.size() < kListedSkips) skipped_.push_back(where);
    return true;
  }

  void reportStop(const OutputSink& sink) const {
    if (!options_.outputPath.empty()) {
      std::fprintf(stderr, "quor: stopped; %s was not written%s\n", options_.outputPath.c_str(),
                   options_.skipBad ? "" : " (--skip-bad writes the good records and skips the bad ones)");
    } else if (sink.bytesWritten() > 0) {
      std::fprintf(stderr, "quor: stopped; standard output may hold an incomplete result\n");
    } else {
      std::fprintf(stderr, "quor: stopped; nothing was written\n");
    }
  }

  void reportSummary(const OutputSink& sink) const {
    const std::string target = options_.outputPath.empty() ? "standard output" : options_.outputPath;
    const double seconds = progress_.elapsedSeconds();
    const std::string length =
        records_ == 0 ? std::string() : ", record length " + std::to_string(recordLength_);
    std::fprintf(stderr, "quor: %s, %s%s, %.2f s -> %s\n", counted(records_, "record").c_str(),
                 counted(sink.bytesWritten(), "byte").c_str(), length.c_str(), seconds, target.c_str());
    std::uint64_t changed = 0;
    for (const std::uint64_t count : changes_) changed += count;
    if (changed > 0) {
      std::string kinds;
      for (std::size_t kind = 1; kind < kChangeKinds; ++kind) {
        if (changes_[kind] == 0) continue;
        if (!kinds.empty()) kinds += ", ";
        kinds += std::to_string(changes_[kind]) + " " + std::string(summaryPhrase(static_cast<Change>(kind)));
      }
      std::fprintf(stderr, "quor: %s written differently from the input: %s; --strict refuses them\n",
                   counted(changed, "value").c_str(), kinds.c_str());
    }
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
  const GaijiMapping mapping_;
  const ValueChecker checker_;                // shared by the encoders, which only read it
  const InterruptionGuard* guard_ = nullptr;  // the run's, set by run()
  ChangeCounts changes_{};
  std::vector<std::string> skipped_;
  std::uint64_t records_ = 0;
  std::uint64_t badRecords_ = 0;
  std::size_t recordLength_ = 0;
};

}  // namespace

int runEncode(const EncodeOptions& options) {
  EncodeRun run(options);
  return run.run();
}

}  // namespace quor::cli
