#include "app/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "device/DeviceIds.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About TorvanReader");
    setFixedSize(ui::DialogSize(170, 62));

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(":/pictures/icon.png"));
    icon->setGeometry(QRect(ui::DialogRect(14, 14, 0, 0).topLeft(), QSize(32, 32)));

    ui::PlaceControl<QLabel>(this, -1, {42, 14, 114, 8},
                             QString("TorvanReader, Version ") + kTorvanShortVersion);

    auto* ok = ui::PlaceControl<QPushButton>(this, 1, {113, 41, 50, 14}, "OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void ShowVersionBox(QWidget* parent)
{
    ui::ShowMessage(parent, QString("Software Version ") + kTorvanVersion);
}
