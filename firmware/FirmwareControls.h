#pragma once

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;

// The controls of the "Firmware" page, placed in dialog units and numbered; the page wires them.
struct FirmwareControls {
    QLineEdit* localType = nullptr;      // 1011
    QLineEdit* localRevision = nullptr;  // 1012
    QLineEdit* localRole = nullptr;      // 1013
    QLineEdit* remoteType = nullptr;     // 1023
    QLineEdit* remoteRevision = nullptr; // 1024
    QLineEdit* remoteRole = nullptr;     // 1025
    QRadioButton* local = nullptr;       // 1033
    QRadioButton* remote = nullptr;      // 1034
    QLineEdit* path = nullptr;           // 1010
    QPushButton* browse = nullptr;       // 1077
    QLabel* imageType = nullptr;         // 1092
    QLabel* imageRevision = nullptr;     // 1093
    QPushButton* program = nullptr;      // 1086
    QPushButton* apply = nullptr;        // 1084
    QLineEdit* status = nullptr;         // 1091
    QProgressBar* progress = nullptr;    // 1087
};

FirmwareControls CreateFirmwareControls(QWidget* page);
