#pragma once

#include <QPixmap>
#include <QWidget>

namespace korvin {

// The start-up picture: a borderless popup of exactly the picture's size, centred on the screen,
// with the arrow cursor. It lives only while the main window initialises; the download page is
// read in a local event loop meanwhile, so it keeps painting.
class SplashWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit SplashWindow(QPixmap picture);

  // Shows the window centred and paints it once before returning.
  void ShowCentred();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
};

}  // namespace korvin
