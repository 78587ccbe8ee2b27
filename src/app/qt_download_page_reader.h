#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include "device/update_check.h"

namespace korvin {

// Reads the download page with Qt Network. Each ReadLine() waits in a local event loop for the
// next line, never past the time limit counted from Open(), so a page that stops sending cannot
// hold up start-up; a request that fails at once ends at once.
class QtDownloadPageReader final : public DownloadPageReader {
 public:
  explicit QtDownloadPageReader(int64_t timeLimitMs = kDownloadPageTimeLimitMs);
  ~QtDownloadPageReader() override;

  bool Open(std::string_view url) override;
  bool ReadLine(std::string& line) override;
  void Close() override;

  // The network error of the request (QNetworkReply::NoError when it succeeded or is still
  // running); OperationCanceledError after the time limit cut it.
  QNetworkReply::NetworkError error() const { return error_; }
  bool timedOut() const { return timedOut_; }

 private:
  // Waits until more data, the end of the request or the time limit; false at the time limit.
  bool WaitForData();

  int64_t timeLimitMs_;
  QNetworkAccessManager manager_;
  QPointer<QNetworkReply> reply_;
  QElapsedTimer started_;
  QNetworkReply::NetworkError error_ = QNetworkReply::NoError;
  bool timedOut_ = false;
  bool ended_ = false;
};

}  // namespace korvin
