#pragma once

class QCoreApplication;

// Qt's own texts in Russian: the standard buttons of message boxes ("Да", "Нет"), the file and
// colour dialogs, the context menus of the edits. The bench's own texts are Russian already.
class Translation
{
public:
    // Installs Qt's Russian catalogue on app, looked for where Qt keeps its translations (Debian's
    // qttranslations5-l10n) and then in "translations" beside the program. Returns whether one
    // was found; without it Qt's texts stay English and nothing else changes.
    static bool installRussian(QCoreApplication *app);
};
