#pragma once
// A copybook's text as the COBOL compiler reads it: its lines, in fixed or free form, reduced to one run
// of code (comment lines and comments gone, continued lines joined) and cut into words, literals and
// separator periods, each knowing the line it starts on.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quor::layout {

struct CopybookToken {
  enum class Kind : std::uint8_t {
    word,     // a level number, a name, a keyword, a picture, a number: anything up to a separator
    literal,  // a word holding a quoted part: 'ABC', X'00', N"..." (kept whole, spaces and periods too)
    period,   // the period that ends an entry
  };
  Kind kind = Kind::word;
  std::size_t begin = 0;  // bytes of the code
  std::size_t size = 0;
  std::size_t line = 0;  // counted from 1
};

struct CopybookText {
  std::string code;
  std::vector<CopybookToken> tokens;

  [[nodiscard]] std::string_view text(const CopybookToken& token) const {
    return std::string_view(code).substr(token.begin, token.size);
  }
};

// Reads the copybook `text` (UTF-8 or ASCII). A literal left open throws quor::Error 5
// "fileName:line: ...".
CopybookText readCopybookText(std::string_view text, const std::string& fileName);

}  // namespace quor::layout
