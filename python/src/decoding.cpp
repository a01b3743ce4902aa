// Records read back many at a time. Each record goes through the library's RecordDecoder; its texts
// are kept column by column with the GIL released, then made Python values with it held: str, int64
// (a NumPy array, with a mask of missing values), int for wider integers, decimal.Decimal for numbers
// with places.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "binding.hpp"
#include "quor/column_values.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_problem.hpp"
#include "quor/record_stream.hpp"
#include "quor/record_types.hpp"

namespace convertquor {

namespace {

// How a column's values are held in Python.
enum class Held : std::uint8_t {
  text,        // str
  int64,       // NumPy int64: integers of at most 18 digits
  bigInteger,  // int: integers of more digits
  decimal,     // decimal.Decimal
};

// The values of one column of a block of records, without Python objects.
struct ColumnStore {
  std::u16string chars;               // the texts one after the other (all but int64)
  std::vector<std::size_t> ends;      // where each text ends in chars
  std::vector<std::int64_t> numbers;  // int64
  std::vector<std::uint8_t> missing;  // 1 where a number has no value (invalid data read leniently)
  bool anyMissing = false;

  [[nodiscard]] std::u16string_view text(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::u16string_view(chars).substr(begin, ends[i] - begin);
  }
};

// A problem found in a record, kept until the GIL is held again.
struct Found {
  std::int64_t record;  // counted from 0
  quor::RecordProblem problem;
  std::vector<std::uint8_t> bytes;
  std::uint64_t offset;
};

// The value of a decoded integer text ("-123", digits and a sign, as the decoder writes it).
std::int64_t integerOf(std::u16string_view text) {
  const bool negative = !text.empty() && text.front() == u'-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 18) throw std::logic_error("the decoder gave no integer of 18 digits");
  std::int64_t value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') throw std::logic_error("the decoder gave no integer of 18 digits");
    value = value * 10 + (c - u'0');
  }
  return negative ? -value : value;
}

// A NumPy array of the Python objects `made(text)` of the texts of a column. Python's str, int and
// Decimal cannot change, so equal texts share one object, as pandas' CSV reader shares them: a column
// of a few distinct names or codes takes a few objects, not one a record. A column whose first texts
// are mostly distinct (a key) is not looked up further.
template <class Make>
py::array objectArray(const ColumnStore& store, std::size_t count, Make&& made) {
  constexpr std::size_t kTried = 16384;
  py::array array(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(count)});
  auto** items = static_cast<PyObject**>(array.mutable_data());
  std::unordered_map<std::u16string_view, PyObject*> seen;  // objects the array holds
  bool sharing = true;
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* item = nullptr;
    if (!store.missing.empty() && store.missing[i] != 0) {
      item = Py_NewRef(Py_None);
    } else if (!sharing) {
      item = made(store.text(i)).release().ptr();
    } else {
      const auto [place, added] = seen.try_emplace(store.text(i), nullptr);
      if (added) place->second = made(place->first).release().ptr();
      item = added ? place->second : Py_NewRef(place->second);
      if (i + 1 == kTried && seen.size() > kTried / 4 * 3) {
        sharing = false;
        seen = {};
      }
    }
    PyObject* old = items[i];
    items[i] = item;
    Py_XDECREF(old);
  }
  return array;
}

class RecordReader {
 public:
  RecordReader(const quor::Layout& layout, const quor::RecordOptions& options,
               const quor::GaijiMapping& gaiji, bool lenient, py::object decimalType)
      : decoder_(layout, options, gaiji), lenient_(lenient), decimal_(std::move(decimalType)) {
    const std::vector<std::size_t> fields = layout.columns();
    for (const std::string& name : layout.columnNames()) {
      names_.push_back(name);
      keys_.push_back(py::str(name));
    }
    for (const std::size_t field : fields) {
      const quor::ColumnValues values = quor::columnValues(layout.fields[field], options);
      held_.push_back(values.kind == quor::ValueKind::text      ? Held::text
                      : values.kind == quor::ValueKind::decimal ? Held::decimal
                      : values.digits <= 18                     ? Held::int64
                                                                : Held::bigInteger);
    }
  }

  // Reads the whole records in `buffer`, the first of them record `firstRecord` (counted from 0) of a
  // file, at byte `firstOffset`. Returns (values, kept, bad, listed, faults):
  // - values: one dict a record with `rows`, else one item a column: an object array, or for int64
  //   columns (values, mask), the mask None when no value is missing;
  // - kept: None when every record was read, else the record numbers read (int64 array);
  // - bad: the problems of records with invalid data (none when lenient); with `stopAtBad` the records
  //   after the first bad one are not read;
  // - listed: lenient, the first `listing` problems of invalid data read; faults: how many in all.
  py::tuple read(const py::buffer& buffer, std::int64_t firstRecord, std::uint64_t firstOffset,
                 bool stopAtBad, bool rows, std::size_t listing) {
    const py::buffer_info info = buffer.request();
    const auto* bytes = static_cast<const std::uint8_t*>(info.ptr);
    const auto size = static_cast<std::size_t>(info.size * info.itemsize);
    const std::size_t length = decoder_.layout().recordLength;
    if (length == 0 || size % length != 0) throw std::invalid_argument("the buffer holds no whole records");

    Taken taken;
    {
      const py::gil_scoped_release released;
      const std::lock_guard<std::mutex> lock(mutex_);
      for (std::size_t r = 0; r < size / length; ++r) {
        const std::span<const std::uint8_t> record(bytes + r * length, length);
        if (!take(record, firstRecord + static_cast<std::int64_t>(r), firstOffset + r * length, taken,
                  listing) &&
            stopAtBad)
          break;
      }
    }
    py::object values = made(taken, rows);
    py::object keptNumbers = py::none();
    if (taken.kept.size() != size / length)
      keptNumbers = py::array_t<std::int64_t>(static_cast<py::ssize_t>(taken.kept.size()), taken.kept.data());
    return py::make_tuple(values, keptNumbers, dicts(taken.bad), dicts(taken.listed), taken.faults);
  }

  // What a run of take() calls kept: the values column by column, the record numbers read, the bad
  // records and, lenient, the invalid data let through.
  struct Taken {
    std::vector<ColumnStore> stores;
    std::vector<std::int64_t> kept;
    std::vector<Found> bad;
    std::vector<Found> listed;
    std::size_t faults = 0;
  };

  // Decodes `record`, record `number` (from 0) of its file at byte `start`, into `taken`; false when it
  // holds invalid data and is not lenient (it is then among taken.bad). The GIL need not be held; the
  // caller holds mutex_ (or owns the reader alone).
  bool take(std::span<const std::uint8_t> record, std::int64_t number, std::uint64_t start, Taken& taken,
            std::size_t listing) {
    if (taken.stores.size() != held_.size()) taken.stores.resize(held_.size());
    decoder_.decode(record, values_, faults_, lenient_);
    if (!faults_.empty() && !lenient_) {
      taken.bad.push_back(found(number, start, record, faults_.front()));
      return false;
    }
    taken.faults += faults_.size();
    for (const quor::FieldFault& fault : faults_)
      if (taken.listed.size() < listing) taken.listed.push_back(found(number, start, record, fault));
    taken.kept.push_back(number);
    keep(taken.stores);
    return true;
  }

  // The values taken as Python values: one dict a record with `rows`, else one item a column. The GIL
  // is held.
  py::object made(Taken& taken, bool rows) const {
    if (taken.stores.size() != held_.size()) taken.stores.resize(held_.size());
    const std::vector<ColumnStore>& stores = taken.stores;
    py::list made;
    if (rows) {
      for (std::size_t i = 0; i < taken.kept.size(); ++i) {
        py::dict row;
        for (std::size_t c = 0; c < held_.size(); ++c) row[keys_[c]] = valueOf(stores[c], c, i);
        made.append(std::move(row));
      }
    } else {
      for (std::size_t c = 0; c < held_.size(); ++c) made.append(columnOf(stores[c], c, taken.kept.size()));
    }
    return made;
  }

  py::list dicts(const std::vector<Found>& problems) const {
    py::list list;
    for (const Found& f : problems) {
      const std::string& name = f.problem.field.empty() ? std::string() : names_[f.problem.column];
      list.append(problemDict(f.problem, f.record + 1, name,
                              py::bytes(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size()),
                              f.offset));
    }
    return list;
  }

  [[nodiscard]] const quor::Layout& layout() const noexcept { return decoder_.layout(); }
  [[nodiscard]] const quor::RecordDecoder& decoder() const noexcept { return decoder_; }

  [[nodiscard]] py::list names() const {
    py::list list;
    for (const py::str& key : keys_) list.append(key);
    return list;
  }

 private:
  Found found(std::int64_t number, std::uint64_t start, std::span<const std::uint8_t> record,
              const quor::FieldFault& fault) const {
    const std::size_t end = std::min(record.size(), fault.offset + fault.length);
    return {number, quor::faultProblem(decoder_.layout(), record, fault),
            std::vector<std::uint8_t>(record.begin() + static_cast<std::ptrdiff_t>(fault.offset),
                                      record.begin() + static_cast<std::ptrdiff_t>(end)),
            start + fault.offset};
  }

  // Keeps the decoded values of a record read (faults_ holds the lenient reading's invalid data).
  void keep(std::vector<ColumnStore>& stores) const {
    auto fault = faults_.begin();
    for (std::size_t c = 0; c < held_.size(); ++c) {
      ColumnStore& store = stores[c];
      const bool faulty = fault != faults_.end() && fault->column == c;
      if (faulty) ++fault;
      const std::u16string& text = values_[c];
      if (held_[c] == Held::text) {
        store.chars += text;
        store.ends.push_back(store.chars.size());
        continue;
      }
      // A number read leniently from invalid data holds its raw digits: no value.
      const bool missing = faulty || text.empty();
      store.missing.push_back(missing ? 1 : 0);
      store.anyMissing = store.anyMissing || missing;
      if (held_[c] == Held::int64) {
        store.numbers.push_back(missing ? 0 : integerOf(text));
      } else {
        if (!missing) store.chars += text;
        store.ends.push_back(store.chars.size());
      }
    }
  }

  // The value of a text of a column that is held as objects.
  py::object objectOf(Held held, std::u16string_view text) const {
    if (held == Held::text) return strOf(text);
    if (held == Held::decimal) return decimal_(strOf(text));
    PyObject* number = PyLong_FromUnicodeObject(strOf(text).ptr(), 10);
    if (number == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(number);
  }

  py::object valueOf(const ColumnStore& store, std::size_t column, std::size_t i) const {
    const Held held = held_[column];
    if (held != Held::text && store.missing[i] != 0) return py::none();
    if (held == Held::int64) return py::int_(store.numbers[i]);
    return objectOf(held, store.text(i));
  }

  py::object columnOf(const ColumnStore& store, std::size_t column, std::size_t count) const {
    const Held held = held_[column];
    if (held != Held::int64)
      return objectArray(store, count, [&](std::u16string_view text) { return objectOf(held, text); });
    const auto n = static_cast<py::ssize_t>(count);
    py::array_t<std::int64_t> numbers(n, store.numbers.data());
    if (!store.anyMissing) return py::make_tuple(numbers, py::none());
    py::array_t<bool> mask(n);
    bool* flags = mask.mutable_data();
    for (std::size_t i = 0; i < count; ++i) flags[i] = store.missing[i] != 0;
    return py::make_tuple(numbers, mask);
  }

  const quor::RecordDecoder decoder_;
  const bool lenient_;
  const py::object decimal_;
  std::vector<Held> held_;
  std::vector<std::string> names_;
  std::vector<py::str> keys_;
  std::mutex mutex_;  // one block at a time: the decoder and its working storage
  std::vector<std::u16string> values_;
  std::vector<quor::FieldFault> faults_;
};

// The records of a file as its framing gives them (F, V or VB), of one layout or of several told
// apart by a type field, read through the library's RecordStream a block of the file at a time: the
// way quor decode reads them. Each record is decoded by its layout's RecordReader.
class FileReader {
 public:
  FileReader(std::vector<quor::NamedLayout> layouts, const std::string& typeField, const py::list& choices,
             const quor::Framing& framing, const quor::RecordOptions& options,
             const quor::GaijiMapping& gaiji, bool lenient, const py::object& decimalType)
      : layouts_(std::move(layouts)) {
    for (const quor::NamedLayout& named : layouts_)
      readers_.push_back(std::make_unique<RecordReader>(named.layout, options, gaiji, lenient, decimalType));
    if (!typeField.empty()) {
      const std::optional<quor::LayoutField> field = quor::findField(layouts_, typeField);
      if (!field) {
        std::string names;
        for (const quor::NamedLayout& named : layouts_) names += (names.empty() ? "" : ", ") + named.name;
        throw std::invalid_argument("type_field " + typeField + ": no field of that name in the records " +
                                    names);
      }
      std::vector<quor::RecordTypeChoice> made;
      for (const py::handle choice : choices) {
        const auto pair = choice.cast<py::tuple>();
        std::u16string value;
        appendUtf16(pair[0].ptr(), value);
        made.push_back({std::move(value), pair[1].cast<std::size_t>()});
      }
      selector_.emplace(*field, made, options, gaiji);
    }
    // Records of varying tables are as long as their counters make them, read with the decoder's options.
    stream_.emplace(framing, layouts_, selector_ ? &*selector_ : nullptr, 0, options);
  }

  // Reads the records that `buffer` holds whole, the bytes of the file from byte `offset` on, where
  // the last call stopped; `atEnd` when the file ends with them. Records are numbered from
  // `firstRecord` (from 0), the records of the file before the first byte the reader was given. Returns
  // (consumed, parts, bad, listed, faults, more):
  // - consumed: the bytes of `buffer` done with (the next call gives the file from offset + consumed);
  // - parts: one (values, record numbers) a layout, values as RecordReader::read gives them;
  // - bad: the problems of bad records and frames (a dict each, as problemDict makes them, with
  //   "skipped" saying what reading passed over); with `stopAtBad` reading stops at the first;
  // - listed, faults: lenient, as RecordReader::read gives them;
  // - more: false when nothing more can be read (the end, or a frame reading cannot go on after).
  py::tuple read(const py::buffer& buffer, std::uint64_t offset, std::int64_t firstRecord, bool atEnd,
                 bool stopAtBad, bool rows, std::size_t listing) {
    const py::buffer_info info = buffer.request();
    std::span<const std::uint8_t> held(static_cast<const std::uint8_t*>(info.ptr),
                                       static_cast<std::size_t>(info.size * info.itemsize));
    std::vector<RecordReader::Taken> taken(readers_.size());
    std::vector<Bad> bad;
    std::size_t consumed = 0;
    bool more = true;
    {
      const py::gil_scoped_release released;
      const std::lock_guard<std::mutex> lock(mutex_);
      std::size_t listed = 0;
      for (;;) {
        const quor::RecordStream::Item item = stream_->next(held, atEnd);
        const std::uint64_t at = offset + consumed;
        const std::int64_t number =
            item.number == 0 ? -1 : firstRecord + static_cast<std::int64_t>(item.number) - 1;
        using Kind = quor::RecordStream::Item::Kind;
        if (item.kind == Kind::needMore) break;
        const std::span<const std::uint8_t> here = held;
        held = held.subspan(item.consumed);
        consumed += item.consumed;
        if (item.kind == Kind::end) {
          more = false;
          break;
        }
        if (item.kind == Kind::bad) {
          bad.push_back(
              {number, at + item.begin, std::string(item.problem), "(" + std::string(item.passedOver) + ")"});
          if (!item.resumes) more = false;
          if (stopAtBad || !more) break;
          continue;
        }
        const std::uint64_t start = at + item.begin;
        if (item.layout == quor::kNoLayout) {
          bad.push_back({number, start, std::string(item.problem), "(record skipped)"});
          if (stopAtBad) break;
          continue;
        }
        const std::span<const std::uint8_t> record = here.subspan(item.begin, item.length);
        const quor::NamedLayout& named = layouts_[item.layout];
        std::string problem;
        if (record.size() != named.layout.recordLength)
          problem = quor::recordLengthProblem(readers_[item.layout]->decoder(), named.name, record);
        if (!problem.empty()) {
          bad.push_back({number, start, std::move(problem), "(record skipped)"});
          if (stopAtBad) break;
          continue;
        }
        RecordReader::Taken& into = taken[item.layout];
        const std::size_t before = into.listed.size();
        const bool good = readers_[item.layout]->take(record, number, start, into, listing - listed);
        listed += into.listed.size() - before;
        if (!good) {
          bad.push_back({number, 0, {}, {}, item.layout, into.bad.size() - 1});
          if (stopAtBad) break;
        }
      }
    }

    py::list parts;
    py::list listedDicts;
    std::size_t faults = 0;
    std::vector<py::list> faultDicts;
    for (std::size_t l = 0; l < readers_.size(); ++l) {
      RecordReader::Taken& t = taken[l];
      parts.append(
          py::make_tuple(readers_[l]->made(t, rows),
                         py::array_t<std::int64_t>(static_cast<py::ssize_t>(t.kept.size()), t.kept.data())));
      for (const py::handle d : readers_[l]->dicts(t.listed)) listedDicts.append(d);
      faults += t.faults;
      faultDicts.push_back(readers_[l]->dicts(t.bad));
    }
    py::list badDicts;
    for (const Bad& b : bad) {
      if (b.reader != kNone) {
        py::dict parts = faultDicts[b.reader][b.index];
        parts["skipped"] = "(record skipped)";
        badDicts.append(parts);
        continue;
      }
      py::dict parts =
          problemDict(quor::RecordProblem{0, {}, {}, b.reason, 0}, b.number + 1, {}, py::none(), b.offset);
      if (b.number < 0) parts["record"] = py::none();
      parts["skipped"] = b.skipped;
      badDicts.append(parts);
    }
    return py::make_tuple(consumed, parts, badDicts, listedDicts, faults, more);
  }

  // An index pass, with a reader of its own: the places in `buffer` (the file's bytes from `offset` on,
  // where the last call stopped) a partition can start at, the first at or after each multiple of `step`
  // bytes from the last. Returns (consumed, starts, more), starts a list of (byte offset, records
  // before it). Nothing is decoded: only the framing and the type fields are read.
  py::tuple scan(const py::buffer& buffer, std::uint64_t offset, bool atEnd, std::uint64_t step) {
    const py::buffer_info info = buffer.request();
    std::span<const std::uint8_t> held(static_cast<const std::uint8_t*>(info.ptr),
                                       static_cast<std::size_t>(info.size * info.itemsize));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> starts;
    std::size_t consumed = 0;
    bool more = true;
    {
      const py::gil_scoped_release released;
      const std::lock_guard<std::mutex> lock(mutex_);
      for (;;) {
        const std::uint64_t at = offset + consumed;
        const bool boundary = stream_->atBoundary() && at >= nextStart_;
        const std::uint64_t before = stream_->records();
        const quor::RecordStream::Item item = stream_->next(held, atEnd);
        using Kind = quor::RecordStream::Item::Kind;
        if (item.kind == Kind::end || (item.kind == Kind::bad && !item.resumes)) more = false;
        // A place is taken once the stream has moved past it: a request for more bytes that took none
        // leaves it to the next call.
        if (boundary && item.kind != Kind::end && (item.kind != Kind::needMore || item.consumed != 0)) {
          starts.emplace_back(at, before);
          nextStart_ = at + step;
        }
        held = held.subspan(item.consumed);
        consumed += item.consumed;
        if (item.kind == Kind::needMore || !more) break;
      }
    }
    py::list list;
    for (const auto& [at, records] : starts) list.append(py::make_tuple(at, records));
    return py::make_tuple(consumed, list, more);
  }

  // The records read or scanned so far.
  [[nodiscard]] std::uint64_t records() const noexcept { return stream_->records(); }

  [[nodiscard]] py::list names() const {
    py::list list;
    for (const quor::NamedLayout& named : layouts_) list.append(named.name);
    return list;
  }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

  // A bad record or frame in the order met: its words, or the invalid data a reader kept.
  struct Bad {
    std::int64_t number;  // from 0; -1 for a frame no record number is given
    std::uint64_t offset;
    std::string reason;
    std::string skipped;
    std::size_t reader = kNone;
    std::size_t index = 0;
  };

  std::vector<quor::NamedLayout> layouts_;
  std::vector<std::unique_ptr<RecordReader>> readers_;
  std::optional<quor::RecordSelector> selector_;
  std::optional<quor::RecordStream> stream_;
  std::mutex mutex_;             // one block at a time: the stream and the readers
  std::uint64_t nextStart_ = 0;  // scan: where the next place to start may be
};

}  // namespace

void bindDecoding(py::module_& m) {
  py::class_<RecordReader>(m, "RecordReader")
      .def(py::init<const quor::Layout&, const quor::RecordOptions&, const quor::GaijiMapping&, bool,
                    py::object>(),
           py::arg("layout"), py::arg("options"), py::arg("gaiji"), py::arg("lenient"), py::arg("decimal"))
      .def("read", &RecordReader::read, py::arg("buffer"), py::arg("first_record"), py::arg("first_offset"),
           py::arg("stop_at_bad"), py::arg("rows"), py::arg("listing"))
      .def_property_readonly("names", &RecordReader::names);
  py::class_<FileReader>(m, "FileReader")
      .def(py::init<std::vector<quor::NamedLayout>, const std::string&, const py::list&, const quor::Framing&,
                    const quor::RecordOptions&, const quor::GaijiMapping&, bool, const py::object&>(),
           py::arg("layouts"), py::arg("type_field"), py::arg("choices"), py::arg("framing"),
           py::arg("options"), py::arg("gaiji"), py::arg("lenient"), py::arg("decimal"))
      .def("read", &FileReader::read, py::arg("buffer"), py::arg("offset"), py::arg("first_record"),
           py::arg("at_end"), py::arg("stop_at_bad"), py::arg("rows"), py::arg("listing"))
      .def("scan", &FileReader::scan, py::arg("buffer"), py::arg("offset"), py::arg("at_end"),
           py::arg("step"))
      .def_property_readonly("names", &FileReader::names)
      .def_property_readonly("records", &FileReader::records);
}

}  // namespace convertquor
