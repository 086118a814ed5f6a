#include "app/ProgramInfo.h"

#include <cstdio>
#include <cstring>

#include "device/DeviceIds.h"

std::optional<QString> InfoAsked(int argc, char* argv[], const QString& program,
                                 const QString& usage, const QString& about)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0)
            return QString("%1 %2\n").arg(program, kTorvanVersion);
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return QString("Usage: %1\n\n%2"
                           "  --help            show this help and exit\n"
                           "  --version         show the version and exit\n\n"
                           "Qt's standard options, such as -platform NAME and -style STYLE, are "
                           "accepted too.\n"
                           "Every job without a window: torvanreader-cli --help. The manual: man "
                           "%3.\n")
                .arg(usage, about, program);
    }
    return std::nullopt;
}

void PrintInfo(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}
