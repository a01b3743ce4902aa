#pragma once
// One reading of a gaiji mapping file, indexed for lookups. FujitsuJEF reads the file named by
// JEFGaijiFilePath afresh on every call; a batch caller reads it once with GaijiMapping::read and pins
// that reading on its object (Quor::PinGaijiMapping), so a whole run costs one read.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quor {

namespace character {
struct GaijiIndex;        // the indexed content: the library's own, opaque here
struct GaijiIndexAccess;  // how the library's encoders and decoders reach it
}  // namespace character

class GaijiMapping {
 public:
  // A reading of no file: every character is looked up as not found.
  GaijiMapping() noexcept;
  // Copies share the reading. There is no separate move, so a moved-from mapping stays a valid copy.
  GaijiMapping(const GaijiMapping&) = default;
  GaijiMapping& operator=(const GaijiMapping&) = default;

  // Reads the file at `path` (UTF-16; UTF-8 on the file system on POSIX). A file that cannot be opened,
  // or an empty path, gives the same reading as GaijiMapping(): every character not found. Throws only
  // quor::Error 7 when memory runs out.
  [[nodiscard]] static GaijiMapping read(std::u16string_view path);

  // The reading of a mapping file's content, code page 932 bytes, as read() reads the file's. Throws
  // only quor::Error 7 when memory runs out.
  [[nodiscard]] static GaijiMapping fromText(std::string_view cp932Bytes);

  // The reading of the content of a mapping file a user named, which `what` names in messages ("the
  // gaiji mapping file site.txt"): as fromText, but a content that cannot be a mapping file is refused
  // with quor::Error 5 and a message, rather than read as a mapping of nothing: "... is empty", "...
  // holds NUL bytes: it is not a text file", "... has no mapping line: ...". Throws 7 when memory runs
  // out.
  [[nodiscard]] static GaijiMapping fromNamedFile(std::string_view cp932Bytes, const std::string& what);

  // True when the file was opened (even if it held no lines).
  [[nodiscard]] bool opened() const noexcept;
  // The number of keys the reading maps: those of the file's mapping lines, and for an IBM extension
  // character listed by its NEC-selected code the key of the code it is written as (docs/gaiji.md).
  [[nodiscard]] std::size_t size() const noexcept;

 private:
  friend struct character::GaijiIndexAccess;
  explicit GaijiMapping(std::shared_ptr<const character::GaijiIndex> index) noexcept
      : index_(std::move(index)) {}
  std::shared_ptr<const character::GaijiIndex> index_;  // immutable once read; copies share it
};

}  // namespace quor
