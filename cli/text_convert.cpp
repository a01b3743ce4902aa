#include "text_convert.hpp"

#include "io_error.hpp"
#include "quor/text.hpp"

namespace quor::cli {

std::u16string toUtf16(std::string_view text, std::string_view what) {
  std::u16string out(text.size(), u'\0');
  const TextDecodeResult result = decodeUtf8(text, out.data());
  if (!result.ok) throw UsageError(std::string(what) + " is not valid UTF-8 text");
  out.resize(result.length);
  return out;
}

}  // namespace quor::cli
