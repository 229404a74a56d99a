#pragma once

#include <QString>

class Bundle;
class QTextDocument;

// Reads the bundle's rich-text resource <name>.rtf into the document, links underlined.
// False, with the document untouched, when the resource is missing, unreadable, implausibly
// large, not RTF, or holds no text.
bool loadBundleRichText(const Bundle& bundle, const QString& name, QTextDocument& document);
