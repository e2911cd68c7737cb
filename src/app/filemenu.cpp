#include "app/filemenu.h"

#include "app/calibrationinfodialog.h"
#include "app/calibrationreport.h"
#include "app/labels.h"
#include "app/mainwindow.h"
#include "app/recordswindow.h"
#include "app/statusboard.h"
#include "plot/plot.h"
#include "plot/plotpicture.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "sensors/pointjournal.h"
#include "sensors/runlogreader.h"
#include "settings/dialogstart.h"
#include "settings/safefile.h"
#include "settings/settingskeys.h"

#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStatusBar>

FileMenu::FileMenu(MainWindow *window, QMenuBar *menuBar)
    : QObject(window)
    , window(window)
{
    setObjectName(QStringLiteral("fileMenu"));
    QMenu *menu = menuBar->addMenu(QStringLiteral("Файл"));
    menu->setObjectName(QStringLiteral("menuFile"));
    QAction *loadRun = menu->addAction(QStringLiteral("Загрузить прогон…"), this,
        &FileMenu::slLoadRun, QKeySequence(Qt::CTRL | Qt::Key_R));
    loadRun->setObjectName(QStringLiteral("actionLoadRun"));
    QAction *savePlot = menu->addAction(QStringLiteral("Сохранить график…"), this,
        &FileMenu::slSavePlot, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    savePlot->setObjectName(QStringLiteral("actionSavePlot"));
    QAction *report
        = menu->addAction(QStringLiteral("Отчёт о калибровке…"), this, &FileMenu::slSaveReport);
    report->setObjectName(QStringLiteral("actionCalibrationReport"));
    QAction *labels = menu->addAction(QStringLiteral("Этикетки…"), this, &FileMenu::slSaveLabels);
    labels->setObjectName(QStringLiteral("actionLabels"));
    QAction *info = menu->addAction(QStringLiteral("Сведения о калибровке…"), this, [this] {
        auto *dialog = new CalibrationInfoDialog(this->window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    info->setObjectName(QStringLiteral("actionCalibrationInfo"));
    QAction *records
        = menu->addAction(QStringLiteral("Журнал калибровок…"), this, &FileMenu::slShowRecords);
    records->setObjectName(QStringLiteral("actionRecords"));
}

void FileMenu::slShowRecords()
{
    auto *records = new RecordsWindow(window);
    records->setAttribute(Qt::WA_DeleteOnClose);
    records->show();
}

void FileMenu::slLoadRun()
{
    // Run directories sit in the bench's working directory.
    const QString directory = QFileDialog::getExistingDirectory(
        window, QStringLiteral("Каталог прогона"), QDir::currentPath());
    if (!directory.isEmpty())
        loadRun(directory);
}

void FileMenu::slSavePlot()
{
    // Starts at the last picture saved, if its folder is still there.
    QFileDialog dialog(window, QStringLiteral("Сохранить график"),
        DialogStart::of(settingskeys::savePlotPath()),
        QStringLiteral("PNG (*.png);;SVG (*.svg);;PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(filter.section(QLatin1String("*."), 1).chopped(1));
    });
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        savePlot(dialog.selectedFiles().constFirst());
}

void FileMenu::slSaveReport()
{
    QFileDialog dialog(window, QStringLiteral("Отчёт о калибровке"), QDir::currentPath(),
        QStringLiteral("PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveReport(dialog.selectedFiles().constFirst());
}

bool FileMenu::saveReport(const QString &path)
{
    const QString where = QDir::toNativeSeparators(path);
    const QByteArray pdf
        = CalibrationReport::render(CalibrationReport::collect(*window, loadedRun));
    QString error;
    if (pdf.isEmpty() || !SafeFile::write(path, pdf, &error)) {
        status(QStringLiteral("Отчёт о калибровке не сохранён в %1: %2")
                   .arg(where, pdf.isEmpty() ? QStringLiteral("PDF не получился") : error));
        return false;
    }
    status(QStringLiteral("Отчёт о калибровке сохранён в %1").arg(where));
    return true;
}

void FileMenu::slSaveLabels()
{
    QFileDialog dialog(
        window, QStringLiteral("Этикетки"), QDir::currentPath(), QStringLiteral("PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveLabels(dialog.selectedFiles().constFirst());
}

bool FileMenu::saveLabels(const QString &path)
{
    const QString where = QDir::toNativeSeparators(path);
    const QVector<LabelSheet::Label> labels
        = Labels::of(CalibrationReport::collect(*window, loadedRun));
    if (labels.isEmpty()) {
        status(QStringLiteral("Этикетки не сохранены: ни у одного датчика нет заключения "
                              "(коэффициенты не записывались)"));
        return false;
    }
    QString error;
    const QByteArray pdf = LabelSheet::render(labels, &error);
    if (pdf.isEmpty() || !SafeFile::write(path, pdf, &error)) {
        status(QStringLiteral("Этикетки не сохранены в %1: %2").arg(where, error));
        return false;
    }
    status(QStringLiteral("Этикетки (%1) сохранены в %2").arg(labels.size()).arg(where));
    return true;
}

bool FileMenu::loadRun(const QString &directory)
{
    Duts *bank = window->sensorBank();
    const RunLogReader::Run run
        = RunLogReader::readRun(directory, [bank](quint8 nomDut, const DutInfo &info) {
              if (Dut *dut = bank->dut(nomDut))
                  dut->addReading(info);
          });

    // Then the points the operator set on the plot during the run, as they were left.
    int damaged = 0;
    const QList<PointJournal::Point> points = PointJournal::read(
        QDir(directory).filePath(QLatin1String(PointJournal::fileName)), &damaged);
    QSet<quint8> moved;
    for (const PointJournal::Point &point : points) {
        if (Dut *dut = bank->dut(point.nomDut)) {
            dut->setPoint(point.temp, point.value, point.kind);
            moved.insert(point.nomDut);
        }
    }

    QStringList taken;
    int skipped = damaged;
    bool any = !points.isEmpty();
    for (quint8 s = 0; s < run.size(); ++s) {
        if (run[s].present) {
            any = true;
            taken << QStringLiteral("ДУТ %1: %2").arg(s).arg(run[s].counts.readings);
            skipped += run[s].counts.skipped();
        }
        // One refresh per sensor; the plot draws once when the event loop comes round.
        if (run[s].counts.readings > 0 || moved.contains(s))
            window->slUpdatePlot(s);
    }
    const QString where = QDir::toNativeSeparators(directory);
    if (any) {
        loadedRun = QDir(directory).absolutePath();
        window->sensorBank()->setRunTakenUp(loadedRun);
    }
    if (!any) {
        status(QStringLiteral("В каталоге %1 нет журналов датчиков (0.txt … 5.txt)").arg(where));
        return false;
    }
    status(QStringLiteral("Прогон %1: показаний %2; точек: %3; пропущено строк: %4")
               .arg(where, taken.join(QStringLiteral(", ")))
               .arg(points.size())
               .arg(skipped));
    return true;
}

bool FileMenu::savePlot(const QString &path)
{
    const QString where = QDir::toNativeSeparators(path);
    const PlotPicture::Format format = PlotPicture::formatOf(path);
    if (format == PlotPicture::Format::None) {
        status(
            QStringLiteral("График не сохранён в %1: нужен файл .png, .svg или .pdf").arg(where));
        return false;
    }
    const QByteArray picture = PlotPicture::render(*window->plot(), format,
        PlotPicture::legendOf(*window->plot(), window->sensorBank()->setups()));
    QString error;
    if (picture.isEmpty() || !SafeFile::write(path, picture, &error)) {
        status(QStringLiteral("График не сохранён в %1: %2")
                   .arg(where, picture.isEmpty() ? QStringLiteral("рисунок не получился") : error));
        return false;
    }
    settingskeys::store(settingskeys::savePlotPath(), path);
    status(QStringLiteral("График сохранён в %1").arg(where));
    return true;
}

void FileMenu::status(const QString &message)
{
    window->statusBoard()->post(QStringLiteral("filemenu"), message);
}
