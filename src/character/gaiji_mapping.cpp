#include "quor/gaiji_mapping.hpp"

#include "base/api_guard.hpp"
#include "character/gaiji_index.hpp"
#include "platform/file_read.hpp"
#include "quor/error.hpp"

namespace quor {
namespace {

// The reading of no file, shared by every mapping that has none; never changed, never freed.
constinit const character::GaijiIndex kNoFile{};

}  // namespace

// Points at kNoFile without owning it, so a mapping without a file costs no allocation.
GaijiMapping::GaijiMapping() noexcept : index_(std::shared_ptr<const character::GaijiIndex>(), &kNoFile) {}

GaijiMapping GaijiMapping::read(std::u16string_view path) {
  return base::guarded([&] {
    std::optional<platform::FileBytes> file = platform::readFile(path);
    if (!file) return GaijiMapping();
    std::string& bytes = file->bytes;
    if (file->readFailed) {
      // A read that failed in the middle of the file ends it after the last whole line: a line end is
      // CR or LF, and neither byte can be part of a double-byte character, so the raw bytes tell.
      const std::size_t lastEnd = bytes.find_last_of("\r\n");
      bytes.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    }
    return GaijiMapping(std::make_shared<const character::GaijiIndex>(character::GaijiIndex::build(bytes)));
  });
}

GaijiMapping GaijiMapping::fromText(std::string_view cp932Bytes) {
  return base::guarded([&] {
    return GaijiMapping(
        std::make_shared<const character::GaijiIndex>(character::GaijiIndex::build(cp932Bytes)));
  });
}

GaijiMapping GaijiMapping::fromNamedFile(std::string_view cp932Bytes, const std::string& what) {
  return base::guarded([&] {
    if (cp932Bytes.empty()) throw Error(errors::kInvalidCall, what + " is empty");
    if (cp932Bytes.find('\0') != std::string_view::npos)
      throw Error(errors::kInvalidCall, what + " holds NUL bytes: it is not a text file");
    GaijiMapping mapping = fromText(cp932Bytes);
    if (mapping.size() == 0)
      throw Error(errors::kInvalidCall,
                  what + " has no mapping line: a line holds a JEF code, one separator and the character's "
                         "JIS-derived code, each four hexadecimal digits, as \"8EA1 7F21\" (see docs/gaiji.md)");
    return mapping;
  });
}

bool GaijiMapping::opened() const noexcept {
  return index_->opened;
}

std::size_t GaijiMapping::size() const noexcept {
  return index_->entries.size();
}

}  // namespace quor
