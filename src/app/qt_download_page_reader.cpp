#include "app/qt_download_page_reader.h"

#include <QEventLoop>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace korvin {

namespace {

std::string WithoutLineBreak(QByteArray line) {
  while (!line.isEmpty() && (line.endsWith('\n') || line.endsWith('\r'))) line.chop(1);
  return line.toStdString();
}

}  // namespace

QtDownloadPageReader::QtDownloadPageReader(int64_t timeLimitMs) : timeLimitMs_(timeLimitMs) {}

QtDownloadPageReader::~QtDownloadPageReader() {
  Close();
}

bool QtDownloadPageReader::Open(std::string_view url) {
  Close();
  error_ = QNetworkReply::NoError;
  timedOut_ = false;
  ended_ = false;
  const QUrl address(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
  if (!address.isValid() || address.scheme().isEmpty()) return false;
  started_.start();
  reply_ = manager_.get(QNetworkRequest(address));
  return reply_ != nullptr;
}

bool QtDownloadPageReader::WaitForData() {
  const int64_t left = timeLimitMs_ - started_.elapsed();
  if (left <= 0) return false;
  QEventLoop loop;
  QTimer limit;
  // A coarse timer may fire well before the limit; the limit is a promise to the user.
  limit.setTimerType(Qt::PreciseTimer);
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(reply_, &QNetworkReply::readyRead, &loop, &QEventLoop::quit);
  QObject::connect(reply_, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  limit.start(static_cast<int>(left));
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  return started_.elapsed() < timeLimitMs_ || reply_->canReadLine() || reply_->isFinished();
}

bool QtDownloadPageReader::ReadLine(std::string& line) {
  line.clear();
  if (reply_ == nullptr || ended_) return false;
  for (;;) {
    if (reply_->canReadLine()) {
      line = WithoutLineBreak(reply_->readLine());
      return true;
    }
    if (reply_->isFinished()) {
      ended_ = true;
      error_ = reply_->error();
      line = WithoutLineBreak(reply_->readAll());
      // The last line of a page needs no line break; after a failure the text that did arrive
      // is handed over all the same, but nothing more follows.
      return error_ == QNetworkReply::NoError && !line.empty();
    }
    if (!WaitForData()) {
      ended_ = true;
      timedOut_ = true;
      error_ = QNetworkReply::OperationCanceledError;
      line = WithoutLineBreak(reply_->readAll());
      return false;
    }
  }
}

void QtDownloadPageReader::Close() {
  if (reply_ == nullptr) return;
  QNetworkReply* reply = reply_;
  reply_ = nullptr;
  if (!reply->isFinished()) {
    // abort() reports the same error as a time-out; our own flag already tells them apart.
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    reply->abort();
  }
  reply->deleteLater();
}

}  // namespace korvin
