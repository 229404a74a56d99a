#include "platform/linux/files/SafeFile.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>
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
using Read = SafeFile::ReadResult;

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

TEST(SafeFile, ReadsOnlyRegularFilesWithinTheCapWithoutBlocking) {
    TempTree tree{"ten.txt", "folder/", "link -> ten.txt", "dangling -> gone"};
    writeFile(tree.path(u"ten.txt"_s), "0123456789");
    const struct {
        const char* entry;
        SafeFile::ReadOptions options;
        Read::Status status;
        QByteArray data;
    } cases[] = {
        {"ten.txt", {.maxSize = 10}, Read::read, "0123456789"},
        {"ten.txt", {.maxSize = 9}, Read::tooLarge, {}},
        {"ten.txt", {.maxSize = 4, .cutAtMaxSize = true}, Read::read, "0123"},
        {"link", {.maxSize = 10}, Read::read, "0123456789"},
        {"link", {.maxSize = 10, .followLinks = false}, Read::notRegular, {}},
        {"dangling", {.maxSize = 10, .followLinks = false}, Read::notRegular, {}},
        {"dangling", {.maxSize = 10}, Read::missing, {}},
        {"folder", {.maxSize = 10}, Read::notRegular, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        const Read read = SafeFile::read(tree.path(QString::fromUtf8(c.entry)), c.options);
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.data, c.data);
        EXPECT_EQ(read.found.has_value(), c.status != Read::missing);
    }
}

TEST(SafeFile, AWriteReplacesTheFileWholeAndNeverWritesThroughALink) {
    TempTree tree{"target.txt", "store -> target.txt", "store.Ab12Cd", "store.keep"};
    const QString store = tree.path(u"store"_s);
    ASSERT_TRUE(SafeFile::writeAtomically(store, "new", 0600));
    EXPECT_FALSE(QFileInfo(store).isSymLink());
    EXPECT_EQ(readFile(store), "new");
    EXPECT_EQ(readFile(tree.path(u"target.txt"_s)), "x");
    EXPECT_EQ(QFile::permissions(store),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    // What a writer killed before its rename left, and only that, goes.
    SafeFile::removeLeftoverTemporaryFiles(store);
    EXPECT_EQ(QDir(tree.root()).entryList(QDir::Files | QDir::System | QDir::Hidden),
              (QStringList{u"store"_s, u"store.keep"_s, u"target.txt"_s}));
}
