#include "app/mainwindow.h"
#include "plot/plot.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QtTest>

#include <optional>

// The window on the screens operators have: nothing beyond the window's edge, no caption cut,
// the bank scrolling sideways where six panels do not fit and the plot getting the height.
class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    // What Qt gives a program under X without a desktop's settings; the offscreen platform
    // would use 12 points.
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }
    // Every case on both screens, the window shown wide first, as a window that is then moved
    // to a smaller screen.
    void initTestCase_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("bankScrolls");
        QTest::newRow("1366x768") << QSize(1366, 768) << true;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << false;
    }
    void init()
    {
        QFETCH_GLOBAL(QSize, screen);
        QVERIFY(dir.emplace().isValid());
        shown.emplace();
        shown->resize(1920, 1080);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*shown));
        shown->resize(screen);
        QCoreApplication::processEvents();
    }
    void cleanup() { shown.reset(), dir.reset(); }

    // The window takes the screen; the bank scrolls sideways only where six panels do not fit,
    // never up and down, and the plot gets the height.
    void bankFitsTheScreen()
    {
        QFETCH_GLOBAL(QSize, screen);
        QFETCH_GLOBAL(bool, bankScrolls);
        MainWindow &window = *shown;
        QVERIFY(window.minimumSizeHint().width() <= screen.width());
        QVERIFY(window.minimumSizeHint().height() <= screen.height());
        QCOMPARE(window.size(), screen);
        auto *area = window.findChild<QScrollArea *>(QStringLiteral("bankArea"));
        QVERIFY(area);
        QCOMPARE(area->horizontalScrollBar()->isVisible(), bankScrolls);
        QTRY_VERIFY(!area->verticalScrollBar()->isVisible());
        QVERIFY(area->widget()->width() >= area->widget()->minimumSizeHint().width());
        if (!bankScrolls)
            QVERIFY(window.plot()->height() >= screen.height() / 2);
        // The splitter pulled up as far as it goes keeps the panels' lower rows in sight.
        auto *splitter = window.findChild<QSplitter *>(QStringLiteral("bankPlotSplitter"));
        splitter->setSizes({0, splitter->height()});
        QCoreApplication::processEvents();
        QVERIFY(!area->verticalScrollBar()->isVisible());
        QVERIFY(area->viewport()->height() >= area->widget()->minimumSizeHint().height());
    }

    // Every control outside the bank lies within the window; none has its text cut.
    void controlsInsideAndUncut()
    {
        MainWindow &window = *shown;
        auto *area = window.findChild<QScrollArea *>(QStringLiteral("bankArea"));
        const QRect inside = window.rect();
        for (QWidget *control : window.findChildren<QWidget *>()) {
            if (!control->isVisible() || control->isAncestorOf(area) || area->isAncestorOf(control)
                || (!qobject_cast<QPushButton *>(control) && !qobject_cast<QComboBox *>(control)))
                continue;
            const QRect at(control->mapTo(&window, QPoint()), control->size());
            QVERIFY2(inside.contains(at), qPrintable(control->objectName()));
        }
        for (auto *button : window.findChildren<QPushButton *>()) {
            const int text = button->fontMetrics().horizontalAdvance(button->text());
            QVERIFY2(
                text + (button->isFlat() ? 0 : 4) <= button->width(), qPrintable(button->text()));
        }
        const int arrow = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        for (auto *box : window.findChildren<QComboBox *>(QStringLiteral("cbTypePolinom"))) {
            for (int i = 0; i < box->count(); ++i) {
                const int text = box->fontMetrics().horizontalAdvance(box->itemText(i));
                QVERIFY2(text + arrow <= box->width(), qPrintable(box->itemText(i)));
            }
        }
    }

    // A long message in the status bar is not cut by the chamber's label, which gives way.
    void longMessageNotCutByTheChamber()
    {
        auto *bar = shown->statusBar();
        auto *chamber = bar->findChild<QLabel *>(QStringLiteral("lChamber"));
        chamber->setText(QStringLiteral("Камера: 20.0 °C, +0.50 °C/мин, осталось ≈ 1 ч 05 мин"));
        QString message;
        while (bar->fontMetrics().horizontalAdvance(message)
            < bar->width() - chamber->sizeHint().width() / 2)
            message += QLatin1Char('x');
        bar->showMessage(message);
        QTRY_VERIFY(bar->fontMetrics().horizontalAdvance(message) < chamber->x());
        QVERIFY(chamber->isVisible() && chamber->width() > 0);
        bar->showMessage(QString(400, QLatin1Char('x')));
        QTRY_COMPARE(bar->toolTip(), bar->currentMessage());
    }

private:
    std::optional<TempWorkDir> dir;
    std::optional<MainWindow> shown;
};

QTEST_MAIN(TestWindowFit)
#include "tst_windowfit.moc"
