#include "composition/PeloraServices.h"

PeloraServices::PeloraServices(Platform platform, QUrl versionDocumentURL)
    : system(std::move(platform)),
      versionCheck(system.bundle(), system.defaults(), system.workspace(), system.dialogs(),
                   updateWindows, std::move(versionDocumentURL)) {}
