#pragma once

// A private Xvfb display with openbox managing its windows, for the benchmarks that measure
// against a real window system. Both are stopped when it goes.

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <memory>
#include <vector>

struct PrivateDisplay {
    std::vector<std::unique_ptr<QProcess>> processes;
    QString name; // empty when no display could be started

    PrivateDisplay() {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty())
            return;
        auto xvfb = std::make_unique<QProcess>();
        xvfb->start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                     QStringLiteral("0"), QStringLiteral("1440x900x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        xvfb->waitForStarted();
        QByteArray out;
        QDeadlineTimer deadline(10000);
        while (!out.contains('\n') && !deadline.hasExpired() &&
               xvfb->state() == QProcess::Running) {
            xvfb->waitForReadyRead(100);
            out += xvfb->readAllStandardOutput();
        }
        processes.push_back(std::move(xvfb));
        if (!out.contains('\n'))
            return;
        name = u':' + QString::fromLatin1(out.trimmed());
        if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
            return;
        auto openbox = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), name);
        openbox->setProcessEnvironment(env);
        openbox->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        openbox->waitForStarted();
        processes.push_back(std::move(openbox));
    }
    ~PrivateDisplay() {
        for (auto it = processes.rbegin(); it != processes.rend(); ++it) {
            (*it)->terminate();
            if (!(*it)->waitForFinished(5000))
                (*it)->kill();
            (*it)->waitForFinished();
        }
    }
};
