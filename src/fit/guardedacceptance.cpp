#include "fit/guardedacceptance.h"

#include <cmath>

namespace {

QString percent(double value)
{
    return QString::number(value, 'f', 3);
}

} // namespace

GuardedAcceptance::Decision GuardedAcceptance::decide(const QMap<int, double> &residualPercent,
    const QMap<int, double> &expandedPercent, double tolerancePercent, bool writeVerified)
{
    Decision decision;
    if (residualPercent.isEmpty()) {
        decision.reason = QStringLiteral("нет ни одного градуса с данными в диапазоне");
        return decision;
    }
    bool first = true;
    for (auto it = residualPercent.cbegin(); it != residualPercent.cend(); ++it) {
        const auto u = expandedPercent.constFind(it.key());
        if (u == expandedPercent.cend() || !std::isfinite(u.value()) || u.value() < 0
            || !std::isfinite(it.value())) {
            decision.worstDegree = it.key();
            decision.worstMargin = qInf();
            decision.reason = QStringLiteral("при %1 °C неопределённость не оценена").arg(it.key());
            return decision;
        }
        const double margin = std::abs(it.value()) + u.value();
        if (first || margin > decision.worstMargin) {
            decision.worstDegree = it.key();
            decision.worstMargin = margin;
            first = false;
        }
    }
    if (!(decision.worstMargin <= tolerancePercent)) {
        decision.reason = QStringLiteral("при %1 °C |отклонение| + U = %2 % больше допуска %3 %")
                              .arg(decision.worstDegree)
                              .arg(percent(decision.worstMargin), percent(tolerancePercent));
        return decision;
    }
    if (!writeVerified) {
        decision.reason = QStringLiteral("запись коэффициентов не подтверждена чтением из датчика");
        return decision;
    }
    decision.pass = true;
    return decision;
}

QString GuardedAcceptance::ruleText(double tolerancePercent)
{
    return QStringLiteral(
        "Правило решения (защищённая приёмка): датчик соответствует, если при каждом градусе "
        "диапазона, для которого есть данные, модуль остаточного отклонения после коррекции "
        "плюс расширенная неопределённость U (k = 2) не превышает допуска %1 % от значения при "
        "+20 °C, и записанные коэффициенты совпали с прочитанными из датчика. Иначе датчик не "
        "соответствует.")
        .arg(percent(tolerancePercent));
}
