#include "saveddialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvanta {

namespace {

QLineEdit* pathBox(const QString& path, QWidget* parent)
{
    auto* box = new QLineEdit(path, parent);
    // Nothing reads the boxes back; they are there to be read and copied.
    box->setReadOnly(true);
    box->setCursorPosition(0);
    box->setMinimumWidth(box->fontMetrics().averageCharWidth() * 60);
    return box;
}

} // namespace

SavedDialog::SavedDialog(const QString& validFile, const QString& errorsFile, qsizetype leftOut,
                         QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Saved"));
    auto* frame = new QGroupBox(QStringLiteral("Saved"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(
        new QLabel(QStringLiteral("Valid email addresses saved to the file:"), frame));
    m_validFile = pathBox(validFile, frame);
    frameLayout->addWidget(m_validFile);
    frameLayout->addWidget(
        new QLabel(QStringLiteral("Invalid email address saved to the file:"), frame));
    m_invalidFile = pathBox(errorsFile, frame);
    frameLayout->addWidget(m_invalidFile);
    m_leftOut = new QLabel(frame);
    m_leftOut->setWordWrap(true);
    if (leftOut > 0) {
        m_leftOut->setText(QString::number(leftOut) +
                           QStringLiteral(" email address(es) not validated yet were saved to "
                                          "neither file."));
    } else {
        m_leftOut->hide();
    }
    frameLayout->addWidget(m_leftOut);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(m_ok, 0, Qt::AlignRight);
    setModal(true);
}

QString SavedDialog::validFileText() const
{
    return m_validFile->text();
}

QString SavedDialog::invalidFileText() const
{
    return m_invalidFile->text();
}

QString SavedDialog::leftOutText() const
{
    return m_leftOut->text();
}

} // namespace corvanta
