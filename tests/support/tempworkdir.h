#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// A fresh temporary directory made the working directory for the lifetime of the object, so
// that "settings.ini" and the run directories of one test never meet those of another. The
// previous working directory is restored before the directory is removed.
class TempWorkDir
{
public:
    TempWorkDir();
    ~TempWorkDir();
    TempWorkDir(const TempWorkDir &) = delete;
    TempWorkDir &operator=(const TempWorkDir &) = delete;

    bool isValid() const { return m_entered; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // A value of "settings.ini" in the current directory ("Group/Key").
    static QVariant setting(const QString &key);
    static void setSetting(const QString &key, const QVariant &value);

    // The bytes of a file, or "<missing>" when it cannot be read.
    static QByteArray contents(const QString &path);
    // Writes a file with exactly these bytes.
    static bool put(const QString &path, const QByteArray &bytes);

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_entered = false;
};
