// Records built many at a time. The Python values of a block of records are turned into the texts a
// CSV file would hold for them with the GIL held; then each record is built by the library's
// RecordBuilder with it released, which refuses a value it would write other than it reads unless the
// caller is lenient.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

#include "binding.hpp"
#include "quor/byte_string.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "quor/record_problem.hpp"

namespace convertquor {

namespace {

std::string counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

struct Found {
  std::int64_t record;  // counted from 0
  quor::RecordProblem problem;
  std::u16string value;
};

// The texts of a block of records' values, record after record, made with the GIL held.
struct Block {
  std::u16string texts;
  std::vector<std::size_t> ends;     // where each value ends in texts
  std::vector<std::string> shapes;   // a record's problem found before it is built, or empty
};

class RecordWriter {
 public:
  RecordWriter(const quor::Layout& layout, const quor::RecordOptions& options, const quor::GaijiMapping& gaiji,
               bool lenient, py::tuple missing, py::object decimalType, py::object numberText)
      : builder_(layout, options, gaiji),
        lenient_(lenient),
        missing_(std::move(missing)),
        decimal_(std::move(decimalType)),
        numberText_(std::move(numberText)) {
    for (const std::string& name : layout.columnNames()) {
      names_.push_back(name);
      keys_.push_back(py::str(name));
    }
    const std::vector<std::size_t> fields = layout.columns();
    for (const std::size_t field : fields) described_.push_back(layout.describe(field));
    changes_.resize(names_.size());
  }

  // Builds the records of `rows`, each a dict (or other mapping) of a value a column by the column's
  // name, or a sequence of a value a column in the layout's order. Returns (records, written, bad,
  // listed, changed, ends): the bytes of the records built; how many; the problems of the records refused
  // (with `stopAtBad` none is built after the first); lenient, the first `listing` values written
  // other than they read, and how many there were; where each record built ends in the bytes (records
  // of a layout with varying tables are as long as their counters make them).
  py::tuple writeRows(const py::list& rows, std::int64_t firstRecord, bool stopAtBad, std::size_t listing) {
    Block block;
    block.shapes.assign(rows.size(), std::string());
    const std::size_t columns = names_.size();
    for (std::size_t r = 0; r < rows.size(); ++r) {
      PyObject* row = PyList_GET_ITEM(rows.ptr(), static_cast<Py_ssize_t>(r));
      const std::int64_t record = firstRecord + static_cast<std::int64_t>(r);
      if (PyMapping_Check(row) != 0 && PySequence_Check(row) == 0) {
        block.shapes[r] = takeMapping(row, record, block);
        continue;
      }
      if (PyUnicode_Check(row) || PyBytes_Check(row) || PySequence_Check(row) == 0)
        throw py::type_error("record " + std::to_string(record + 1) +
                             ": a record is a dict of values by column name, or a sequence of values");
      const py::object items = py::reinterpret_steal<py::object>(PySequence_Fast(row, "a record"));
      if (!items) throw py::error_already_set();
      const auto count = static_cast<std::size_t>(PySequence_Fast_GET_SIZE(items.ptr()));
      if (count != columns) {
        block.shapes[r] = counted(count, "item") + ", the layout has " + counted(columns, "field");
        for (std::size_t c = 0; c < columns; ++c) block.ends.push_back(block.texts.size());
        continue;
      }
      PyObject** values = PySequence_Fast_ITEMS(items.ptr());
      for (std::size_t c = 0; c < columns; ++c) take(values[c], record, c, block);
    }
    return build(block, rows.size(), firstRecord, stopAtBad, listing);
  }

  // Builds `count` records from `columns`, one a column of the layout in its order, each a list of
  // values or a NumPy int64 array. Returns as writeRows.
  py::tuple writeColumns(const py::list& columns, std::size_t count, std::int64_t firstRecord, bool stopAtBad,
                         std::size_t listing) {
    if (columns.size() != names_.size()) throw py::value_error("one column a field of the layout");
    std::vector<const std::int64_t*> numbers(columns.size(), nullptr);
    std::vector<py::array_t<std::int64_t>> arrays;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const py::handle column = columns[c];
      if (py::isinstance<py::array_t<std::int64_t>>(column)) {
        arrays.push_back(py::reinterpret_borrow<py::array_t<std::int64_t>>(column));
        numbers[c] = arrays.back().data();
        if (static_cast<std::size_t>(arrays.back().size()) != count || arrays.back().ndim() != 1)
          throw py::value_error("a column holds one value a record");
      } else if (!PyList_Check(column.ptr()) || static_cast<std::size_t>(PyList_GET_SIZE(column.ptr())) != count) {
        throw py::value_error("a column is a list or an int64 array of one value a record");
      }
    }
    Block block;
    block.shapes.assign(count, std::string());
    for (std::size_t r = 0; r < count; ++r) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        if (numbers[c] != nullptr) {
          char digits[24];
          const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, numbers[c][r]);
          block.texts.append(digits, written.ptr);
          block.ends.push_back(block.texts.size());
        } else {
          take(PyList_GET_ITEM(columns[c].ptr(), static_cast<Py_ssize_t>(r)), firstRecord + static_cast<std::int64_t>(r),
               c, block);
        }
      }
    }
    return build(block, count, firstRecord, stopAtBad, listing);
  }

 private:
  // Takes the values of a mapping by the columns' names; the words of a record it cannot be, or none.
  std::string takeMapping(PyObject* row, std::int64_t record, Block& block) {
    std::string shape;
    for (std::size_t c = 0; c < keys_.size(); ++c) {
      PyObject* value = PyDict_Check(row) ? PyDict_GetItemWithError(row, keys_[c].ptr()) : nullptr;
      py::object owned;
      if (!PyDict_Check(row)) {
        value = PyObject_GetItem(row, keys_[c].ptr());
        if (value == nullptr && PyErr_ExceptionMatches(PyExc_KeyError)) PyErr_Clear();
        owned = py::reinterpret_steal<py::object>(value);
      }
      if (value == nullptr && PyErr_Occurred() != nullptr) throw py::error_already_set();
      if (value == nullptr) {
        if (shape.empty()) shape = "no value for " + described_[c];
        block.ends.push_back(block.texts.size());
        continue;
      }
      take(value, record, c, block);
    }
    const Py_ssize_t size = PyMapping_Size(row);
    if (size < 0) throw py::error_already_set();
    if (shape.empty() && static_cast<std::size_t>(size) != keys_.size()) {
      // A key that names no column: its value would be dropped unseen.
      const py::object keys = py::reinterpret_steal<py::object>(PyMapping_Keys(row));
      if (!keys) throw py::error_already_set();
      for (const py::handle key : keys) {
        bool known = false;
        for (const py::str& name : keys_) known = known || key.equal(name);
        if (!known) return "the key " + py::repr(key).cast<std::string>() + " names no field of the layout";
      }
    }
    return shape;
  }

  // Appends the text of one value: a str as it is, an int in decimal, a float or Decimal in plain
  // decimal digits (numberText), None and the missing markers (NaN, pandas.NA, ...) as the empty text.
  void take(PyObject* value, std::int64_t record, std::size_t column, Block& block) const {
    std::u16string& texts = block.texts;
    if (PyUnicode_Check(value)) {
      appendUtf16(value, texts);
    } else if (PyBool_Check(value)) {
      refuse(value, record, column);
    } else if (PyLong_Check(value) || (PyIndex_Check(value) && !PyFloat_Check(value))) {
      const py::object number = py::reinterpret_steal<py::object>(PyNumber_Index(value));
      if (!number) throw py::error_already_set();
      appendUtf16(py::str(number).ptr(), texts);
    } else if (value == Py_None || isMissing(value)) {
      // Nothing: an empty value, as a CSV file holds it.
    } else if (PyFloat_Check(value) || PyObject_IsInstance(value, decimal_.ptr()) == 1) {
      appendUtf16(py::str(numberText_(py::handle(value))).ptr(), texts);
    } else {
      if (PyErr_Occurred() != nullptr) throw py::error_already_set();
      refuse(value, record, column);
    }
    block.ends.push_back(texts.size());
  }

  bool isMissing(PyObject* value) const {
    if (PyFloat_Check(value)) return std::isnan(PyFloat_AS_DOUBLE(value));
    for (const py::handle marker : missing_)
      if (marker.ptr() == value) return true;
    if (PyObject_IsInstance(value, decimal_.ptr()) == 1) return py::handle(value).attr("is_nan")().cast<bool>();
    return false;
  }

  [[noreturn]] void refuse(PyObject* value, std::int64_t record, std::size_t column) const {
    throw py::type_error("record " + std::to_string(record + 1) + ": " + described_[column] + ": a value of type " +
                         std::string(Py_TYPE(value)->tp_name) + "; a field takes str, int, float or Decimal");
  }

  py::tuple build(const Block& block, std::size_t count, std::int64_t firstRecord, bool stopAtBad, std::size_t listing) {
    const std::size_t columns = names_.size();
    quor::ByteString out;
    std::vector<Found> bad;
    std::vector<Found> listed;
    std::size_t written = 0;
    std::size_t changed = 0;
    std::vector<std::size_t> ends;  // where each record built ends in out: records of varying length
    {
      const py::gil_scoped_release released;
      const std::lock_guard<std::mutex> lock(mutex_);
      std::vector<std::u16string_view> values(columns);
      for (std::size_t r = 0; r < count; ++r) {
        const std::int64_t record = firstRecord + static_cast<std::int64_t>(r);
        for (std::size_t c = 0; c < columns; ++c) {
          const std::size_t i = r * columns + c;
          const std::size_t begin = i == 0 ? 0 : block.ends[i - 1];
          values[c] = std::u16string_view(block.texts).substr(begin, block.ends[i] - begin);
        }
        std::optional<Found> refused;
        if (!block.shapes[r].empty()) {
          refused = Found{record, quor::RecordProblem{0, {}, {}, block.shapes[r], 0}, {}};
        } else {
          const std::size_t before = out.size();
          try {
            builder_.append(values, out, changes_);
            for (std::size_t c = 0; c < columns && !refused; ++c) {
              if (changes_[c].kind == quor::Change::none) continue;
              Found found{record, quor::changeProblem(builder_.layout(), c, values[c], changes_[c]),
                          std::u16string(values[c])};
              if (!lenient_) {
                refused = std::move(found);
                break;
              }
              ++changed;
              if (listed.size() < listing) listed.push_back(std::move(found));
            }
          } catch (const quor::Error& error) {
            if (error.number() == quor::errors::kOutOfMemory) throw;
            const quor::RecordProblem problem = quor::failureProblem(builder_.layout(), error, values, changes_);
            refused = Found{record, problem, problem.field.empty() ? std::u16string() : std::u16string(values[problem.column])};
          }
          if (refused) out.resize(before);
        }
        if (refused) {
          bad.push_back(std::move(*refused));
          if (stopAtBad) break;
          continue;
        }
        ++written;
        ends.push_back(out.size());
      }
    }
    py::list badList;
    for (const Found& f : bad) badList.append(dictOf(f));
    py::list listedList;
    for (const Found& f : listed) listedList.append(dictOf(f));
    return py::make_tuple(py::bytes(reinterpret_cast<const char*>(out.data()), out.size()), written, badList,
                          listedList, changed, ends);
  }

  py::dict dictOf(const Found& f) const {
    const bool whole = f.problem.field.empty();
    return problemDict(f.problem, f.record + 1, whole ? std::string() : names_[f.problem.column],
                       whole ? py::none() : strOf(f.value), std::nullopt);
  }

  quor::RecordBuilder builder_;
  const bool lenient_;
  const py::tuple missing_;
  const py::object decimal_;
  const py::object numberText_;
  std::vector<std::string> names_;
  std::vector<py::str> keys_;
  std::vector<std::string> described_;  // "field 3 (amount)" a column
  std::mutex mutex_;  // one block at a time: the builder and its changes
  std::vector<quor::ValueChange> changes_;
};

}  // namespace

void bindEncoding(py::module_& m) {
  py::class_<RecordWriter>(m, "RecordWriter")
      .def(py::init<const quor::Layout&, const quor::RecordOptions&, const quor::GaijiMapping&, bool, py::tuple,
                    py::object, py::object>(),
           py::arg("layout"), py::arg("options"), py::arg("gaiji"), py::arg("lenient"), py::arg("missing"),
           py::arg("decimal"), py::arg("number_text"))
      .def("write_rows", &RecordWriter::writeRows, py::arg("rows"), py::arg("first_record"), py::arg("stop_at_bad"),
           py::arg("listing"))
      .def("write_columns", &RecordWriter::writeColumns, py::arg("columns"), py::arg("count"), py::arg("first_record"),
           py::arg("stop_at_bad"), py::arg("listing"));
}

}  // namespace convertquor
