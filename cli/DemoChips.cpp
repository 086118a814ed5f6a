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

DemoChips::DemoChips(std::span<SimExtender* const> units) : m_units(units)
{
    QFile file(ChipsFile());
    if (!file.open(QIODevice::ReadOnly))
        return; // none kept yet: the demo's chips as they come
    QDataStream in(&file);
    for (SimExtender* unit : m_units) {
        for (SimDeviceModel::Chip chip : kChips) {
            QByteArray state;
            in >> state;
            unit->WithModel([&](SimDeviceModel& model) {
                model.SetChipState(chip, {reinterpret_cast<const uint8_t*>(state.constData()),
                                          size_t(state.size())});
            });
        }
    }
    m_restored = State();
}

DemoChips::~DemoChips()
{
    const QByteArray state = State();
    if (state == m_restored)
        return;
    QDir().mkpath(QFileInfo(ChipsFile()).path());
    QSaveFile file(ChipsFile()); // whole or not at all: another command may read it meanwhile
    if (file.open(QIODevice::WriteOnly) && file.write(state) == state.size())
        file.commit(); // else the demo forgets its chips: nothing else depends on them
}

QByteArray DemoChips::State() const
{
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    for (SimExtender* unit : m_units) {
        for (SimDeviceModel::Chip chip : kChips) {
            const std::vector<uint8_t> bytes =
                unit->WithModel([&](SimDeviceModel& model) { return model.ChipState(chip); });
            out << QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        }
    }
    return state;
}

} // namespace cli
