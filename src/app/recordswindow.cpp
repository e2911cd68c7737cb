#include "app/recordswindow.h"

#include "app/recordcertificate.h"
#include "records/recordcsv.h"
#include "records/recordschema.h"
#include "records/recordstore.h"
#include "records/recordtablemodel.h"
#include "records/serversettings.h"
#include "settings/safefile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTableView>
#include <QTimer>
#include <QUuid>

RecordsWindow::RecordsWindow(QWidget *parent)
    : QDialog(parent)
    , m_connection(
          QStringLiteral("records-window-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_model(new RecordTableModel(this))
    , m_refilter(new QTimer(this))
{
    setObjectName(QStringLiteral("RecordsWindow"));
    setWindowTitle(QStringLiteral("Журнал калибровок"));
    resize(1100, 600);

    auto *layout = new QGridLayout(this);
    m_source = new QLabel(this);
    m_source->setObjectName(QStringLiteral("lSource"));
    m_source->setWordWrap(true);
    layout->addWidget(m_source, 0, 0, 1, 9);

    m_serial = new QLineEdit(this);
    m_serial->setObjectName(QStringLiteral("leFilterSerial"));
    m_serial->setPlaceholderText(QStringLiteral("Зав. №"));
    // No clear button: Qt's fading of it leaves an animation behind at exit (seen under the
    // leak checker); a filter is cleared by selecting its text.
    m_station = new QLineEdit(this);
    m_station->setObjectName(QStringLiteral("leFilterStation"));
    m_station->setPlaceholderText(QStringLiteral("Стенд"));
    m_dates = new QCheckBox(QStringLiteral("Даты"), this);
    m_dates->setObjectName(QStringLiteral("cbFilterDates"));
    m_from = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    m_from->setObjectName(QStringLiteral("deFilterFrom"));
    m_to = new QDateEdit(QDate::currentDate(), this);
    m_to->setObjectName(QStringLiteral("deFilterTo"));
    for (QDateEdit *edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setEnabled(false);
    }
    m_result = new QComboBox(this);
    m_result->setObjectName(QStringLiteral("cbFilterResult"));
    m_result->addItems({QStringLiteral("Все"), QStringLiteral("OK"), QStringLiteral("ERROR")});
    auto *exportButton = new QPushButton(QStringLiteral("Экспорт CSV…"), this);
    exportButton->setObjectName(QStringLiteral("pbExport"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lCount"));
    int column = 0;
    for (QWidget *widget : std::initializer_list<QWidget *> {
             m_serial, m_station, m_dates, m_from, m_to, m_result, m_count, exportButton})
        layout->addWidget(widget, 1, column++);
    layout->setColumnStretch(6, 1);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("tvRecords"));
    m_view->setModel(m_model);
    m_view->setSortingEnabled(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    layout->addWidget(m_view, 2, 0, 1, 9);

    openDatabase();

    // A scanner types a whole serial number within one turn of the event loop: one query.
    m_refilter->setSingleShot(true);
    m_refilter->setInterval(0);
    connect(m_refilter, &QTimer::timeout, this, &RecordsWindow::applyFilter);
    connect(m_serial, &QLineEdit::textChanged, m_refilter, QOverload<>::of(&QTimer::start));
    connect(m_station, &QLineEdit::textChanged, m_refilter, QOverload<>::of(&QTimer::start));
    connect(m_dates, &QCheckBox::toggled, this, [this](bool on) {
        m_from->setEnabled(on);
        m_to->setEnabled(on);
        applyFilter();
    });
    connect(m_from, &QDateEdit::dateChanged, this, &RecordsWindow::applyFilter);
    connect(m_to, &QDateEdit::dateChanged, this, &RecordsWindow::applyFilter);
    connect(m_result, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &RecordsWindow::applyFilter);
    connect(exportButton, &QPushButton::clicked, this, &RecordsWindow::askExport);
    connect(m_view, &QTableView::doubleClicked, this,
        [this](const QModelIndex &index) { showCertificate(index.row()); });
}

RecordsWindow::~RecordsWindow()
{
    // The model lets go of its query before the connection goes.
    m_model->close();
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

void RecordsWindow::openDatabase()
{
    const ServerSettings server = ServerSettings::stored();
    QString serverError;
    if (server.configured()) {
        QSqlDatabase db = server.connection(m_connection);
        QString error;
        if (db.isValid() && db.open()
            && RecordSchema::prepare(db, RecordSchema::Dialect::Server, &error)) {
            m_fromServer = true;
            setDatabase(db, RecordSchema::Dialect::Server);
            m_source->setText(QStringLiteral("Записи всех стендов лаборатории: сервер %1")
                                  .arg(server.describe()));
            applyFilter();
            return;
        }
        serverError = error.isEmpty() ? db.lastError().text() : error;
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
    }

    const QString path = QDir::current().filePath(RecordStore::fileName());
    QString text = QStringLiteral("Записи этого стенда: %1").arg(QDir::toNativeSeparators(path));
    if (server.configured())
        text += QStringLiteral(" (сервер %1 недоступен: %2)")
                    .arg(server.describe(), serverError.section(QLatin1Char('\n'), 0, 0));
    QString error;
    if (!QFileInfo::exists(path)) {
        text += QStringLiteral(" — записей ещё нет");
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
        if (!db.open() || !RecordSchema::prepare(db, RecordSchema::Dialect::Local, &error))
            text += QStringLiteral(" — не читается: %1")
                        .arg(error.isEmpty() ? db.lastError().text() : error);
        else
            setDatabase(db, RecordSchema::Dialect::Local);
    }
    m_source->setText(text);
    applyFilter();
}

void RecordsWindow::setDatabase(const QSqlDatabase &db, RecordSchema::Dialect dialect)
{
    m_model->setDatabase(db, dialect);
    // Newest first until the operator sorts otherwise; the header shows it, and the query runs
    // once, with the filter.
    const QSignalBlocker quiet(m_view->horizontalHeader());
    m_view->horizontalHeader()->setSortIndicator(
        std::max(0, m_model->columnNames().indexOf(QStringLiteral("time"))), Qt::DescendingOrder);
}

void RecordsWindow::applyFilter()
{
    RecordFilter filter;
    filter.serial = m_serial->text().trimmed();
    filter.station = m_station->text().trimmed();
    if (m_dates->isChecked()) {
        filter.from = m_from->date();
        filter.to = m_to->date();
    }
    filter.result = static_cast<RecordFilter::Result>(m_result->currentIndex());
    m_model->setFilter(filter);
    if (m_model->columnNames().isEmpty()) {
        m_count->clear();
        return;
    }
    m_model->refresh();
    m_count->setText(m_model->lastError().isValid()
            ? m_model->lastError().text()
            : QStringLiteral("записей: %1%2")
                  .arg(m_model->rowCount())
                  .arg(m_model->canFetchMore() ? QStringLiteral("+") : QString()));
}

bool RecordsWindow::exportCsv(const QString &path, QString *error)
{
    m_model->fetchAll();
    QByteArray bytes = RecordCsv::line(m_model->columnNames());
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < m_model->columnCount(); ++column)
            fields << m_model->data(m_model->index(row, column)).toString();
        bytes += RecordCsv::line(fields);
    }
    return SafeFile::write(path, bytes, error);
}

void RecordsWindow::askExport()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт записей"),
        QDir::current().filePath(QStringLiteral("records.csv")), QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    m_count->setText(exportCsv(path, &error) ? QStringLiteral("записано %1 записей в %2")
                                                   .arg(m_model->rowCount())
                                                   .arg(QDir::toNativeSeparators(path))
                                             : QStringLiteral("не записано: %1").arg(error));
}

void RecordsWindow::showCertificate(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    RecordCertificate::show(this, m_model->rowAt(row));
}
