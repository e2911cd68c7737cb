// The bench's own record file: values kept exactly as typed, records never changed, and a file
// that cannot be written said, survived and caught up with.

#include "records/recordstore.h"
#include "support/tempworkdir.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>

namespace {

RecordRow sample(const QString &serial)
{
    RecordRow row;
    row.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    row.time = QStringLiteral("2026-12-08T10:00:00+02:00");
    row.serial = serial;
    row.result = QStringLiteral("OK");
    row.columns = {{QStringLiteral("kind"), QStringLiteral("Уровень")}};
    return row;
}

// The first column of what sql gives on the file, through a connection of the test's own;
// {"<error>"} when it fails.
QStringList query(const QString &path, const QString &sql)
{
    QStringList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "test");
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (!db.open() || !query.exec(sql))
            values << "<error>";
        while (query.next())
            values << query.value(0).toString();
    }
    QSqlDatabase::removeDatabase("test");
    return values;
}

} // namespace

class TestRecordStore : public QObject
{
    Q_OBJECT

private slots:
    void keepsValuesAsTypedAndNeverChanges();
    void unwritableFileSaidAndCaughtUp_data();
    void unwritableFileSaidAndCaughtUp();
};

void TestRecordStore::keepsValuesAsTypedAndNeverChanges()
{
    TempWorkDir dir;
    const QString path = dir.filePath(RecordStore::fileName());
    RecordStore store(path);
    const QString serial = QStringLiteral("12'34\"; DROP TABLE calibration_record; --");
    RecordRow typed = sample(serial);
    typed.columns << qMakePair(QStringLiteral("operator"), QStringLiteral("O'Neil; \"Б\", 5%_"));
    store.add(typed);
    store.add(sample("1234567"));
    QCOMPARE(store.waiting(), 0);

    const QString select = QStringLiteral("SELECT %1 FROM calibration_record ORDER BY rowid");
    QCOMPARE(query(path, select.arg("serial")), (QStringList {serial, "1234567"}));
    QCOMPARE(query(path, select.arg("operator")), (QStringList {"O'Neil; \"Б\", 5%_", ""}));
    QCOMPARE(query(path, select.arg("kind")), (QStringList {"Уровень", "Уровень"}));
    QCOMPARE(query(path, "UPDATE calibration_record SET result = 'OK'"), QStringList {"<error>"});
    QCOMPARE(query(path, "DELETE FROM calibration_record"), QStringList {"<error>"});
}

void TestRecordStore::unwritableFileSaidAndCaughtUp_data()
{
    QTest::addColumn<QString>("condition");
    QTest::newRow("corrupt") << "corrupt";
    QTest::newRow("locked by another program") << "locked";
    QTest::newRow("newer schema") << "newer";
}

void TestRecordStore::unwritableFileSaidAndCaughtUp()
{
    QFETCH(QString, condition);
    TempWorkDir dir;
    const QString path = dir.filePath(RecordStore::fileName());
    if (condition == "corrupt")
        QVERIFY(TempWorkDir::put(path, QByteArray(4096, 'x')));
    else
        RecordStore(path).add(sample("0"));
    if (condition == "newer")
        QCOMPARE(query(path, "INSERT INTO schema_version VALUES (2, 'x')"), QStringList());
    const auto forget = qScopeGuard([] { QSqlDatabase::removeDatabase("other"); });
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
    other.setDatabaseName(path);
    QVERIFY(condition != "locked" || (other.open() && QSqlQuery(other).exec("BEGIN EXCLUSIVE")));
    const QByteArray before = TempWorkDir::contents(path);

    RecordStore store(path);
    QSignalSpy said(&store, &RecordStore::sigStatus);
    store.add(sample("1"));
    store.add(sample("2"));
    QCOMPARE(store.waiting(), 2);
    const QString message = said.last().at(0).toString();
    QVERIFY2(
        message.contains("calibration.sqlite") && message.contains(": 2"), qPrintable(message));
    // Nothing the bench could not read is touched.
    QCOMPARE(TempWorkDir::contents(path), before);
    if (condition == "newer") {
        QVERIFY2(message.contains("новее"), qPrintable(message));
        return;
    }

    if (condition == "corrupt")
        QVERIFY(QFile::rename(path, path + ".damaged"));
    other.close();
    store.retry();
    QCOMPARE(store.waiting(), 0);
    QCOMPARE(said.last().at(0).toString(), QString());
    const QStringList serials = query(path, "SELECT serial FROM calibration_record ORDER BY rowid");
    QCOMPARE(serials.mid(serials.size() - 2), (QStringList {"1", "2"}));
}

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_recordstore.moc"
