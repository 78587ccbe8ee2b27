#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvin {

// Values are read into a buffer of this many characters, the terminating zero included, as the
// Windows profile functions are called: a value keeps at most its first 259 characters.
inline constexpr size_t kProfileValueCapacity = 260;

// A profile (INI) file: "[section]" lines open sections, "key=value" lines hold values. Reading
// follows the rules of the Windows profile functions: section and key names match without
// regard to case, blanks around names and values are not kept, quotation marks around a whole
// value are dropped, and a missing file, section or key reads as the default. Lines starting
// with ';' are comments. When a section or key occurs twice, the first one counts.
//
// Writing changes only the line that holds the value (or adds one), so comments, unknown keys,
// other sections and line ends (CRLF or LF) stay byte for byte as they were. The file is
// written beside its place and renamed over it, so a failed write leaves the old file whole.
//
// On disk the names and values are code page 936; the methods take and give UTF-8.
class ProfileFile {
 public:
  // An empty profile (what a missing or unreadable file reads as).
  ProfileFile() = default;
  // Parses `bytes` (code page 936 text as it is on disk).
  explicit ProfileFile(std::string bytes);

  // The file's contents; empty when it does not exist or cannot be read.
  static ProfileFile Load(const std::filesystem::path& file);

  // The value of `key` in `section`, at most `capacity` - 1 bytes on disk (never half a
  // double-byte character); `fallback` when the section or key is missing.
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback = {},
                  size_t capacity = kProfileValueCapacity) const;

  // Sets `key` in `section`: the first line of that key has its value replaced; a missing key
  // is added after the section's last key, a missing section at the end of the file. Line
  // breaks in the value become blanks, since a value is one line.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // Writes the contents to `file` through a temporary file beside it; false when it cannot.
  bool Save(const std::filesystem::path& file) const;

  // The contents as they would be written.
  std::string Bytes() const;

 private:
  enum class LineKind { kOther, kSection, kKey };
  struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n", "\r" or "" for the last line without one
    LineKind kind = LineKind::kOther;
    std::string name;       // section or key name, blanks removed, as on disk
    size_t valueStart = 0;  // kKey: where the value starts in `text` (after '=' and blanks)
  };

  // `skip` leading bytes (a byte order mark) are not part of the line's syntax.
  static Line Parse(std::string text, std::string end, size_t skip = 0);
  // Index of the section header line; nothing when the section is missing.
  std::optional<size_t> FindSection(std::string_view name) const;
  // Index of the key line in the section that starts at `header`.
  std::optional<size_t> FindKey(size_t header, std::string_view name) const;
  // The line end new lines get: the file's first one, CRLF for a file without any.
  std::string NewLineEnd() const;

  std::vector<Line> lines_;
};

}  // namespace korvin
