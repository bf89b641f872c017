#pragma once

#include <QIcon>
#include <QImage>

namespace corvanta {

// The image store: one 16 x 16 icon per command id, shared by the command's menu
// entry and toolbar control, and the report's three icons (1 validating,
// 2 good, 3 bad). Drawn in code so the program ships no image files.

// Pure drawing; usable without a GUI application. Unknown numbers give a null image.
QImage DrawCommandImage(int commandId);
QImage DrawReportImage(int iconNumber);

// Cached icons; GUI thread only, after the application object exists.
// Unknown numbers give a null icon.
QIcon CommandIcon(int commandId);
QIcon ReportIcon(int iconNumber);

} // namespace corvanta
