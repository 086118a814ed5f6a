// torvanreader: the tool on the extender at the USB port.
#include <QApplication>

#include "app/TorvanReaderDlg.h"
#include "device/SystemDevices.h"
#include "ui/DialogUnits.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ui::UseDialogFont(app);
    // Armed before the window's first look for the extender, so no plug in between is missed.
    std::string watchFailure;
    const std::unique_ptr<IUnitWatcher> watcher = MakeSystemWatcher(watchFailure);
    const std::unique_ptr<IHidBackend> backend = MakeSystemBackend();
    CTorvanReaderDlg mainDlg(*backend, watcher.get());
    mainDlg.exec();
    return 0;
}
