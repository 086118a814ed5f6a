// The Fail-Safe Setting page: the setting bytes on the wire, Off's double write, and the page's two
// states. Writes that fail, and which of Off's two decides, are fault rows.
#include "Rig.h"

namespace {

// The status text, which of On, Off and the lists can be used, and what the lists show.
QString State(const QWidget* page)
{
    QString state = Text(page, 1124);
    for (int id : {1123, 1122, 1107, 1108, 1109})
        state += Enabled(page, id) ? " +" : " -";
    for (int id : {1107, 1108, 1109})
        state += " " + ui::FindControl<QComboBox>(page, id)->currentText();
    return state;
}

} // namespace

class FailSafeTest : public QObject {
    Q_OBJECT

private slots:
    void settingBytes()
    {
        for (auto [selection, setting] : {std::pair{"64 1e-9 30", "b3"},
                                          {"86 1e-8 60", "ee"},
                                          {"48 1e-9 5", "90"},
                                          {"48 1e-8 5", "88"}}) {
            Rig rig;
            rig.Open();
            auto& page = rig.page<ResetTool>();
            QCOMPARE(State(&page), "Fail-Safe Disable + - + + + 64 1e-9 30");
            for (int i = 0; i < 3; ++i)
                ui::FindControl<QComboBox>(&page, 1107 + i)
                    ->setCurrentText(QString(selection).split(' ')[i]);
            rig.wire.Clear();
            Click(&page, 1123);
            QCOMPARE(State(&page), QString("Fail-Safe Enable - + - - - ") + selection);
            // Off writes the default setting twice whatever the lists show, and keeps them.
            Click(&page, 1122);
            QCOMPARE(rig.Commands(), Wire(QString("050106%1 05010633 05010633").arg(setting)));
            QCOMPARE(State(&page), QString("Fail-Safe Disable + - + + + ") + selection);
            QVERIFY(rig.boxes.isEmpty());
        }
    }
};

QTEST_MAIN(FailSafeTest)
#include "tst_failsafe.moc"
