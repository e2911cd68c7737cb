#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"
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

    // Antialiasing spreads a one-pixel line over its neighbours: look around the point.
    static int darkestNear(const QImage &image, QPoint p)
    {
        int darkest = 255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                darkest = qMin(darkest, qRed(image.pixel(p + QPoint(dx, dy))));
        return darkest;
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

    void frameAndTick()
    {
        MyCheckBox box;
        QImage image = render(box);
        QCOMPARE(QColor(image.pixel(10, 0)), QColor(Qt::black));
        QCOMPARE(darkestNear(image, QPoint(7, 13)), 255);

        box.setChecked(true);
        box.setEnabled(false);
        image = render(box);
        for (const QPoint &p : {QPoint(10, 0), QPoint(0, 10)})
            QVERIFY(qAbs(QColor(image.pixel(p)).red() - QColor(Qt::darkGray).red()) <= 2);
        // Tick from (4, 10) to (10, 16) and from (16, 4) to (10, 16).
        for (const QPoint &p :
            {QPoint(4, 10), QPoint(7, 13), QPoint(10, 16), QPoint(13, 10), QPoint(16, 4)})
            QVERIFY2(darkestNear(image, p) < 200,
                qPrintable(QStringLiteral("no tick at %1,%2").arg(p.x()).arg(p.y())));
        QCOMPARE(darkestNear(image, QPoint(4, 15)), 255);
        QCOMPARE(darkestNear(image, QPoint(15, 14)), 255);
    }

    // Typing takes whole degrees within -90..+100 only; the grey "+20" takes nothing.
    void rangeEditsTakeDegrees()
    {
        LineEditMin min;
        LineEditMax max;
        for (const auto &[typed, kept] : {std::pair {"200", "20"}, {"-95", "-9"}, {"abc", ""},
                 {"99999999999", "99"}, {"1.5", "15"}, {"-90", "-90"}, {"+100", "+100"}}) {
            for (QLineEdit *edit :
                {min.findChild<QLineEdit *>("lineEdit"), max.findChild<QLineEdit *>("lineEdit")}) {
                edit->clear();
                QTest::keyClicks(edit, QLatin1String(typed));
                QCOMPARE(edit->text(), QLatin1String(kept));
            }
        }
        auto *fixed = max.findChild<QLineEdit *>("lineEdit_2");
        QTest::keyClicks(fixed, "5");
        QCOMPARE(fixed->text(), QStringLiteral("+20"));
    }

private:
    TempWorkDir m_dir; // the working directory, should a widget touch "settings.ini"
};

QTEST_MAIN(TestInputWidgets)
#include "tst_inputwidgets.moc"
