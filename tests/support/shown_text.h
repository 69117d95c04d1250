#pragma once

#include <QString>
#include <QTextDocument>

// The words a tooltip or a chart label shows for its text: markup drawn as Qt draws it, so that a
// name meant to be shown as written can be compared with what reaches the screen.
inline QString shownText(const QString &text, bool alwaysRich = false)
{
    if (!alwaysRich && !Qt::mightBeRichText(text))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

// A holiday name as a hostile or careless user may type it.
inline QString markupName()
{
    return QStringLiteral("<h1 style=\"color:red\">Сеанс истёк: введите пароль</h1> & <b>Б</b>");
}
