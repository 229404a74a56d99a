#include "platform/ApplicationsFolders.h"
#include "fakes/FakeBundle.h"
#include "support/TempTree.h"
#include "support/TestSupport.h"

TEST(InstallationCheck, PlainPrefixOfTheThreeApplicationsFolders) {
    const std::pair<const char*, bool> paths[] = {{"/Applications/Tools/Pelora.app", true},
                                                  {"/home/ada/Applications/Pelora.app", true},
                                                  {"/opt/Pelora.app", true},
                                                  {"/home/ada/ApplicationsOld/Pelora.app", false},
                                                  {"/home/ada/applications/Pelora.app", false},
                                                  {"/home/bob/Applications/Pelora.app", false},
                                                  {"/optional/Pelora.app", false},
                                                  {"/usr/local/opt/Pelora.app", false}};
    for (const auto& [path, inside] : paths)
        for (const char* home : {"/home/ada", "/home/ada/"})
            EXPECT_EQ(isInApplicationsFolder(path, home), inside) << path << " in " << home;
    // A home reached through a link holds the same folder, either way round.
    TempTree tree{"real/Applications/Pelora.app/", "home -> real"};
    const EnvOverride home("HOME", tree.path(QStringLiteral("home")));
    FakeBundle bundle;
    for (const auto& [path, inside] : {std::pair{"real/Applications/Pelora.app", true},
                                       {"home/Applications/Pelora.app", true},
                                       {"real/Pelora.app", false}}) {
        bundle.path = tree.path(QLatin1String(path));
        EXPECT_EQ(isInApplicationsFolder(bundle), inside) << path;
    }
}
