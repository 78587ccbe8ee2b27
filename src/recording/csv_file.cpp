#include "recording/csv_file.h"

#include <charconv>

namespace korvin {

namespace {

// RFC 4180 ends its lines this way, and the spreadsheet programs technicians open CSV with
// expect it.
constexpr std::string_view kLineBreak = "\r\n";
constexpr char kSeparator = ',';
constexpr char kQuote = '"';
constexpr std::string_view kNeedsQuotes = ",\"\r\n";
constexpr const char* kColumnNumber = "No.";
constexpr const char* kColumnTime = "Time";
constexpr std::array<const char*, kChannelCount> kChannelTitles = {"CH 1", "CH 2", "CH 3", "CH 4"};
// Room for the longest fixed form of a float: 39 digits, a sign and a point.
constexpr size_t kNumberSize = 64;

// A field as it stands, or quoted with its quotes doubled where it holds a separator, a quote
// or a line break.
std::string Field(std::string_view text) {
  if (text.find_first_of(kNeedsQuotes) == std::string_view::npos) return std::string(text);
  std::string quoted(1, kQuote);
  for (const char c : text) {
    if (c == kQuote) quoted += kQuote;
    quoted += c;
  }
  quoted += kQuote;
  return quoted;
}

// The shortest decimal form that reads back as the same float, never with an exponent, and
// with "." whatever the locale says.
std::string Number(float value) {
  char text[kNumberSize];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  if (error != std::errc()) return {};
  return std::string(text, end);
}

}  // namespace

CsvFile::~CsvFile() {
  Close();
}

bool CsvFile::Start(const std::filesystem::path& path, std::string_view header) {
  Close();
  path_ = path;
  started_ = true;
  end_ = 0;
  waiting_.clear();
  linesWaiting_ = 0;
  linesInFile_ = 0;
  error_.clear();
  return Append(header);
}

bool CsvFile::Append(std::string_view line) {
  if (!started_) return false;
  waiting_.append(line);
  waiting_.append(kLineBreak);
  ++linesWaiting_;
  return Write();
}

bool CsvFile::Retry() {
  return started_ && Write();
}

bool CsvFile::Close() {
  if (!started_) return false;
  bool ok = Write();
  if (file_) {
    file_->ClearError();  // the writes answered for themselves; this is the close
    if (!file_->Close()) {
      error_ = file_->error();
      ok = false;
    }
    file_.reset();
  }
  started_ = false;
  return ok;
}

bool CsvFile::Write() {
  if (waiting_.empty()) return true;
  if (!file_) {
    // Opened in place and emptied: the file of an earlier recording of this name is replaced.
    auto file = std::make_unique<WritableFile>(path_);
    if (!file->is_open() || !file->Truncate(0)) {
      error_ = file->error();
      return false;
    }
    file_ = std::move(file);
    end_ = 0;
  }
  file_->ClearError();  // each attempt answers for itself
  if (!file_->WriteAt(end_, waiting_.data(), waiting_.size())) {
    error_ = file_->error();
    // Whatever part of the lines did get in goes again; the next attempt writes over it anyway.
    file_->Truncate(end_);
    return false;
  }
  end_ += static_cast<int64_t>(waiting_.size());
  linesInFile_ += linesWaiting_;
  waiting_.clear();
  linesWaiting_ = 0;
  if (!file_->Sync()) {
    error_ = file_->error();
    return false;
  }
  return true;
}

std::string CsvHeaderLine(const std::array<std::string, kChannelCount>& units) {
  std::string line = std::string(kColumnNumber) + kSeparator + kColumnTime;
  for (int ch = 0; ch < kChannelCount; ++ch) {
    line += kSeparator;
    line += Field(std::string(kChannelTitles[ch]) + " [" + units[ch] + "]");
  }
  return line;
}

std::string CsvRowLine(int number, const LocalDateTime& time,
                       const std::array<float, kChannelCount>& values) {
  std::string line = std::to_string(number) + kSeparator + FormatIsoLocalTime(time);
  for (const float value : values) {
    line += kSeparator;
    line += Number(value);
  }
  return line;
}

}  // namespace korvin
