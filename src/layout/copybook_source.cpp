// The source forms of a copybook and its words.
//
// Fixed form: columns 1-6 are the sequence area, column 7 the indicator ('*' and '/' comment lines,
// 'D' debugging lines, read as comments, '-' a continuation line), columns 8-72 areas A and B, and
// columns 73 on are ignored. Free form has no columns. In both, "*>" outside a literal starts a comment
// that runs to the end of the line.
//
// The form is read from the text itself: it is fixed unless some line cannot be a fixed-form line. A
// fixed-form line is blank, or ends before column 7 with only digits and spaces (a bare sequence
// number), or has a space, '*', '/', '-', 'D' or 'd' in column 7 and nothing beyond column 80 (a card).
// So "01 ORDER." at the left margin, or a long line, makes the whole text free form.
//
// Columns count as on the host and in code page 932: a character of two or more UTF-8 bytes takes two
// columns, except half-width katakana, which take one. A tab moves to the next tab stop, every 8
// columns (9, 17, ...), as GnuCOBOL reads tabs by default; other control characters are spaces.

#include "layout/copybook_source.hpp"

#include <algorithm>

#include "quor/error.hpp"

namespace quor::layout {

namespace {

constexpr std::size_t kTabWidth = 8;
constexpr std::size_t kIndicatorColumn = 7;
constexpr std::size_t kAreaFirstColumn = 8;
constexpr std::size_t kAreaLastColumn = 72;
constexpr std::size_t kCardColumns = 80;

// The bytes of the character starting at `at` and the columns it takes. A byte that starts no valid
// UTF-8 sequence is one character of one column.
std::pair<std::size_t, std::size_t> characterAt(std::string_view line, std::size_t at) {
  const auto lead = static_cast<unsigned char>(line[at]);
  if (lead < 0x80) return {1, 1};
  const std::size_t bytes = lead >= 0xC2 && lead <= 0xDF   ? 2
                            : lead >= 0xE0 && lead <= 0xEF ? 3
                            : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                           : 0;
  if (bytes == 0 || at + bytes > line.size()) return {1, 1};
  for (std::size_t i = 1; i < bytes; ++i)
    if ((static_cast<unsigned char>(line[at + i]) & 0xC0) != 0x80) return {1, 1};
  // Half-width katakana, U+FF61..U+FF9F: EF BD A1..BF and EF BE 80..9F.
  const auto second = static_cast<unsigned char>(line[at + 1]);
  const auto third = static_cast<unsigned char>(bytes == 3 ? line[at + 2] : 0);
  const bool halfWidth =
      lead == 0xEF && ((second == 0xBD && third >= 0xA1) || (second == 0xBE && third <= 0x9F));
  return {bytes, halfWidth ? 1 : 2};
}

// The line with its tabs expanded and control characters made spaces.
std::string expanded(std::string_view line) {
  std::string out;
  std::size_t columns = 0;
  for (std::size_t at = 0; at < line.size();) {
    const auto c = static_cast<unsigned char>(line[at]);
    if (c == '\t') {
      do {
        out += ' ';
      } while (++columns % kTabWidth != 0);
      ++at;
    } else if (c < 0x20 || c == 0x7F) {
      out += ' ';
      ++columns;
      ++at;
    } else {
      const auto [bytes, width] = characterAt(line, at);
      out.append(line.substr(at, bytes));
      columns += width;
      at += bytes;
    }
  }
  return out;
}

// The bytes of the characters that start in columns `first` to `last` (from 1).
std::string_view columnsOf(std::string_view line, std::size_t first, std::size_t last) {
  std::size_t begin = line.size();
  std::size_t column = 1;
  for (std::size_t at = 0; at < line.size();) {
    if (column > last) return begin == line.size() ? std::string_view() : line.substr(begin, at - begin);
    if (column >= first && begin == line.size()) begin = at;
    const auto [bytes, width] = characterAt(line, at);
    at += bytes;
    column += width;
  }
  return line.substr(begin);
}

std::size_t widthOf(std::string_view text) {
  std::size_t columns = 0;
  for (std::size_t at = 0; at < text.size();) {
    const auto [bytes, width] = characterAt(text, at);
    at += bytes;
    columns += width;
  }
  return columns;
}

bool isBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

bool isQuote(char c) {
  return c == '"' || c == '\'';
}

// The character in column 7, or 0 when no character starts there.
char indicatorOf(std::string_view line) {
  const std::string_view indicator = columnsOf(line, kIndicatorColumn, kIndicatorColumn);
  return indicator.size() == 1 ? indicator[0] : '\0';
}

bool canBeFixedForm(std::string_view line) {
  if (isBlank(line)) return true;
  if (widthOf(line) < kIndicatorColumn)
    return line.find_first_not_of(" 0123456789") == std::string_view::npos;
  const char indicator = indicatorOf(line);
  return std::string_view(" */-Dd").find(indicator) != std::string_view::npos && indicator != '\0' &&
         isBlank(columnsOf(line, kCardColumns + 1, std::string_view::npos));
}

std::vector<std::string> linesOf(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find('\n', start);
    if (stop == std::string_view::npos) stop = text.size();
    lines.push_back(expanded(text.substr(start, stop - start)));
    start = stop + 1;
  }
  return lines;
}

// Joins the code of the lines into one text, remembering where each line's code begins.
class Joiner {
 public:
  explicit Joiner(const std::string& fileName) : fileName_(fileName) {}

  // A line of its own: the end of the previous line is a separator.
  void addLine(std::string_view code, std::size_t line) {
    if (open_ != '\0') refuse(openLine_, "a literal is not closed");
    out_.code += ' ';
    append(code, 0, line);
  }

  // A fixed-form continuation line: its first non-blank character follows the previous line's last
  // one; a literal left open goes on after the quote that starts the continuation line. (The literal's
  // text also holds the spaces up to column 72, but no literal's text is used, so none are added.)
  void addContinuation(std::string_view code, std::size_t line) {
    const std::size_t first = code.find_first_not_of(' ');
    if (first == std::string_view::npos) return;
    if (starts_.empty()) refuse(line, "a continuation line has no line before it to continue");
    if (open_ == '\0') {
      out_.code.erase(out_.code.find_last_not_of(' ') + 1);
      append(code, first, line);
      return;
    }
    if (!isQuote(code[first]))
      refuse(line, "a continued literal must go on after a quote on the continuation line");
    append(code, first + 1, line);
  }

  // The code so far; a literal still open at the end is an error.
  CopybookText finish() {
    if (open_ != '\0') refuse(openLine_, "a literal is not closed");
    return std::move(out_);
  }

  [[nodiscard]] bool literalOpen() const { return open_ != '\0'; }

  // The line that `offset` of the code comes from.
  [[nodiscard]] std::size_t lineAt(std::size_t offset) const {
    auto after = std::upper_bound(starts_.begin(), starts_.end(), std::make_pair(offset, ~std::size_t{0}));
    return after == starts_.begin() ? 1 : std::prev(after)->second;
  }

  [[noreturn]] void refuse(std::size_t line, const std::string& what) const {
    throw Error(errors::kInvalidCall, fileName_ + ":" + std::to_string(line) + ": " + what);
  }

 private:
  // Appends `code` from `from`, up to a comment, following the literals so a quote or "*>" inside one
  // is taken as text.
  void append(std::string_view code, std::size_t from, std::size_t line) {
    starts_.emplace_back(out_.code.size(), line);
    std::size_t end = from;
    for (; end < code.size(); ++end) {
      const char c = code[end];
      if (open_ == '\0' && c == '*' && end + 1 < code.size() && code[end + 1] == '>') break;
      if (open_ == '\0' && isQuote(c))
        open_ = c;
      else if (open_ != '\0' && c == open_)
        open_ = '\0';
    }
    out_.code.append(code.substr(from, end - from));
    openLine_ = line;
  }

  const std::string& fileName_;
  CopybookText out_;
  std::vector<std::pair<std::size_t, std::size_t>> starts_;  // code offset, line
  char open_ = '\0';          // the quote of a literal open at the end of the code so far
  std::size_t openLine_ = 0;  // the line the code so far ends on
};

bool endsWord(std::string_view code, std::size_t at) {
  const char c = code[at];
  if (c == ' ') return true;
  const bool separator = c == '.' || c == ',' || c == ';';
  return separator && (at + 1 == code.size() || code[at + 1] == ' ');
}

void cutTokens(CopybookText& text, const Joiner& joiner) {
  const std::string_view code = text.code;
  std::size_t at = 0;
  while (at < code.size()) {
    if (endsWord(code, at)) {
      if (code[at] == '.') text.tokens.push_back({CopybookToken::Kind::period, at, 1, joiner.lineAt(at)});
      ++at;
      continue;
    }
    CopybookToken token{CopybookToken::Kind::word, at, 0, joiner.lineAt(at)};
    while (at < code.size() && !endsWord(code, at)) {
      if (isQuote(code[at])) {
        // The literal runs to its closing quote; a doubled quote stands for one and goes on.
        token.kind = CopybookToken::Kind::literal;
        const char quote = code[at];
        std::size_t close = code.find(quote, at + 1);
        while (close != std::string_view::npos && close + 1 < code.size() && code[close + 1] == quote)
          close = code.find(quote, close + 2);
        if (close == std::string_view::npos) joiner.refuse(token.line, "a literal is not closed");
        at = close + 1;
      } else {
        ++at;
      }
    }
    token.size = at - token.begin;
    text.tokens.push_back(token);
  }
}

}  // namespace

CopybookText readCopybookText(std::string_view text, const std::string& fileName) {
  const std::vector<std::string> lines = linesOf(text);
  const bool fixed =
      std::all_of(lines.begin(), lines.end(), [](const std::string& line) { return canBeFixedForm(line); });
  Joiner joiner(fileName);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t number = i + 1;
    if (!fixed) {
      joiner.addLine(line, number);
      if (joiner.literalOpen()) joiner.refuse(number, "a literal is not closed");
      continue;
    }
    const char indicator = indicatorOf(line);
    const std::string_view code = columnsOf(line, kAreaFirstColumn, kAreaLastColumn);
    if (indicator == '-')
      joiner.addContinuation(code, number);
    else if (indicator != '*' && indicator != '/' && indicator != 'D' && indicator != 'd' && !isBlank(code))
      joiner.addLine(code, number);
  }
  CopybookText out = joiner.finish();
  cutTokens(out, joiner);
  return out;
}

}  // namespace quor::layout
