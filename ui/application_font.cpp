#include "ui/application_font.h"

#include <QApplication>
#include <QFont>

void setupApplicationFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}
