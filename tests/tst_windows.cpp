// The main window's conditions, Reconnect, keys and boxes; the tool window's snapshot, tabs and fit
// to the screen, Enter, and every way out of it while a page is busy.
#include "Rig.h"
#include "TestPlatform.h"
#include "app/AboutDlg.h"
#include "app/WorkFolder.h"
#include "ui/Picture.h"
#include "ui/WindowFit.h"

const QString kConnect = " Please connect the device to PC via USB to mini-USB cable.";
// The main window's state when a unit answers, and when none is present.
const QString kOn = " States: Connected||++", kOff = " States: Unconnected|" + kConnect + "|--";

// The main window's state and hint, and whether "Start to Analyze" and "Reset Tool" can be used.
QString State(const CTorvanReaderDlg& dlg)
{
    return Texts(&dlg, {MainControl::State, MainControl::Instruction})
           + (Enabled(&dlg, MainControl::StartToAnalyze) ? "|+" : "|-")
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

// Whether the control's text is drawn where the user sees it: its inside, as the screen shows it,
// holds pixels far from its background (the colour most of it has).
bool Drawn(const QWidget* control)
{
    const QRect inside = control->contentsRect().adjusted(3, 3, -3, -3);
    const QPoint at = control->mapTo(control->window(), inside.topLeft());
    const QImage shown = control->screen()
                             ->grabWindow(control->window()->winId(), at.x(), at.y(),
                                          inside.width(), inside.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ++counts[shown.pixel(x, y)];
    QRgb background = 0;
    for (auto [pixel, count] : counts.asKeyValueRange())
        background = count > counts.value(background) ? pixel : background;
    const auto far = [&](QRgb p) {
        return std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background))
                   + std::abs(qBlue(p) - qBlue(background))
               > 150;
    };
    int drawn = 0;
    for (auto [pixel, count] : counts.asKeyValueRange())
        drawn += far(pixel) ? count : 0;
    return drawn >= 3;
}

// The user's Documents folder as the system knows it, in a fresh folder ("" when it knows none),
// and what is already in the place of its TorvanReader folder: nothing, a "folder" or a "file".
// clang-format off
struct Documents { QString documents, existing; bool worksThere; QString said; };
// clang-format on

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    // The Start menu's --in-documents: Documents/TorvanReader is made when missing and worked in;
    // when it cannot be used the user is told why, and the folder worked in stays.
    void worksInDocuments_data()
    {
        // clang-format off
        AddRows<Documents>({
            {"made when missing", {.documents = "Documents", .existing = "", .worksThere = true, .said = ""}},
            {"already there", {.documents = "Documents", .existing = "folder", .worksThere = true, .said = ""}},
            {"a file in its place", {.documents = "Documents", .existing = "file", .worksThere = false,
                .said = "The folder %1 cannot be used: "}},
            {"no Documents known", {.documents = "", .existing = "", .worksThere = false,
                .said = "Your Documents folder is not known: BIT.txt and the burn-in reports are written in %2."}}});
        // clang-format on
    }
    void worksInDocuments()
    {
        QFETCH(Documents, row);
        const QString before = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
        QTemporaryDir home;
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

    void mainWindowReconnectAndKeys()
    {
        Rig rig;
        rig.extender.Unplug();
        CTorvanReaderDlg& dlg = rig.OpenMain();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(State(dlg), kOff);
        QTest::keyClick(&dlg, Qt::Key_Return); // enables Start whatever the state
        QVERIFY(State(dlg) == " States: Unconnected|" + kConnect + "|+-"
                && Enabled(&dlg, MainControl::ProgrammerButton));
        // Reconnect after each change of the extender: what the window then shows.
        const QString unconnected = " States: Unconnected|";
        CHidIO other(rig.wire); // another program, holding the unit in the "held" row
        const std::pair<QByteArray, QString> table[]{
            {"fine", kOn},
            {"refusing", kOn}, // it answers: 0x55 0x01 counts
            {"silent", unconnected + "|--"},
            {"late", unconnected + "|--"}, // answers after the check gave up
            {"absent", kOff},
            {"held", unconnected
                         + QString(" sim:extender is in use by tst_windows (process %1).|--")
                               .arg(QCoreApplication::applicationPid())},
            {"denied", unconnected + " sim:extender could not be opened: Permission denied.|--"},
            {"fine", kOn}};
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
                QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
            // The reason and what to do, told beside the state and to a screen reader.
            const bool denied = device == "denied";
            QVERIFY(label(MainControl::Advice)->isVisibleTo(&dlg) == denied);
            const QString reason = denied || device == "held" ? state.mid(22).chopped(4) : "";
            QCOMPARE(label(MainControl::State)->accessibleDescription(),
                     denied ? reason + ": " + kNoAccessAdvice : reason);
        }
        // No handle left behind, nothing sent while held, and the count goes on across reconnects.
        QVERIFY(rig.extender.OpenHandleCount() == 2 && rig.wire.Records().back().bytes[1] == 0x17);
        // Its caption, buttons, report and About; the tool window's snapshot and tabs.
        QVERIFY(dlg.windowTitle() == "Tessalink");
        QVERIFY(ui::FindControl<QWidget>(&dlg, MainControl::ProgrammerButton)->isHidden()
                && ui::FindControl<QWidget>(&dlg, MainControl::ResetButton)->isHidden());
        QCOMPARE(rig.wire.Records()[0].bytes, Hex("001303aa01ab" + QByteArray(118, '0')));
        MenuAction(dlg, "&About")->trigger();
        QCOMPARE(rig.boxes, QStringList{"Software Version 1.0.0.1"});
        QCOMPARE(CAboutDlg({}).findChildren<QLabel*>().last()->text(), "TorvanReader, Version 1.0");
        rig.Healthy();
        rig.Set("0108= 0104=07090909"); // refused: the reads after it still run
        rig.wire.Clear();
        PerformanceTool* tool = nullptr;
        WhenModal([&](QWidget* window) {
            tool = qobject_cast<PerformanceTool*>(window);
            const RegisterSnapshot& snapshot = tool->Snapshot();
            QCOMPARE(snapshot.Data(0x01, 0x04)[0] + snapshot.Data(0x01, 0x04)[1],
                     7); // one byte kept
            QVERIFY(!snapshot.IsValid(0x01, 0x08) && snapshot.IsValid(0x02, 0x04)
                    && snapshot.Data(0x01, 0x12)[3] == 33);
            for (const QPushButton* button : tool->findChildren<QPushButton*>()) // Enter ends it
                QVERIFY(!button->autoDefault() && !button->isDefault());
            const auto* tabs = ui::FindControl<QTabWidget>(tool, ToolWindowControl::Tabs);
            QCOMPARE(tabs->tabText(0) + tabs->tabText(1) + tabs->tabText(2) + tabs->tabText(3),
                     "FirmwareStatusBurn-In TestFail-Safe Setting");
        });
        Click(rig.main.get(), MainControl::StartToAnalyze);
        QVERIFY(tool && !QApplication::activeModalWidget());
        Payloads reads = rig.Commands(); // the snapshot, then both chips' identification
        reads.resize(13);
        QCOMPARE(reads, Wire("010405 010809 01090a 010b0c 011112 010c0d 011213 010e0f 011415 "
                             "020204 020406 010102 010506"));
        ui::SetBoxPresenter({}); // the real question box: Enter and Esc answer No
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            WhenModal([&](QWidget* box) { QTest::keyClick(box, key); });
            QVERIFY(!ui::Ask(&dlg, "Replace?", "Replace it?"));
        }
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
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

    // Which unit the windows are on, each case a row named for it: plugs followed without Reconnect
    // within a second, a choice by serial number and path. Only the unit in use is ever sent to.
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
            QVERIFY(save.right() < ok.left()
                    && save.top() >= ui::DialogRect(14, 14, 0, 0).top() + 32);
            QVERIFY(about->rect().contains(save));
            for (int click = 0; click < 3; ++click) {
                rig.wire.Clear();
                Click(about, AboutControl::SaveReport);
                sent.push_back(rig.Commands().size());
            }
        });
        rig.main->OnAboutBox();
        CAboutDlg::SetReportNameChooser({});
        QVERIFY(offered.startsWith("torvanreader-report-") && offered.endsWith(".txt"));
        QCOMPARE(sent, (std::vector<size_t>{1 + 10 + 2, 0, 1 + 10 + 2}));
        const QString report = ReadFile("report.txt");
        for (const QString& part :
             QStringList{"Program\n=======\ntorvanreader 1.0.0.1, written ",
                         "HID back end: simulated extenders\n", "Extenders\n=========\n2 found.\n",
                         "sim:extender\n  Serial number: SIM0001\n",
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

    void whichUnit_data()
    {
        // The serial numbers of the two units ("-" for none), the steps ("open" the main window,
        // again when it is open), and what then shows: state (on, off or its text)|unit offered|
        // caption|sent in the last step|units with a handle open.
        // clang-format off
        AddRows<std::array<QString, 3>>({
            {"a unit plugged in followed", {"SIM0001 SIM0002", "pull1 open plug1", "on|||aa01ab|1"}},
            {"a second unit offered and sent nothing", {"SIM0001 SIM0002", "pull1 open plug1 plug2", "on|SIM0001 at sim:extender|||1"}},
            {"the second unit chosen", {"SIM0001 SIM0002", "pull1 open plug1 plug2 pick2", "on|SIM0002 at sim:second||aa01ab|2"}},
            {"the unit in use pulled, the other one kept offered", {"SIM0001 SIM0002", "pull1 open plug1 plug2 pick2 pull2", "on|SIM0001 at sim:extender||aa01ab|1"}},
            {"the last unit pulled", {"SIM0001 SIM0002", "pull1 open plug1 plug2 pick2 pull2 pull1", "off||||-"}},
            {"a unit plugged in while the one chosen is absent", {"SIM0001 SIM0002", "pull1 open plug1 plug2 pick2 pull2 pull1 plug1", "on|||aa01ab|1"}},
            {"the one chosen plugged in beside it", {"SIM0001 SIM0002", "pull1 open plug1 plug2 pick2 pull2 pull1 plug1 plug2", "on|SIM0001 at sim:extender|||1"}},
            {"the unit chosen last chosen again", {"SIM0001 SIM0002", "pull1 open plug1 plug2 pick2 pull2 pull1 plug1 plug2 open", "on|SIM0002 at sim:second||aa01ab|2"}},
            {"one of two units with one serial number chosen again", {"SIM1 SIM1", "open plug2 pick2 open", "on|SIM1 at sim:second||aa01ab|2"}},
            {"the tool window's unit named and taken back", {"SIM1 SIM2", "open plug2 tool pull1 plug1", "on|SIM1 at sim:extender|Tessalink (SIM1)|aa01ab|1"}},
            {"a unit without a serial number not taken back", {"- SIM2", "open tool pull1 plug1", "off||Tessalink (unplugged)||-"}},
            {"a unit whose serial number another tells not taken back", {"SIM1 SIM1", "open plug2 tool pull1 plug1",
                "off|SIM1 at sim:extender|Tessalink (SIM1 at sim:extender) (unplugged)||-"}},
            {"a unit present opened once the tool window closes", {"- SIM2", "open tool pull1 plug1 close", "on|||aa01ab|1"}},
            {"a unit not yet open to the user tried again", {"SIM1 SIM2", "open deny1 open grant1 wait", "on|||aa01ab|1"}}});
        // clang-format on
    }
    void whichUnit()
    {
        const auto& [serials, steps, shown] = Fetch<std::array<QString, 3>>();
        const QStringList serial = serials.split(' ').replaceInStrings("-", "");
        Rig rig(serial[0].toStdString(), serial[1].toStdString());
        for (const QString& step : steps.split(' ')) {
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
            } else {
                step == "tool"    ? void(rig.Open())
                : step == "close" ? rig.tool.reset()
                                  : QTest::qWait(100);
            }
            if (rig.main)
                QTRY_VERIFY_WITH_TIMEOUT(!AwaitReady(rig.plugs.Handle(), 0ms), 1000);
        }
        const auto* units = ui::FindControl<QComboBox>(rig.main.get(), MainControl::Units);
        QCOMPARE(units->accessibleName(), "Extender unit");
        QString state = State(*rig.main);
        state = state == kOn ? "on" : state == kOff ? "off" : state;
        const QString offered = units->isVisibleTo(rig.main.get())
                                    ? units->currentText().remove(" (Simulated HDBaseT extender)")
                                    : "";
        const QString sent = shown.section('|', 3, 3); // the commands, compared as such
        QCOMPARE(rig.Commands(), Wire(sent));
        const QString held = QString(rig.extender.OpenHandleCount() ? "1" : "")
                             + (rig.second.OpenHandleCount() ? "2" : "");
        const QString now = QStringList{state, offered, rig.tool ? rig.tool->windowTitle() : "",
                                        sent, held.isEmpty() ? "-" : held}
                                .join('|');
        QCOMPARE(now, shown);
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
        QVERIFY(tool.width() <= room.width() && tool.height() <= room.height());
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
        if (room.height() >= 1440) // nothing scrolls
            QVERIFY(scroll && scroll->viewport()->size() == scroll->widget()->size());
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
        QVERIFY(!tool.Page(shown)->isHidden() && tool.Page(0)->isHidden() == (shown != 0));
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
        QCOMPARE(rig.boxes.join('|'), way == "About" ? "Software Version 1.0.0.1"
                                      : asked ? "A firmware update is running. Stopping now leaves "
                                                "the chip without working firmware. Stop it?"
                                              : "");
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
        QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
        QVERIFY(!tool.isVisible() && page.isNull());
        sent = rig.Commands().size();
        QTest::qWait(50);
        QCOMPARE(rig.Commands().size(), sent);
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
