#pragma once
#include <QDialog>

// The About box, and the version box of the "&About" menu items.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

void ShowVersionBox(QWidget* parent);
