// The burn-in report: the header, the bytes of the saved file, the log's line ends, the file
// name, and a save that fails.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "BurnInRig.h"
#include "burnin/DescriptionDlg.h"
#include "burnin/ReportText.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

namespace {

const QByteArray kRule = QByteArray(60, '*') + "\r\n";

QByteArray HeaderAt(const char* stamp)
{
    return kRule + stamp + "\r\nSeries:QX710\r\nDescription:\r\n" + kRule;
}

void WriteLog(const QByteArray& bytes)
{
    QFile log("BIT.txt");
    QVERIFY(log.open(QIODevice::WriteOnly));
    log.write(bytes);
}

} // namespace

class BurnInReportTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        ui::SetMessagePresenter({});
        CDescription::SetSaveNameChooser({});
    }

    void bodyAndLineEnds()
    {
        const QString header = report::Header({2014, 2, 1, 9, 5, 3});
        QCOMPARE(header.toLatin1(), HeaderAt("2014/2/1 9:5:3"));

        // An empty log gives the description, CR LF and one tab.
        QCOMPARE(report::Body("text", {}), QByteArray("text\r\n\t"));
        // The edit box's line breaks become CR LF; text typed by the user keeps its characters.
        QCOMPARE(report::Body("a\nb\r\nGrüße", "x\r\n"), QByteArray("a\r\nb\r\nGr\xc3\xbc\xc3\x9f"
                                                                    "e\r\nx\r\n\t"));

        // Logs written through a newline-translating stream come back with CR LF.
        QCOMPARE(report::RepairLineEnds("1/1/1 1:1:1\tLink Fail.\r\r\n2/2/2 2:2:2\tNo HPD .\r\n"),
                 QByteArray("1/1/1 1:1:1\tLink Fail.\r\n2/2/2 2:2:2\tNo HPD .\r\n"));

        QCOMPARE(report::FileName("/tmp/report"), QString("/tmp/report.txt"));
        QCOMPARE(report::FileName("/tmp/report.txt"), QString("/tmp/report.txt.txt"));
    }

    void savedReportHoldsDescriptionAndLog()
    {
        TempCurrentDir dir;
        FakeClock clock;
        QFile::remove("BIT.txt");
        CDescription dialog(clock.Reader());
        auto* text = ui::FindControl<QPlainTextEdit>(&dialog, 1010);
        QTest::keyClicks(text, "Rack 4, night run");

        QStringList names;
        CDescription::SetSaveNameChooser([&](QWidget*) {
            names << dir.Path() + (names.isEmpty() ? "/first" : "/second.txt");
            return names.last();
        });
        auto* saveAs = ui::FindControl<QPushButton>(&dialog, 1090);
        saveAs->click();
        // A missing log is created empty and gives an empty log part.
        QVERIFY(QFile::exists("BIT.txt"));
        const QByteArray description = HeaderAt("2014/3/7 13:5:0") + "Rack 4, night run";
        QCOMPARE(ReadFile(dir.Path() + "/first.txt"), description + "\r\n\t");

        // Entries logged in between are in the second report, under the same header time.
        clock.Advance(60);
        WriteLog("2014/3/7 13:5:6\tLink Fail.\r\r\n2014/3/7 13:5:12\tNo HPD .\r\n");
        saveAs->click();
        QCOMPARE(ReadFile(dir.Path() + "/second.txt.txt"),
                 description
                     + "\r\n2014/3/7 13:5:6\tLink Fail.\r\n2014/3/7 13:5:12\tNo HPD .\r\n\t");
    }

    void cancelWritesNothingAndFailureIsTold()
    {
        TempCurrentDir dir;
        FakeClock clock;
        CDescription dialog(clock.Reader());
        QStringList boxes;
        ui::SetMessagePresenter([&](QWidget*, const QString& text) { boxes << text; });

        CDescription::SetSaveNameChooser([](QWidget*) { return QString(); });
        dialog.OnBnClickedSaveAs();
        QCOMPARE(QDir(dir.Path()).entryList(QDir::Files), QStringList{"BIT.txt"});
        QVERIFY(boxes.isEmpty());

        const QString missing = dir.Path() + "/no such folder/report";
        CDescription::SetSaveNameChooser([&](QWidget*) { return missing; });
        dialog.OnBnClickedSaveAs();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].contains(missing + ".txt"), qPrintable(boxes[0]));
        // ...with the reason on the line after the name.
        const QStringList lines = boxes[0].split('\n');
        QVERIFY2(lines.size() == 2 && !lines[1].isEmpty(), qPrintable(boxes[0]));
        QVERIFY(!QFile::exists(missing + ".txt"));
    }
};

QTEST_MAIN(BurnInReportTest)
#include "tst_burnin_report.moc"
