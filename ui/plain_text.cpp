#include "ui/plain_text.h"

#include <QTextDocument>

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return {};
    // Rich text that says exactly the text: its markup escaped, its lines kept.
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}
