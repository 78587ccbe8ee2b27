#pragma once

#include <QDialog>
#include <QTimer>

#include "device/connect_sequence.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace korvin {

// "Connect": the text line, the progress bar and "Cancel". The sequence runs from a one-shot
// timer so that the dialog is on screen first; "Cancel" (or the close box) closes it only before
// that timer fired. Once the sequence runs the dialog stays until it ends and closes itself.
class CConnectView final : public QDialog {
  Q_OBJECT

 public:
  CConnectView(CConnect& dialog, QWidget* parent = nullptr);
  ~CConnectView() override;

  bool sequenceStarted() const { return started_; }
  QPushButton* cancelButton() const { return cancel_; }
  QProgressBar* progressBar() const { return progress_; }
  QLabel* textLine() const { return text_; }

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnTimer();
  void Push();

  CConnect& dialog_;
  QLabel* text_;
  QProgressBar* progress_;
  QPushButton* cancel_;
  QTimer timer_;
  bool started_ = false;
};

}  // namespace korvin
