#pragma once

// The window's pictures. Small ones are drawn from shapes at every size the screen asks
// for, so they stay crisp at any scale; the banner picture is a resource.

#include "FormLayout.h"

#include <QIcon>
#include <QPixmap>

// The tray pictures (the window's ImageList): 0 idle or offline, 1 receiving.
inline constexpr int kTrayPictureCount = 2;
QIcon TrayPicture(int index);

// The picture of a flat button; a null icon for Picture::None.
QIcon PictureOf(form::Picture picture);

// The built-in 468 x 60 picture that advertises the catalogue (Image2).
QPixmap BuiltInBanner();
