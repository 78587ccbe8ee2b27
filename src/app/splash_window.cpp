#include "app/splash_window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace korvin {

SplashWindow::SplashWindow(QPixmap picture)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(std::move(picture)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setFixedSize(picture_.size());
  setCursor(Qt::ArrowCursor);
}

void SplashWindow::ShowCentred() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  repaint();
}

void SplashWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

}  // namespace korvin
