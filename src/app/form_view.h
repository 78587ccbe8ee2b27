#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <vector>

#include "forms/task_dialog.h"

class QLabel;
class QTimer;

namespace korvin {

class QtEventPump;

// The window of any task dialog, built from the dialog's declared controls: a grid of groups,
// each a grid of label / control / unit. It pushes the form into its widgets after every
// procedure, pulls what the user changed before each, runs the dialog's timers, and is the
// dialog's DialogHost (message boxes, input dialogs, file choosers, its own picture).
class FormView final : public QDialog, public DialogHost {
  Q_OBJECT

 public:
  // `pump` (may be null) tells when the program is closing: messages are then not shown.
  FormView(TaskDialog& dialog, QtEventPump* pump, QWidget* parent = nullptr);
  ~FormView() override;

  // Runs the dialog modally above `parent`: its open sequence, then, unless it ended there, the
  // window until the dialog ends.
  static void Run(TaskDialog& dialog, QtEventPump* pump, QWidget* parent, Ui* uiOverride = nullptr);

  TaskDialog& dialog() { return dialog_; }
  // The widget of a control (a QLineEdit, QCheckBox, QComboBox, ...); its unit label apart.
  QWidget* widget(size_t id) const { return widgets_.at(id); }
  QLabel* unitLabel(size_t id) const { return units_.at(id); }
  bool timerActive(int timerId) const;

  void Push();
  void Pull();
  // Answers messages and questions somewhere else than in message boxes (tests, unattended
  // runs); children opened from here use it too. Null restores the message boxes.
  void SetUiOverride(Ui* ui) { uiOverride_ = ui; }

  // DialogHost
  void Message(const std::string& text) override;
  void MessageWithDetail(const std::string& text, const std::string& detail) override;
  bool AskYesNo(const std::string& text) override;
  bool AskYesNoDefaultNo(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  bool AskYesNoCaptioned(const std::string& text, const std::string& caption) override;
  void Refresh() override;
  void RunChild(TaskDialog& child) override;
  void StartTimer(int timerId, int periodMs) override;
  void StopTimer(int timerId) override;
  std::optional<std::string> Input(const InputSpec& input) override;
  std::optional<std::filesystem::path> ChooseFile(const FileChooserSpec& chooser) override;
  bool SavePicture(const std::filesystem::path& png) override;
  void KeepAlive() override;

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Build();
  QWidget* MakeWidget(size_t id);
  void RunProcedure(const std::function<void()>& procedure);
  QWidget* MessageParent();
  bool Quitting() const;

  TaskDialog& dialog_;
  QtEventPump* pump_;
  std::vector<QWidget*> widgets_;
  std::vector<QLabel*> labels_;
  std::vector<QLabel*> units_;
  std::map<int, QTimer*> timers_;
  Ui* uiOverride_ = nullptr;
  int depth_ = 0;
  bool pushing_ = false;
  bool finished_ = false;
};

}  // namespace korvin
