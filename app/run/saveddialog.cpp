#include "saveddialog.h"

#include <QDir>
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
    build({QStringLiteral("Valid email addresses saved to the file:"),
           QStringLiteral("Invalid email address saved to the file:")},
          {validFile, errorsFile}, leftOut);
}

SavedDialog::SavedDialog(const SavedFiles& saved, QWidget* parent) : QDialog(parent)
{
    build({QStringLiteral("%1 valid email address(es) saved to the file:").arg(saved.valid),
           QStringLiteral("%1 invalid email address(es) saved to the file:").arg(saved.errors),
           QStringLiteral("%1 doubtful email address(es), to check again later, saved to the "
                          "file:")
               .arg(saved.unknown)},
          {saved.validFile, saved.errorsFile, saved.unknownFile}, saved.leftOut);
}

void SavedDialog::build(const QStringList& captions, const QStringList& paths, qsizetype leftOut)
{
    setWindowTitle(QStringLiteral("Saved"));
    auto* frame = new QGroupBox(QStringLiteral("Saved"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    for (qsizetype i = 0; i < captions.size(); ++i) {
        m_captions.append(new QLabel(captions.at(i), frame));
        frameLayout->addWidget(m_captions.last());
        // As the system writes paths, as in the window's caption.
        m_paths.append(pathBox(QDir::toNativeSeparators(paths.at(i)), frame));
        frameLayout->addWidget(m_paths.last());
    }
    m_leftOut = new QLabel(frame);
    m_leftOut->setWordWrap(true);
    if (leftOut > 0) {
        m_leftOut->setText(
            QString::number(leftOut) +
            QStringLiteral(" email address(es) not validated yet were saved to ") +
            (paths.size() == 2 ? QStringLiteral("neither file.") : QStringLiteral("no file.")));
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
    return m_paths.at(0)->text();
}

QString SavedDialog::invalidFileText() const
{
    return m_paths.at(1)->text();
}

QString SavedDialog::unknownFileText() const
{
    return m_paths.size() > 2 ? m_paths.at(2)->text() : QString();
}

QStringList SavedDialog::captions() const
{
    QStringList texts;
    for (const QLabel* caption : m_captions)
        texts.append(caption->text());
    return texts;
}

QString SavedDialog::leftOutText() const
{
    return m_leftOut->text();
}

} // namespace corvanta
