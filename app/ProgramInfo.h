#pragma once
#include <QString>
#include <optional>

// What a window program prints for --help or --version instead of opening its windows, as the
// programs of a desktop do, so that neither needs a display: nothing when neither is asked for.
// about says what the program is, then lists its own options, one per line, for the help.
std::optional<QString> InfoAsked(int argc, char* argv[], const QString& program,
                                 const QString& usage, const QString& about);

// Prints what InfoAsked made on stdout.
void PrintInfo(const QString& text);
