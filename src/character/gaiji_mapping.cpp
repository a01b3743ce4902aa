#include "quor/gaiji_mapping.hpp"

#include "character/gaiji_file.hpp"
#include "character/gaiji_index.hpp"

namespace quor {
namespace {

// The reading of no file, shared by every mapping that has none; never changed, never freed.
constinit const GaijiMapping::Index kNoFile{};

}  // namespace

// Points at kNoFile without owning it, so a mapping without a file costs no allocation.
GaijiMapping::GaijiMapping() : index_(std::shared_ptr<const Index>(), &kNoFile) {}

GaijiMapping GaijiMapping::read(std::u16string_view path) {
  const std::optional<std::string> bytes = character::readGaijiBytes(path);
  if (!bytes) return GaijiMapping();
  return GaijiMapping(std::make_shared<const Index>(Index::build(*bytes)));
}

bool GaijiMapping::opened() const noexcept {
  return index_->opened;
}

}  // namespace quor
