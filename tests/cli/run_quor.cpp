#include "run_quor.hpp"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quor::cli::testing {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string examplesDir() {
  return QUOR_EXAMPLES_DIR;
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "quor-cli-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path ScratchFolder::write(const std::string& name, const std::string& content) const {
  const fs::path file = path_ / name;
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << content;
  return file;
}

RunResult runQuor(const std::string& arguments, const fs::path& folder, const std::string& input) {
  const fs::path out = folder / ".run-stdout";
  const fs::path err = folder / ".run-stderr";
  std::string command = "cd '" + folder.string() + "' && '" + QUOR_BINARY + "' " + arguments;
  // Standard input is always given, so no run waits on the terminal's.
  const fs::path in = folder / ".run-stdin";
  std::ofstream(in, std::ios::binary) << input;
  command += " < '" + in.string() + "'";
  command += " > '" + out.string() + "' 2> '" + err.string() + "'";
  const int status = std::system(command.c_str());
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = readFile(out);
  result.err = readFile(err);
  fs::remove(out);
  fs::remove(err);
  fs::remove(folder / ".run-stdin");
  return result;
}

std::string hexLines(const std::string& bytes, std::size_t perLine) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i % perLine != 0) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
    if (i % perLine == perLine - 1 || i + 1 == bytes.size()) text += '\n';
  }
  return text;
}

}  // namespace quor::cli::testing
