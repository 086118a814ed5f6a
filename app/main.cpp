// torvanreader: the tool on the extender at the USB port.
#include <QApplication>
#include <optional>

#include "app/DesktopSession.h"
#include "app/TorvanReaderDlg.h"
#include "app/WorkFolder.h"
#include "device/SystemDevices.h"
#include "history/Keeper.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

int main(int argc, char* argv[])
{
    std::optional<DesktopSession> desktop(std::in_place, "torvanreader");
    QApplication app(argc, argv);
    desktop.reset();
    ui::UseDialogFont(app);
    WorkWhereAsked(app.arguments());
    // Armed before the window's first look for the extender, so no plug in between is missed.
    std::string watchFailure;
    const std::unique_ptr<IUnitWatcher> watcher = MakeSystemWatcher(watchFailure);
    const std::unique_ptr<IHidBackend> backend = MakeSystemBackend();
    const history::Keeper history(history::UserFile(false), ui::TellLater);
    CTorvanReaderDlg mainDlg(*backend, watcher.get());
    mainDlg.exec();
    return 0;
}
