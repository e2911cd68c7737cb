#include "app/runprogress.h"

#include "app/statuslabel.h"
#include "plot/plot.h"
#include "sensors/duts.h"

#include <QLabel>
#include <QPen>
#include <QStatusBar>
#include <QStringList>
#include <qwt_plot_marker.h>
#include <qwt_text.h>

#include <cmath>

namespace {

const QString kNone = QStringLiteral("—");

QString duration(double minutes)
{
    if (minutes < 1)
        return QStringLiteral("< 1 мин");
    const qint64 whole = qRound64(minutes);
    if (whole < 60)
        return QStringLiteral("%1 мин").arg(whole);
    return QStringLiteral("%1 ч %2 мин").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

RunProgress::RunProgress(const Duts &bank, Plot *plot, QStatusBar *bar)
    : QObject(bar)
    , bank(bank)
    , plot(plot)
{
    label = new StatusLabel(bar);
    label->setObjectName(QStringLiteral("lChamber"));
    label->setToolTip(QStringLiteral(
        "Температура камеры — медиана последних показаний опрашиваемых ДУТ; скорость — по\n"
        "последним 5 мин, после разворота камеры — только с разворота.\n"
        "Время — до самого дальнего градуса по ходу камеры, которого ещё нет в диапазоне\n"
        "\"Диап.\" опрашиваемых ДУТ, при нынешней скорости; недостающие градусы позади\n"
        "камеры набираются на обратном ходе."));
    bar->addPermanentWidget(label);
    label->setText(text());

    marker = new QwtPlotMarker(QStringLiteral("Камера"));
    marker->setLineStyle(QwtPlotMarker::VLine);
    marker->setLinePen(QPen(QColor(230, 120, 0), 0.0, Qt::DashDotLine));
    marker->setLabel(QwtText(QStringLiteral("камера")));
    marker->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    marker->setVisible(false);
    marker->attach(plot);
    clock.start();
}

void RunProgress::take(const DutInfo &info)
{
    take(info, clock.elapsed());
}

void RunProgress::take(const DutInfo &info, qint64 ms)
{
    if (!info.valid)
        return;
    trend.add(ms, info.nomDut, info.temp);
    show();
}

void RunProgress::setPolling(bool started)
{
    polling = started;
    label->setText(text());
}

QString RunProgress::text() const
{
    if (!trend.hasTemperature())
        return QStringLiteral("Камера: нет показаний");
    const QString temperature = QStringLiteral("Камера: %1 °C").arg(trend.temperature(), 0, 'f', 1);
    if (!polling)
        return temperature + QStringLiteral(", опрос остановлен");
    if (!trend.hasRate())
        return temperature + QStringLiteral(", скорость %1, осталось %1").arg(kNone);

    QVector<Coverage::Run> missing;
    for (quint8 n = 0; n < Duts::dutCount; ++n) {
        const Dut *dut = bank.dut(n);
        if (dut && dut->isPolled())
            missing += dut->coverage().missing();
    }
    QString left;
    if (missing.isEmpty()) {
        left = QStringLiteral("диапазоны пройдены");
    } else {
        // What lies ahead at this rate; what lies behind waits for the chamber to come back,
        // an end no rate can promise.
        const ChamberTrend::Estimate estimate = trend.estimate(missing);
        QStringList parts;
        if (estimate.valid)
            parts << QStringLiteral("до %1 °C ≈ %2")
                         .arg(estimate.target)
                         .arg(duration(estimate.minutes));
        if (!estimate.behind.isEmpty())
            parts << QStringLiteral("%1%2 на обратном ходе")
                         .arg(estimate.valid ? QStringLiteral("затем ") : QString(),
                             Coverage::runsText(estimate.behind));
        left = parts.isEmpty() ? QStringLiteral("осталось %1").arg(kNone)
                               : parts.join(QStringLiteral(", "));
    }
    const QString rate = trend.isStill()
        ? QStringLiteral("стоит")
        : QStringLiteral("%1%2 °C/мин")
              .arg(trend.ratePerMinute() > 0 ? QStringLiteral("+") : QString())
              .arg(trend.ratePerMinute(), 0, 'f', 2);
    return QStringLiteral("%1, %2, %3").arg(temperature, rate, left);
}

void RunProgress::show()
{
    label->setText(text());
    marker->setXValue(trend.temperature());
    marker->setLabel(QwtText(QStringLiteral("камера %1 °C").arg(trend.temperature(), 0, 'f', 1)));
    marker->setVisible(true);
    plot->requestReplot();
}
