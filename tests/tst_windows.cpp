// The main window's conditions, Reconnect, keys and boxes; the tool window's snapshot, tabs and fit
// to the screen, Enter, and every way out of it while a page is busy.
#include "Drawn.h"
#include "Rig.h"
#include "TestPlatform.h"
#include "app/AboutDlg.h"
#include "app/WorkFolder.h"
#include "ui/Picture.h"
#include "ui/WindowFit.h"

const QString kConnect = " Please connect the device to PC via USB to mini-USB cable.";
const QString kUnconnected = " States: Unconnected";
// The main window's state when a unit answers, and when none is present.
const QStringList kOn = {" States: Connected", "", "++"}, kOff = {kUnconnected, kConnect, "--"};

// The main window's state, its hint, and whether "Start to Analyze" and "Reset Tool" can be used.
QStringList State(const CTorvanReaderDlg& dlg)
{
    return Texts(&dlg, {MainControl::State, MainControl::Instruction})
           << QString(Enabled(&dlg, MainControl::StartToAnalyze) ? "+" : "-")
                  + (Enabled(&dlg, MainControl::ResetButton) ? "+" : "-");
}

// How far apart two pictures of one size are: the mean difference of their colour channels, seen
// from afar (12 x 12 pixels), as a shift by a pixel is not what is looked for. A picture drawn
// whole is within 7 of the picture scaled; one cropped or drawn at its own size is 20 or more off.
double Difference(const QImage& shown, const QImage& expected)
{
    const auto afar = [](const QImage& image) {
        return image.convertToFormat(QImage::Format_RGB32)
            .scaled(12, 12, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage a = afar(shown), b = afar(expected);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                   + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// The user's Documents folder as the system knows it, in a fresh folder ("" when it knows none),
// and what is already in the place of its TorvanReader folder: nothing, a "folder" or a "file".
struct Documents {
    QString documents = "Documents", existing = {};
    bool worksThere = true;
    QString said = {};
};

// The serial numbers of the two units ("-" for none), the steps ("open" the main window, again
// when it is open), and what then shows: the state ("on" or "off"), the unit offered,
// the tool window's caption, what the last step sent, and the units with a handle open ("-": none).
struct Units {
    QString serials = "SIM0001 SIM0002", steps;
    QString state = "on", offered{}, caption{}, sent = "aa01ab", held = "1";
};

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    // The Start menu's --in-documents: Documents/TorvanReader is made when missing and worked in;
    // when it cannot be used the user is told why, and the folder worked in stays.
    void worksInDocuments_data()
    {
        AddRows<Documents>(
            {{"made when missing", {.existing = ""}},
             {"already there", {.existing = "folder"}},
             {"a file in its place",
              {.existing = "file", .worksThere = false, .said = "The folder %1 cannot be used: "}},
             {"no Documents known",
              {.documents = "",
               .worksThere = false,
               .said = "Your Documents folder is not known: BIT.txt and the burn-in reports are "
                       "written in %2."}}});
    }
    void worksInDocuments()
    {
        QFETCH(Documents, row);
        const QString before = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
        QTemporaryDir home{AnyScriptFolder()};
        const QString documents = row.documents.isEmpty() ? "" : home.filePath(row.documents);
        const QString folder = documents + "/TorvanReader";
        if (row.existing == "folder")
            QVERIFY(QDir().mkpath(folder));
        if (row.existing == "file") {
            QVERIFY(QDir().mkpath(documents));
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString expected = QString(row.said)
                                     .replace("%1", QDir::toNativeSeparators(folder))
                                     .replace("%2", QDir::toNativeSeparators(before));
        const std::optional<QString> said = WorkInDocuments(documents);
        QCOMPARE(said.value_or("").left(expected.size()), expected);
        QCOMPARE(QDir::currentPath(), row.worksThere ? QDir(folder).canonicalPath() : before);
    }

    // Enter enables "Start to Analyze" whatever the state, and Esc closes the main window.
    void mainWindowKeys()
    {
        Rig rig;
        rig.extender.Unplug();
        CTorvanReaderDlg& dlg = rig.OpenMain();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(State(dlg), kOff);
        QTest::keyClick(&dlg, Qt::Key_Return);
        QCOMPARE(State(dlg), (QStringList{kUnconnected, kConnect, "+-"}));
        QVERIFY(Enabled(&dlg, MainControl::ProgrammerButton));
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
    }

    // Reconnect after each change of the extender: what the window then shows, the reason and what
    // to do beside the state and to a screen reader.
    void reconnectAfterEachChange()
    {
        Rig rig;
        rig.extender.Unplug();
        CTorvanReaderDlg& dlg = rig.OpenMain();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QString held = QString(" sim:extender is in use by tst_windows (process %1).")
                                 .arg(QCoreApplication::applicationPid());
        const QString denied = " sim:extender could not be opened: Permission denied.";
        CHidIO other(rig.wire); // another program, holding the unit in the "held" row
        const struct {
            QByteArray device;
            QStringList state;
        } table[]{{.device = "fine", .state = kOn},
                  {.device = "refusing", .state = kOn}, // it answers: 0x55 0x01 counts
                  {.device = "silent", .state = {kUnconnected, "", "--"}},
                  {.device = "late", .state = {kUnconnected, "", "--"}}, // after the check
                  {.device = "absent", .state = kOff},
                  {.device = "held", .state = {kUnconnected, held, "--"}},
                  {.device = "denied", .state = {kUnconnected, denied, "--"}},
                  {.device = "fine", .state = kOn}};
        const auto label = [&](int id) { return ui::FindControl<QLabel>(&dlg, id); };
        for (const auto& [device, state] : table) {
            rig.extender.SetFaults({.refuse = device == "refusing",
                                    .silent = device == "silent",
                                    .latencyMs = device == "late" ? 500 : 0});
            device == "absent" ? rig.extender.Unplug() : rig.extender.Replug();
            device == "held" ? void(other.Open()) : other.Close();
            rig.extender.FailOpen(HidAccess::Read, device == "denied");
            MenuAction(dlg, "&Reconnect")->trigger();
            QCOMPARE(State(dlg), state);
            // Both lines read whole.
            for (const QLabel* line : {label(MainControl::State), label(MainControl::Instruction)})
                QCOMPARE_LE(line->fontMetrics().horizontalAdvance(line->text()), line->width());
            QCOMPARE(label(MainControl::Advice)->isVisibleTo(&dlg), device == "denied");
            const QString reason = device == "denied" ? denied.mid(1).chopped(1)
                                   : device == "held" ? held.mid(1).chopped(1)
                                                      : "";
            QCOMPARE(label(MainControl::State)->accessibleDescription(),
                     device == "denied" ? reason + ": " + kNoAccessAdvice : reason);
        }
        // No handle left behind, nothing sent while held, and the count goes on across reconnects.
        QCOMPARE(rig.extender.OpenHandleCount(), 2);
        QCOMPARE(rig.wire.Records().back().bytes[1], 0x17);
    }

    // Its caption, hidden buttons, first report and About.
    void mainWindowCaptionAndAbout()
    {
        Rig rig;
        CTorvanReaderDlg& dlg = rig.OpenMain();
        QCOMPARE(dlg.windowTitle(), "Tessalink");
        QVERIFY(ui::FindControl<QWidget>(&dlg, MainControl::ProgrammerButton)->isHidden());
        QVERIFY(ui::FindControl<QWidget>(&dlg, MainControl::ResetButton)->isHidden());
        QCOMPARE(rig.wire.Records()[0].bytes, Hex("001303aa01ab" + QByteArray(118, '0')));
        MenuAction(dlg, "&About")->trigger();
        QCOMPARE(rig.boxes, QStringList{"Software Version 1.0.0.1"});
        QCOMPARE(CAboutDlg({}).findChildren<QLabel*>().last()->text(), "TorvanReader, Version 1.0");
        ui::SetBoxPresenter({}); // the real question box: Enter and Esc answer No
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            WhenModal([&](QWidget* box) { QTest::keyClick(box, key); });
            QVERIFY(!ui::Ask(&dlg, "Replace?", "Replace it?"));
        }
    }

    // The tool window's snapshot, read once as it opens (a refused read does not stop the reads
    // after it), its buttons, which Enter does not press, and its tabs.
    void toolWindowSnapshotAndTabs()
    {
        Rig rig;
        rig.OpenMain();
        rig.Healthy();
        rig.Set("0108= 0104=07090909");
        rig.wire.Clear();
        PerformanceTool* tool = nullptr;
        WhenModal([&](QWidget* window) {
            tool = qobject_cast<PerformanceTool*>(window);
            const RegisterSnapshot& snapshot = tool->Snapshot();
            QCOMPARE(snapshot.Data(0x01, 0x04)[0] + snapshot.Data(0x01, 0x04)[1], 7); // one byte
            QVERIFY(!snapshot.IsValid(0x01, 0x08));
            QVERIFY(snapshot.IsValid(0x02, 0x04));
            QCOMPARE(snapshot.Data(0x01, 0x12)[3], 33);
            for (const QPushButton* button : tool->findChildren<QPushButton*>()) {
                QVERIFY(!button->autoDefault());
                QVERIFY(!button->isDefault());
            }
            const auto* tabs = ui::FindControl<QTabWidget>(tool, ToolWindowControl::Tabs);
            QStringList titles;
            for (int tab = 0; tab < tabs->count(); ++tab)
                titles << tabs->tabText(tab);
            QCOMPARE(titles,
                     (QStringList{"Firmware", "Status", "Burn-In Test", "Fail-Safe Setting"}));
        });
        Click(rig.main.get(), MainControl::StartToAnalyze);
        QVERIFY(tool);
        QVERIFY(!QApplication::activeModalWidget());
        Payloads reads = rig.Commands(); // the snapshot, then both chips' identification
        reads.resize(13);
        QCOMPARE(reads, Wire("010405 010809 01090a 010b0c 011112 010c0d 011213 010e0f 011415 "
                             "020204 020406 010102 010506"));
    }

    // Every value the windows show is drawn where the user sees it, on the screen as the platform
    // presents it (the suites' offscreen one, and Windows' own under Wine on a virtual display):
    // the main window's state, every field of every page, and what is typed into "From:".
    void everyValueDrawn()
    {
        Rig rig;
        rig.Healthy();
        CTorvanReaderDlg& dlg = rig.OpenMain();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(Drawn(ui::FindControl<QLabel>(&dlg, MainControl::State)));
        PerformanceTool& tool = rig.Open();
        tool.FitTo(tool.maximumSize());
        tool.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tool));
        auto* tabs = ui::FindControl<QTabWidget>(&tool, ToolWindowControl::Tabs);
        QStringList undrawn;
        int fields = 0;
        for (int tab = 0; tab < PerformanceTool::TabCount; ++tab) {
            tabs->setCurrentIndex(tab);
            QTest::qWait(50);
            for (const QLineEdit* field : tool.Page(tab)->findChildren<QLineEdit*>()) {
                if (field->text().isEmpty())
                    continue;
                ++fields;
                if (!Drawn(field))
                    undrawn << QString("%1 on page %2").arg(ui::ControlId(field)).arg(tab);
            }
        }
        QCOMPARE(undrawn, QStringList());
        QCOMPARE(fields, 16); // both chips' six, From:, the Status page's nine
        tabs->setCurrentIndex(PerformanceTool::FirmwareTab);
        auto* path = ui::FindControl<QLineEdit>(&tool, FirmwareControl::Path);
        path->clear();
        path->setFocus();
        QTest::keyClicks(path, "typed");
        QTest::qWait(50);
        QVERIFY(Drawn(path));
    }

    // "Save support report…" sits left of OK and below the icon, moving no control of the box. It
    // reads the window's unit through its channel and no other unit, asks before replacing a file
    // ("No" reads nothing and keeps the file), and says where the report went or why not.
    void aboutBoxSavesTheSupportReport()
    {
        InTempDir dir;
        Rig rig;
        rig.Healthy();
        rig.second.Replug();
        rig.OpenMain();
        QCOMPARE(rig.main->Channel().Transport().Opened()->path, std::string(SimExtender::kPath));
        QStringList names{"report.txt", "report.txt", "none/report.txt"};
        QString offered;
        CAboutDlg::SetReportNameChooser([&](QWidget*, const QString& name) {
            offered = name;
            return names.takeFirst();
        });
        std::vector<size_t> sent; // the commands each click sent
        WhenModal([&](QWidget* about) {
            const QRect save =
                            ui::FindControl<QWidget>(about, AboutControl::SaveReport)->geometry(),
                        ok = ui::FindControl<QWidget>(about, AboutControl::Ok)->geometry();
            QCOMPARE(ok, ui::DialogRect(113, 41, 50, 14));
            QCOMPARE_LT(save.right(), ok.left());
            QCOMPARE_GE(save.top(), ui::DialogRect(14, 14, 0, 0).top() + 32);
            QVERIFY(about->rect().contains(save));
            for (int click = 0; click < 3; ++click) {
                rig.wire.Clear();
                Click(about, AboutControl::SaveReport);
                sent.push_back(rig.Commands().size());
            }
        });
        rig.main->OnAboutBox();
        CAboutDlg::SetReportNameChooser({});
        QVERIFY2(offered.startsWith("torvanreader-report-"), qPrintable(offered));
        QVERIFY2(offered.endsWith(".txt"), qPrintable(offered));
        QCOMPARE(sent, (std::vector<size_t>{1 + 10 + 2, 0, 1 + 10 + 2}));
        const QString report = ReadFile("report.txt");
        for (const QString& part :
             QStringList{"Program\n=======\ntorvanreader 1.0.0.1, written ",
                         "  Access: answers the connect check\n  Local (TX):\tQX710\t3072.1\tTX\n",
                         "  Cable Len: 31m   Video BER: on (level 10)   Link: up\n",
                         "sim:second\n  Serial number: SIM0002\n  Manufacturer: Torvan   Product: "
                         "Simulated HDBaseT extender\n  Access: not opened: the window reads only "
                         "the unit it has open\n\nSettings\n"})
            QVERIFY2(report.contains(part), qPrintable(part + "\nnot in:\n" + report));
        QCOMPARE(rig.boxes.size(), 3);
        QCOMPARE(rig.boxes[0], "The support report was saved as report.txt. Nothing in it was sent "
                               "anywhere.");
        QCOMPARE(rig.boxes[1], "report.txt already exists. Replace it with the support report?");
        QVERIFY2(rig.boxes[2].startsWith("The support report could not be saved as "
                                         + QDir::toNativeSeparators("none/report.txt") + ":\n"),
                 qPrintable(rig.boxes[2]));
    }

    // Which unit the windows are on, each case a row named for it: plugs followed without Reconnect
    // within a second, a choice by serial number and path. Only the unit in use is ever sent to.
    void whichUnit_data()
    {
        AddRows<Units>({{"a unit plugged in followed", {.steps = "pull1 open plug1"}},
                        {"a second unit offered and sent nothing",
                         {.steps = "pull1 open plug1 plug2",
                          .offered = "SIM0001 at sim:extender",
                          .sent = ""}},
                        {"the second unit chosen",
                         {.steps = "pull1 open plug1 plug2 pick2",
                          .offered = "SIM0002 at sim:second",
                          .held = "2"}},
                        {"the unit in use pulled, the other one kept offered",
                         {.steps = "pull1 open plug1 plug2 pick2 pull2",
                          .offered = "SIM0001 at sim:extender"}},
                        {"the last unit pulled",
                         {.steps = "pull1 open plug1 plug2 pick2 pull2 pull1",
                          .state = "off",
                          .sent = "",
                          .held = "-"}},
                        {"a unit plugged in while the one chosen is absent",
                         {.steps = "pull1 open plug1 plug2 pick2 pull2 pull1 plug1"}},
                        {"the one chosen plugged in beside it",
                         {.steps = "pull1 open plug1 plug2 pick2 pull2 pull1 plug1 plug2",
                          .offered = "SIM0001 at sim:extender",
                          .sent = ""}},
                        {"the unit chosen last chosen again",
                         {.steps = "pull1 open plug1 plug2 pick2 pull2 pull1 plug1 plug2 open",
                          .offered = "SIM0002 at sim:second",
                          .held = "2"}},
                        {"one of two units with one serial number chosen again",
                         {.serials = "SIM1 SIM1",
                          .steps = "open plug2 pick2 open",
                          .offered = "SIM1 at sim:second",
                          .held = "2"}},
                        {"the tool window's unit named and taken back",
                         {.serials = "SIM1 SIM2",
                          .steps = "open plug2 tool pull1 plug1",
                          .offered = "SIM1 at sim:extender",
                          .caption = "Tessalink (SIM1)"}},
                        {"a unit without a serial number not taken back",
                         {.serials = "- SIM2",
                          .steps = "open tool pull1 plug1",
                          .state = "off",
                          .caption = "Tessalink (unplugged)",
                          .sent = "",
                          .held = "-"}},
                        {"a unit whose serial number another tells not taken back",
                         {.serials = "SIM1 SIM1",
                          .steps = "open plug2 tool pull1 plug1",
                          .state = "off",
                          .offered = "SIM1 at sim:extender",
                          .caption = "Tessalink (SIM1 at sim:extender) (unplugged)",
                          .sent = "",
                          .held = "-"}},
                        {"a unit present opened once the tool window closes",
                         {.serials = "- SIM2", .steps = "open tool pull1 plug1 close"}},
                        {"a unit not yet open to the user tried again",
                         {.serials = "SIM1 SIM2", .steps = "open deny1 open grant1 wait"}}});
    }
    void whichUnit()
    {
        QFETCH(Units, row);
        const QStringList serial = row.serials.split(' ').replaceInStrings("-", "");
        Rig rig(serial[0].toStdString(), serial[1].toStdString());
        for (const QString& step : row.steps.split(' ')) {
            rig.wire.Clear();
            SimExtender& unit = step.endsWith('1') ? rig.extender : rig.second;
            if (step.startsWith("plug") || step.startsWith("pull")) {
                step.startsWith("plug") ? unit.Replug() : unit.Unplug();
            } else if (step.startsWith("deny") || step.startsWith("grant")) {
                unit.FailOpen(HidAccess::Read, step.startsWith("deny"));
            } else if (step == "pick2") { // with the keyboard
                rig.main->show();
                QVERIFY(QTest::qWaitForWindowExposed(rig.main.get()));
                QTest::keyClick(ui::FindControl<QComboBox>(rig.main.get(), MainControl::Units),
                                Qt::Key_Down);
            } else if (step == "open") { // the program started (again)
                rig.main.reset();
                rig.OpenMain().SetRetryPeriod(10ms);
            } else if (step == "wait") { // for the retry
                QTRY_VERIFY(rig.extender.OpenHandleCount() > 0);
            } else {
                step == "tool" ? void(rig.Open()) : rig.tool.reset();
            }
            if (rig.main)
                QTRY_VERIFY_WITH_TIMEOUT(!AwaitReady(rig.plugs.Handle(), 0ms), 1000);
        }
        const auto* units = ui::FindControl<QComboBox>(rig.main.get(), MainControl::Units);
        QCOMPARE(units->accessibleName(), "Extender unit");
        QCOMPARE(State(*rig.main), row.state == "on" ? kOn : kOff);
        const QString offered = units->isVisibleTo(rig.main.get())
                                    ? units->currentText().remove(" (Simulated HDBaseT extender)")
                                    : "";
        QCOMPARE(offered, row.offered);
        QCOMPARE(rig.tool ? rig.tool->windowTitle() : "", row.caption);
        QCOMPARE(rig.Commands(), Wire(row.sent));
        const QString held = QString(rig.extender.OpenHandleCount() ? "1" : "")
                             + (rig.second.OpenHandleCount() ? "2" : "");
        QCOMPARE(held.isEmpty() ? "-" : held, row.held);
    }

    // On a screen too small for it the tool window opens within the room there is (the screen
    // less its panel and the window's title bar), and every control of every page can be scrolled
    // into view; where there is room it keeps the size it was laid out for.
    void toolWindowFitsItsScreen_data()
    {
        AddRows<QSize>({{"the test's screen", QSize()}, // none: what the test's own screen has
                        {"1366x768, a panel and a title bar", QSize(1366, 768 - 40 - 30)},
                        {"1920x1080 at 2x", QSize(960, 540 - 20 - 15)},
                        {"1280x1024 at 2x", QSize(640, 512 - 20 - 15)},
                        {"2560x1440, room for it", QSize(2560, 1440)}});
    }
    void toolWindowFitsItsScreen()
    {
        QSize room = Fetch<QSize>();
        Rig rig;
        PerformanceTool& tool = rig.Open();
        room.isValid() ? tool.FitTo(room) : void(room = ui::AvailableRoom(&tool));
        tool.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tool));
        QCOMPARE_LE(tool.width(), room.width());
        QCOMPARE_LE(tool.height(), room.height());
        auto* scroll = tool.findChild<QScrollArea*>();
        const QWidget* shown = scroll ? scroll->viewport() : &tool;
        const QRect seen(shown->mapTo(&tool, QPoint()), shown->size());
        auto* tabs = ui::FindControl<QTabWidget>(&tool, ToolWindowControl::Tabs);
        for (int tab = 0; tab < PerformanceTool::TabCount; ++tab) {
            tabs->setCurrentIndex(tab);
            auto controls = tool.Page(tab)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (QWidget* control : controls << tabs->tabBar()) {
                if (!control->isVisibleTo(&tool))
                    continue;
                if (scroll) { // scrolled to the control's top left corner, as far as it goes
                    const QPoint corner = control->mapTo(scroll->widget(), QPoint());
                    scroll->horizontalScrollBar()->setValue(corner.x());
                    scroll->verticalScrollBar()->setValue(corner.y());
                }
                // All of it in view; a frame or field larger than the view fills it.
                const QRect at(control->mapTo(&tool, QPoint()), control->size());
                QVERIFY2(seen.intersected(at).size() == at.size().boundedTo(seen.size()),
                         qPrintable(QString::asprintf("%s %d on page %d",
                                                      control->metaObject()->className(),
                                                      ui::ControlId(control), tab)));
            }
        }
        if (room.height() >= 1440) { // nothing scrolls
            QVERIFY(scroll);
            QCOMPARE(scroll->viewport()->size(), scroll->widget()->size());
        }
    }

    // A desktop whose dialog font is smaller or larger than the usual one makes every picture's
    // frame so, here 3/4 and 5/4 of the picture: each picture is drawn whole, scaled to its frame,
    // neither cropped (the banner's bottom line, the legend's "D" row) nor left in a corner.
    void picturesFollowTheirFrames_data()
    {
        AddRows<double>({{"a smaller dialog font", 0.75}, {"a larger dialog font", 1.25}});
    }
    void picturesFollowTheirFrames()
    {
        const double scale = Fetch<double>();
        Rig rig;
        PerformanceTool& tool = rig.Open();
        QList<std::pair<QWidget*, QPixmap>> pictures;
        for (ui::Picture* picture :
             rig.main->findChildren<ui::Picture*>() + tool.findChildren<ui::Picture*>())
            pictures.append({picture, picture->pixmap()});
        pictures.append({ui::FindControl<QWidget>(&tool, StatusControl::Rj45),
                         QPixmap(":/pictures/rj45-jack.png")});
        QCOMPARE(pictures.size(), 11); // the banner, seven lamps, the legend, the arrow, the jack
        for (const auto& [control, picture] : pictures) {
            control->resize(picture.size() * scale);
            QImage expected(control->size(), QImage::Format_RGB32);
            expected.fill(control->palette().window().color());
            QPainter painter(&expected);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(expected.rect(), picture.toImage());
            painter.end();
            const double difference = Difference(control->grab().toImage(), expected);
            QVERIFY2(difference < 10, qPrintable(QString("%1 %2 differs by %3")
                                                     .arg(control->metaObject()->className())
                                                     .arg(ui::ControlId(control))
                                                     .arg(difference)));
        }
    }

    // Every way out stops the busy page at once, whichever tab shows: nothing more goes out and
    // nothing waits. During a firmware update it asks first; No lets the update go on to its end.
    void waysOutWhileBusy_data()
    {
        using Row = std::tuple<QString, int, bool>; // the way out, the busy page, the answer
        QTest::addColumn<Row>("row");
        for (const char* way : {"close box", "Esc", "Enter", "Exit", "About"})
            for (const char* page : {"Firmware", "Status", "Burn-In"})
                QTest::addRow("%s, %s busy", way, page)
                    << Row{way, int(QByteArray("FSB").indexOf(*page)), false};
        QTest::newRow("Exit, Firmware busy, stopped") << Row{"Exit", 0, true};
    }
    void waysOutWhileBusy()
    {
        const auto& [way, busy, stop] = Fetch<std::tuple<QString, int, bool>>();
        InTempDir dir;
        Rig rig;
        rig.Healthy();
        PerformanceTool& tool = rig.Open();
        tool.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tool));
        const QByteArray image = QByteArray::fromHex("1234fedc23072110").leftJustified(3200, 1);
        const QString path = WriteFile("image.bin", image);
        rig.page<DlgProgrammer>().SetFileChooser([&](QWidget*, const QString&) { return path; });
        Click(tool.Page(PerformanceTool::FirmwareTab), FirmwareControl::Browse);
        rig.page<Tool1Main>().SetPeriods({5ms, 8ms});
        // A close that waited out the burn-in's clock cycle would show.
        rig.page<CBIT>().SetTiming({ReadLocalClock, {5ms, 5ms, 5ms, 5ms}, 10s, false});
        const int start[]{FirmwareControl::Program, StatusControl::Test, BurnInControl::StartStop};
        Click(tool.Page(busy), start[busy]);
        size_t sent = rig.Commands().size();
        QTRY_VERIFY(rig.Commands().size() > sent + 4);
        QPointer<QWidget> page = tool.Page(busy);
        const int shown = way == "Enter" ? busy : PerformanceTool::FailSafeTab; // shown alone
        ui::FindControl<QTabWidget>(&tool, ToolWindowControl::Tabs)->setCurrentIndex(shown);
        QVERIFY(!tool.Page(shown)->isHidden());
        QCOMPARE(tool.Page(0)->isHidden(), shown != 0);
        rig.answers = {stop};
        QElapsedTimer closing;
        closing.start();
        if (way == "close box")
            tool.close();
        else if (way == "Esc")
            QTest::keyClick(&tool, Qt::Key_Escape);
        else if (way == "Enter") // on a button of the page's tab
            QTest::keyClick(page->findChild<QPushButton*>(), Qt::Key_Return);
        else
            MenuAction(tool, "&" + way)->trigger();
        const bool asked = busy == PerformanceTool::FirmwareTab && way != "About";
        const QString question = "A firmware update is running. Stopping now leaves the chip "
                                 "without working firmware. Stop it?";
        QCOMPARE(rig.boxes, way == "About" ? QStringList{"Software Version 1.0.0.1"}
                            : asked        ? QStringList{question}
                                           : QStringList());
        if (way == "About" || (asked && !stop)) { // the job goes on undisturbed
            QVERIFY(tool.isVisible());
            sent = rig.Commands().size();
            if (busy != PerformanceTool::FirmwareTab)
                QTRY_VERIFY(rig.Commands().size() > sent + 4);
            QTRY_VERIFY(!rig.page<DlgProgrammer>().IsBusy());
            QVERIFY(busy != 0 || rig.Holds(SimDeviceModel::Local, image));
            closing.restart();
            MenuAction(tool, "&Exit")->trigger();
        }
        QCOMPARE_LT(closing.elapsed(), 1000);
        QVERIFY(!tool.isVisible());
        QVERIFY(page.isNull());
        sent = rig.Commands().size();
        QTest::qWait(50);
        QCOMPARE(rig.Commands().size(), sent);
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
