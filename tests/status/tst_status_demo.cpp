// A minute of the demo scenario on the Status page: every field and lamp must change, whatever
// moment of the cycle the user pressed Test at.
#include <QtTest>
#include <map>
#include <set>

#include "StatusProbe.h"
#include "device/sim/DemoScenario.h"

using status::Lamp;
using std::chrono::milliseconds;

class StatusDemoTest : public QObject {
    Q_OBJECT

private slots:
    void everyFieldAndLampChanges_data()
    {
        QTest::addColumn<int>("pressedAtMs");
        QTest::newRow("at the start") << 0;
        QTest::newRow("mid-second") << 2500;
        QTest::newRow("late") << 43700;
    }

    void everyFieldAndLampChanges()
    {
        QFETCH(int, pressedAtMs);
        StatusRig rig;
        const milliseconds start(pressedAtMs);
        demo::Apply(rig.sim.extender, start);
        Tool1Main& page = rig.Open();

        std::map<int, std::set<QString>> texts;
        std::map<int, std::set<Lamp>> lamps;
        std::set<status::PortFlags> markings;
        const auto look = [&] {
            for (int id : {1014, 1010, 1046, 1042, 1037, 1017, 1023, 1024, 1025, 1077})
                texts[id].insert(rig.Text(id));
            for (int id : {1094, 1095, 1096, 1097, 1098, 1099, 1103}) {
                if (const auto lamp = rig.LampShown(id))
                    lamps[id].insert(*lamp);
            }
            markings.insert(rig.Picture().Marking());
        };

        rig.TestButton().click();
        milliseconds nextTick = start + milliseconds(1000);
        milliseconds nextCheck = start + milliseconds(1500);
        const milliseconds end = start + demo::kCycle + milliseconds(5000);
        while (nextTick < end) {
            if (nextTick <= nextCheck) {
                demo::Apply(rig.sim.extender, nextTick);
                page.OnTimer();
                nextTick += milliseconds(1000);
            } else {
                page.RunPortCheck();
                nextCheck += milliseconds(1500);
            }
            look();
        }

        for (const auto& [id, seen] : texts)
            QVERIFY2(seen.size() >= 2, qPrintable(QString("field %1 never changed").arg(id)));
        for (int id : {1094, 1095, 1096, 1097, 1098, 1099})
            QVERIFY2(lamps[id] == (std::set<Lamp>{Lamp::On, Lamp::Off}),
                     qPrintable(QString("lamp %1 did not go off and on").arg(id)));
        QCOMPARE(lamps[1103], (std::set<Lamp>{Lamp::On, Lamp::Marginal, Lamp::Off}));

        std::set<status::LevelBand> pairBBands;
        for (const QString& text : texts[1023]) {
            bool number = false;
            const float level = text.toFloat(&number);
            if (number)
                pairBBands.insert(status::PairLevelBand(level));
        }
        QCOMPARE(pairBBands,
                 (std::set<status::LevelBand>{status::LevelBand::Normal, status::LevelBand::Amber,
                                              status::LevelBand::Red}));
        QVERIFY(texts[1023].count("N/A")); // the link dropped
        for (const char* advice :
             {"Disconnected", "Please Check Port 2\n", "All port signal are good.\n"})
            QVERIFY2(texts[1077].count(advice), advice);
        QVERIFY(markings.count(status::PortFlags{false, true, false, false}));
        QVERIFY(texts[1046].count("Disconnect"));
    }
};

QTEST_MAIN(StatusDemoTest)
#include "tst_status_demo.moc"
