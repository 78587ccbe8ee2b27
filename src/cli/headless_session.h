#pragma once

#include <deque>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "forms/task_dialog.h"
#include "forms/task_environment.h"
#include "platform/clock.h"
#include "tasks/main_tasks.h"

namespace korvin {

// A task dialog that korvin-cli can run: its name on the command line, the main window button
// that leads to it and, when that button opens another dialog first (the calibration menu, the
// fieldbus chooser, the calibration data view), the button there that opens it.
struct HeadlessDialog {
  std::string_view name;
  MainTask task;
  std::string_view via;  // empty: the task's own dialog
  const DialogScreen& (*screen)();
  bool factoryOnly = false;
};

// Every dialog korvin-cli can run, in the order --help lists them.
const std::vector<HeadlessDialog>& HeadlessDialogs();
const HeadlessDialog* FindHeadlessDialog(std::string_view name);

// What to do in the dialog once it has opened, in the order given.
struct HeadlessStep {
  enum class Kind { kSet, kPress, kWait };
  Kind kind = Kind::kSet;
  std::string label = {};
  std::string value = {};  // kSet
  double seconds = 0;      // kWait
};

// The answers to whatever asks while the dialog runs, consumed in order.
struct HeadlessAnswers {
  std::deque<bool> answers;        // --answer: Yes/No and OK/Cancel (none left: No / Cancel)
  std::deque<std::string> inputs;  // --input: the small input dialogs (none left: cancelled)
  std::deque<std::filesystem::path> files;  // --file: file choosers (none left: cancelled)
};

// Saves the picture of a dialog as the screen would show it (korvin-cli draws the dialog's
// window off-screen for it).
using PictureSaver = std::function<bool(TaskDialog& dialog, const std::filesystem::path& png)>;

// Runs one dialog without a window: opens it through the main window's path, runs the steps,
// prints its controls (or one JSON object), and tells the exit status: 0 when the dialog opened
// and every step ended without a failure message, 1 otherwise.
class HeadlessSession {
 public:
  struct Options {
    const HeadlessDialog* dialog = nullptr;
    std::vector<HeadlessStep> steps;
    HeadlessAnswers answers;
    bool json = false;
    // A picture of the dialog as it is after the steps, when not empty.
    std::filesystem::path screenshot;
  };

  HeadlessSession(Options options, Clock& clock, PictureSaver pictureSaver, std::ostream& out,
                  std::ostream& err);

  int Run(TaskEnvironment& environment);
  // The same with the dialog the main window's button opened.
  int Run(TaskDialog& entry);

  // Checks the labels and buttons of the steps against the dialog's controls before anything is
  // connected; an error text naming the valid ones, or nothing.
  static std::optional<std::string> CheckSteps(const HeadlessDialog& dialog,
                                               const std::vector<HeadlessStep>& steps);

 private:
  class Host;
  friend class Host;

  void Opened(TaskDialog& dialog, Host& host);
  void RunSteps(TaskDialog& dialog, Host& host);
  void Print(const TaskDialog& dialog);
  void PrintJson(const TaskDialog& dialog);
  void StepError(const std::string& text);

  Options options_;
  Clock& clock_;
  PictureSaver pictureSaver_;
  std::ostream& out_;
  std::ostream& err_;

  bool reachedTarget_ = false;
  bool targetOpened_ = false;
  bool failed_ = false;
  std::vector<std::string> messages_;
  std::vector<std::pair<std::string, std::string>> questions_;
  std::vector<std::string> files_;
};

}  // namespace korvin
