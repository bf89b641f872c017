#pragma once

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

    QString validFileText() const;
    QString invalidFileText() const;
    // Empty when every address had an outcome.
    QString leftOutText() const;
    QPushButton* okButton() const { return m_ok; }

private:
    QLineEdit* m_validFile;
    QLineEdit* m_invalidFile;
    QLabel* m_leftOut;
    QPushButton* m_ok;
};

} // namespace corvanta
