#include "common/Symbols.h"

QIcon symbolIcon(const QString& symbolName) {
    return QIcon::fromTheme(symbolName);
}
