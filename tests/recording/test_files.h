#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/biff_reader.h"

namespace korvin::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("korvin-recording-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// What a shell command printed on its standard output.
inline std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

// Debian's reader of the format, run with the interpreter that has it.
inline constexpr const char* kPython = "/usr/bin/python3";

// How an independent reader (python3-xlrd) sees a recording: "Values:" and the number of
// sheet rows, or its error message.
inline std::string XlrdSummary(const std::filesystem::path& file) {
  const std::string script =
      "import sys, xlrd; sheet = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0); "
      "print(\"values %d rows %d\" % (sheet.cell_value(5, 1), sheet.nrows))";
  return RunCommand(std::string(kPython) + " -c '" + script + "' '" + file.string() + "' 2>&1");
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace korvin::test
