#include "ui/locale_setup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void setupRussianLocale(QCoreApplication &application)
{
    QLocale russian(QLocale::Russian, QLocale::Russia);
    russian.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(russian);
    auto *translator = new QTranslator(&application);
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QStringLiteral("qtbase_ru"), directory) ||
        translator->load(QStringLiteral("qtbase_ru"),
                         QStringLiteral("/usr/share/qt6/translations")))
        QCoreApplication::installTranslator(translator);
}
