#pragma once

#include <QString>

// Where a file dialog starts: the file last stored under a settings key (its folder, if the
// folder is still there), else the bench's working folder, which holds everything it keeps.
// A drive path such as "c:/", which an installation that never saved a file has stored, means
// nothing on this system and counts as nothing stored.
class DialogStart
{
public:
    static QString of(const QString &key);
};
