// Records read back many at a time. Each record goes through the library's RecordDecoder; its texts
// are kept column by column with the GIL released, then made Python values with it held: str, int64
// (a NumPy array, with a mask of missing values), int for wider integers, decimal.Decimal for numbers
// with places.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "binding.hpp"
#include "quor/column_values.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_problem.hpp"

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
  RecordReader(const quor::Layout& layout, const quor::RecordOptions& options, const quor::GaijiMapping& gaiji,
               bool lenient, py::object decimalType)
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
  py::tuple read(const py::buffer& buffer, std::int64_t firstRecord, std::uint64_t firstOffset, bool stopAtBad,
                 bool rows, std::size_t listing) {
    const py::buffer_info info = buffer.request();
    const auto* bytes = static_cast<const std::uint8_t*>(info.ptr);
    const auto size = static_cast<std::size_t>(info.size * info.itemsize);
    const std::size_t length = decoder_.layout().recordLength;
    if (length == 0 || size % length != 0) throw std::invalid_argument("the buffer holds no whole records");

    std::vector<ColumnStore> stores(held_.size());
    std::vector<std::int64_t> kept;
    std::vector<Found> bad;
    std::vector<Found> listed;
    std::size_t faults = 0;
    {
      const py::gil_scoped_release released;
      const std::lock_guard<std::mutex> lock(mutex_);
      for (std::size_t r = 0; r < size / length; ++r) {
        const std::span<const std::uint8_t> record(bytes + r * length, length);
        const std::int64_t number = firstRecord + static_cast<std::int64_t>(r);
        const std::uint64_t start = firstOffset + r * length;
        decoder_.decode(record, values_, faults_, lenient_);
        if (!faults_.empty() && !lenient_) {
          bad.push_back(found(number, start, record, faults_.front()));
          if (stopAtBad) break;
          continue;
        }
        faults += faults_.size();
        for (const quor::FieldFault& fault : faults_)
          if (listed.size() < listing) listed.push_back(found(number, start, record, fault));
        kept.push_back(number);
        keep(stores);
      }
    }

    py::object values;
    if (rows) {
      py::list made;
      for (std::size_t i = 0; i < kept.size(); ++i) {
        py::dict row;
        for (std::size_t c = 0; c < held_.size(); ++c) row[keys_[c]] = valueOf(stores[c], c, i);
        made.append(std::move(row));
      }
      values = std::move(made);
    } else {
      py::list made;
      for (std::size_t c = 0; c < held_.size(); ++c) made.append(columnOf(stores[c], c, kept.size()));
      values = std::move(made);
    }
    py::object keptNumbers = py::none();
    if (kept.size() != size / length) keptNumbers = py::array_t<std::int64_t>(static_cast<py::ssize_t>(kept.size()), kept.data());
    return py::make_tuple(values, keptNumbers, dicts(bad), dicts(listed), faults);
  }

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

  py::list dicts(const std::vector<Found>& problems) const {
    py::list list;
    for (const Found& f : problems) {
      const std::string& name = f.problem.field.empty() ? std::string() : names_[f.problem.column];
      list.append(problemDict(f.problem, f.record + 1, name,
                              py::bytes(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size()), f.offset));
    }
    return list;
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

}  // namespace

void bindDecoding(py::module_& m) {
  py::class_<RecordReader>(m, "RecordReader")
      .def(py::init<const quor::Layout&, const quor::RecordOptions&, const quor::GaijiMapping&, bool, py::object>(),
           py::arg("layout"), py::arg("options"), py::arg("gaiji"), py::arg("lenient"), py::arg("decimal"))
      .def("read", &RecordReader::read, py::arg("buffer"), py::arg("first_record"), py::arg("first_offset"),
           py::arg("stop_at_bad"), py::arg("rows"), py::arg("listing"))
      .def_property_readonly("names", &RecordReader::names);
}

}  // namespace convertquor
