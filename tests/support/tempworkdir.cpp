#include "support/tempworkdir.h"

#include <QDir>
#include <QFile>
#include <QSettings>

TempWorkDir::TempWorkDir()
    : m_previous(QDir::currentPath())
{
    m_entered = m_dir.isValid() && QDir::setCurrent(m_dir.path());
}

TempWorkDir::~TempWorkDir()
{
    // Only while still inside: a newer directory that has been entered since stays current.
    if (m_entered && QDir::current().canonicalPath() == QDir(m_dir.path()).canonicalPath())
        QDir::setCurrent(m_previous);
}

QVariant TempWorkDir::setting(const QString &key)
{
    return QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat).value(key);
}

void TempWorkDir::setSetting(const QString &key, const QVariant &value)
{
    QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat).setValue(key, value);
}

QByteArray TempWorkDir::contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool TempWorkDir::put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}
