#include "ui/locale_setup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <clocale>

void setupRussianLocale(QCoreApplication &application)
{
    QLocale russian(QLocale::Russian, QLocale::Russia);
    russian.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(russian);
    // The application object has set the C library's locale from the environment; on a Russian
    // desktop printf would then write decimal commas into every file a library below Qt writes
    // (the spreadsheets' numbers, widths and margins). Numbers in files always take the point.
    std::setlocale(LC_NUMERIC, "C");
    auto *translator = new QTranslator(&application);
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QStringLiteral("qtbase_ru"), directory) ||
        translator->load(QStringLiteral("qtbase_ru"),
                         QStringLiteral("/usr/share/qt6/translations")))
        QCoreApplication::installTranslator(translator);
}
