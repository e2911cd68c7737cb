// 100 000 calibration records in the bench's own file (20 benches' worth: 5 000 serial numbers,
// 20 records each). Prints the time of opening the journal window and of filtering it by one
// serial number, typed key by key as a scanner does, against a bare SELECT of the same rows,
// all measured in this run; the medians of several rounds.
#include "app/recordswindow.h"
#include "records/recordschema.h"
#include "records/recordstore.h"
#include "records/recordtablemodel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecords = 100000;
constexpr int kRounds = 7;
const QString kSerial = QStringLiteral("SN004217");

bool fill(const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(path);
    if (!db.open() || !RecordSchema::prepare(db, RecordSchema::Dialect::Local, nullptr)
        || !db.transaction())
        return false;
    QStringList known;
    for (int i = 0; i < kRecords; ++i) {
        RecordRow row;
        row.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        row.time = QStringLiteral("2026-%1-%2T10:00:00+02:00")
                       .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                       .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        row.serial = QStringLiteral("SN%1").arg(i % 5000, 6, 10, QLatin1Char('0'));
        row.station = QStringLiteral("ST%1").arg(i % 20);
        row.sensor = i % 6;
        row.result = i % 9 ? QStringLiteral("OK") : QStringLiteral("ERROR: K3");
        row.columns = {{QStringLiteral("kind"), QStringLiteral("Уровень")},
            {QStringLiteral("k0"), QString::number(i * 1e-3)},
            {QStringLiteral("k1"), QString::number(i * 1e-6)}};
        if (!RecordSchema::insert(db, RecordSchema::Dialect::Local, row, nullptr, &known))
            return false;
    }
    return db.commit();
}

// The same rows as the filtered window, read whole with a plain query.
qint64 bareSelect(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    int rows = 0;
    {
        QSqlDatabase db
            = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bare"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT * FROM calibration_record WHERE serial = ?"));
        query.addBindValue(kSerial);
        query.exec();
        while (query.next())
            rows += !query.value(0).isNull();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bare"));
    return rows == 20 ? timer.nsecsElapsed() : -1;
}

double median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2] / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString path = dir.filePath(RecordStore::fileName());
    if (!fill(path)) {
        std::fprintf(stderr, "could not fill %s\n", qPrintable(path));
        return 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));

    std::vector<qint64> bare, open, filter, first;
    for (int round = 0; round < kRounds; ++round) {
        bare.push_back(bareSelect(path));
        QElapsedTimer timer;
        timer.start();
        RecordsWindow window;
        open.push_back(timer.nsecsElapsed());
        timer.restart();
        QTest::keyClicks(window.findChild<QLineEdit *>(QStringLiteral("leFilterSerial")), kSerial);
        // The query runs once the keys are in, on the next turn of the event loop.
        QCoreApplication::processEvents();
        window.model()->fetchAll();
        filter.push_back(window.model()->rowCount() == 20 ? timer.nsecsElapsed() : -1);
        // The first key alone matches every record: the first screenful, newest first.
        auto *edit = window.findChild<QLineEdit *>(QStringLiteral("leFilterSerial"));
        edit->clear();
        QCoreApplication::processEvents();
        timer.restart();
        edit->setText(QStringLiteral("S"));
        QCoreApplication::processEvents();
        first.push_back(window.model()->rowCount() > 0 ? timer.nsecsElapsed() : -1);
    }
    const double base = median(bare);
    std::printf("%d records, serial %s (20 of them), medians of %d rounds\n", kRecords,
        qPrintable(kSerial), kRounds);
    std::printf("bare SELECT of the 20 rows:                %8.2f ms  1.0\n", base);
    std::printf("open the journal window (newest first):    %8.2f ms  %.1f\n", median(open),
        median(open) / base);
    std::printf("type the serial (%d keys, one query):      %8.2f ms  %.1f\n", int(kSerial.size()),
        median(filter), median(filter) / base);
    std::printf("one key \"S\" (all match, first screenful): %7.2f ms  %.1f\n", median(first),
        median(first) / base);
    std::printf(
        "open and filter together:                  %8.2f ms\n", median(open) + median(filter));
    return 0;
}
