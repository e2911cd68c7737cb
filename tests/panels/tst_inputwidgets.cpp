#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"
#include "panels/protocol.h"
#include "support/tempworkdir.h"

#include <QLineEdit>
#include <QtTest>

class TestInputWidgets : public QObject
{
    Q_OBJECT

    static QImage render(MyCheckBox &box)
    {
        box.resize(20, 20);
        QImage image(20, 20, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        box.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // Pixels of the inside of the box, off its frame, darker than mid-grey.
    static int darkInside(const QImage &image)
    {
        int dark = 0;
        for (int y = 2; y < 17; ++y)
            for (int x = 2; x < 17; ++x)
                dark += qRed(image.pixel(x, y)) < 128;
        return dark;
    }

private slots:
    void swatchColour()
    {
        MyCheckBox box;
        box.setStyleSheet(QStringLiteral("background-color: rgb(200, 0, 0);"));
        QCOMPARE(QColor(render(box).pixel(10, 5)), QColor(200, 0, 0));

        for (const char *sheet : {"", "background-color: rgba(1, 2, 3, 4);", "rgb(10, 20)"}) {
            box.setStyleSheet(QLatin1String(sheet));
            QCOMPARE(QColor(render(box).pixel(10, 5)), QColor(Qt::white));
        }

        // Numbers beyond a colour channel do not turn the swatch black or invalid.
        box.setStyleSheet(QStringLiteral("background-color: rgb(300, 99999999999, 7);"));
        QCOMPARE(QColor(render(box).pixel(10, 5)), QColor(255, 255, 7));
    }

    // The tick shows when checked, wherever it is drawn; a disabled box has a grey frame.
    void frameAndTick()
    {
        MyCheckBox box;
        QCOMPARE(QColor(render(box).pixel(10, 0)), QColor(Qt::black));
        QCOMPARE(darkInside(render(box)), 0);
        box.setChecked(true);
        QVERIFY(darkInside(render(box)) > 0);
        // On a black swatch the tick is drawn light.
        box.setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
        QVERIFY(darkInside(render(box)) < 15 * 15);
        box.setEnabled(false);
        QVERIFY(qAbs(QColor(render(box).pixel(10, 0)).red() - QColor(Qt::darkGray).red()) <= 2);
    }

    // Typing keeps signs and up to four digits as typed; a pair is accepted only when both
    // ends lie within -90..+100 and in order, and a refused end is marked and keeps the bound.
    void rangeEditsRefuseVisibly()
    {
        LineEditMin min;
        LineEditMax max;
        auto *typed = min.findChild<QLineEdit *>("lineEdit");
        for (const auto &[keys, kept] :
            {std::pair {"abc", ""}, {"1.5", "15"}, {"99999999999", "9999"}, {"-100", "-100"}}) {
            typed->clear();
            QTest::keyClicks(typed, QLatin1String(keys));
            QCOMPARE(typed->text(), QLatin1String(kept));
        }
        RangeEdit::setPair(min, max, QStringLiteral("-30"), QStringLiteral("70"));
        for (const auto &[low, up, refused] :
            {std::tuple {"-100", "70", "нижняя граница \"-100\""}, {"-30", "101", "верхняя"},
                {"60", "30", "нижняя граница 60 выше верхней 30"}, {"-", "70", "нижняя"}}) {
            min.setText(QLatin1String(low));
            max.setText(QLatin1String(up));
            const QString why = RangeEdit::settle(min, max);
            QVERIFY2(why.contains(QString::fromUtf8(refused)) && why.contains("остаётся -30...70"),
                qPrintable(why));
            QCOMPARE(std::pair(min.bound(), max.bound()), std::pair(-30, 70));
            QVERIFY(!typed->styleSheet().isEmpty() || QLatin1String(up) == QLatin1String("101"));
        }
        min.setText(QStringLiteral("-90"));
        max.setText(QStringLiteral("+100"));
        QCOMPARE(RangeEdit::settle(min, max), QString());
        QCOMPARE(std::pair(min.bound(), max.bound()), std::pair(-90, 100));
        QVERIFY(typed->styleSheet().isEmpty());

        // A stored pair out of order reads as the defaults.
        RangeEdit::setPair(min, max, QStringLiteral("60"), QStringLiteral("30"));
        QCOMPARE(std::pair(min.bound(), max.bound()), std::pair(-40, 80));

        auto *fixed = max.findChild<QLineEdit *>("lineEdit_2");
        QTest::keyClicks(fixed, "5");
        QCOMPARE(fixed->text(), QStringLiteral("+20"));
    }

    // "Автокалибровка" comes back checked only when the file plainly says so.
    void autoCalibrationSwitch()
    {
        for (const auto &[stored, on] : {std::pair {"yes", false}, {"true", true}, {"1", true}}) {
            TempWorkDir::setSetting("Protocol/AutoCalibration", QString::fromLatin1(stored));
            QCOMPARE(Protocol().isAutoCalibration(), on);
        }
    }

private:
    TempWorkDir m_dir; // the working directory, should a widget touch "settings.ini"
};

QTEST_MAIN(TestInputWidgets)
#include "tst_inputwidgets.moc"
