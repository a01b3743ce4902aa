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

bool isPeriodAt(std::string_view code, std::size_t at) {
  return at < code.size() && code[at] == '.' && endsWord(code, at);
}

// The token that starts at `at` (no separator): where it ends, whether it holds a quoted part, and
// whether that part is closed. A doubled quote in a literal stands for one and goes on.
struct Scanned {
  std::size_t end;
  bool literal;
  bool closed;
};

Scanned scanToken(std::string_view code, std::size_t at) {
  bool literal = false;
  while (at < code.size() && !endsWord(code, at)) {
    if (!isQuote(code[at])) {
      ++at;
      continue;
    }
    literal = true;
    const char quote = code[at];
    std::size_t close = code.find(quote, at + 1);
    while (close != std::string_view::npos && close + 1 < code.size() && code[close + 1] == quote)
      close = code.find(quote, close + 2);
    if (close == std::string_view::npos) return {code.size(), true, false};
    at = close + 1;
  }
  return {at, literal, true};
}

// A text-word of a REPLACING operand: a word, a literal or a period, compared as COBOL compares them
// (words in any letter case, literals exactly).
struct TextWord {
  CopybookToken::Kind kind;
  std::string text;
};

bool sameWord(const TextWord& word, CopybookToken::Kind kind, std::string_view text) {
  if (word.kind != kind) return false;
  return kind == CopybookToken::Kind::literal ? word.text == text : upperWord(word.text) == upperWord(text);
}

// One REPLACING operand pair. `whole` replaces a run of text-words; the others a part of one word:
// its start (LEADING), its end (TRAILING), or a colon-delimited tag such as ":PFX:" wherever it stands
// in a word ("COPY ... REPLACING ==:PFX:== BY ==CUST==" makes ":PFX:-NAME" "CUST-NAME").
struct Replacement {
  enum class Part : std::uint8_t { whole, leading, trailing, tag };
  Part part = Part::whole;
  std::vector<TextWord> from;
  std::vector<TextWord> to;
};

struct CopyStatement {
  std::string member;
  std::string library;
  std::vector<Replacement> replacing;
};

// Reads a COPY statement from just after its COPY to just after its period.
class CopyStatementReader {
 public:
  CopyStatementReader(std::string_view code, std::size_t at, std::size_t line, const Joiner& joiner)
      : code_(code), at_(at), line_(line), joiner_(joiner) {}

  CopyStatement read() {
    CopyStatement statement;
    statement.member = name("COPY needs the name of a member");
    if (skipWord("OF") || skipWord("IN")) statement.library = name("COPY ... OF needs the name of a library");
    skipWord("SUPPRESS");
    if (skipWord("REPLACING")) {
      do {
        Replacement replacement;
        if (skipWord("LEADING"))
          replacement.part = Replacement::Part::leading;
        else if (skipWord("TRAILING"))
          replacement.part = Replacement::Part::trailing;
        replacement.from = operand();
        if (replacement.from.empty()) refuse("REPLACING needs text to replace, not an empty ====");
        if (!skipWord("BY")) refuse("REPLACING needs BY between the text to replace and its replacement");
        replacement.to = operand();
        const bool oneWord = replacement.from.size() == 1 && replacement.from[0].kind == CopybookToken::Kind::word;
        if (replacement.part != Replacement::Part::whole) {
          if (!oneWord || replacement.to.size() > 1 ||
              (replacement.to.size() == 1 && replacement.to[0].kind != CopybookToken::Kind::word))
            refuse("REPLACING LEADING and TRAILING replace part of a word by part of a word");
        } else if (oneWord && replacement.from[0].text.size() > 2 && replacement.from[0].text.front() == ':' &&
                   replacement.from[0].text.back() == ':') {
          replacement.part = Replacement::Part::tag;
          if (replacement.to.size() > 1 || (replacement.to.size() == 1 && replacement.to[0].kind != CopybookToken::Kind::word))
            refuse("a tag such as " + replacement.from[0].text + " is replaced by one word");
        }
        statement.replacing.push_back(std::move(replacement));
        skipBlanks();
      } while (at_ < code_.size() && !isPeriodAt(code_, at_));
    }
    skipBlanks();
    if (!isPeriodAt(code_, at_)) {
      if (at_ >= code_.size()) refuse("the COPY statement does not end with a period");
      refuse("unexpected '" + std::string(token()) + "' in a COPY statement");
    }
    ++at_;
    return statement;
  }

  [[nodiscard]] std::size_t end() const { return at_; }

 private:
  [[noreturn]] void refuse(const std::string& what) const { joiner_.refuse(line_, what); }

  // Skips blanks and the separators comma and semicolon.
  void skipBlanks() {
    while (at_ < code_.size() && endsWord(code_, at_) && !isPeriodAt(code_, at_)) ++at_;
  }

  // The next token, which must be there.
  std::string_view token() {
    skipBlanks();
    if (at_ >= code_.size() || isPeriodAt(code_, at_)) return {};
    const Scanned scanned = scanToken(code_, at_);
    if (!scanned.closed) refuse("a literal is not closed");
    const std::string_view text = code_.substr(at_, scanned.end - at_);
    at_ = scanned.end;
    return text;
  }

  bool skipWord(std::string_view word) {
    skipBlanks();
    const std::size_t at = at_;
    const std::string_view next = token();
    if (upperWord(next) == word) return true;
    at_ = at;
    return false;
  }

  // A member or library name: a word, or a literal's text.
  std::string name(const char* missing) {
    const std::string_view text = token();
    if (text.empty()) refuse(missing);
    if (isQuote(text.front()) && text.size() >= 2 && text.back() == text.front())
      return unquoted(text.substr(1, text.size() - 2), text.front());
    return std::string(text);
  }

  static std::string unquoted(std::string_view inside, char quote) {
    std::string out;
    for (std::size_t i = 0; i < inside.size(); ++i) {
      out += inside[i];
      if (inside[i] == quote && i + 1 < inside.size() && inside[i + 1] == quote) ++i;
    }
    return out;
  }

  // An operand: pseudo-text between == and ==, or one word or literal.
  std::vector<TextWord> operand() {
    skipBlanks();
    if (code_.substr(at_, 2) == "==") {
      const std::size_t close = code_.find("==", at_ + 2);
      if (close == std::string_view::npos) refuse("pseudo-text is not closed with ==");
      const std::string_view inside = code_.substr(at_ + 2, close - at_ - 2);
      at_ = close + 2;
      std::vector<TextWord> words;
      for (std::size_t at = 0; at < inside.size();) {
        if (endsWord(inside, at)) {
          if (inside[at] == '.') words.push_back({CopybookToken::Kind::period, "."});
          ++at;
          continue;
        }
        const Scanned scanned = scanToken(inside, at);
        if (!scanned.closed) refuse("a literal in pseudo-text is not closed");
        words.push_back({scanned.literal ? CopybookToken::Kind::literal : CopybookToken::Kind::word,
                         std::string(inside.substr(at, scanned.end - at))});
        at = scanned.end;
      }
      return words;
    }
    const std::string_view text = token();
    if (text.empty()) refuse("REPLACING needs an operand: pseudo-text (==...==), a word or a literal");
    const bool literal = text.find_first_of("'\"") != std::string_view::npos;
    return {{literal ? CopybookToken::Kind::literal : CopybookToken::Kind::word, std::string(text)}};
  }

  std::string_view code_;
  std::size_t at_;
  std::size_t line_;
  const Joiner& joiner_;
};

// Cuts the code into tokens; a COPY statement becomes one token of kind copy whose `begin` is its index
// in `copies`.
void cutTokens(CopybookText& text, const Joiner& joiner, std::vector<CopyStatement>& copies) {
  const std::string_view code = text.code;
  std::size_t at = 0;
  while (at < code.size()) {
    if (endsWord(code, at)) {
      if (code[at] == '.') text.tokens.push_back({CopybookToken::Kind::period, at, 1, joiner.lineAt(at)});
      ++at;
      continue;
    }
    CopybookToken token{CopybookToken::Kind::word, at, 0, joiner.lineAt(at)};
    const Scanned scanned = scanToken(code, at);
    if (!scanned.closed) joiner.refuse(token.line, "a literal is not closed");
    token.kind = scanned.literal ? CopybookToken::Kind::literal : CopybookToken::Kind::word;
    token.size = scanned.end - at;
    at = scanned.end;
    if (token.kind == CopybookToken::Kind::word && upperWord(code.substr(token.begin, token.size)) == "COPY") {
      CopyStatementReader reader(code, at, token.line, joiner);
      copies.push_back(reader.read());
      at = reader.end();
      token = {CopybookToken::Kind::copy, copies.size() - 1, 0, token.line};
    }
    text.tokens.push_back(token);
  }
}

// The most members copied one inside another, and the most code a copybook and its members make.
constexpr std::size_t kMaxCopyDepth = 50;
constexpr std::size_t kMaxCode = std::size_t{64} << 20;

// Reads a copybook and the members it copies into one text.
class SourceReader {
 public:
  explicit SourceReader(const CopyResolver& resolve) : resolve_(resolve) {}

  CopybookText read(std::string_view text, const std::string& fileName) {
    chain_.push_back(fileName);
    readFile(text, fileName, nullptr, out_.tokens);
    return std::move(out_);
  }

 private:
  [[noreturn]] void refuse(std::size_t line, const std::string& what) const {
    throw Error(errors::kInvalidCall, out_.where(line) + ": " + what);
  }

  // Appends the tokens of the file `name` to `into`, `replacing` applied, its COPY statements replaced
  // by their members.
  void readFile(std::string_view text, const std::string& name, const std::vector<Replacement>* replacing,
                std::vector<CopybookToken>& into) {
    const std::vector<std::string> lines = linesOf(text);
    const bool fixed =
        std::all_of(lines.begin(), lines.end(), [](const std::string& line) { return canBeFixedForm(line); });
    Joiner joiner(name);
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
    CopybookText local = joiner.finish();
    std::vector<CopyStatement> copies;
    cutTokens(local, joiner, copies);

    const std::size_t codeBase = out_.code.size();
    const std::size_t lineBase = nextLine_ - 1;
    nextLine_ += std::max<std::size_t>(lines.size(), 1);
    out_.sources.push_back({lineBase + 1, name});
    if (local.code.size() > kMaxCode - codeBase)
      refuse(lineBase + 1, "the copybook and the members it copies make more than 64 MiB of text");
    out_.code += local.code;
    out_.code += ' ';
    std::vector<CopybookToken> own;
    for (CopybookToken token : local.tokens) {
      if (token.kind != CopybookToken::Kind::copy) token.begin += codeBase;
      token.line += lineBase;
      own.push_back(token);
    }
    if (replacing != nullptr) own = replaced(own, *replacing);
    for (const CopybookToken& token : own) {
      if (token.kind == CopybookToken::Kind::copy)
        copyIn(copies[token.begin], token.line, into);
      else
        into.push_back(token);
    }
  }

  void copyIn(const CopyStatement& copy, std::size_t line, std::vector<CopybookToken>& into) {
    const std::string statement = "COPY " + copy.member + (copy.library.empty() ? "" : " OF " + copy.library);
    if (!resolve_) refuse(line, statement + ": no place to look for members was given (--copy-path)");
    CopyMember member;
    try {
      member = resolve_(copy.member, copy.library);
    } catch (const Error& e) {
      if (e.number() != errors::kInvalidCall) throw;
      refuse(line, statement + ": " + e.what());
    }
    if (std::find(chain_.begin(), chain_.end(), member.name) != chain_.end()) {
      std::string cycle;
      for (const std::string& name : chain_) cycle += name + " -> ";
      refuse(line, statement + ": the member copies itself: " + cycle + member.name);
    }
    if (chain_.size() > kMaxCopyDepth)
      refuse(line, statement + ": members are copied more than " + std::to_string(kMaxCopyDepth) + " deep");
    chain_.push_back(member.name);
    readFile(member.text, member.name, &copy.replacing, into);
    chain_.pop_back();
  }

  // A token of the given kind and text, the text kept in the code.
  CopybookToken made(CopybookToken::Kind kind, std::string_view text, std::size_t line) {
    if (text.size() + 1 > kMaxCode - out_.code.size())
      refuse(line, "the copybook and the members it copies make more than 64 MiB of text");
    const CopybookToken token{kind, out_.code.size(), text.size(), line};
    out_.code += text;
    out_.code += ' ';
    return token;
  }

  // The tokens with every REPLACING operand replaced: at each token the first operand that matches
  // there, the text after a replacement compared afresh (never the replacement itself).
  std::vector<CopybookToken> replaced(const std::vector<CopybookToken>& tokens, const std::vector<Replacement>& rules) {
    std::vector<CopybookToken> out;
    for (std::size_t k = 0; k < tokens.size();) {
      const CopybookToken& token = tokens[k];
      bool matched = false;
      for (const Replacement& rule : rules) {
        if (rule.part == Replacement::Part::whole) {
          const std::size_t n = rule.from.size();
          if (k + n > tokens.size()) continue;
          bool same = true;
          for (std::size_t j = 0; j < n && same; ++j)
            same = tokens[k + j].kind != CopybookToken::Kind::copy &&
                   sameWord(rule.from[j], tokens[k + j].kind, out_.text(tokens[k + j]));
          if (!same) continue;
          for (const TextWord& word : rule.to) out.push_back(made(word.kind, word.text, token.line));
          k += n;
          matched = true;
          break;
        }
        if (token.kind != CopybookToken::Kind::word) continue;
        const std::string text(out_.text(token));
        const std::string key = upperWord(rule.from[0].text);
        const std::string to = rule.to.empty() ? std::string() : rule.to[0].text;
        std::string result;
        if (rule.part == Replacement::Part::leading) {
          if (text.size() < key.size() || upperWord(std::string_view(text).substr(0, key.size())) != key) continue;
          result = to + text.substr(key.size());
        } else if (rule.part == Replacement::Part::trailing) {
          if (text.size() < key.size() || upperWord(std::string_view(text).substr(text.size() - key.size())) != key)
            continue;
          result = text.substr(0, text.size() - key.size()) + to;
        } else {
          const std::string upper = upperWord(text);
          std::size_t found = upper.find(key);
          if (found == std::string::npos) continue;
          std::size_t from = 0;
          for (; found != std::string::npos; found = upper.find(key, from)) {
            result += text.substr(from, found - from) + to;
            from = found + key.size();
          }
          result += text.substr(from);
        }
        if (!result.empty()) out.push_back(made(CopybookToken::Kind::word, result, token.line));
        ++k;
        matched = true;
        break;
      }
      if (!matched) out.push_back(tokens[k++]);
    }
    return out;
  }

  const CopyResolver& resolve_;
  CopybookText out_;
  std::vector<std::string> chain_;  // the copybook and the members being copied, outermost first
  std::size_t nextLine_ = 1;
};

}  // namespace

std::string CopybookText::where(std::size_t line) const {
  const auto after = std::upper_bound(sources.begin(), sources.end(), line,
                                      [](std::size_t l, const Source& source) { return l < source.firstLine; });
  if (after == sources.begin()) return std::to_string(line);
  const Source& source = *std::prev(after);
  return source.name + ":" + std::to_string(line - source.firstLine + 1);
}

CopybookText readCopybookText(std::string_view text, const std::string& fileName, const CopyResolver& resolve) {
  return SourceReader(resolve).read(text, fileName);
}

}  // namespace quor::layout
