#pragma once
// What the extension's parts share: texts between Python and the library's UTF-16, and a record's
// problem as the dictionary the Python modules make a convertquor.Error of.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "quor/record_problem.hpp"

namespace convertquor {

namespace py = pybind11;

// A Python str of UTF-16 units (a lone surrogate is kept, as the library's texts may hold one).
py::object strOf(std::u16string_view text);

// Appends the UTF-16 units of a Python str.
void appendUtf16(PyObject* text, std::u16string& out);

// A problem of record `record` (counted from 1) as a dict: record, column (counted from 1, None for
// the record as a whole), field (the column's name), value (a str; bytes for invalid bytes read,
// `bytes`), reason, number (None when 0), offset (the problem's first byte in the file, for records
// read), detail (the problem's words, the place not included).
py::dict problemDict(const quor::RecordProblem& problem, std::int64_t record, const std::string& columnName,
                     py::object value, std::optional<std::uint64_t> offset);

}  // namespace convertquor
