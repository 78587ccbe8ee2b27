#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/clock.h"

namespace korvin {

// The maker's web site; the recorder names it in every sheet's title.
inline constexpr std::string_view kMakerWebAddress = "www.rova-keld.example";

// The maker's download page. It lists file names such as ".../FW_D810_1_2.zip"; the tool only
// reads version numbers from it, nothing is downloaded.
inline constexpr std::string_view kDownloadPageUrl =
    "https://www.rova-keld.example/en/downloads/0079";

inline constexpr std::string_view kSoftwareSearchKey = "ROVA_SOFTWARE/KORVIN";

// Start-up waits for the page no longer than this (plus the line that crosses it).
inline constexpr int64_t kDownloadPageTimeLimitMs = 3000;

// Reads a page as text, line by line. The program implements it with Qt Network; tests feed
// lines and failures from a script.
class DownloadPageReader {
 public:
  virtual ~DownloadPageReader() = default;
  // Starts the request. false when no connection or request could be made.
  virtual bool Open(std::string_view url) = 0;
  // The next line, without its line break. false at the end of the page or on a failure; text
  // that arrived before a failure is still handed over in `line`. An implementation must not
  // block much past kDownloadPageTimeLimitMs on a page that stops sending.
  virtual bool ReadLine(std::string& line) = 0;
  // Ends the request; called once after Open, whatever happened.
  virtual void Close() = 0;
};

// All lines of the page, concatenated without line breaks. Stops after the first line that ends
// kDownloadPageTimeLimitMs or more after the request was started. A failure keeps what was read
// so far (possibly nothing); it is never reported, start-up goes on in any case.
std::string ReadDownloadPage(DownloadPageReader& reader, const Clock& clock,
                             std::string_view url = kDownloadPageUrl);

// The version that follows the search key on the page: the three characters in front of the
// first ".zip" after the key, with the first '_' among them turned into '.'. A name ending in
// "_1_2.zip" gives "1.2", one ending in "1_10.zip" gives ".10". Empty when the key or the ".zip"
// after it is missing. An empty key matches at the start of the page.
std::string FindVersion(std::string_view pageText, std::string_view searchKey);

// Result of a check, as shown in "New software available:" / "New firmware available:".
enum class UpdateStatus {
  kUnknown,   // "---": the page gives no version (or the own version is unknown)
  kNewer,     // "Yes" (drawn in blue)
  kNotNewer,  // "No"
};

std::string_view UpdateStatusText(UpdateStatus status);

// The own version in a window title: the three characters after the first 'V' or 'v' that is
// directly followed by a digit ("KORVIN V1.1" gives "1.1"). Empty when there is none.
std::string TitleVersion(std::string_view windowTitle);

// Compares the page's version of the software with the one in the window title.
UpdateStatus CheckSoftware(std::string_view pageText, std::string_view windowTitle);

// The update-check state the main window keeps for the whole run: the page text read at
// start-up, and the firmware search key, which a sensor of an unknown device type inherits from
// the sensor connected before it.
class UpdateChecker {
 public:
  void SetPageText(std::string pageText) { pageText_ = std::move(pageText); }
  const std::string& PageText() const { return pageText_; }

  UpdateStatus CheckSoftware(std::string_view windowTitle) const;

  // After a successful connect: takes the device type's firmware key (or keeps the previous
  // one) and compares the page's version with the shown "FW version:" text.
  UpdateStatus CheckFirmware(uint16_t deviceType, std::string_view firmwareText);

  const std::string& FirmwareKey() const { return firmwareKey_; }

 private:
  std::string pageText_;
  std::string firmwareKey_;
};

}  // namespace korvin
