#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

#include <memory>

namespace {
// The application object exists only while tests run, not while CTest lists them.
class QtEnvironment : public ::testing::Environment {
public:
    QtEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}

    void SetUp() override {
        // Keep tests away from the user's real data and display.
        home_ = std::make_unique<QTemporaryDir>();
        const QByteArray root = home_->path().toLocal8Bit();
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
        qputenv("XDG_CACHE_HOME", root + "/cache");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            QDir().mkpath(home_->path() + "/runtime");
            QFile::setPermissions(home_->path() + "/runtime", QFileDevice::Permissions(0x7000));
            qputenv("XDG_RUNTIME_DIR", root + "/runtime");
        }
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
        translator_ = std::make_unique<QTranslator>();
        if (translator_->load(QStringLiteral(":/i18n/pelora_en.qm")))
            QCoreApplication::installTranslator(translator_.get());
    }

    void TearDown() override {
        translator_.reset();
        app_.reset();
        home_.reset();
    }

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QTranslator> translator_;
};
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new QtEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
