// The journal window over many records of the bench's own file: every filter, alone, finds
// what it should; a double-click shows the record's page made from the record alone; the rows
// shown export as CSV.

#include "app/recordswindow.h"
#include "records/recordschema.h"
#include "records/recordstore.h"
#include "records/recordtablemodel.h"
#include "support/settle.h"
#include "support/tempworkdir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QTableView>
#include <QTextBrowser>
#include <QtTest>

namespace {

// 3000 records: serial numbers S0000..S0499 six times each, every third at station ST1, every
// fourth failed, spread over ten days from 2026-12-01.
bool fill(const QString &path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
    db.setDatabaseName(path);
    bool ok = db.open() && RecordSchema::prepare(db, RecordSchema::Dialect::Local, nullptr)
        && db.transaction();
    QStringList known;
    for (int i = 0; ok && i < 3000; ++i) {
        RecordRow row;
        row.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        row.time = QString::asprintf("2026-12-%02dT10:%02d:00+02:00", 1 + i % 10, i % 60);
        row.serial = QString::asprintf("S%04d", i % 500);
        row.station = i % 3 == 0 ? "ST1" : "ST2";
        row.result = i % 4 == 0 ? "ERROR: K3" : "OK";
        row.columns = {{"kind", "Уровень"}, {"k0", QString::number(i)}};
        ok = RecordSchema::insert(db, RecordSchema::Dialect::Local, row, nullptr, &known);
    }
    return ok && db.commit();
}

} // namespace

class TestRecordsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filters_data();
    void filters();
    void certificateAndExportFromStoredRows();

private:
    TempWorkDir dir;
};

void TestRecordsWindow::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(fill(dir.filePath(RecordStore::fileName())));
    QSqlDatabase::removeDatabase("fill");
}

void TestRecordsWindow::filters_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("station");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("count");
    const QDate none;
    QTest::newRow("all") << ""
                         << "" << none << 0 << 3000;
    QTest::newRow("one serial") << "S0042"
                                << "" << none << 0 << 6;
    QTest::newRow("serial prefix") << "S004"
                                   << "" << none << 0 << 60;
    QTest::newRow("LIKE's own characters") << "S00_"
                                           << "" << none << 0 << 0;
    QTest::newRow("station") << ""
                             << "ST1" << none << 0 << 1000;
    QTest::newRow("two days") << ""
                              << "" << QDate(2026, 12, 3) << 0 << 600;
    QTest::newRow("failed") << ""
                            << "" << none << 2 << 750;
    QTest::newRow("passed at ST1") << ""
                                   << "ST1" << none << 1 << 750;
}

void TestRecordsWindow::filters()
{
    QFETCH(QString, serial);
    QFETCH(QString, station);
    QFETCH(QDate, from);
    QFETCH(int, result);
    QFETCH(int, count);
    RecordsWindow window;
    QVERIFY(!window.fromServer());
    QVERIFY(window.findChild<QLabel *>("lSource")->text().startsWith("Записи этого стенда"));
    QTest::keyClicks(window.findChild<QLineEdit *>("leFilterSerial"), serial);
    QTest::keyClicks(window.findChild<QLineEdit *>("leFilterStation"), station);
    if (from.isValid()) {
        window.findChild<QCheckBox *>("cbFilterDates")->setChecked(true);
        window.findChild<QDateEdit *>("deFilterFrom")->setDate(from);
        window.findChild<QDateEdit *>("deFilterTo")->setDate(from.addDays(1));
    }
    window.findChild<QComboBox *>("cbFilterResult")->setCurrentIndex(result);
    settle();

    auto *view = window.findChild<QTableView *>("tvRecords");
    RecordTableModel *model = window.model();
    QCOMPARE(view->model(), model);
    model->fetchAll();
    QCOMPARE(model->rowCount(), count);
    for (int row = 0; row < count; ++row)
        QVERIFY(model->rowAt(row).serial.startsWith(serial));
    // Sorted by the database, by any column the header offers.
    view->sortByColumn(model->columnNames().indexOf("serial"), Qt::AscendingOrder);
    model->fetchAll();
    QCOMPARE(model->rowCount(), count);
    for (int row = 1; row < count; ++row)
        QVERIFY(model->rowAt(row - 1).serial <= model->rowAt(row).serial);
}

void TestRecordsWindow::certificateAndExportFromStoredRows()
{
    RecordsWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyClicks(window.findChild<QLineEdit *>("leFilterSerial"), "S0007");
    settle();
    auto *view = window.findChild<QTableView *>("tvRecords");
    const QRect cell = view->visualRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    auto *page = window.findChild<QTextBrowser *>("tbCertificate");
    QVERIFY(page);
    const RecordRow first = window.model()->rowAt(0);
    QVERIFY(page->toPlainText().contains("S0007"));
    QVERIFY(page->toPlainText().contains(first.value("k0")));
    QVERIFY(page->toPlainText().contains(first.uuid));

    const QString path = dir.filePath("shown.csv");
    QVERIFY(window.exportCsv(path));
    const QList<QByteArray> lines = TempWorkDir::contents(path).split('\n');
    QCOMPARE(lines.size(), 1 + 6 + 1);
    QVERIFY(lines.at(0).startsWith("uuid,time,station,serial,run,sensor,result,amends,kind,k0"));
    QVERIFY(lines.at(1).startsWith(first.uuid.toUtf8()));
}

QTEST_MAIN(TestRecordsWindow)
#include "tst_recordswindow.moc"
