#include "app/c_connect_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvin {

namespace {
constexpr int kMinimumWidth = 320;
constexpr char kCancel[] = "Cancel";
}  // namespace

CConnectView::CConnectView(CConnect& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  setWindowTitle(QString::fromLatin1(kConnectTitle));
  setModal(true);
  setMinimumWidth(kMinimumWidth);

  text_ = new QLabel(this);
  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  cancel_ = new QPushButton(QString::fromLatin1(kCancel), this);
  connect(cancel_, &QPushButton::clicked, this, &CConnectView::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(progress_);
  layout->addLayout(buttons);

  timer_.setSingleShot(true);
  timer_.setInterval(kConnectTimerMs);
  connect(&timer_, &QTimer::timeout, this, &CConnectView::OnTimer);
  dialog_.onProgress = [this] {
    Push();
    repaint();
  };
  Push();
}

CConnectView::~CConnectView() {
  dialog_.onProgress = nullptr;
}

void CConnectView::Push() {
  text_->setText(QString::fromStdString(dialog_.form().text));
  progress_->setRange(0, dialog_.form().progressMax);
  progress_->setValue(dialog_.form().progress);
}

void CConnectView::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!started_ && !timer_.isActive()) timer_.start();
}

void CConnectView::reject() {
  if (started_) return;
  timer_.stop();
  QDialog::reject();
}

void CConnectView::OnTimer() {
  started_ = true;
  dialog_.OnTimer();
  dialog_.onProgress = nullptr;
  Push();
  accept();
}

}  // namespace korvin
