#include "app/translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

bool Translation::installRussian(QCoreApplication *app)
{
    if (!app)
        return false;
    const QStringList folders = {QLibraryInfo::location(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    for (const QString &folder : folders) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QStringLiteral("qtbase_ru"), folder))
            continue;
        // The application keeps it from here on.
        translator->setParent(app);
        return QCoreApplication::installTranslator(translator.release());
    }
    return false;
}
