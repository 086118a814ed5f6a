// The Status page's decoding rules, port advice and blink, and the marking against the jack
// picture.
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "status/PollSchedule.h"
#include "status/PortCheck.h"
#include "status/PortMarking.h"
#include "status/StatusDecoding.h"

using namespace status;

Q_DECLARE_METATYPE(status::Lamp)
Q_DECLARE_METATYPE(status::LevelBand)

namespace {

// The pair colours of the jack picture, A to D.
const std::array<QColor, kPairCount> kPairColours{QColor("#f08a1c"), QColor("#2e9e3e"),
                                                  QColor("#2f6fd0"), QColor("#8a5a2b")};

bool Near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
               + std::abs(a.blue() - b.blue())
           < 60;
}

bool IsMarkingRed(const QColor& c)
{
    return c.red() == 255 && c.green() == 0 && c.blue() == 0;
}

QImage JackPicture()
{
    QImage image(":/pictures/rj45-jack.png");
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage MarkedJack(const PortFlags& ports)
{
    QImage image = JackPicture();
    QPainter painter(&image);
    PaintPortMarking(painter, ports);
    return image;
}

} // namespace

class StatusDecodingTest : public QObject {
    Q_OBJECT

private slots:
    void modeText()
    {
        QCOMPARE(ModeText(0), QString("BYPASS"));
        QCOMPARE(ModeText(7), QString("HDBT"));
        QCOMPARE(ModeText(8), QString("Disconnect"));
        QCOMPARE(ModeText(9), QString("Reserved"));
        QCOMPARE(ModeText(10), QString(""));
        QCOMPARE(ModeText(255), QString(""));
        QCOMPARE(ModeText(10, "N/A"), QString("N/A"));
        QCOMPARE(ModeText(4, "N/A"), QString("LPPF1"));
    }

    void sourceTypeText_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << "No HDMI";
        QTest::newRow("DVI") << 1 << "HDMI without HDCP/ DVI";
        QTest::newRow("HDCP") << 2 << "HDMI with HDCP";
        QTest::newRow("3 is no source here") << 3 << "No HDMI";
        QTest::newRow("200") << 200 << "No HDMI";
    }
    void sourceTypeText()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QCOMPARE(SourceTypeText(static_cast<uint8_t>(index)), text);
    }

    void pairLevels_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("faulty");
        QTest::addColumn<LevelBand>("band");
        QTest::newRow("0") << 0 << "0.00000" << false << LevelBand::Normal;
        QTest::newRow("51 last normal") << 51 << "0.79688" << false << LevelBand::Normal;
        QTest::newRow("52 first amber") << 52 << "0.81250" << false << LevelBand::Amber;
        QTest::newRow("63 last amber") << 63 << "0.98438" << false << LevelBand::Amber;
        QTest::newRow("64 first red") << 64 << "1.00000" << true << LevelBand::Red;
        QTest::newRow("255") << 255 << "3.98438" << true << LevelBand::Red;
    }
    void pairLevels()
    {
        QFETCH(int, raw);
        QFETCH(QString, text);
        QFETCH(bool, faulty);
        QFETCH(LevelBand, band);
        const float level = PairLevel(static_cast<uint8_t>(raw));
        QCOMPARE(PairLevelText(level), text);
        QCOMPARE(PortFaulty(level), faulty);
        QCOMPARE(PairLevelBand(level), band);
    }

    void cableLength_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<QString>("text");
        QTest::newRow("local out of range") << 255 << 0 << ">110m";
        QTest::newRow("remote out of range") << 40 << 255 << ">110m";
        QTest::newRow("local zero") << 0 << 40 << "<20m";
        QTest::newRow("remote zero") << 40 << 0 << "<20m";
        QTest::newRow("1 and 2 truncate") << 1 << 2 << "1m";
        QTest::newRow("30 and 33") << 30 << 33 << "31m";
        QTest::newRow("100 and 110") << 100 << 110 << "105m";
        QTest::newRow("254 and 254 do not overflow") << 254 << 254 << "254m";
    }
    void cableLength()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(QString, text);
        QCOMPARE(CableLengthText(static_cast<uint8_t>(a), static_cast<uint8_t>(b)), text);
    }

    void signalLamps()
    {
        const auto local = [](uint8_t bits) {
            const LocalSignals lines = DecodeLocalSignals(bits);
            return std::pair(lines.fiveVolt, lines.hpd);
        };
        QCOMPARE(local(0x05), std::pair(Lamp::On, Lamp::On));
        QCOMPARE(local(0x04), std::pair(Lamp::On, Lamp::Off));
        QCOMPARE(local(0x01), std::pair(Lamp::Off, Lamp::On));
        QCOMPARE(local(0xFA), std::pair(Lamp::Off, Lamp::Off)); // every other bit set

        const auto remote = [](uint8_t bits) {
            const RemoteSignals lines = DecodeRemoteSignals(bits);
            return std::pair(lines.fiveVolt, lines.hpd);
        };
        QCOMPARE(remote(0x08), std::pair(Lamp::Off, Lamp::On));
        QCOMPARE(remote(0x04), std::pair(Lamp::On, Lamp::Off));
        QCOMPARE(remote(0x0C), std::pair(Lamp::On, Lamp::On));
        QCOMPARE(remote(0x01),
                 std::pair(Lamp::Off, Lamp::Off)); // the local HPD bit means nothing here
    }

    void berLamp()
    {
        QCOMPARE(BerLamp(0), Lamp::Off);
        QCOMPARE(BerLamp(7), Lamp::Off);
        QCOMPARE(BerLamp(8), Lamp::Marginal);
        QCOMPARE(BerLamp(9), Lamp::On);
        QCOMPARE(BerLamp(255), Lamp::On);
    }

    void tickSchedule()
    {
        QString linkTicks;
        QString signalTicks;
        for (uint32_t tick = 0; tick <= 10; ++tick) {
            if (RunsLinkBlock(tick))
                linkTicks += QString::number(tick) + " ";
            if (RunsSignalBlock(tick))
                signalTicks += QString::number(tick) + " ";
        }
        QCOMPARE(linkTicks, QString("0 5 10 "));
        QCOMPARE(signalTicks, QString("0 2 4 6 8 10 "));
    }

    void portAdvice()
    {
        QCOMPARE(PortAdvice({false, false, false, false}),
                 QString("All port signal are good.\r\n"));
        QCOMPARE(PortAdvice({false, true, false, true}),
                 QString("Please Check Port 2\r\nPlease Check Port 4\r\n"));
        QCOMPARE(PortAdvice({true, true, true, true}),
                 QString("Please Check Port 1\r\nPlease Check Port 2\r\nPlease Check Port 3\r\n"
                         "Please Check Port 4\r\n"));
    }

    void portCheckBlinksOnlyWhileTheLinkIsUp()
    {
        PortCheck check;
        const PortFlags faults{false, true, false, false};
        QVERIFY(check.OverlayPhase());

        PortCheck::Pass pass = check.Run(false, faults);
        QCOMPARE(pass.advice, QString("Disconnected"));
        QCOMPARE(pass.blink, PortCheck::Blink::Unchanged);
        QVERIFY(check.OverlayPhase());

        pass = check.Run(true, faults);
        QCOMPARE(pass.advice, QString("Please Check Port 2\r\n"));
        QCOMPARE(pass.blink, PortCheck::Blink::Draw);
        QCOMPARE(check.Run(true, faults).blink, PortCheck::Blink::Erase);
        // A dropped link freezes the phase where it stands.
        QCOMPARE(check.Run(false, faults).blink, PortCheck::Blink::Unchanged);
        QCOMPARE(check.Run(true, faults).blink, PortCheck::Blink::Draw);
        // With nothing faulty the phase still alternates.
        QCOMPARE(check.Run(true, {}).blink, PortCheck::Blink::Erase);
        QCOMPARE(check.Run(true, {}).advice, QString("All port signal are good.\r\n"));
    }

    // Each pair's marking lies on that pair's own wires and contacts in the jack picture.
    void markingLandsOnItsPair()
    {
        const QImage plain = JackPicture();
        QCOMPARE(plain.size(), QSize(220, 275));
        for (int port = 1; port <= kPairCount; ++port) {
            const PairMarking& marking = MarkingOfPort(port);
            const QColor colour = kPairColours[port - 1];
            // Under the middle of each stroke: a wire of the pair (its colour, or white stripe).
            for (const Segment& line : marking.lines) {
                const QPoint middle((line.x1 + line.x2) / 2, (line.y1 + line.y2) / 2);
                const QColor under = plain.pixelColor(middle);
                QVERIFY2(Near(under, colour) || Near(under, Qt::white),
                         qPrintable(QString("port %1 stroke at %2,%3 lies on %4")
                                        .arg(port)
                                        .arg(middle.x())
                                        .arg(middle.y())
                                        .arg(under.name())));
            }
            const auto centre = [](const Box& box) {
                return QPoint((box.left + box.right) / 2, (box.top + box.bottom) / 2);
            };
            QVERIFY2(Near(plain.pixelColor(centre(marking.solid)), colour),
                     qPrintable(QString("port %1 solid contact").arg(port)));
            QVERIFY2(Near(plain.pixelColor(centre(marking.striped)), Qt::white),
                     qPrintable(QString("port %1 striped contact").arg(port)));
            QVERIFY2(Near(plain.pixelColor(marking.striped.left + 1, centre(marking.striped).y()),
                          colour),
                     qPrintable(QString("port %1 striped contact outline").arg(port)));
        }
    }

    void markingDrawsOnlyTheFaultyPairs()
    {
        const QImage marked = MarkedJack({false, true, false, true});
        for (int port = 1; port <= kPairCount; ++port) {
            const bool faulty = port == 2 || port == 4;
            const PairMarking& marking = MarkingOfPort(port);
            const Box& solid = marking.solid;
            const QPoint solidCentre((solid.left + solid.right) / 2,
                                     (solid.top + solid.bottom) / 2);
            QCOMPARE(IsMarkingRed(marked.pixelColor(solidCentre)), faulty);
            const Segment& trunk = marking.lines[0];
            QCOMPARE(IsMarkingRed(marked.pixelColor(trunk.x1, (trunk.y1 + trunk.y2) / 2)), faulty);
        }
        QCOMPARE(MarkedJack({}), JackPicture());
    }
};

QTEST_MAIN(StatusDecodingTest)
#include "tst_status_decoding.moc"
