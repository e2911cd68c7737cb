#include "app/closeguard.h"
#include "app/filemenu.h"
#include "app/mainwindow.h"
#include "app/setfiles.h"
#include "panels/protocol.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "sensors/measurementset.h"
#include "sensors/pointjournal.h"
#include "support/answerdialog.h"
#include "support/benchfixture.h"
#include "support/child.h"
#include "support/filesizelimit.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <functional>
#include <optional>

using Maps = QList<MeasurementSet::Map>;

namespace {

const QString kSavePath = QStringLiteral("Main/save_path");
const QString kLoadPath = QStringLiteral("Main/load_path");

} // namespace

// Files as the operator saves and opens them through the window: measurement sets into and out
// of the six panels; through the "Файл" menu, a run polled over the line back from its logs
// into a fresh window, and the plot as a picture.
class TestSetFiles : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.emplace().isValid());
        // Home is not where the bench keeps its files.
        QVERIFY(QDir(dir->path()).mkdir("home"));
        qputenv("HOME", path("home").toLocal8Bit());
        window.emplace();
        start.clear();
        filters.clear();
    }
    void cleanup()
    {
        window.reset();
        dir.reset();
    }

    void savedMidValuesComeBackAsPoints();
    void damagedAndForeignFiles_data();
    void damagedAndForeignFiles();
    void failedSaveAndOpenChangeNothing();
    void openedSetCountsAsSaved();
    void firstDialogStartsInTheWorkingFolder();
    void cancelledSaveChangesNothing();
    void dialogsStartWhereTheirKindLastWent();
    void runComesBackFromItsLogs();
    void runPointsComeBackForEverySensor_data() { sensorRows(); }
    void runPointsComeBackForEverySensor();
    void closeAsksForEverySensor_data() { sensorRows(); }
    void closeAsksForEverySensor();
    void plotPictures();

private:
    static void sensorRows()
    {
        QTest::addColumn<quint8>("nomDut");
        for (quint8 s = 0; s < Duts::dutCount; ++s)
            QTest::addRow("ДУТ %d", s) << s;
    }
    Duts &bank() const { return *window->sensorBank(); }
    SetFiles &sets() const { return *window->setFiles(); }
    QString path(const char *name) const { return dir->filePath(QString::fromLatin1(name)); }
    QString status() const { return window->statusBar()->currentMessage(); }
    QString fileField(int nomDut) const
    {
        QWidget *owner = nomDut < 0 ? static_cast<QWidget *>(window->protocolPanel())
                                    : bank().dut(quint8(nomDut));
        return child(*owner, "leFileName")->text();
    }
    // The answer to the next file dialog, after noting where it starts and what it offers: the
    // name typed, or a cancel for none.
    std::function<void(QFileDialog *)> choose(const QString &name)
    {
        return [this, name](QFileDialog *dialog) {
            start = dialog->directory().absolutePath();
            filters = dialog->nameFilters();
            if (name.isEmpty()) {
                dialog->reject();
            } else {
                // Typed, as the operator does: selectFile() leaves a name field that has the
                // focus alone, and whether it has depends on how the window was laid out.
                auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (field)
                    field->setText(name);
                static_cast<QDialog *>(dialog)->accept();
                if (dialog->isVisible())
                    dialog->reject();
            }
        };
    }
    // A polled reading of sensor s (address s, the default protocol).
    void read(quint8 s, qint8 temp, quint16 level, quint32 period)
    {
        Dut *dut = bank().dut(s);
        child<QComboBox>(*dut, "cbPort")->setCurrentIndex(s + 1);
        dut->setStarted(true);
        QVERIFY(!dut->pollRequest().isEmpty());
        QByteArray answer = frames::veltaroAnswer(s, temp, level, period);
        QVERIFY(dut->takeAnswer(&answer).valid);
    }
    // The three mid-value maps of every sensor, as a set file lists them.
    Maps midl()
    {
        Maps maps;
        for (quint8 s = 0; s < Duts::dutCount; ++s)
            for (const eTypeData kind : {Level, Freq, Period})
                maps.append(*bank().getMidl(s, kind));
        return maps;
    }

    std::optional<TempWorkDir> dir;
    std::optional<MainWindow> window;
    QString start;
    QStringList filters;
};

void TestSetFiles::savedMidValuesComeBackAsPoints()
{
    for (quint8 s = 0; s < 5; ++s) {
        read(s, qint8(20 + s), quint16(3000 + s), 70000);
        read(s, qint8(20 + s), quint16(3010 + s), 70004);
        read(s, -40, 1000, 60000);
    }
    bank().slAddMidl(1, 99, 7, Freq);
    const Maps saved = midl();

    QVERIFY(sets().save(path("all.6fls")));
    QCOMPARE(TempWorkDir::contents(path("all.6fls")), MeasurementSet::encode(saved));
    QCOMPARE(fileField(-1), path("all.6fls"));
    QVERIFY2(status().contains(path("all.6fls")), qPrintable(status()));
    // "Очистить все" asks first; No keeps everything.
    auto *clearAll = child<QPushButton>(*window->protocolPanel(), "pbClearAll");
    MessageBoxCatcher boxes;
    boxes.answerWith(QMessageBox::No);
    QTest::mouseClick(clearAll, Qt::LeftButton);
    QCOMPARE(boxes.texts().size(), 1);
    QCOMPARE(midl(), saved);
    QCOMPARE(fileField(-1), path("all.6fls"));
    boxes.answerWith(QMessageBox::Yes);
    QTest::mouseClick(clearAll, Qt::LeftButton);
    QCOMPARE(fileField(-1), QString());
    for (const MeasurementSet::Map &map : midl())
        QVERIFY(map.isEmpty());
    // Coefficients alone are asked about too, and the question names them.
    auto *readK = child<QLineEdit>(*window, "leReadK0");
    readK->setText(QStringLiteral("1.5"));
    boxes.answerWith(QMessageBox::No);
    QTest::mouseClick(clearAll, Qt::LeftButton);
    QCOMPARE(boxes.texts().size(), 3);
    QVERIFY2(boxes.texts().last().contains("коэффициентов"), qPrintable(boxes.texts().last()));
    QCOMPARE(readK->text(), QStringLiteral("1.5"));

    QVERIFY(sets().load(path("all.6fls")));
    QCOMPARE(midl(), saved);
    QCOMPARE(TempWorkDir::setting(kSavePath).toString(), path("all.6fls"));

    // One sensor's set, opened on another panel.
    QVERIFY(sets().save(path("two.1fls"), 2));
    QCOMPARE(fileField(2), path("two.1fls"));
    bank().slClearAll();
    QVERIFY(sets().load(path("two.1fls"), 4));
    QCOMPARE(midl().mid(12, 3), saved.mid(6, 3));
    QVERIFY2(status().contains(path("two.1fls")), qPrintable(status()));
}

void TestSetFiles::damagedAndForeignFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("nomDut");
    // Per sensor, the group of the file's maps it ends up with, or -1 for its own points.
    QTest::addColumn<QList<int>>("from");
    QTest::addColumn<QString>("message");

    Maps six;
    for (int i = 0; i < 18; ++i)
        six.append(MeasurementSet::Map {{qint8(i), quint32(1000 + i)}});
    const QByteArray set6 = MeasurementSet::encode(six);
    const QByteArray set1 = MeasurementSet::encode(six.mid(0, 3));
    const int all = SetFiles::allSensors;
    const QList<int> kept {-1, -1, -1, -1, -1, -1};
    // Every map of the sets above is 4 + 5 bytes.
    QTest::newRow("six sensors, cut inside the fourth map")
        << set6.left(4 + 3 * 9 + 6) << all << QList<int> {0, -1, -1, -1, -1, -1} << "обрезан";
    QTest::newRow("one sensor's set for all")
        << set1 << all << QList<int> {0, -1, -1, -1, -1, -1} << "";
    QTest::newRow("six sensors' set on panel 3")
        << set6 << 3 << QList<int> {-1, -1, -1, 0, -1, -1} << "";
    QTest::newRow("one sensor, cut inside the third map: its Period is emptied")
        << set1.left(4 + 2 * 9 + 2) << 3 << QList<int> {-1, -1, -1, 0, -1, -1} << "обрезан";
    QTest::newRow("one sensor, two whole maps")
        << set1.left(4 + 2 * 9) << 3 << kept << "нет ни одного полного датчика";
    QTest::newRow("six sensors, two whole maps")
        << set6.left(4 + 2 * 9) << all << kept << "нет ни одного полного датчика";
}

void TestSetFiles::damagedAndForeignFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, nomDut);
    QFETCH(QList<int>, from);
    QFETCH(QString, message);

    Maps own;
    for (quint8 s = 0; s < Duts::dutCount; ++s) {
        for (const eTypeData kind : {Level, Freq, Period}) {
            own.append({{-20, quint32(s * 10 + kind)}});
            bank().setMidl(s, own.last(), kind);
        }
    }
    QVERIFY(TempWorkDir::put(path("set"), bytes));
    QVERIFY(sets().load(path("set"), nomDut));

    const Maps file = MeasurementSet::decode(bytes).maps;
    Maps expected;
    for (int s = 0; s < Duts::dutCount; ++s)
        expected += from.at(s) < 0 ? own.mid(3 * s, 3) : file.mid(3 * from.at(s), 3);
    QCOMPARE(midl(), expected);
    // Every outcome is said, naming the file; a "file:" field names it only where it gave
    // something.
    QVERIFY2(status().contains(message) && status().contains(path("set")), qPrintable(status()));
    QCOMPARE(TempWorkDir::setting(kLoadPath).toString(), path("set"));
    const bool applied
        = std::any_of(from.cbegin(), from.cend(), [](int group) { return group >= 0; });
    QCOMPARE(fileField(nomDut), applied ? path("set") : QString());
}

// That a failed save leaves the old file as it was, the coefficient-file test checks on the
// writer both files go through.
void TestSetFiles::failedSaveAndOpenChangeNothing()
{
    TempWorkDir::setSetting(kSavePath, path("earlier.6fls"));
    bool saved = true;
    {
        // The disk fills up after 8 bytes of the new file.
        const FileSizeLimit limit(8);
        saved = sets().save(path("good.6fls"));
    }
    QVERIFY(!saved);
    QCOMPARE(TempWorkDir::setting(kSavePath).toString(), path("earlier.6fls"));
    QCOMPARE(fileField(-1), QString());
    QVERIFY(status().contains(QStringLiteral("не сохранён")));

    // A file that is not there changes nothing either.
    QVERIFY(!sets().load(path("missing.6fls")));
    QVERIFY(!TempWorkDir::setting(kLoadPath).isValid());
    QVERIFY(status().contains(QStringLiteral("не открыт")));
}

// A set just opened is saved as far as the close question goes, until a point changes.
void TestSetFiles::openedSetCountsAsSaved()
{
    Maps six;
    for (int i = 0; i < 18; ++i)
        six.append(MeasurementSet::Map {{qint8(i), quint32(1000 + i)}});
    QVERIFY(TempWorkDir::put(path("six.6fls"), MeasurementSet::encode(six)));
    const auto *guard = child<CloseGuard>(*window, "closeGuard");
    QVERIFY(sets().load(path("six.6fls")));
    QCOMPARE(guard->losses(), QString());
    bank().slAddMidl(3, 50, 7, Level);
    QVERIFY2(guard->losses().contains("3"), qPrintable(guard->losses()));
}

// A fresh working folder: a dialog starts there, not at home, and a save gets its extension.
void TestSetFiles::firstDialogStartsInTheWorkingFolder()
{
    Protocol *protocol = window->protocolPanel();
    answerDialog<QFileDialog>(choose("run"));
    QTest::mouseClick(child<QPushButton>(*protocol, "pbSaveAll"), Qt::LeftButton);
    QCOMPARE(start, dir->path());
    QCOMPARE(filters.size(), 1);
    QVERIFY(filters.first().endsWith("(*.6fls)"));
    QVERIFY(QFile::exists(path("run.6fls")));
    QCOMPARE(TempWorkDir::setting(kSavePath).toString(), path("run.6fls"));
}

// A cancelled dialog starts at the last file and leaves everything as it was.
void TestSetFiles::cancelledSaveChangesNothing()
{
    QVERIFY(QDir(dir->path()).mkdir("sub"));
    TempWorkDir::setSetting(kSavePath, path("sub/old.1fls"));
    const QString said = status();
    answerDialog<QFileDialog>(choose(""));
    QTest::mouseClick(child<QPushButton>(*bank().dut(2), "pbSave"), Qt::LeftButton);
    QCOMPARE(start, path("sub"));
    QVERIFY(filters.first().endsWith("(*.1fls)"));
    QCOMPARE(TempWorkDir::setting(kSavePath).toString(), path("sub/old.1fls"));
    QCOMPARE(fileField(2), QString());
    QCOMPARE(status(), said);
}

// Every open or save dialog starts where its kind of file last went or came from.
void TestSetFiles::dialogsStartWhereTheirKindLastWent()
{
    Protocol *protocol = window->protocolPanel();
    for (const char *folder : {"sets", "coefficients", "pictures"})
        QVERIFY(QDir(dir->path()).mkdir(folder));
    QVERIFY(sets().save(path("sets/a.6fls")));
    QVERIFY(bank().dut(1)->saveFileK(path("coefficients/a.k")));
    QVERIFY(child<FileMenu>(*window, "fileMenu")->savePlot(path("pictures/a.png")));
    const QList<std::pair<QPushButton *, QString>> opens {
        {child<QPushButton>(*protocol, "pbLoadAll"), "sets"},
        {child<QPushButton>(*bank().dut(3), "pbLoadFileK"), "coefficients"}};
    for (const auto &[button, folder] : opens) {
        answerDialog<QFileDialog>(choose(""));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(start, dir->filePath(folder));
    }
    answerDialog<QFileDialog>(choose(""));
    child<FileMenu>(*window, "fileMenu")->slSavePlot();
    QCOMPARE(start, path("pictures"));
}

void TestSetFiles::runComesBackFromItsLogs()
{
    BenchFixture bench;
    QVERIFY(bench.isValid());
    bench.setAddress(0, 0);
    bench.setAddress(2, 2);
    QVERIFY(bench.openPort());
    bench.pressStart();

    // Sensors 0 and 2 in turn, a few degrees around +20 °C, one of them silent once.
    const struct
    {
        qint8 temp;
        quint16 level;
    } polls[] = {{18, 3000}, {19, 3005}, {20, 3010}, {20, 3020}, {21, 3030}, {22, 0}, {23, 3050},
        {20, 3011}};
    MainWindow &window = bench.window();
    window.slotTimer();
    for (const auto &poll : polls) {
        const quint8 address = quint8(bench.sent(5).at(1));
        QVERIFY(bench.deliver(poll.level
                ? frames::veltaroAnswer(address, poll.temp, poll.level, 70000u + poll.level)
                : QByteArray()));
        window.slotTimer();
    }
    // Points set and dragged on the plot come back with the run.
    window.slAddMidl(0, 30, 4242, Level);
    window.slEditMidl(2, 0, 2999);
    bench.pressStart();
    bench.pressOpen();
    const QString polled = bench.dir().filePath("polled.6fls");
    QVERIFY(window.setFiles()->save(polled));

    // The bench closed and started again: the run read back gives the same measurement set,
    // and reading it twice adds nothing.
    MainWindow fresh;
    auto *menu = child<FileMenu>(fresh, "fileMenu");
    const QString run = bench.runDirectories().value(0);
    QVERIFY(menu->loadRun(run));
    QVERIFY(menu->loadRun(run));
    const QString status = fresh.statusBar()->currentMessage();
    QVERIFY2(status.contains("ДУТ 0: 4, ДУТ 1: 0, ДУТ 2: 3"), qPrintable(status));
    QVERIFY2(status.contains("точек: 2; пропущено строк: 1"), qPrintable(status));
    const QString loaded = bench.dir().filePath("loaded.6fls");
    QVERIFY(fresh.setFiles()->save(loaded));
    QCOMPARE(TempWorkDir::contents(loaded).toHex(), TempWorkDir::contents(polled).toHex());
    // Only the points set on the plot come back as points: a reading taken on moves the mid
    // value of its degree as it did in the run.
    Dut *first = fresh.sensorBank()->dut(0);
    const Dut::MidlMap before = *first->getMidl(Level);
    QVERIFY(!before.isEmpty());
    first->addReading(frames::reading(before.firstKey(), quint16(before.first() + 100)));
    QCOMPARE(first->getMidl(Level)->value(before.firstKey()), before.first() + 50);

    QVERIFY(!menu->loadRun(bench.dir().filePath("nothing")));
    QVERIFY(fresh.statusBar()->currentMessage().contains("нет журналов"));
}

void TestSetFiles::runPointsComeBackForEverySensor()
{
    QFETCH(quint8, nomDut);
    QVERIFY(QDir(dir->path()).mkdir("run"));
    const QDateTime at(QDate(2026, 12, 8), QTime(7, 10));
    QVERIFY(TempWorkDir::put(path("run/points.txt"),
        PointJournal::line(at, {nomDut, Period, -7, 4242})
            + PointJournal::line(at, {nomDut, Period, -7, 4343})));
    QVERIFY(child<FileMenu>(*window, "fileMenu")->loadRun(path("run")));
    for (quint8 s = 0; s < Duts::dutCount; ++s)
        QCOMPARE(
            *bank().getMidl(s, Period), s == nomDut ? (Dut::MidlMap {{-7, 4343}}) : Dut::MidlMap());
}

void TestSetFiles::closeAsksForEverySensor()
{
    QFETCH(quint8, nomDut);
    const auto *guard = child<CloseGuard>(*window, "closeGuard");
    QCOMPARE(guard->losses(), QString());
    bank().dut(nomDut)->setPoint(20, 1000, Level);
    QCOMPARE(guard->losses(),
        QStringLiteral("показания и точки ДУТ %1 не сохранены в наборе").arg(nomDut));
}

void TestSetFiles::plotPictures()
{
    window->resize(1200, 800);
    auto *menu = child<FileMenu>(*window, "fileMenu");
    const QList<QPair<QString, QByteArray>> formats
        = {{"plot.png", "\x89PNG\r\n"}, {"plot.SVG", "<svg"}, {"plot.pdf", "%PDF"}};
    for (const auto &format : formats) {
        const QString file = dir->filePath(format.first);
        QVERIFY(menu->savePlot(file));
        const QByteArray bytes = TempWorkDir::contents(file);
        QVERIFY2(bytes.startsWith(format.second) || bytes.left(400).contains(format.second),
            qPrintable(format.first));
    }
    QVERIFY(!menu->savePlot(path("plot.bmp")));
    QVERIFY(!QFile::exists(path("plot.bmp")));
    QVERIFY(status().contains(".png, .svg или .pdf"));
}

QTEST_MAIN(TestSetFiles)
#include "tst_setfiles.moc"
