#include "platform/linux/files/SafeFile.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QLocalServer>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
void openAndClose(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
}
} // namespace

// A FIFO, a socket or a device put where a file was expected is refused at once, even when
// what comes through it would read as a good file.
TEST(SafeFile, RefusesAnythingButARegularFileWithoutBlocking) {
    TempTree tree;
    const QString filled = tree.path(u"filled"_s), silent = tree.path(u"silent"_s);
    ASSERT_TRUE(makeFifo(filled) && makeFifo(silent));
    QLocalServer server;
    ASSERT_TRUE(server.listen(tree.path(u"socket"_s)));
    const QByteArray content = "[Desktop Entry]\nType=Application\nName=Good\nExec=good\n";
    std::thread writer([&] {
        // The reader may be gone by the time this writes: an error, not the end of the tests.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const int fd = ::open(QFile::encodeName(filled).constData(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(fd, content.data(), size_t(content.size()));
            ::close(fd);
        }
    });
    for (const QString& path : {filled, silent, server.fullServerName(), u"/dev/null"_s}) {
        auto read =
            std::async(std::launch::async, [&] { return SafeFile::readRegularFile(path, 4096); });
        const bool answered = read.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        EXPECT_TRUE(answered) << qPrintable(path);
        if (!answered)
            openAndClose(path, O_WRONLY); // lets a blocked open go
        EXPECT_EQ(read.get(), std::nullopt) << qPrintable(path);
        EXPECT_FALSE(SafeFile::isRegularFile(path)) << qPrintable(path);
    }
    openAndClose(filled, O_RDONLY); // lets the writer go should nothing have opened the FIFO
    writer.join();
    EXPECT_EQ(SafeFile::readRegularFile(writeFile(tree.path(u"file"_s), content), 4096), content);
}
