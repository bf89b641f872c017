#pragma once

#include "irunshell.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvanta {

// The "Saved" dialog shown after the result files were written: the full
// paths of both files, and how many addresses had no outcome yet and so went
// into neither. Its only action is OK, which closes it. GUI thread only.
class SavedDialog final : public QDialog
{
    Q_OBJECT

public:
    SavedDialog(const QString& validFile, const QString& errorsFile, qsizetype leftOut,
                QWidget* parent = nullptr);
    // After a save by verdict: the three files, each with its count.
    explicit SavedDialog(const SavedFiles& saved, QWidget* parent = nullptr);

    QString validFileText() const;
    QString invalidFileText() const;
    // Empty unless the save was by verdict.
    QString unknownFileText() const;
    // The captions above the boxes, which carry the counts of a save by
    // verdict.
    QStringList captions() const;
    // Empty when every address had an outcome.
    QString leftOutText() const;
    QPushButton* okButton() const { return m_ok; }

private:
    void build(const QStringList& captions, const QStringList& paths, qsizetype leftOut);

    QList<QLabel*> m_captions;
    QList<QLineEdit*> m_paths;
    QLabel* m_leftOut = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace corvanta
