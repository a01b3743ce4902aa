#pragma once
// A copybook's text as the COBOL compiler reads it: its lines, in fixed or free form, reduced to one run
// of code (comment lines and comments gone, continued lines joined), its COPY statements replaced by
// the members they name (with REPLACING applied), and cut into words, literals and separator periods,
// each knowing the file and line it comes from.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quor/layout.hpp"

namespace quor::layout {

// A COBOL word in upper case, as COBOL compares words: letters of ASCII only.
inline std::string upperWord(std::string_view word) {
  std::string out(word);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

struct CopybookToken {
  enum class Kind : std::uint8_t {
    word,     // a level number, a name, a keyword, a picture, a number: anything up to a separator
    literal,  // a word holding a quoted part: 'ABC', X'00', N"..." (kept whole, spaces and periods too)
    period,   // the period that ends an entry
    copy,     // a COPY statement, while its file is read (never in a finished text)
  };
  Kind kind = Kind::word;
  std::size_t begin = 0;  // bytes of the code
  std::size_t size = 0;
  // The line it starts on, counted from 1 over the copybook's lines and then those of each member as
  // it is copied in: CopybookText::where names the file and its own line.
  std::size_t line = 0;
};

struct CopybookText {
  // The files the lines come from: from line `firstLine` on, the lines of `name`, its line 1 first.
  struct Source {
    std::size_t firstLine;
    std::string name;
  };

  std::string code;
  std::vector<CopybookToken> tokens;
  std::vector<Source> sources;

  [[nodiscard]] std::string_view text(const CopybookToken& token) const {
    return std::string_view(code).substr(token.begin, token.size);
  }
  // "member.cpy:3": the file and its own line for a token's `line`.
  [[nodiscard]] std::string where(std::size_t line) const;
};

// Reads the copybook `text` (UTF-8 or ASCII), taking the members its COPY statements name from
// `resolve` (none: a COPY statement is refused). A literal left open, a malformed COPY statement, a
// member that cannot be found or that copies itself throw quor::Error 5 "fileName:line: ...".
CopybookText readCopybookText(std::string_view text, const std::string& fileName, const CopyResolver& resolve = {});

}  // namespace quor::layout
