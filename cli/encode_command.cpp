#include "encode_command.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>

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

class EncodeRun {
 public:
  explicit EncodeRun(const EncodeOptions& options)
      : options_(options),
        layout_(options.layout),
        progress_(!options.quiet && ::isatty(STDERR_FILENO) != 0) {
    pinGaijiMapping();
    items_.reserve(layout_.fields.size());
  }

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
    for (const std::string& name : inputs) {
      const Outcome outcome = readInput(name, sink);
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
  // The mapping file is read once and pinned, so the records do not read it per character. Without
  // --gaiji the component's default file is used, as the component would read it.
  void pinGaijiMapping() {
    const std::u16string path =
        options_.gaijiPath ? toUtf16(*options_.gaijiPath, "the --gaiji file name") : quor_.JEFGaijiFilePath();
    GaijiMapping mapping = GaijiMapping::read(path);
    if (options_.gaijiPath && !mapping.opened())
      throw IoError("cannot read the gaiji mapping file " + *options_.gaijiPath);
    quor_.PinGaijiMapping(std::move(mapping));
  }

  enum class Outcome { complete, badRecord, interrupted };

  // Reads one input to its end, unless a bad record or a termination signal ends the run.
  Outcome readInput(const std::string& name, OutputSink& sink) {
    const InputFile input(name);
    LineReader reader(input.fd(), input.display());
    std::string_view line;
    while (reader.next(line)) {
      if (reader.lineNumber() == 1 && options_.encoding == InputEncoding::utf8 &&
          line.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        line.remove_prefix(kUtf8ByteOrderMark.size());
      if (!encodeLine(line, sink)) {
        const std::string where = input.display() + ":" + std::to_string(reader.lineNumber());
        if (!noteBadRecord(where)) return Outcome::badRecord;
      }
      const std::uint64_t lines = records_ + badRecords_;
      progress_.update(lines, bytesRead_ + reader.bytesRead());
      if ((lines & kSignalCheckMask) == 0 && guard_->pending()) return Outcome::interrupted;
    }
    bytesRead_ += reader.bytesRead();
    return Outcome::complete;
  }

  // Builds and writes one record. False when the record is bad; problem_ then says why.
  bool encodeLine(std::string_view line, OutputSink& sink) {
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
    if (!checkChanges()) return false;
    sink.write(record.data(), record.size());
    ++records_;
    if (recordLength_ == 0) recordLength_ = record.size();
    return true;
  }

  // Items cut at every "," as the component cuts them: no quoting, no trimming.
  void splitItems(std::u16string_view values) {
    items_.clear();
    if (values.empty()) return;
    std::size_t start = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
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
  bool checkChanges() {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const Change change = checker_.check(items_[i], layout_.fields[i]);
      if (change == Change::none) continue;
      if (options_.strict) {
        problem_ = layout_.describe(i) + ": " + describeChange(change, items_[i], layout_.fields[i]);
        return false;
      }
      ++changes_[static_cast<std::size_t>(change)];
    }
    return true;
  }

  // Reports the bad record at `where`; false when it ends the run.
  bool noteBadRecord(const std::string& where) {
    ++badRecords_;
    progress_.clear();
    const bool tooMany = options_.maxErrors && badRecords_ > *options_.maxErrors;
    if (!options_.skipBad || tooMany) {
      std::fprintf(stderr, "%s: %s\n", where.c_str(), problem_.c_str());
      if (tooMany)
        std::fprintf(stderr, "quor: the bad records exceed --max-errors %llu\n",
                     static_cast<unsigned long long>(*options_.maxErrors));
      return false;
    }
    std::fprintf(stderr, "%s: %s (line skipped)\n", where.c_str(), problem_.c_str());
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
  Quor quor_;
  Progress progress_;
  const ValueChecker checker_;
  const InterruptionGuard* guard_ = nullptr;  // the run's, set by run()
  std::u16string text_;                       // the decoded line, storage reused
  std::vector<std::u16string_view> items_;    // its items, views into text_
  std::string problem_;                       // why the last bad record is bad
  ChangeCounts changes_{};
  std::vector<std::string> skipped_;
  std::uint64_t records_ = 0;
  std::uint64_t badRecords_ = 0;
  std::uint64_t bytesRead_ = 0;
  std::size_t recordLength_ = 0;
};

}  // namespace

int runEncode(const EncodeOptions& options) {
  EncodeRun run(options);
  return run.run();
}

}  // namespace quor::cli
