#include "frmabout.h"

#include "commandicons.h"
#include "commandids.h"
#include "windowservices.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#ifndef CORVANTA_VERSION
#error "CORVANTA_VERSION must be defined by the build"
#endif

namespace corvanta {

QString frmAbout::VersionText()
{
    return QStringLiteral("Version ") + QStringLiteral(CORVANTA_VERSION);
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + QLatin1String(kProductName));
    setWindowIcon(CommandIcon(CmdAbout));

    auto* name = new QLabel(QLatin1String(kProductName), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    name->setObjectName(QStringLiteral("lblProduct"));

    auto* version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* about =
        new QLabel(QStringLiteral("Validates mailing lists: syntax, MX look-up and an SMTP probe.\n"
                                  "No message is ever sent."),
                   this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* column = new QVBoxLayout(this);
    column->addWidget(name);
    column->addWidget(version);
    column->addSpacing(8);
    column->addWidget(about);
    column->addWidget(buttons);
    setFixedSize(sizeHint());
}

} // namespace corvanta
