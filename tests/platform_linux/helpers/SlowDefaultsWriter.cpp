// A second process writing one string to a defaults store, lingering under the lock after it
// read the file: slow-defaults-writer FILE KEY VALUE DELAY_MS. It says "reading" then.
#include "platform/linux/files/CborUserDefaults.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

class SlowDefaults : public CborUserDefaults {
public:
    SlowDefaults(const QString& file, int delayMs) : CborUserDefaults(file), delayMs_(delayMs) {}

protected:
    void fileRead() override {
        if (!hasUnsavedChanges()) // the first load, not the read before writing back
            return;
        std::fputs("reading\n", stdout);
        std::fflush(stdout);
        QThread::msleep(delayMs_);
    }
    int delayMs_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SlowDefaults defaults(app.arguments().at(1), app.arguments().at(4).toInt());
    defaults.setObject(app.arguments().at(2), app.arguments().at(3));
    defaults.synchronize();
    return defaults.hasUnsavedChanges() ? 1 : 0;
}
