#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "device/device_record.h"
#include "platform/writable_file.h"
#include "recording/local_time.h"

namespace korvin {

// A CSV file that grows line by line, each line pushed to the disk as it is added: a crash or a
// power cut loses at most the line being written. Lines the file does not take (a full disk, a
// quota, something in the way of the file) wait in memory in their order and go out with the
// next line that gets through; a line cut short by a failing write is cut off again, and in any
// case written over by the next attempt, so no torn line ever stands before a later one.
class CsvFile {
 public:
  CsvFile() = default;
  ~CsvFile();
  CsvFile(const CsvFile&) = delete;
  CsvFile& operator=(const CsvFile&) = delete;

  // Starts the file at `path` anew, `header` its first line: whatever was there is replaced.
  // False when the header could not be written now; it then waits like any other line.
  bool Start(const std::filesystem::path& path, std::string_view header);
  // Adds a line (given without its line break). False when not every waiting line reached the
  // disk.
  bool Append(std::string_view line);
  // Tries the waiting lines again; true when none is left.
  bool Retry();
  // Tries the waiting lines a last time and closes the file. False when lines are left out or
  // the last ones may not have reached the disk.
  bool Close();

  bool started() const { return started_; }
  const std::filesystem::path& path() const { return path_; }
  int linesInFile() const { return linesInFile_; }  // the header included
  int linesWaiting() const { return linesWaiting_; }
  // Why the last attempt that failed did.
  const std::error_code& error() const { return error_; }

 private:
  bool Write();

  std::filesystem::path path_;
  std::unique_ptr<WritableFile> file_;
  bool started_ = false;
  int64_t end_ = 0;  // where the next line goes: the end of the last complete line
  std::string waiting_;
  int linesWaiting_ = 0;
  int linesInFile_ = 0;
  std::error_code error_;
};

// The lines of a recording's CSV: UTF-8, "," between the fields, "." as the decimal point
// whatever the locale, the time in ISO 8601 with the offset from UTC.
//   No.,Time,CH 1 [C],CH 2 [g/m3],CH 3 [C Td],CH 4 [barg]
//   1,2024-03-05T08:30:01+01:00,20.1,5.5,-40.25,7.01
std::string CsvHeaderLine(const std::array<std::string, kChannelCount>& units);
std::string CsvRowLine(int number, const LocalDateTime& time,
                       const std::array<float, kChannelCount>& values);

}  // namespace korvin
