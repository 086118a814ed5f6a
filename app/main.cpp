// torvanreader: the tool on the extender at the USB port.
#include <QApplication>

#include "app/TorvanReaderDlg.h"
#include "device/BoundedWriteBackend.h"
#include "device/UdevWatcher.h"
#include "device/hidapi/HidapiBackend.h"
#include "ui/DialogUnits.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ui::UseDialogFont(app);
    // Armed before the window's first look for the extender, so no plug in between is missed.
    UdevWatcher watcher;
    BoundedWriteBackend backend(std::make_shared<HidapiBackend>());
    CTorvanReaderDlg mainDlg(backend, &watcher);
    mainDlg.exec();
    return 0;
}
