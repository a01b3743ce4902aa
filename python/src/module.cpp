// convertquor._core: the library for the convertquor package. Layouts, the record options, gaiji
// mappings and the component's object are bound here; the record decoder and builder over many records
// at a time in decoding.cpp and encoding.cpp. The Python modules beside it (convertquor/*.py) read and
// write files and make DataFrames; every rule stays in the library.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "binding.hpp"
#include "quor/column_values.hpp"
#include "quor/error.hpp"
#include "quor/framing.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/host_code_page.hpp"
#include "quor/layout.hpp"
#include "quor/quor.hpp"
#include "quor/record.hpp"

namespace convertquor {

void bindDecoding(py::module_& m);
void bindEncoding(py::module_& m);

py::object strOf(std::u16string_view text) {
  char16_t most = 0;
  bool surrogate = false;
  for (const char16_t c : text) {
    most = std::max(most, c);
    surrogate = surrogate || (c >= 0xD800 && c <= 0xDFFF);
  }
  const auto length = static_cast<Py_ssize_t>(text.size());
  if (surrogate) {
    // Pairs become their characters; a lone surrogate stays one, as Python's str can hold it.
    int order = -1;  // little-endian, the units as they lie in memory on every platform built for
    PyObject* made = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()), 2 * length,
                                           "surrogatepass", &order);
    if (made == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(made);
  }
  PyObject* made = PyUnicode_New(length, most < 0x80 ? 0x7F : most < 0x100 ? 0xFF : 0xFFFF);
  if (made == nullptr) throw py::error_already_set();
  void* data = PyUnicode_DATA(made);
  if (PyUnicode_KIND(made) == PyUnicode_1BYTE_KIND) {
    auto* bytes = static_cast<Py_UCS1*>(data);
    for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = static_cast<Py_UCS1>(text[i]);
  } else {
    std::copy(text.begin(), text.end(), static_cast<Py_UCS2*>(data));
  }
  return py::reinterpret_steal<py::object>(made);
}

void appendUtf16(PyObject* text, std::u16string& out) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(text);
  const int kind = PyUnicode_KIND(text);
  const void* data = PyUnicode_DATA(text);
  if (kind == PyUnicode_2BYTE_KIND) {
    const auto* units = static_cast<const Py_UCS2*>(data);
    out.append(units, units + length);
    return;
  }
  for (Py_ssize_t i = 0; i < length; ++i) {
    const Py_UCS4 c = PyUnicode_READ(kind, data, i);
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
}

py::dict problemDict(const quor::RecordProblem& problem, std::int64_t record, const std::string& columnName,
                     py::object value, std::optional<std::uint64_t> offset) {
  py::dict parts;
  const bool wholeRecord = problem.field.empty();
  parts["record"] = record;
  parts["column"] = wholeRecord ? py::none() : py::object(py::int_(problem.column + 1));
  parts["field"] = wholeRecord ? py::none() : py::object(py::str(columnName));
  parts["value"] = wholeRecord ? py::none() : std::move(value);
  parts["reason"] = py::str(problem.reason);
  parts["number"] = problem.number == 0 ? py::none() : py::object(py::int_(problem.number));
  parts["offset"] = offset ? py::object(py::int_(*offset)) : py::none();
  parts["detail"] = py::str(problem.text());
  return parts;
}

namespace {

// A library error as convertquor.Error: its number, its message, and the field of a record call.
void raiseLibraryError(const quor::Error& error) {
  const py::object type = py::module_::import("convertquor._errors").attr("Error");
  py::dict parts;
  parts["number"] = error.number();
  if (error.field() != 0) parts["column"] = error.field();
  const py::object raised = type(py::str(error.what()), **parts);
  PyErr_SetObject(type.ptr(), raised.ptr());
}

std::string hostOf(const quor::RecordOptions& options) {
  return std::string(quor::hostCodePageName(options.host));
}

// The page a name names, as --host reads it; ValueError naming the pages for any other name.
void setHost(quor::RecordOptions& options, const std::string& name) {
  if (quor::parseHostCodePage(name, options.host)) return;
  std::string pages;
  for (auto page = static_cast<int>(quor::HostCodePage::fujitsu);
       page <= static_cast<int>(quor::HostCodePage::ibm500); ++page)
    pages += (pages.empty() ? "" : ", ") +
             std::string(quor::hostCodePageName(static_cast<quor::HostCodePage>(page)));
  throw py::value_error("host " + name + ": not a host code page (" + pages + ")");
}

// The folders a copybook's COPY members are looked for in, in turn; none: a COPY is refused.
quor::CopyResolver resolverOf(const std::vector<std::string>& folders) {
  return folders.empty() ? quor::CopyResolver() : quor::copyFolders(folders);
}

const char* kindName(quor::ValueKind kind) {
  switch (kind) {
    case quor::ValueKind::integer:
      return "integer";
    case quor::ValueKind::decimal:
      return "decimal";
    case quor::ValueKind::text:
      break;
  }
  return "text";
}

py::bytes bytesOf(const quor::ByteString& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void bindComponent(py::module_& m) {
  m.attr("setNumeric") = static_cast<int>(quor::setNumeric);
  m.attr("setCharacter") = static_cast<int>(quor::setCharacter);
  m.attr("setNCharacter") = static_cast<int>(quor::setNCharacter);
  m.attr("setPackNumeric") = static_cast<int>(quor::setPackNumeric);
  using quor::Quor;
  py::class_<Quor>(m, "Quor", R"(The component's object, its operations under their own names and arguments.
Texts are str, results bytes; a failing call raises convertquor.Error with the runtime error number.)")
      .def(py::init<>())
      .def("Version", [](const Quor& q) { return q.Version(); })
      .def(
          "FujitsuZoneFD",
          [](const Quor& q, const std::u16string& text, std::int32_t length, bool sign) {
            return bytesOf(q.FujitsuZoneFD(text, length, sign));
          },
          py::arg("ConvertString"), py::arg("ConvertLength"), py::arg("ConvertSign") = true)
      .def(
          "FujitsuPack",
          [](const Quor& q, const std::u16string& text, std::int32_t length, bool sign) {
            return bytesOf(q.FujitsuPack(text, length, sign));
          },
          py::arg("ConvertString"), py::arg("ConvertLength"), py::arg("ConvertSign") = true)
      .def(
          "FujitsuZoneFDArray",
          [](const Quor& q, const std::u16string& values, const std::u16string& lengths, bool sign) {
            return bytesOf(q.FujitsuZoneFDArray(values, lengths, sign));
          },
          py::arg("ConvertStringArray"), py::arg("ConvertLengthArray"), py::arg("ConvertSign") = true)
      .def(
          "SJIStoEBCDICK",
          [](const Quor& q, const std::u16string& text, std::int32_t length) {
            return bytesOf(q.SJIStoEBCDICK(text, length));
          },
          py::arg("SJIS_Character"), py::arg("ConvertLength"))
      .def(
          "FujitsuJEF",
          [](const Quor& q, const std::u16string& text, std::int32_t length) {
            return bytesOf(q.FujitsuJEF(text, length));
          },
          py::arg("SJIS_Kanji"), py::arg("ConvertLength"))
      .def(
          "FujitsuHostQuor",
          [](const Quor& q, const std::u16string& values, const std::u16string& lengths,
             const std::u16string& formats,
             bool sign) { return bytesOf(q.FujitsuHostQuor(values, lengths, formats, sign)); },
          py::arg("NewCharacter"), py::arg("NewLength"), py::arg("NewFormat"), py::arg("ConvertSign") = true)
      .def(
          "FujitsuHostQuorBinaryWrite",
          [](Quor& q, const std::u16string& values, const std::u16string& lengths,
             const std::u16string& formats, const std::u16string& path,
             bool sign) { return q.FujitsuHostQuorBinaryWrite(values, lengths, formats, path, sign); },
          py::arg("NewCharacter"), py::arg("NewLength"), py::arg("NewFormat"), py::arg("NewFilePath"),
          py::arg("ConvertSign") = true)
      .def_property(
          "JEFGaijiFilePath", [](const Quor& q) { return q.JEFGaijiFilePath(); },
          [](Quor& q, const std::u16string& path) { q.JEFGaijiFilePath(path); });
}

}  // namespace

}  // namespace convertquor

using namespace convertquor;

PYBIND11_MODULE(_core, m) {
  m.doc() = "The ConvertQuor library: layouts, record options, gaiji mappings, records read and built.";
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const quor::Error& error) {
      raiseLibraryError(error);
    }
  });

  // One member a record option: a new option of the library is one line here.
  py::class_<quor::RecordOptions>(m, "RecordOptions")
      .def(py::init<>())
      .def_readwrite("convert_sign", &quor::RecordOptions::convertSign)
      .def_readwrite("keep_padding", &quor::RecordOptions::keepPadding)
      .def_property("host", &hostOf, &setHost)
      .def_readwrite("shift_codes", &quor::RecordOptions::shiftCodes)
      .def_readwrite("keep_zeros", &quor::RecordOptions::keepZeros)
      .def_readwrite("pad_varying", &quor::RecordOptions::padVarying);

  // The site's choices a layout leaves open, one member an option, by the quor command's words.
  py::class_<quor::LayoutOptions>(m, "LayoutOptions")
      .def(py::init<>())
      .def_property(
          "float_format",
          [](const quor::LayoutOptions& o) { return o.floatFormat == quor::FloatFormat::ieee ? "ieee" : "hex"; },
          [](quor::LayoutOptions& o, const std::string& text) {
            if (text != "hex" && text != "ieee") throw py::value_error("float " + text + ": expected hex or ieee");
            o.floatFormat = text == "ieee" ? quor::FloatFormat::ieee : quor::FloatFormat::hexadecimal;
          })
      .def_property(
          "binary_range",
          [](const quor::LayoutOptions& o) { return o.binaryRange == quor::BinaryRange::full ? "full" : "digits"; },
          [](quor::LayoutOptions& o, const std::string& text) {
            if (text != "digits" && text != "full")
              throw py::value_error("binary_range " + text + ": expected digits or full");
            o.binaryRange = text == "full" ? quor::BinaryRange::full : quor::BinaryRange::digits;
          })
      .def_property(
          "positive_zone",
          [](const quor::LayoutOptions& o) { return o.positiveZone == quor::kPositiveZoneF ? "F" : "C"; },
          [](quor::LayoutOptions& o, const std::string& text) {
            if (text != "C" && text != "c" && text != "F" && text != "f")
              throw py::value_error("positive_zone " + text + ": expected C or F");
            o.positiveZone = text == "F" || text == "f" ? quor::kPositiveZoneF : quor::kPositiveZoneC;
          });

  py::class_<quor::Layout>(m, "Layout")
      .def_static(
          "parse_layout_file",
          [](const py::bytes& text, const std::string& name, const quor::LayoutOptions& options) {
            return quor::parseLayoutFile(std::string(text), name, options);
          },
          py::arg("text"), py::arg("name"), py::arg("options") = quor::LayoutOptions())
      .def_static(
          "parse_copybook",
          [](const py::bytes& text, const std::string& name, const quor::LayoutOptions& options,
             const std::vector<std::string>& copyPath) {
            return quor::parseCopybook(std::string(text), name, options, resolverOf(copyPath));
          },
          py::arg("text"), py::arg("name"), py::arg("options") = quor::LayoutOptions(),
          py::arg("copy_path") = std::vector<std::string>())
      .def_static(
          "from_lists",
          [](const std::string& lengths, const std::string& formats) {
            return quor::layoutFromLists(lengths, formats);
          },
          py::arg("lengths"), py::arg("formats"))
      .def_property_readonly("record_length", [](const quor::Layout& layout) { return layout.recordLength; })
      .def_property_readonly("varies", &quor::Layout::varies)
      .def(
          "columns",
          [](const quor::Layout& layout, const quor::RecordOptions& options) {
            // (name, kind, digits, scale) a column: kind "text", "integer" or "decimal".
            py::list columns;
            const std::vector<std::string> names = layout.columnNames();
            const std::vector<std::size_t> fields = layout.columns();
            for (std::size_t i = 0; i < fields.size(); ++i) {
              const quor::ColumnValues values = quor::columnValues(layout.fields[fields[i]], options);
              columns.append(py::make_tuple(names[i], kindName(values.kind), values.digits, values.scale));
            }
            return columns;
          },
          py::arg("options"));

  // The records of a layout file or copybook of several, by name.
  py::class_<quor::NamedLayout>(m, "NamedLayout")
      .def(py::init([](std::string name, quor::Layout layout) {
             return quor::NamedLayout{std::move(name), std::move(layout)};
           }),
           py::arg("name"), py::arg("layout"))
      .def_readonly("name", &quor::NamedLayout::name)
      .def_readonly("layout", &quor::NamedLayout::layout);
  m.def(
      "layout_file_records",
      [](const py::bytes& text, const std::string& name, const quor::LayoutOptions& options) {
        return quor::parseLayoutFileRecords(std::string(text), name, options);
      },
      py::arg("text"), py::arg("name"), py::arg("options") = quor::LayoutOptions());
  m.def(
      "copybook_record_names",
      [](const py::bytes& text, const std::string& name, const quor::LayoutOptions& options,
         const std::vector<std::string>& copyPath) {
        return quor::copybookRecordNames(std::string(text), name, options, resolverOf(copyPath));
      },
      py::arg("text"), py::arg("name"), py::arg("options") = quor::LayoutOptions(),
      py::arg("copy_path") = std::vector<std::string>());
  m.def(
      "copybook_record",
      [](const py::bytes& text, const std::string& fileName, const std::string& name,
         const quor::LayoutOptions& options, const std::vector<std::string>& copyPath) {
        return quor::parseCopybookRecord(std::string(text), fileName, name, options, resolverOf(copyPath));
      },
      py::arg("text"), py::arg("file_name"), py::arg("name"), py::arg("options") = quor::LayoutOptions(),
      py::arg("copy_path") = std::vector<std::string>());

  // Record framing: one member an option, as RecordOptions.
  py::class_<quor::Framing>(m, "Framing")
      .def(py::init<>())
      .def_property(
          "format",
          [](const quor::Framing& framing) {
            return framing.format == quor::RecordFormat::fixed      ? "F"
                   : framing.format == quor::RecordFormat::variable ? "V"
                                                                    : "VB";
          },
          [](quor::Framing& framing, const std::string& text) {
            if (!quor::parseRecordFormat(text, framing.format))
              throw py::value_error("recfm " + text + ": expected F, FB, V or VB");
          })
      .def_readwrite("little_endian_rdw", &quor::Framing::littleEndianRdw)
      .def_readwrite("rdw_counts_data", &quor::Framing::rdwCountsData)
      .def_readwrite("block_size", &quor::Framing::blockSize);

  // Records of one length framed as a file holds them.
  py::class_<quor::FrameWriter>(m, "FrameWriter")
      .def(py::init<const quor::Framing&>(), py::arg("framing"))
      .def(
          "frame",
          [](quor::FrameWriter& writer, const py::buffer& records, std::size_t length) {
            const py::buffer_info info = records.request();
            const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(info.ptr),
                                                      static_cast<std::size_t>(info.size * info.itemsize));
            std::vector<std::uint8_t> out;
            if (length != 0)
              for (std::size_t at = 0; at + length <= bytes.size(); at += length)
                writer.append(bytes.subspan(at, length), out);
            return py::bytes(reinterpret_cast<const char*>(out.data()), out.size());
          },
          py::arg("records"), py::arg("length"))
      .def(
          "frame_ends",
          [](quor::FrameWriter& writer, const py::buffer& records, const std::vector<std::size_t>& ends) {
            // Records of varying length: each ends where `ends` says.
            const py::buffer_info info = records.request();
            const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(info.ptr),
                                                      static_cast<std::size_t>(info.size * info.itemsize));
            std::vector<std::uint8_t> out;
            std::size_t begin = 0;
            for (const std::size_t end : ends) {
              if (end < begin || end > bytes.size()) throw py::value_error("record ends out of order");
              writer.append(bytes.subspan(begin, end - begin), out);
              begin = end;
            }
            return py::bytes(reinterpret_cast<const char*>(out.data()), out.size());
          },
          py::arg("records"), py::arg("ends"))
      .def("finish", [](quor::FrameWriter& writer) {
        std::vector<std::uint8_t> out;
        writer.finish(out);
        return py::bytes(reinterpret_cast<const char*>(out.data()), out.size());
      });

  py::class_<quor::GaijiMapping>(m, "GaijiMapping")
      .def(py::init<>())
      .def_static(
          "from_named_file",
          [](const py::bytes& content, const std::string& what) {
            return quor::GaijiMapping::fromNamedFile(std::string(content), what);
          },
          py::arg("content"), py::arg("what"))
      .def("__len__", &quor::GaijiMapping::size);

  bindComponent(m);
  bindDecoding(m);
  bindEncoding(m);
}
