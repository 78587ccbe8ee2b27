#pragma once

#include <QIcon>
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

}  // namespace korvin
