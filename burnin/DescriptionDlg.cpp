#include "burnin/DescriptionDlg.h"

#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>

#include "burnin/ReportText.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

namespace {

SaveNameChooser& Chooser()
{
    static SaveNameChooser chooser;
    return chooser;
}

QString AskForSaveName(QWidget* parent)
{
    // The dialog does not confirm an existing name: ".txt" is appended to what it returns, so the
    // question comes for the name actually written.
    return QFileDialog::getSaveFileName(parent, QString(), QString(),
                                        "TXT(*.TXT *.txt);;All Files(*.*)", nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace

CDescription::CDescription(const BurnInClock& clock, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setWindowTitle("Description");
    setFixedSize(ui::DialogSize(318, 259));
    m_text = ui::PlaceControl<QPlainTextEdit>(this, DescriptionControl::Text, {7, 7, 304, 219});
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* saveAs = ui::PlaceControl<QPushButton>(this, DescriptionControl::SaveAs,
                                                 {133, 231, 50, 14}, "Save As...");
    saveAs->setAutoDefault(false);
    connect(saveAs, &QPushButton::clicked, this, &CDescription::OnBnClickedSaveAs);
    OnInitDialog(clock());
}

void CDescription::OnInitDialog(const ClockReading& opened)
{
    // The edit box keeps its own line breaks; the report gets CR LF again when it is written.
    m_text->setPlainText(report::Header(opened).replace("\r\n", "\n"));
    // The user writes under the header.
    m_text->moveCursor(QTextCursor::End);
}

void CDescription::SetSaveNameChooser(SaveNameChooser chooser)
{
    Chooser() = std::move(chooser);
}

void CDescription::OnBnClickedSaveAs()
{
    // The log is read before the file dialog opens: entries logged while it is open are not in
    // this report.
    const QByteArray log = report::ReadLog();
    const QString description = m_text->toPlainText();
    const QString chosen = Chooser() ? Chooser()(this) : AskForSaveName(this);
    if (chosen.isEmpty())
        return;
    const QString name = report::FileName(chosen);
    if (!ui::MayReplace(this, name, "Replace the report?",
                        QString("%1 already exists. Replace it with this report?").arg(name)))
        return;
    const FileWrite written = report::Write(name, report::Body(description, log));
    if (!written.ok)
        ui::ShowMessage(
            this, QString("The report could not be saved as %1:\n%2").arg(name, written.error));
}
