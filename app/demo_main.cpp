// torvanreader-demo: the whole tool on the simulated extender, whose link status keeps changing,
// so that every window can be tried without hardware.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/TorvanReaderDlg.h"
#include "device/RecordingBackend.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimExtender.h"
#include "ui/DialogUnits.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ui::UseDialogFont(app);

    SimExtender extender;
    RecordingBackend wire(extender);

    QElapsedTimer sinceStart;
    sinceStart.start();
    const auto advanceScenario = [&] {
        demo::Apply(extender, std::chrono::milliseconds(sinceStart.elapsed()));
    };
    advanceScenario();
    QTimer scenario;
    QObject::connect(&scenario, &QTimer::timeout, advanceScenario);
    scenario.start(200);

    CTorvanReaderDlg mainDlg(wire);
    mainDlg.exec();
    return 0;
}
