#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// The windows write BIT.txt and the burn-in reports in the folder they work in: the one they were
// started in. The Start-menu entries on Windows start them with --in-documents instead, as a
// standard user may not write in the programs' own folder: they then work in the user's
// Documents\TorvanReader, made when missing, where the user finds the log.

// Makes documents/TorvanReader when missing and works there. When that fails, what stood in the
// way, for the user; the folder worked in stays the one before.
std::optional<QString> WorkInDocuments(const QString& documents);

// What the program's arguments ask: with --in-documents the user's Documents folder, said in a
// message box when it cannot be used; without it the folder the program was started in.
void WorkWhereAsked(const QStringList& arguments);
