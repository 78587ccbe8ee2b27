#include "platform/profile_file.h"

#include <cstdio>
#include <system_error>

#include "platform/cp936.h"
#include "platform/file_handle.h"
#include "platform/replace_file.h"

namespace korvin {

namespace {

constexpr char kSectionOpen = '[';
constexpr char kSectionClose = ']';
constexpr char kAssign = '=';
constexpr char kComment = ';';
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kDefaultLineEnd = "\r\n";
// Code page 936 lead bytes: the byte after one belongs to the same character.
constexpr unsigned char kLeadFirst = 0x81;
constexpr unsigned char kLeadLast = 0xFE;
constexpr size_t kReadChunk = 1 << 16;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsLeadByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= kLeadFirst && b <= kLeadLast;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Compares names as the profile functions do: ASCII letters without regard to case; the
// bytes of double-byte characters as they are (a trail byte may look like a letter).
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(a[i]) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The first `limit` bytes of `text`, one less when the last would be a lone lead byte.
std::string_view FirstBytes(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = 0;
  while (end < limit) {
    const size_t length = IsLeadByte(text[end]) && end + 1 < text.size() ? 2 : 1;
    if (end + length > limit) break;
    end += length;
  }
  return text.substr(0, end);
}

std::string_view WithoutQuotes(std::string_view value) {
  if (value.size() >= 2 && value.front() == value.back() &&
      (value.front() == '"' || value.front() == '\'')) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string OneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

}  // namespace

ProfileFile::ProfileFile(std::string bytes) {
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t newline = bytes.find('\n', start);
    size_t textEnd = newline == std::string::npos ? bytes.size() : newline;
    const size_t next = newline == std::string::npos ? bytes.size() : newline + 1;
    if (newline != std::string::npos && textEnd > start && bytes[textEnd - 1] == '\r') --textEnd;
    const size_t skip =
        start == 0 && std::string_view(bytes).substr(0, kByteOrderMark.size()) == kByteOrderMark
            ? kByteOrderMark.size()
            : 0;
    lines_.push_back(
        Parse(bytes.substr(start, textEnd - start), bytes.substr(textEnd, next - textEnd), skip));
    start = next;
  }
}

ProfileFile ProfileFile::Load(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return {};
  const FileHandle in = OpenFile(file, "rb");
  if (!in) return {};
  std::string bytes;
  char buffer[kReadChunk];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) bytes.append(buffer, n);
  if (std::ferror(in.get()) != 0) return {};
  return ProfileFile(std::move(bytes));
}

ProfileFile::Line ProfileFile::Parse(std::string text, std::string end, size_t skip) {
  Line line;
  line.text = std::move(text);
  line.end = std::move(end);
  std::string_view body = std::string_view(line.text).substr(skip);
  const size_t first = body.find_first_not_of(" \t");
  if (first == std::string_view::npos) return line;
  body.remove_prefix(first);
  if (body.front() == kComment) return line;
  if (body.front() == kSectionOpen) {
    body.remove_prefix(1);
    line.kind = LineKind::kSection;
    line.name = Trimmed(body.substr(0, body.find(kSectionClose)));
    return line;
  }
  const size_t assign = body.find(kAssign);
  if (assign == std::string_view::npos) return line;
  const std::string_view name = Trimmed(body.substr(0, assign));
  if (name.empty()) return line;
  line.kind = LineKind::kKey;
  line.name = name;
  size_t value = skip + first + assign + 1;
  while (value < line.text.size() && IsBlank(line.text[value])) ++value;
  line.valueStart = value;
  return line;
}

std::optional<size_t> ProfileFile::FindSection(std::string_view name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::kSection && SameName(lines_[i].name, name)) return i;
  }
  return std::nullopt;
}

std::optional<size_t> ProfileFile::FindKey(size_t header, std::string_view name) const {
  for (size_t i = header + 1; i < lines_.size() && lines_[i].kind != LineKind::kSection; ++i) {
    if (lines_[i].kind == LineKind::kKey && SameName(lines_[i].name, name)) return i;
  }
  return std::nullopt;
}

std::string ProfileFile::Get(std::string_view section, std::string_view key,
                             std::string_view fallback, size_t capacity) const {
  const std::optional<size_t> header = FindSection(Trimmed(Utf8ToCp936(section)));
  if (!header) return std::string(fallback);
  const std::optional<size_t> line = FindKey(*header, Trimmed(Utf8ToCp936(key)));
  if (!line) return std::string(fallback);
  const Line& l = lines_[*line];
  std::string_view value = Trimmed(std::string_view(l.text).substr(l.valueStart));
  value = WithoutQuotes(value);
  if (capacity == 0) return {};
  return Cp936ToUtf8(FirstBytes(value, capacity - 1));
}

std::string ProfileFile::NewLineEnd() const {
  for (const Line& l : lines_) {
    if (!l.end.empty()) return l.end;
  }
  return std::string(kDefaultLineEnd);
}

void ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sectionName(Trimmed(Utf8ToCp936(section)));
  const std::string keyName(Trimmed(Utf8ToCp936(key)));
  const std::string bytes = Utf8ToCp936(OneLine(value));
  const std::string end = NewLineEnd();
  const std::string keyLine = keyName + kAssign + bytes;

  const std::optional<size_t> header = FindSection(sectionName);
  if (!header) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = end;
    lines_.push_back(Parse(std::string(1, kSectionOpen) + sectionName + kSectionClose, end));
    lines_.push_back(Parse(keyLine, end));
    return;
  }
  if (const std::optional<size_t> line = FindKey(*header, keyName)) {
    Line& l = lines_[*line];
    l.text = l.text.substr(0, l.valueStart) + bytes;
    return;
  }
  size_t after = *header;
  for (size_t i = *header + 1; i < lines_.size() && lines_[i].kind != LineKind::kSection; ++i) {
    if (lines_[i].kind == LineKind::kKey) after = i;
  }
  if (lines_[after].end.empty()) lines_[after].end = end;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(after + 1), Parse(keyLine, end));
}

std::string ProfileFile::Bytes() const {
  std::string bytes;
  for (const Line& l : lines_) {
    bytes += l.text;
    bytes += l.end;
  }
  return bytes;
}

bool ProfileFile::Save(const std::filesystem::path& file) const {
  return ReplaceFile(file, Bytes());
}

}  // namespace korvin
