#include "support/tempworkdir.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

// The installed program as the operator starts it, from a data folder.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    // Plug-in folders in the working directory are never searched: Qt names every file it
    // looks at, and none of those planted there may be among them.
    void pluginsNeverFromTheWorkingDirectory()
    {
        TempWorkDir dir;
        QVERIFY(dir.isValid());
        for (const char *folder : {"platforms", "platforms/platforms", "imageformats"}) {
            QVERIFY(QDir(dir.path()).mkpath(folder));
            QVERIFY(TempWorkDir::put(
                QDir(dir.filePath(folder)).filePath("libqbogus.so"), "not a library"));
        }
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_DEBUG_PLUGINS", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("QT_PLUGIN_PATH");
        app.setProcessEnvironment(env);
        app.setWorkingDirectory(dir.path());
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(TARIKON_APP, QStringList());
        QByteArray said;
        // The platform plug-in is loaded once every plug-in folder has been searched.
        while (!said.contains("loaded library") && app.waitForReadyRead(60000))
            said += app.readAll();
        app.kill();
        app.waitForFinished();
        QVERIFY2(said.contains("loaded library"), said.right(2000).constData());
        QVERIFY2(!said.contains("libqbogus"), said.constData());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
