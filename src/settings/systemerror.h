#pragma once

#include <QString>

// The operating system's reasons for a failed file or device operation, in the bench's own
// Russian words: errno texts and Qt's English renderings of them never reach the operator.
class SystemError
{
public:
    // The reason for an errno value.
    static QString text(int errorNumber);
    // The same for a reason Qt gave as text (QFile::errorString() and the like, which render
    // errno in English); any other text is returned as it is.
    static QString fromQt(const QString &reason);
    // The errno value whose Qt rendering this text is, or 0.
    static int numberOf(const QString &reason);
};
