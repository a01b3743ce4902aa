// The members of COPY statements, looked for in folders as a compiler's copy path does.

#include <utility>

#include "base/api_guard.hpp"
#include "platform/file_read.hpp"
#include "quor/error.hpp"
#include "quor/layout.hpp"
#include "quor/text.hpp"

namespace quor {

namespace {

bool isAbsolute(std::string_view path) {
  return path.starts_with('/') || path.starts_with('\\') || (path.size() > 1 && path[1] == ':');
}

std::u16string utf16(const std::string& path) {
  std::u16string units(path.size(), u'\0');
  const TextDecodeResult read = decodeUtf8(path, units.data());
  units.resize(read.ok ? read.length : 0);
  return units;
}

// The member at `path`, when there is a file there.
std::optional<CopyMember> memberAt(const std::string& path) {
  const std::u16string units = utf16(path);
  if (units.empty()) return std::nullopt;
  std::optional<platform::FileBytes> file = platform::readFile(units);
  if (!file) return std::nullopt;
  // A folder opens but does not read: it is no member.
  if (file->readFailed && file->bytes.empty()) return std::nullopt;
  if (file->readFailed) throw Error(errors::kPathFileAccess, "cannot read " + path);
  return CopyMember{path, std::move(file->bytes)};
}

}  // namespace

CopyResolver copyFolders(std::vector<std::string> folders) {
  return [folders = std::move(folders)](const std::string& name, const std::string& library) {
    return base::guarded([&] {
      const std::string tried = name + ", " + name + ".cpy or " + name + ".CPY";
      std::vector<std::string> places;
      if (isAbsolute(name)) {
        places.emplace_back();
      } else {
        for (const std::string& folder : folders) {
          std::string place = folder.empty() ? std::string(".") : folder;
          if (!library.empty()) place += "/" + library;
          places.push_back(std::move(place));
        }
      }
      std::string searched;
      for (const std::string& place : places) {
        const std::string base = place.empty() ? name : place + "/" + name;
        for (const char* suffix : {"", ".cpy", ".CPY"})
          if (std::optional<CopyMember> member = memberAt(base + suffix)) return std::move(*member);
        searched += (searched.empty() ? "" : ", ") + place;
      }
      if (places.empty()) throw Error(errors::kInvalidCall, "no member " + tried + ": no folders to look in");
      if (isAbsolute(name)) throw Error(errors::kInvalidCall, "no member " + tried);
      throw Error(errors::kInvalidCall, "no member " + tried + " in " + searched);
    });
  };
}

}  // namespace quor
