#pragma once

#include "records/recordschema.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class QSqlDatabase;
class RecordTableModel;

// "Журнал калибровок": the calibration records of the laboratory's server when one is named and
// answers (every bench's), else of this bench's own file, saying which. Filtered by serial
// number, station, dates and result as the operator types; a double-click shows that record's
// certificate page made again from the record alone; the rows shown can be exported as CSV.
class RecordsWindow : public QDialog
{
    Q_OBJECT

public:
    // Opens the databases from the settings of the working directory.
    explicit RecordsWindow(QWidget *parent = nullptr);
    ~RecordsWindow() override;

    RecordTableModel *model() const { return m_model; }
    // Whether the rows come from the laboratory's server.
    bool fromServer() const { return m_fromServer; }
    // Writes the rows shown, all of them, to path as CSV; false when it could not.
    bool exportCsv(const QString &path, QString *error = nullptr);
    // The certificate page of the record in a row of the table.
    void showCertificate(int row);

private:
    void openDatabase();
    void setDatabase(const QSqlDatabase &db, RecordSchema::Dialect dialect);
    void applyFilter();
    void askExport();

    QString m_connection;
    bool m_fromServer = false;
    RecordTableModel *m_model = nullptr;
    QTimer *m_refilter = nullptr;
    QLabel *m_source = nullptr;
    QLabel *m_count = nullptr;
    QLineEdit *m_serial = nullptr;
    QLineEdit *m_station = nullptr;
    QCheckBox *m_dates = nullptr;
    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QComboBox *m_result = nullptr;
    QTableView *m_view = nullptr;
};
