// The download page over HTTP from a server in the test, on 127.0.0.1 only.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <string>

#include "app/qt_download_page_reader.h"
#include "platform/clock.h"

namespace korvin {
namespace {

// Answers every request with `response` (headers and body as given), then keeps or closes the
// connection.
class LocalPageServer {
 public:
  explicit LocalPageServer(QByteArray response, bool closeAfter = true)
      : response_(std::move(response)), closeAfter_(closeAfter) {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          if (!socket->readAll().contains("\r\n\r\n")) return;
          socket->write(response_);
          socket->flush();
          if (closeAfter_) socket->disconnectFromHost();
        });
      }
    });
  }
  std::string Url() const {
    return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + "/en/downloads/0079";
  }

 private:
  QTcpServer server_;
  QByteArray response_;
  bool closeAfter_;
};

QByteArray HttpResponse(const QByteArray& body, bool withLength = true) {
  QByteArray r = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
  if (withLength) r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
  r += "Connection: close\r\n\r\n" + body;
  return r;
}

std::string Read(QtDownloadPageReader& reader, const std::string& url, int64_t* elapsedMs) {
  SteadyClock clock;
  QElapsedTimer timer;
  timer.start();
  const std::string page = ReadDownloadPage(reader, clock, url);
  if (elapsedMs != nullptr) *elapsedMs = timer.elapsed();
  return page;
}

TEST(QtDownloadPageReaderTest, JoinsTheLinesOfThePage) {
  struct Case {
    const char* name;
    QByteArray body;
    const char* page;
  };
  const Case cases[] = {
      {"CRLF lines", "<html>\r\nROVA_SOFTWARE/KORVIN_1_2.zip\r\n</html>\r\n",
       "<html>ROVA_SOFTWARE/KORVIN_1_2.zip</html>"},
      {"LF lines, last one open", "a\nb\nc", "abc"},
      {"empty page", "", ""},
  };
  for (const Case& c : cases) {
    LocalPageServer server(HttpResponse(c.body));
    QtDownloadPageReader reader;
    int64_t elapsed = 0;
    EXPECT_EQ(Read(reader, server.Url(), &elapsed), c.page) << c.name;
    EXPECT_EQ(reader.error(), QNetworkReply::NoError) << c.name;
    EXPECT_LT(elapsed, 2000) << c.name;
  }
}

TEST(QtDownloadPageReaderTest, RefusedConnectionEndsAtOnceWithNothing) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const std::string url =
      "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/en/downloads/0079";
  probe.close();
  QtDownloadPageReader reader;
  int64_t elapsed = 0;
  EXPECT_EQ(Read(reader, url, &elapsed), "");
  EXPECT_LT(elapsed, 1000);
  EXPECT_NE(reader.error(), QNetworkReply::NoError);
  EXPECT_FALSE(reader.timedOut());
}

TEST(QtDownloadPageReaderTest, InvalidAddressIsNoRequest) {
  QtDownloadPageReader reader;
  EXPECT_FALSE(reader.Open("not a url"));
  reader.Close();
}

TEST(QtDownloadPageReaderTest, SilentServerIsCutAtTheLimit) {
  QTcpServer silent;
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  QtDownloadPageReader reader;
  int64_t elapsed = 0;
  EXPECT_EQ(
      Read(reader, "http://127.0.0.1:" + std::to_string(silent.serverPort()) + "/en/downloads/0079",
           &elapsed),
      "");
  EXPECT_TRUE(reader.timedOut());
  // The limit is 3000 ms; generous on the late side for a loaded machine.
  EXPECT_GE(elapsed, 2990);
  EXPECT_LT(elapsed, 4500);
}

TEST(QtDownloadPageReaderTest, PageThatStallsKeepsWhatArrived) {
  // Headers and the first lines arrive, then the server goes quiet without ending the page.
  LocalPageServer server(
      HttpResponse("first\r\nROVA_SOFTWARE/KORVIN_1_3.zip\r\nhalf a li", /*withLength=*/false),
      /*closeAfter=*/false);
  constexpr int64_t kLimitMs = 500;
  QtDownloadPageReader reader(kLimitMs);
  int64_t elapsed = 0;
  const std::string page = Read(reader, server.Url(), &elapsed);
  EXPECT_EQ(page,
            "firstROVA_SOFTWARE/KORVIN_1_3.zip"
            "half a li");
  EXPECT_TRUE(reader.timedOut());
  EXPECT_GE(elapsed, kLimitMs - 10);
  EXPECT_EQ(FindVersion(page, kSoftwareSearchKey), "1.3");
}

}  // namespace
}  // namespace korvin
