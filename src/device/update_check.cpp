#include "device/update_check.h"

#include "tables/number_text.h"
#include "device/device_types.h"

namespace korvin {

namespace {

constexpr std::string_view kZipSuffix = ".zip";
// The version is read from this many characters in front of ".zip".
constexpr std::size_t kVersionLength = 3;
constexpr char kVersionStop = 'z';
constexpr char kNameSeparator = '_';
constexpr char kVersionPoint = '.';

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The page's version text against the own one, both read as leading decimal numbers.
UpdateStatus Compare(const std::string& pageVersion, std::string_view ownVersion) {
  if (pageVersion.empty()) return UpdateStatus::kUnknown;
  return ParseLeadingReal(pageVersion) > ParseLeadingReal(ownVersion) ? UpdateStatus::kNewer
                                                                      : UpdateStatus::kNotNewer;
}

}  // namespace

std::string ReadDownloadPage(DownloadPageReader& reader, const Clock& clock, std::string_view url) {
  const int64_t startMs = clock.NowMs();
  std::string page;
  if (reader.Open(url)) {
    std::string line;
    for (;;) {
      line.clear();
      const bool more = reader.ReadLine(line);
      page += line;
      if (!more || clock.NowMs() - startMs >= kDownloadPageTimeLimitMs) break;
    }
  }
  reader.Close();
  return page;
}

std::string FindVersion(std::string_view pageText, std::string_view searchKey) {
  const std::size_t keyAt = pageText.find(searchKey);
  if (keyAt == std::string_view::npos) return {};
  const std::size_t zipAt = pageText.find(kZipSuffix, keyAt);
  if (zipAt == std::string_view::npos) return {};
  // An empty or very short key can put ".zip" within the first three characters of the page;
  // the window then starts at the page's first character instead of before it.
  const std::size_t from = zipAt >= kVersionLength ? zipAt - kVersionLength : 0;
  // A 'z' inside the version window ends it early; at the latest the 'z' of ".zip" does.
  const std::size_t stop = pageText.find(kVersionStop, from);
  std::string version(pageText.substr(from, stop - from));
  if (version.empty()) return {};
  version.pop_back();  // the '.' of ".zip"
  const std::size_t separator = version.find(kNameSeparator);
  if (separator != std::string::npos && separator < kVersionLength) {
    version[separator] = kVersionPoint;
  }
  return version;
}

std::string_view UpdateStatusText(UpdateStatus status) {
  switch (status) {
    case UpdateStatus::kNewer:
      return "Yes";
    case UpdateStatus::kNotNewer:
      return "No";
    case UpdateStatus::kUnknown:
      break;
  }
  return "---";
}

std::string TitleVersion(std::string_view windowTitle) {
  for (std::size_t i = 0; i + 1 < windowTitle.size(); ++i) {
    if ((windowTitle[i] == 'V' || windowTitle[i] == 'v') && IsDigit(windowTitle[i + 1])) {
      return std::string(windowTitle.substr(i + 1, kVersionLength));
    }
  }
  return {};
}

UpdateStatus CheckSoftware(std::string_view pageText, std::string_view windowTitle) {
  const std::string pageVersion = FindVersion(pageText, kSoftwareSearchKey);
  if (pageVersion.empty()) return UpdateStatus::kUnknown;
  const std::string ownVersion = TitleVersion(windowTitle);
  if (ownVersion.empty()) return UpdateStatus::kUnknown;
  return Compare(pageVersion, ownVersion);
}

UpdateStatus UpdateChecker::CheckSoftware(std::string_view windowTitle) const {
  return korvin::CheckSoftware(pageText_, windowTitle);
}

UpdateStatus UpdateChecker::CheckFirmware(uint16_t deviceType, std::string_view firmwareText) {
  if (const auto key = FirmwareSearchKey(deviceType)) firmwareKey_ = std::string(*key);
  return Compare(FindVersion(pageText_, firmwareKey_), firmwareText);
}

}  // namespace korvin
