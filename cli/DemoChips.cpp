#include "cli/DemoChips.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "device/sim/SimExtender.h"

namespace cli {
namespace {

constexpr SimDeviceModel::Chip kChips[]{SimDeviceModel::Local, SimDeviceModel::Remote};

QString ChipsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
           + "/TorvanReader/demo-chips";
}

} // namespace

void RestoreDemoChips(std::span<SimExtender* const> units)
{
    QFile file(ChipsFile());
    if (!file.open(QIODevice::ReadOnly))
        return; // none kept yet: the demo's chips as they come
    QDataStream in(&file);
    for (SimExtender* unit : units) {
        for (SimDeviceModel::Chip chip : kChips) {
            QByteArray state;
            in >> state;
            unit->WithModel([&](SimDeviceModel& model) {
                model.SetChipState(chip, {reinterpret_cast<const uint8_t*>(state.constData()),
                                          size_t(state.size())});
            });
        }
    }
}

void KeepDemoChips(std::span<SimExtender* const> units)
{
    QDir().mkpath(QFileInfo(ChipsFile()).path());
    QSaveFile file(ChipsFile()); // whole or not at all: another command may read it meanwhile
    if (!file.open(QIODevice::WriteOnly))
        return; // the demo forgets its chips: nothing else depends on them
    QDataStream out(&file);
    for (SimExtender* unit : units) {
        for (SimDeviceModel::Chip chip : kChips) {
            const std::vector<uint8_t> state =
                unit->WithModel([&](SimDeviceModel& model) { return model.ChipState(chip); });
            out << QByteArray(reinterpret_cast<const char*>(state.data()), qsizetype(state.size()));
        }
    }
    file.commit();
}

} // namespace cli
