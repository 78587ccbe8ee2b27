#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace korvin {

// The program's own images, drawn at run time so nothing but code has to be shipped.
// Device pictures by the numbers of the device type table (177 ... 180; 182 = no sensor); any
// other number gives the no-sensor picture.
QPixmap DevicePicture(int picture);
inline constexpr int kDevicePictureWidth = 200;
inline constexpr int kDevicePictureHeight = 150;

// The splash picture shown while the program starts.
QPixmap SplashPicture();

// The window icon in its usual sizes.
QIcon WindowIcon();
// The program's icon at one size (the window icon and the desktop's icon files).
QImage IconImage(int size);

}  // namespace korvin
