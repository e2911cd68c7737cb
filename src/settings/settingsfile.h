#pragma once

#include <QString>

// Keeps the settings file safe to open. Qt's INI reader turns a value written as
// "@Variant(...)" (or "@DateTime(...)") into binary data decoded with counts taken from the
// text itself, so a few hand-edited bytes make it allocate without bound and the program end
// at start-up. The bench never writes such a value: it stores numbers and texts only.
class SettingsFile
{
public:
    // Removes every entry whose value, as Qt's INI reader unescapes it, is such binary data,
    // and leaves every other byte as it was. The file is replaced atomically, and only when
    // there is something to remove. Returns the number of entries removed, or -1 (with the
    // reason in error, if given) when they could not be removed. A missing file has none.
    static int removeBinaryValues(const QString &path, QString *error = nullptr);
};
