// The Fail-Safe Setting page: the setting bytes on the wire, Off's double write, and the page's two
// states. Writes that fail, and which of Off's two decides, are fault rows.
#include "Rig.h"

namespace {

using enum FailSafeControl::Id;

// Which of On, Off and the three lists can be used, "+" or "-" each.
QString Usable(const QWidget* page)
{
    QString usable;
    for (int id : {On, Off, WireQuality, VideoBitError, TimeInterval})
        usable += Enabled(page, id) ? "+" : "-";
    return usable;
}

// What the lists show: the wire quality, the video bit error and the time interval.
QStringList Lists(const QWidget* page)
{
    return Texts(page, {WireQuality, VideoBitError, TimeInterval}, "currentText");
}

struct Setting {
    QStringList lists;
    QString setting; // the byte On writes, in hex
};

} // namespace

class FailSafeTest : public QObject {
    Q_OBJECT

private slots:
    // The lists' choices, and the setting byte On writes.
    void settingBytes_data()
    {
        AddRows<Setting>({
            {"the defaults", {.lists = {"64", "1e-9", "30"}, .setting = "b3"}},
            {"each list's last", {.lists = {"86", "1e-8", "60"}, .setting = "ee"}},
            {"each list's first", {.lists = {"48", "1e-9", "5"}, .setting = "90"}},
            {"the bit error alone", {.lists = {"48", "1e-8", "5"}, .setting = "88"}},
        });
    }
    void settingBytes()
    {
        QFETCH(Setting, row);
        Rig rig;
        rig.Open();
        auto& page = rig.page<ResetTool>();
        QCOMPARE(Text(&page, State), "Fail-Safe Disable");
        QCOMPARE(Usable(&page), "+-+++");
        QCOMPARE(Lists(&page), (QStringList{"64", "1e-9", "30"}));
        for (int i = 0; i < 3; ++i)
            ui::FindControl<QComboBox>(&page, WireQuality + i)->setCurrentText(row.lists[i]);
        rig.wire.Clear();
        Click(&page, On);
        QCOMPARE(Text(&page, State), "Fail-Safe Enable");
        QCOMPARE(Usable(&page), "-+---");
        QCOMPARE(Lists(&page), row.lists);
        // Off writes the default setting twice whatever the lists show, and keeps them.
        Click(&page, Off);
        QCOMPARE(rig.Commands(), Wire(QString("050106%1 05010633 05010633").arg(row.setting)));
        QCOMPARE(Text(&page, State), "Fail-Safe Disable");
        QCOMPARE(Usable(&page), "+-+++");
        QCOMPARE(Lists(&page), row.lists);
        QCOMPARE(rig.boxes, QStringList());
    }
};

QTEST_MAIN(FailSafeTest)
#include "tst_failsafe.moc"
