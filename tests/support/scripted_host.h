#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "forms/task_dialog.h"

namespace korvin::test {

// The window of a dialog under test: records every message, question, timer and input; answers
// questions, input dialogs and file choosers from queues (none left: No / cancelled).
class ScriptedHost : public DialogHost {
 public:
  void Message(const std::string& text) override {
    messages.push_back(text);
    events.push_back("message: " + text);
  }
  void MessageWithDetail(const std::string& text, const std::string& detail) override {
    Message(text);
    details.push_back(detail);
  }
  bool AskYesNo(const std::string& text) override { return Answer(text); }
  bool AskOkCancel(const std::string& text) override { return Answer(text); }
  void Refresh() override { ++refreshes; }
  void KeepAlive() override { ++keepAlives; }

  void RunChild(TaskDialog& child) override {
    events.push_back("child: " + child.screen().title());
    child.Attach(childHost ? *childHost : *this);
    child.Open();
    if (onChild) onChild(child);
  }

  void StartTimer(int timerId, int periodMs) override {
    timers[timerId] = periodMs;
    events.push_back("timer start " + std::to_string(timerId));
  }
  void StopTimer(int timerId) override {
    timers.erase(timerId);
    events.push_back("timer stop " + std::to_string(timerId));
  }
  bool TimerRunning(int timerId) const { return timers.count(timerId) != 0; }

  std::optional<std::string> Input(const InputSpec& input) override {
    events.push_back("input: " + std::string(input.title));
    while (!inputs.empty()) {
      std::optional<std::string> text = inputs.front();
      inputs.pop_front();
      if (!text) return std::nullopt;
      if (AcceptInput(*text, *this)) return text;
    }
    return std::nullopt;
  }

  std::optional<std::filesystem::path> ChooseFile(const FileChooserSpec& chooser) override {
    events.push_back("choose: " + std::string(chooser.title));
    choosers.push_back(chooser);
    if (files.empty()) return std::nullopt;
    std::optional<std::filesystem::path> file = files.front();
    files.pop_front();
    return file;
  }

  bool SavePicture(const std::filesystem::path& png) override {
    pictures.push_back(png);
    return picture ? picture(png) : false;
  }
  void FileWritten(const std::filesystem::path& file) override { written.push_back(file); }

  std::vector<std::string> messages;
  // The detail texts of messages that had one, in order.
  std::vector<std::string> details;
  std::vector<std::string> questions;
  std::vector<std::string> events;
  std::deque<bool> answers;
  std::deque<std::optional<std::string>> inputs;
  std::deque<std::optional<std::filesystem::path>> files;
  std::vector<FileChooserSpec> choosers;
  std::map<int, int> timers;
  std::vector<std::filesystem::path> pictures;
  std::vector<std::filesystem::path> written;
  // Writes the picture; without it SavePicture fails.
  std::function<bool(const std::filesystem::path&)> picture;
  // Runs after a child dialog has opened (the test works in it there).
  std::function<void(TaskDialog&)> onChild;
  // The host children run in; this one when null.
  DialogHost* childHost = nullptr;
  int refreshes = 0;
  int keepAlives = 0;

 private:
  bool Answer(const std::string& text) {
    questions.push_back(text);
    events.push_back("question: " + text);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace korvin::test
