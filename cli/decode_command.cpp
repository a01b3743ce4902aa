#include "decode_command.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "change_messages.hpp"
#include "gaiji_file.hpp"
#include "input_file.hpp"
#include "interruption.hpp"
#include "io_error.hpp"
#include "output_sink.hpp"
#include "output_target.hpp"
#include "progress.hpp"
#include "quor/csv_writer.hpp"
#include "quor/record.hpp"
#include "quor/record_plan.hpp"
#include "quor/text.hpp"
#include "record_faults.hpp"
#include "text_convert.hpp"

namespace quor::cli {

namespace {

// Records are read this many bytes at a time, at least one record.
constexpr std::size_t kReadBytes = std::size_t{1} << 20;
constexpr std::size_t kListed = 20;

RecordOptions recordOptionsOf(const DecodeOptions& options) {
  RecordOptions record;
  record.convertSign = options.convertSign;
  record.keepPadding = options.keepPadding;
  record.keepZeros = options.keepZeros;
  record.host = options.host;
  record.shiftCodes = options.shiftCodes;
  return record;
}

class DecodeRun {
 public:
  explicit DecodeRun(const DecodeOptions& options)
      : DecodeRun(options, loadGaijiMapping(options.gaijiPath)) {}

  int run(OutputTarget target) {
    if (options_.layout.recordLength == 0) throw UsageError("the layout has no bytes");
    std::vector<std::string> inputs = options_.inputs;
    if (inputs.empty()) inputs.emplace_back("-");
    progress_.expectBytes(inputsSize(inputs));
    // A termination signal ends any wait of the run, which then undoes or says what it wrote before
    // the signal takes effect.
    const InterruptionGuard guard;
    OutputSink sink(std::move(target));
    try {
      if (options_.header) writeHeader(sink);
      for (const std::string& name : inputs) {
        const InputFile input(name);
        const Outcome outcome = decodeInput(input, sink, guard);
        if (outcome == Outcome::complete) continue;
        if (outcome == Outcome::interrupted) return interrupted(sink);
        progress_.clear();
        // Lines are written whole, so what stays of an output written in place ends at a line.
        std::fprintf(stderr, "quor: stopped; %s%s\n", sink.abandonAndDescribe(0).c_str(),
                     options_.skipBad ? "" : " (--skip-bad writes the good records and skips the bad ones)");
        return kExitBadData;
      }
      sink.commit();
    } catch (const Interrupted&) {
      return interrupted(sink);
    }
    progress_.clear();
    if (!options_.quiet) report(sink);
    return bad_ == 0 ? kExitSuccess : kExitBadData;
  }

 private:
  enum class Outcome { complete, bad, interrupted };

  // Drops the output after a termination signal and says what became of it.
  int interrupted(OutputSink& sink) {
    progress_.clear();
    std::fprintf(stderr, "quor: interrupted; %s\n", sink.abandonAndDescribe(0).c_str());
    return kExitIo;  // the signal, raised again when the guard goes, normally ends the process first
  }

  DecodeRun(const DecodeOptions& options, const GaijiMapping& gaiji)
      : options_(options),
        decoder_(options.layout, recordOptionsOf(options), gaiji),
        csv_{options.delimiter, options.cp932 ? TextEncoding::cp932 : TextEncoding::utf8,
             options.crlf.value_or(options.cp932)},
        progress_(!options.quiet && ::isatty(STDERR_FILENO) != 0) {
    plan_.emplace(options.layout, recordOptionsOf(options), PlanTables(gaiji, PlanUse::decode, options.host), csv_);
  }

  void writeHeader(OutputSink& sink) {
    const Layout& layout = options_.layout;
    std::vector<std::u16string> names;
    for (const std::size_t field : layout.columns()) {
      const std::string& name = layout.fields[field].name;
      names.push_back(toUtf16(name.empty() ? "field " + std::to_string(names.size() + 1) : name, "a field name"));
    }
    std::string line;
    appendCsvRecord(names, csv_, line);
    sink.write(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
  }

  Outcome decodeInput(const InputFile& input, OutputSink& sink, const InterruptionGuard& guard) {
    const std::size_t length = options_.layout.recordLength;
    std::vector<std::uint8_t> buffer(std::max(length, kReadBytes / length * length));
    std::size_t held = 0;
    std::uint64_t record = 0;
    bool ended = false;
    while (!ended) {
      // Fill the buffer; a short read only means more is to come, until read() says the end.
      while (held < buffer.size()) {
        const ssize_t got = readInterruptibly(input.fd(), buffer.data() + held, buffer.size() - held);
        if (got < 0) throw ioErrorFromErrno("cannot read " + input.display(), errno);
        if (got == 0) {
          ended = true;
          break;
        }
        held += static_cast<std::size_t>(got);
        bytesRead_ += static_cast<std::uint64_t>(got);
      }
      const std::size_t whole = held / length;
      for (std::size_t r = 0; r < whole; ++r, ++record) {
        const std::span<const std::uint8_t> bytes(buffer.data() + r * length, length);
        if (!decodeRecord(input.display(), record, bytes, sink)) return Outcome::bad;
        progress_.update(records_ + bad_, bytesRead_);
        if ((record & 0xFFF) == 0 && guard.pending()) return Outcome::interrupted;
      }
      std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(whole * length),
                buffer.begin() + static_cast<std::ptrdiff_t>(held), buffer.begin());
      held -= whole * length;
    }
    if (held > 0) {
      const std::string problem = counted(held, "leftover byte") + " after the last whole record (records are " +
                                  std::to_string(length) + " bytes)";
      if (!noteBad(input.display() + ": record " + std::to_string(record + 1) + " (byte offset " +
                       std::to_string(record * length) + "): " + problem))
        return Outcome::bad;
    }
    return guard.pending() ? Outcome::interrupted : Outcome::complete;
  }

  // Decodes one record and writes its line; false when a bad record ends the run.
  bool decodeRecord(const std::string& display, std::uint64_t record, std::span<const std::uint8_t> bytes,
                    OutputSink& sink) {
    if (plan_) {
      // Straight into the output's buffer.
      const std::size_t length = plan_->decode(bytes, reinterpret_cast<char*>(sink.room(plan_->maxLineBytes())));
      if (length != 0) {
        sink.wrote(length);
        ++records_;
        return true;
      }
    }
    decoder_.decode(bytes, values_, faults_, options_.lenient);
    const std::uint64_t start = record * options_.layout.recordLength;
    if (!faults_.empty()) {
      const std::string where = display + ": record " + std::to_string(record + 1);
      if (!options_.lenient) return noteBad(faultMessage(where, start, options_.layout, bytes, faults_.front()));
      for (const FieldFault& fault : faults_) {
        ++changed_;
        if (listed_.size() < kListed) listed_.push_back(faultMessage(where, start, options_.layout, bytes, fault));
      }
    }
    line_.clear();
    appendCsvRecord(values_, csv_, line_);
    sink.write(reinterpret_cast<const std::uint8_t*>(line_.data()), line_.size());
    ++records_;
    return true;
  }

  bool noteBad(const std::string& message) {
    progress_.clear();
    return reportBadRecord(message, "(record skipped)", options_.skipBad, options_.maxErrors, bad_);
  }

  void report(const OutputSink& sink) const {
    if (changed_ > 0) {
      std::fprintf(stderr, "quor: %s of invalid data written as U+FFFD or raw digits (--lenient):\n",
                   counted(changed_, "field").c_str());
      for (const std::string& message : listed_) std::fprintf(stderr, "  %s\n", message.c_str());
      if (changed_ > listed_.size())
        std::fprintf(stderr, "  and %llu more\n", static_cast<unsigned long long>(changed_ - listed_.size()));
    }
    const std::string target =
        options_.outputPath.empty() || options_.outputPath == "-" ? "standard output" : options_.outputPath;
    std::fprintf(stderr, "quor: %s, %s, %.2f s -> %s\n", counted(records_, "record").c_str(),
                 counted(sink.bytesWritten(), "byte").c_str(), progress_.elapsedSeconds(), target.c_str());
    if (bad_ > 0) std::fprintf(stderr, "quor: %s skipped\n", counted(bad_, "bad record").c_str());
  }

  const DecodeOptions& options_;
  const RecordDecoder decoder_;
  const CsvWriteOptions csv_;
  std::optional<DecodePlan> plan_;  // the common record's way
  Progress progress_;
  std::vector<std::u16string> values_;
  std::vector<FieldFault> faults_;
  std::string line_;
  std::vector<std::string> listed_;
  std::uint64_t changed_ = 0;
  std::uint64_t records_ = 0;
  std::uint64_t bad_ = 0;
  std::uint64_t bytesRead_ = 0;
};

}  // namespace

int runDecode(const DecodeOptions& options) {
  // The CSV is text: a terminal may show it.
  OutputTarget target = openOutput(options.outputPath, {options.inputs, options.layoutPath, options.gaijiPath}, true);
  DecodeRun run(options);
  return run.run(std::move(target));
}

}  // namespace quor::cli
