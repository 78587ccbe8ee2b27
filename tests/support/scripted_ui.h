#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace korvin::test {

// Records every message and question; answers questions from a queue (Yes/OK when empty). A
// message's detail text goes to `details` at the same position ("" for a plain message).
class ScriptedUi : public Ui {
 public:
  void Message(const std::string& text) override { MessageWithDetail(text, {}); }
  void MessageWithDetail(const std::string& text, const std::string& detail) override {
    messages.push_back(text);
    details.push_back(detail);
  }
  bool AskYesNo(const std::string& text) override { return Answer(text); }
  bool AskYesNoDefaultNo(const std::string& text) override {
    defaultNoQuestions.push_back(text);
    return Answer(text);
  }
  bool AskOkCancel(const std::string& text) override { return Answer(text); }
  void Refresh() override { ++refreshes; }

  std::vector<std::string> messages;
  std::vector<std::string> details;
  std::vector<std::string> questions;
  std::vector<std::string> defaultNoQuestions;  // those asked with No as the default
  std::deque<bool> answers;
  int refreshes = 0;

 private:
  bool Answer(const std::string& text) {
    questions.push_back(text);
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace korvin::test
