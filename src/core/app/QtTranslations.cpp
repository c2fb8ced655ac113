#include "core/app/QtTranslations.h"

#include "core/util/Logging.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString QtTranslations::defaultFolder()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

QStringList QtTranslations::install(QCoreApplication &app, const QString &folder)
{
    const QString where = folder.isEmpty() ? defaultFolder() : folder;
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QStringList loaded;
    // qtbase holds the widgets' dialogs and buttons, the print dialog too.
    const QString catalogue = QStringLiteral("qtbase");
    auto *translator = new QTranslator(&app);
    if (translator->load(japanese, catalogue, QStringLiteral("_"), where)
        && QCoreApplication::installTranslator(translator)) {
        loaded << catalogue;
    } else {
        delete translator;
    }
    if (loaded.isEmpty())
        qCWarning(lcApp) << "No Japanese Qt translations in" << where << "- Qt's dialogs stay in English";
    return loaded;
}
