#include "app/labelsheet.h"
#include "support/tempworkdir.h"

#include <QtTest>

#include <QGuiApplication>
#include <QProcess>

namespace {

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QByteArrayLiteral("<failed>") + process.readAllStandardError();
    return process.readAllStandardOutput();
}

} // namespace

class TestLabelSheet : public QObject
{
    Q_OBJECT

private slots:
    // Each label's page, rendered as a label printer would and read by an independent Data
    // Matrix decoder, gives back the serial number and the run.
    void codesDecodeBack()
    {
        TempWorkDir dir;
        const QVector<LabelSheet::Label> labels {
            {"DT-000123", true, QDate(2026, 12, 8), "ST1-20261208-0007",
                "1b4e28ba-2fa1-11d2-883f-0016d3cca427"},
            {"7731-55/ab", false, QDate(2026, 12, 8), "ST1-20261208-0008",
                "6fa459ea-ee8a-3ca4-894e-db77e160355e"},
        };
        QVERIFY(TempWorkDir::put(dir.filePath("labels.pdf"), LabelSheet::render(labels)));
        // 58 × 40 mm, which the PDF keeps in whole points.
        QVERIFY(run("pdfinfo", {dir.filePath("labels.pdf")}).contains("164 x 113 pts"));
        QVERIFY(run("pdftotext", {dir.filePath("labels.pdf"), "-"}).contains("НЕ ГОДЕН"));

        run("pdftoppm", {"-r", "300", "-png", dir.filePath("labels.pdf"), dir.filePath("page")});
        for (int page = 0; page < labels.size(); ++page) {
            const QString image = dir.filePath(QStringLiteral("page-%1.png").arg(page + 1));
            QCOMPARE(
                run("dmtxread", {"-N1", "-m", "10000", image}), LabelSheet::codeText(labels[page]));
        }
        QVERIFY(LabelSheet::render({}).isEmpty());
    }
};

QTEST_MAIN(TestLabelSheet)
#include "tst_labelsheet.moc"
