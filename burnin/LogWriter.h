#pragma once
#include <QByteArray>
#include <QString>
#include <system_error>

// The burn-in log written through the system's own calls, so that a failure keeps the system's
// cause: a write cut short by a full disk says "No space left on device", where Qt's file says
// nothing. One implementation per platform.
namespace burnin {

// Empties the file, creating it when it is missing.
std::error_code EmptyFile(const QString& path);

// Appends bytes whole or not at all: what a failed write left of them is cut off again.
std::error_code AppendWhole(const QString& path, const QByteArray& bytes);

// Why no file can be made at path, in the system's words: none where one can, and what this made
// is removed again.
std::error_code CreationCause(const QString& path);

} // namespace burnin
