// The Fail-Safe Setting page: the setting bytes on the wire, Off's double write, and the page's two
// states. Writes that fail, and which of Off's two decides, are fault rows.
#include "Rig.h"

namespace {

// The status text, which of On, Off and the lists can be used, and what the lists show.
QString State(const QWidget* page)
{
    using enum FailSafeControl::Id;
    QString state = Text(page, FailSafeControl::State);
    for (int id : {On, Off, WireQuality, VideoBitError, TimeInterval})
        state += Enabled(page, id) ? " +" : " -";
    return state + " " + Texts(page, {WireQuality, VideoBitError, TimeInterval}, "currentText");
}

} // namespace

class FailSafeTest : public QObject {
    Q_OBJECT

private slots:
    // The lists' wire quality, video bit error and time interval, and the setting byte On writes.
    void settingBytes_data()
    {
        AddRows<std::pair<QString, QString>>({{"the defaults", {"64|1e-9|30", "b3"}},
                                              {"each list's last", {"86|1e-8|60", "ee"}},
                                              {"each list's first", {"48|1e-9|5", "90"}},
                                              {"the bit error alone", {"48|1e-8|5", "88"}}});
    }
    void settingBytes()
    {
        const auto& [selection, setting] = Fetch<std::pair<QString, QString>>();
        Rig rig;
        rig.Open();
        auto& page = rig.page<ResetTool>();
        QCOMPARE(State(&page), "Fail-Safe Disable + - + + + 64|1e-9|30");
        for (int i = 0; i < 3; ++i)
            ui::FindControl<QComboBox>(&page, FailSafeControl::WireQuality + i)
                ->setCurrentText(selection.split('|')[i]);
        rig.wire.Clear();
        Click(&page, FailSafeControl::On);
        QCOMPARE(State(&page), "Fail-Safe Enable - + - - - " + selection);
        // Off writes the default setting twice whatever the lists show, and keeps them.
        Click(&page, FailSafeControl::Off);
        QCOMPARE(rig.Commands(), Wire(QString("050106%1 05010633 05010633").arg(setting)));
        QCOMPARE(State(&page), "Fail-Safe Disable + - + + + " + selection);
        QCOMPARE(rig.boxes, QStringList());
    }
};

QTEST_MAIN(FailSafeTest)
#include "tst_failsafe.moc"
