#pragma once

#include <unistd.h>
#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/c_merido_dlg.h"
#include "device/update_check.h"
#include "support/fast_temp_base.h"

namespace korvin::test {

// A fresh folder below the system's temp folder (or `base`), removed with everything in it at
// the end.
class TempFolder {
 public:
  explicit TempFolder(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    static std::atomic<int> counter{0};
    path_ = base / ("korvin-gui-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The download page from a list of lines; Open() fails when `reachable` is false.
class ScriptedPageReader final : public DownloadPageReader {
 public:
  bool Open(std::string_view url) override {
    openedUrl = std::string(url);
    ++opens;
    return reachable;
  }
  bool ReadLine(std::string& line) override {
    if (lines.empty()) return false;
    line = lines.front();
    lines.pop_front();
    return true;
  }
  void Close() override { ++closes; }

  bool reachable = true;
  std::deque<std::string> lines;
  std::string openedUrl;
  int opens = 0;
  int closes = 0;
};

// The main window's surroundings for tests: the connect dialog runs its sequence at once (unless
// cancelled), the other dialogs answer from what the test set, and every call is logged.
class ScriptedHost final : public MainWindowHost {
 public:
  void RunConnectDialog(CConnect& dialog) override {
    events.push_back("connect-dialog");
    if (cancelConnect) return;
    dialog.OnTimer();
  }
  bool RunComPortDialog(CProperties& dialog) override {
    events.push_back("com-port-dialog");
    shownComPortSelection = dialog.form().selection;
    if (comPortSelection >= 0) dialog.form().selection = comPortSelection;
    return comPortOk;
  }
  bool RunRecordDialog(CRecord& dialog) override {
    events.push_back("record-dialog");
    return recordDialog ? recordDialog(dialog) : false;
  }
  void StartPollTimer() override {
    events.push_back("timer-start");
    timerActive = true;
  }
  void StopPollTimer() override {
    if (timerActive) events.push_back("timer-stop");
    timerActive = false;
  }
  void ShowSplash() override { events.push_back("splash-show"); }
  void CloseSplash() override { events.push_back("splash-close"); }
  HelpOpenResult OpenHelpFile(std::string_view fileName) override {
    events.push_back("help:" + std::string(fileName));
    return helpResult;
  }
  void CloseWindow() override { events.push_back("close-window"); }
  void ShowTrendWindow() override { events.push_back("trend-window"); }

  std::vector<std::string> events;
  bool cancelConnect = false;
  int comPortSelection = -1;
  int shownComPortSelection = -1;
  bool comPortOk = true;
  std::function<bool(CRecord&)> recordDialog;
  bool timerActive = false;
  HelpOpenResult helpResult = HelpOpenResult::kOpened;
};

}  // namespace korvin::test
