#include "app/CommandLine.h"

#include "platform/linux/DefaultsTool.h"
#include "platform/linux/LinuxUserDefaults.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <cstring>

std::optional<int> runCommandLine(int& argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "defaults") != 0)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    LinuxUserDefaults defaults;
    return runDefaultsTool(QCoreApplication::arguments().mid(2), defaults, out, err);
}
