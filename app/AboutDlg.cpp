#include "app/AboutDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

#include "burnin/ClockReading.h"
#include "device/DeviceIds.h"
#include "monitor/SavedFile.h"
#include "monitor/SupportReport.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

namespace {

ReportNameChooser& Chooser()
{
    static ReportNameChooser chooser;
    return chooser;
}

QString AskForReportName(QWidget* parent, const QString& offered)
{
    // The replace question is the program's own, with No the default.
    return QFileDialog::getSaveFileName(parent, "Save support report", offered,
                                        "Text files (*.txt);;All files (*)", nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace

CAboutDlg::CAboutDlg(std::function<QString()> report, QWidget* parent)
    : QDialog(parent), m_report(std::move(report))
{
    setWindowTitle("About TorvanReader");
    setFixedSize(ui::DialogSize(170, 62));

    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(":/pictures/icon.png"));
    icon->setGeometry(QRect(ui::DialogRect(14, 14, 0, 0).topLeft(), QSize(32, 32)));

    ui::PlaceControl<QLabel>(this, -1, {42, 14, 114, 8},
                             QString("TorvanReader, Version ") + kTorvanShortVersion);

    // In the room left of OK and below the icon, so that no control of the box moves.
    auto* save = ui::PlaceControl<QPushButton>(this, AboutControl::SaveReport, {7, 41, 100, 14},
                                               "Save support report…");
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &CAboutDlg::OnBnClickedSaveReport);

    auto* ok = ui::PlaceControl<QPushButton>(this, AboutControl::Ok, {113, 41, 50, 14}, "OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CAboutDlg::SetReportNameChooser(ReportNameChooser chooser)
{
    Chooser() = std::move(chooser);
}

void CAboutDlg::OnBnClickedSaveReport()
{
    const QString offered = monitor::ReportFileName(ReadLocalClock());
    const QString name = Chooser() ? Chooser()(this, offered) : AskForReportName(this, offered);
    if (name.isEmpty())
        return;
    const QString shown = QDir::toNativeSeparators(name);
    if (!ui::MayReplace(
            this, name, "Replace the file?",
            QString("%1 already exists. Replace it with the support report?").arg(shown)))
        return;
    // The units are read once the name is known: the report holds their state as it is saved.
    if (const QString failure = monitor::SaveWhole(name, m_report().toUtf8()); !failure.isEmpty())
        ui::ShowMessage(
            this, QString("The support report could not be saved as %1:\n%2").arg(shown, failure));
    else
        ui::ShowMessage(this, QString("The support report was saved as %1. Nothing in it was "
                                      "sent anywhere.")
                                  .arg(shown));
}

void ShowVersionBox(QWidget* parent)
{
    ui::ShowMessage(parent, QString("Software Version ") + kTorvanVersion);
}
