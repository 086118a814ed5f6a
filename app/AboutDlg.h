#pragma once
#include <QDialog>
#include <functional>

// The About box's controls, by the number each carries and is found by.
struct AboutControl {
    enum Id : int { Ok = 1, SaveReport = 1004 };
};

// Asks for the support report's file name, offering one; an empty name means the user cancelled.
using ReportNameChooser = std::function<QString(QWidget* parent, const QString& offered)>;

// The About box, and the version box of the "&About" menu items. Beside OK, where the box has
// room, "Save support report…" writes the report that report makes to a file the user chooses.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(std::function<QString()> report, QWidget* parent = nullptr);

    void OnBnClickedSaveReport();

    // Tests answer the save dialog; an empty chooser restores the real one.
    static void SetReportNameChooser(ReportNameChooser chooser);

private:
    std::function<QString()> m_report;
};

void ShowVersionBox(QWidget* parent);
