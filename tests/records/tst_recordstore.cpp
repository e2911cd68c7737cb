// The bench's own record file: values kept exactly as typed, records never changed, and a file
// that cannot be written said, survived and caught up with.

#include "records/recordschema.h"
#include "records/recordstore.h"
#include "support/tempworkdir.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QtTest>

#include <memory>

namespace {

RecordRow sample(const QString &serial)
{
    RecordRow row;
    row.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    row.time = QStringLiteral("2026-12-08T10:00:00+02:00");
    row.station = QStringLiteral("ST1");
    row.serial = serial;
    row.sensor = 2;
    row.result = QStringLiteral("OK");
    row.columns = {{QStringLiteral("time"), row.time}, {QStringLiteral("sensor"), "2"},
        {QStringLiteral("kind"), QStringLiteral("Уровень")}, {QStringLiteral("k0"), "0.904"},
        {QStringLiteral("result"), row.result}};
    return row;
}

// A connection of the test's own to the file, closed with the returned guard.
std::shared_ptr<QSqlDatabase> openFile(const QString &path)
{
    static int count = 0;
    const QString name = QStringLiteral("test-%1").arg(++count);
    auto db = std::shared_ptr<QSqlDatabase>(
        new QSqlDatabase(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name)),
        [name](QSqlDatabase *db) {
            db->close();
            delete db;
            QSqlDatabase::removeDatabase(name);
        });
    db->setDatabaseName(path);
    db->open();
    return db;
}

QList<RecordRow> rows(const QString &path)
{
    auto db = openFile(path);
    QSqlQuery query(*db);
    query.exec(QStringLiteral("SELECT * FROM calibration_record ORDER BY rowid"));
    QList<RecordRow> found;
    while (query.next())
        found << RecordSchema::rowOf(query.record());
    return found;
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
    RecordRow typed = sample(QStringLiteral("12'34\"; DROP TABLE calibration_record; --"));
    typed.columns << qMakePair(QStringLiteral("operator"), QStringLiteral("O'Neil; \"Б\", 5%_"));
    store.add(typed);
    const RecordRow plain = sample(QStringLiteral("1234567"));
    store.add(plain);
    QCOMPARE(store.waiting(), 0);

    const QList<RecordRow> stored = rows(path);
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored.at(0).serial, typed.serial);
    QCOMPARE(stored.at(0).value("operator"), QStringLiteral("O'Neil; \"Б\", 5%_"));
    QCOMPARE(stored.at(0).value("kind"), QStringLiteral("Уровень"));
    QCOMPARE(stored.at(1).uuid, plain.uuid);
    QCOMPARE(stored.at(1).value("operator"), QString());

    auto db = openFile(path);
    QSqlQuery query(*db);
    QVERIFY(!query.exec("UPDATE calibration_record SET result = 'OK'"));
    QVERIFY(!query.exec("DELETE FROM calibration_record"));
    QCOMPARE(rows(path).size(), 2);
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
    std::shared_ptr<QSqlDatabase> holder;
    if (condition == "corrupt") {
        QVERIFY(TempWorkDir::put(path, QByteArray(4096, 'x')));
    } else {
        RecordStore(path).add(sample("0"));
        holder = openFile(path);
        QSqlQuery query(*holder);
        QVERIFY(condition == "locked" ? query.exec("BEGIN EXCLUSIVE")
                                      : query.exec("INSERT INTO schema_version VALUES (2, 'x')"));
    }
    const QByteArray before = TempWorkDir::contents(path);

    RecordStore store(path);
    QSignalSpy said(&store, &RecordStore::sigStatus);
    store.add(sample("1"));
    store.add(sample("2"));
    QCOMPARE(store.waiting(), 2);
    QVERIFY(!said.isEmpty());
    const QString message = said.last().at(0).toString();
    QVERIFY2(
        message.contains("calibration.sqlite") && message.contains(": 2"), qPrintable(message));
    if (condition == "newer")
        QVERIFY2(message.contains("новее"), qPrintable(message));
    // Nothing the bench could not read is touched.
    if (condition != "locked")
        QCOMPARE(TempWorkDir::contents(path), before);
    if (condition == "newer")
        return;

    if (condition == "corrupt")
        QVERIFY(QFile::rename(path, path + ".damaged"));
    else
        holder.reset();
    store.retry();
    QCOMPARE(store.waiting(), 0);
    QCOMPARE(said.last().at(0).toString(), QString());
    const QList<RecordRow> stored = rows(path);
    QCOMPARE(stored.last().serial, QStringLiteral("2"));
    QCOMPARE(stored.at(stored.size() - 2).serial, QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_recordstore.moc"
