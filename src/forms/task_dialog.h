#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "forms/form.h"
#include "platform/ui.h"
#include "protocol/commands.h"
#include "protocol/protocol_context.h"

namespace korvin {

class TaskDialog;

// One of the small input dialogs that ask for a single number. `cancellable` dialogs have a
// "Cancel" button; the others are left only by "OK" or the close box.
struct InputSpec {
  std::string_view title;
  std::string_view unit;
  bool cancellable = true;
};

// The small input dialogs refuse only an empty field.
inline constexpr char kInvalidInputMessage[] = "Invalid valie!";
// True when `text` may close an input dialog with OK; otherwise the refusal is shown.
bool AcceptInput(const std::string& text, Ui& ui);

// A file-open or file-save chooser. `filterName` is what the chooser's filter list shows,
// `pattern` the file pattern ("*.conf"); a save chooser adds `defaultSuffix` to a name typed
// without one and asks before it replaces a file. The chooser opens in `folder` when it is
// given, else where the platform chooses.
struct FileChooserSpec {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  std::string_view title;
  std::string_view filterName;
  std::string_view pattern;
  std::string_view defaultSuffix;
  std::filesystem::path folder = {};
};

// The window a task dialog runs in: message boxes and questions (Ui), its timers, the dialogs
// it opens above itself, the input dialogs and file choosers, and its picture. The Qt view is
// one; korvin-cli runs dialogs without a window through another; tests script a third.
class DialogHost : public Ui {
 public:
  // Runs `child` modally above this dialog: attaches it, runs its open sequence and, unless it
  // ended there, lets the user work in it until it ends.
  virtual void RunChild(TaskDialog& child) = 0;
  // A Yes/No question in a box with its own caption; hosts without captions ask it as any other.
  virtual bool AskYesNoCaptioned(const std::string& text, const std::string& /*caption*/) {
    return AskYesNo(text);
  }
  virtual void StartTimer(int timerId, int periodMs) = 0;
  virtual void StopTimer(int timerId) = 0;
  // Nothing when the input was cancelled.
  virtual std::optional<std::string> Input(const InputSpec& input) = 0;
  // Nothing when the chooser was cancelled.
  virtual std::optional<std::filesystem::path> ChooseFile(const FileChooserSpec& chooser) = 0;
  // Saves the dialog's client area as the screen shows it now, buttons included, as an RGB PNG.
  virtual bool SavePicture(const std::filesystem::path& png) = 0;
  // A file the dialog has written (a terminal lists them).
  virtual void FileWritten(const std::filesystem::path& /*file*/) {}
  // Lets the window paint and stay responsive to the desktop while a procedure waits, without
  // passing user input to the dialog.
  virtual void KeepAlive() {}
};

// How a dialog ended.
enum class DialogEnd {
  kOpen,      // not ended
  kAccepted,  // OK, Set: done as it should
  kClosed,    // Exit, Cancel, the close box
  kFailed,    // the dialog closed itself after a failure
};

// A task dialog without its window: its declared controls (screen()), what they show (form()),
// and its procedures. The host calls Open() once, then Press() for buttons, Changed() after the
// user changed a check box, list or radio button, and OnTimer() for its timers, always after
// taking the screen's contents into the form.
class TaskDialog {
 public:
  explicit TaskDialog(const DialogScreen& screen);
  virtual ~TaskDialog() = default;
  TaskDialog(const TaskDialog&) = delete;
  TaskDialog& operator=(const TaskDialog&) = delete;

  const DialogScreen& screen() const { return form_.screen(); }
  Form& form() { return form_; }
  const Form& form() const { return form_; }

  void Attach(DialogHost& host) { host_ = &host; }
  bool attached() const { return host_ != nullptr; }

  // The open sequence; the dialog may end in it and is then never shown.
  virtual void Open() = 0;
  virtual void Press(size_t control) = 0;
  virtual void Changed(size_t /*control*/) {}
  virtual void OnTimer(int /*timerId*/) {}
  // The close box or Esc.
  virtual void CloseBox();

  bool ended() const { return end_ != DialogEnd::kOpen; }
  DialogEnd end() const { return end_; }
  // Failure messages shown since the dialog was attached.
  int failures() const { return failures_; }

 protected:
  DialogHost& host() { return *host_; }
  void End(DialogEnd how) { end_ = how; }
  // Shows a message that reports a failure (korvin-cli then exits with 1).
  void Fail(std::string_view message);
  // The same with a detail text that says why (an empty detail shows the message alone).
  void Fail(std::string_view message, const std::string& detail);
  // Counts a failure that the dialog reports in its own way (in its log, say).
  void CountFailure() { ++failures_; }
  // Shows a message that is no failure.
  void Say(std::string_view message);
  bool AskYesNo(std::string_view question);
  bool AskYesNo(std::string_view question, std::string_view caption);
  bool AskOkCancel(std::string_view question);

 private:
  Form form_;
  DialogHost* host_ = nullptr;
  DialogEnd end_ = DialogEnd::kOpen;
  int failures_ = 0;
};

// Dialogs run a command up to this many times through the engine (which itself tries each
// exchange up to three times) before they report "Communication error".
inline constexpr int kDialogAttempts = 3;
inline constexpr char kCommunicationErrorMessage[] = "Communication error";

// Runs `request` up to `attempts` times; true at the first success.
bool RunAttempts(ProtocolContext& context, const RequestBuilder& request,
                 void* destination = nullptr, uint8_t copyLimit = 0,
                 int attempts = kDialogAttempts);

}  // namespace korvin
