#pragma once

#include <QDialog>

namespace corvanta {

// The about box: product name, version and a line on what the program does.
class frmAbout final : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    static QString VersionText();
};

} // namespace corvanta
