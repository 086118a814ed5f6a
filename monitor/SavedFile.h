#pragma once
#include <QByteArray>
#include <QString>

namespace monitor {

// Writes bytes to a temporary file beside path and renames it over path, so that no reader ever
// sees half a file and a failure leaves the old one as it was. Empty, or the system's reason.
QString SaveWhole(const QString& path, const QByteArray& bytes);

} // namespace monitor
