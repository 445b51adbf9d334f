// The pictures the windows carry and the program's icon, embedded in the executable.
#pragma once

#include "pictures/Picture.h"

#include <QIcon>

namespace resources {

// The 250 x 121 picture of the splash window and of the empty preview pane.
pictures::Picture DefaultPicture();
// The 142 x 100 second picture of the splash window.
pictures::Picture SecondSplashPicture();
// The application icon: 32 x 32 in 2 and 16 colours, 16 x 16 in 16 colours.
QIcon ApplicationIcon();

} // namespace resources
