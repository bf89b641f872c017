#pragma once

#include <QPixmap>

namespace corvanta {

// The connection indicator's two 16 x 16 icons, drawn rather than shipped so they
// stay crisp and need no resource files. They differ in colour (green against red)
// and in shape (a tick against a cross), so they tell apart without colour vision.
QPixmap onlineIcon();
QPixmap offlineIcon();

} // namespace corvanta
