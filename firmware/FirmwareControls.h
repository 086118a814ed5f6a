#pragma once

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;

// The Firmware page's controls, by the number each carries and is found by.
struct FirmwareControl {
    enum Id : int {
        LocalType = 1011, // each chip's type, revision and role in a row
        LocalRevision = 1012,
        LocalRole = 1013,
        RemoteType = 1023,
        RemoteRevision = 1024,
        RemoteRole = 1025,
        Local = 1033,
        Remote = 1034,
        Path = 1010,
        Browse = 1077,
        ImageType = 1092,
        ImageRevision = 1093,
        Program = 1086,
        Apply = 1084,
        Status = 1091,
        Progress = 1087,
    };
};

// The controls of the "Firmware" page, placed in dialog units; the page wires them.
struct FirmwareControls {
    QLineEdit* localType = nullptr;
    QLineEdit* localRevision = nullptr;
    QLineEdit* localRole = nullptr;
    QLineEdit* remoteType = nullptr;
    QLineEdit* remoteRevision = nullptr;
    QLineEdit* remoteRole = nullptr;
    QRadioButton* local = nullptr;
    QRadioButton* remote = nullptr;
    QLineEdit* path = nullptr;
    QPushButton* browse = nullptr;
    QLabel* imageType = nullptr;
    QLabel* imageRevision = nullptr;
    QPushButton* program = nullptr;
    QPushButton* apply = nullptr;
    QLineEdit* status = nullptr;
    QProgressBar* progress = nullptr;
};

FirmwareControls CreateFirmwareControls(QWidget* page);
