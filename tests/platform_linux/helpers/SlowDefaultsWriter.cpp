// A second process writing one string to a defaults store that lingers after reading the file:
// slow-defaults-writer FILE KEY VALUE DELAY_MS. It says "reading" once it is inside that moment.
#include "platform/linux/LinuxUserDefaults.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {

class SlowDefaults : public LinuxUserDefaults {
public:
    SlowDefaults(const QString& file, int delayMs) : LinuxUserDefaults(file), delayMs_(delayMs) {}

protected:
    void fileRead() override {
        // Only the read that writes this store's change back, not the first load.
        if (!hasUnsavedChanges())
            return;
        std::fputs("reading\n", stdout);
        std::fflush(stdout);
        QThread::msleep(delayMs_);
    }

private:
    int delayMs_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    SlowDefaults defaults(args.at(1), args.at(4).toInt());
    defaults.setObject(args.at(2), args.at(3));
    defaults.synchronize();
    return defaults.hasUnsavedChanges() ? 1 : 0;
}
