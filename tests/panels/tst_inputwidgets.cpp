#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
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

    template<class Edit> void checkRangeEdit(int editablePosition)
    {
        Edit edit;
        auto *editable = edit.template findChild<QLineEdit *>(QStringLiteral("lineEdit"));
        auto *grey = edit.template findChild<QLineEdit *>(QStringLiteral("lineEdit_2"));
        QVERIFY(editable && grey);
        auto *layout = qobject_cast<QHBoxLayout *>(edit.layout());
        QVERIFY(layout);
        QCOMPARE(layout->indexOf(editable), editablePosition);

        QSignalSpy spy(&edit, &Edit::textChanged);
        edit.setText(QStringLiteral("-40"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("-40"));
        QCOMPARE(edit.text(), QStringLiteral("-40"));

        // Typing reaches the owner's signal as well.
        edit.show();
        QTest::keyClick(editable, Qt::Key_5);
        QCOMPARE(edit.text(), QStringLiteral("-405"));
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("-405"));

        // The grey reference takes no typing.
        QVERIFY(!grey->isEnabled());
        QTest::keyClicks(grey, QStringLiteral("99"));
        QCOMPARE(grey->text(), QStringLiteral("+20"));
        QCOMPARE(spy.count(), 2);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir::setCurrent(m_dir.path());
    }

    void rangeEdits()
    {
        checkRangeEdit<LineEditMin>(0);
        checkRangeEdit<LineEditMax>(1);
    }

    void swatchColour()
    {
        MyCheckBox box;
        box.setStyleSheet(QStringLiteral("background-color: rgb(200, 0, 0);"));
        QImage image = render(box);
        QCOMPARE(QColor(image.pixel(10, 5)), QColor(200, 0, 0));
        QCOMPARE(QColor(image.pixel(1, 1)).red(), 200);
        // The outline runs along column and row 18; column 19 is left to the background.
        QCOMPARE(qAlpha(image.pixel(19, 10)), 0);

        for (const QString &sheet :
            {QString(), QStringLiteral("background-color: rgba(1, 2, 3, 4);"),
                QStringLiteral("rgb(10, 20)")}) {
            box.setStyleSheet(sheet);
            image = render(box);
            QCOMPARE(QColor(image.pixel(10, 5)), QColor(Qt::white));
        }

        // Numbers beyond a colour channel do not turn the swatch black or invalid.
        box.setStyleSheet(QStringLiteral("background-color: rgb(300, 99999999999, 7);"));
        image = render(box);
        QCOMPARE(QColor(image.pixel(10, 5)), QColor(255, 255, 7));
    }

    void frameAndTick()
    {
        MyCheckBox box;
        QImage image = render(box);
        QCOMPARE(QColor(image.pixel(10, 0)), QColor(Qt::black));
        QCOMPARE(QColor(image.pixel(0, 10)), QColor(Qt::black));
        // Unchecked: no tick over the swatch.
        QCOMPARE(darkestNear(image, QPoint(7, 13)), 255);
        QCOMPARE(darkestNear(image, QPoint(13, 10)), 255);

        box.setChecked(true);
        box.setEnabled(false);
        image = render(box);
        for (const QPoint &p : {QPoint(10, 0), QPoint(0, 10)}) {
            const QColor frame(image.pixel(p));
            QVERIFY(qAbs(frame.red() - QColor(Qt::darkGray).red()) <= 2);
            QCOMPARE(frame.red(), frame.green());
            QCOMPARE(frame.green(), frame.blue());
        }
        // Tick from (4, 10) to (10, 16) and from (16, 4) to (10, 16).
        for (const QPoint &p :
            {QPoint(4, 10), QPoint(7, 13), QPoint(10, 16), QPoint(13, 10), QPoint(16, 4)})
            QVERIFY2(darkestNear(image, p) < 200,
                qPrintable(QStringLiteral("no tick at %1,%2").arg(p.x()).arg(p.y())));
        QCOMPARE(QColor(image.pixel(4, 16)), QColor(Qt::white));
        QCOMPARE(QColor(image.pixel(16, 16)), QColor(Qt::white));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestInputWidgets)
#include "tst_inputwidgets.moc"
