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
        box.setEnabled(false);
        QVERIFY(qAbs(QColor(render(box).pixel(10, 0)).red() - QColor(Qt::darkGray).red()) <= 2);
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
