#pragma once
#include <QDialog>
#include <functional>

#include "burnin/ClockReading.h"

class QPlainTextEdit;

// Asks for the report's file name; an empty name means the user cancelled.
using SaveNameChooser = std::function<QString(QWidget* parent)>;

// The Description dialog's controls, by the number each carries and is found by.
struct DescriptionControl {
    enum Id : int { Text = 1010, SaveAs = 1090 };
};

// The "Description" dialog: the user writes a description under a prepared header and saves it,
// with the burn-in log after it, as a report. Saving does not close it.
class CDescription : public QDialog {
    Q_OBJECT
public:
    explicit CDescription(const BurnInClock& clock = ReadLocalClock, QWidget* parent = nullptr);

    void OnBnClickedSaveAs();

    // Tests answer the save dialog; an empty chooser restores the real one.
    static void SetSaveNameChooser(SaveNameChooser chooser);

private:
    void OnInitDialog(const ClockReading& opened);

    QPlainTextEdit* m_text = nullptr;
};
