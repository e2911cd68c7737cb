// The sensor panel's coefficient column: the fit copied for writing, the checks before a write,
// the exchange's progress on the buttons and the coefficient files.
#include "sensors/dut.h"

#include "protocol/request.h"
#include "sensors/coefficientfile.h"
#include "settings/dialogstart.h"
#include "settings/settingskeys.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace keys = settingskeys;

void Dut::slCalc2Save()
{
    for (int i = 0; i < 6; ++i)
        leReadK[i]->setText(leK[i]->text());
}

void Dut::slUpdateK()
{
    for (int i = 0; i < 6; ++i)
        kCurve[i] = CoefficientWrite::valueOr0(leReadK[i]->text());
    emit sigUpdateK(nomDut, kCurve);
}

bool Dut::writeColumn(CoefficientWrite::Values &values)
{
    const QString topic = QStringLiteral("dut%1.writeK").arg(nomDut);
    for (int i = 0; i < 6; ++i) {
        const QString refusal = CoefficientWrite::refusal(leReadK[i]->text(), &values[i]);
        if (!refusal.isEmpty()) {
            emit sigStatus(QStringLiteral("ДУТ %1: K%2 = \"%3\" %4, запись К не начата")
                               .arg(nomDut)
                               .arg(i)
                               .arg(leReadK[i]->text(), refusal),
                topic);
            return false;
        }
    }
    emit sigStatus(QString(), topic);
    return true;
}

void Dut::slStartSaveK()
{
    CoefficientWrite::Values values {};
    if (writeColumn(values))
        startWrite(values);
}

void Dut::startWrite(const CoefficientWrite::Values &values)
{
    std::copy(values.begin(), values.end(), kValues);
    request->slStartSaveK();
}

void Dut::slStartReadK()
{
    request->slStartReadK();
}

void Dut::slUpdateLableK(quint8 nomK)
{
    pbSaveK->setText(
        nomK ? QStringLiteral("Зап. K%1...").arg(nomK - 1) : QStringLiteral("Запись К"));
}

void Dut::slUpdateReadK(quint8 nomK)
{
    pbReadK->setText(
        nomK ? QStringLiteral("Счит. K%1...").arg(nomK - 1) : QStringLiteral("Чтен. К"));
}

void Dut::slUpdateReadK(quint8 nomK, float value)
{
    slUpdateReadK(nomK);
    if (nomK < 6)
        leReadK[nomK]->setText(QString::number(value, 'g', 6));
}

namespace {

const QString kFileCaption = QStringLiteral("select files");
const QString kFileFilter = QStringLiteral("Коэффициенты (*.k)");

} // namespace

void Dut::slSaveFileK()
{
    QFileDialog dialog(this, kFileCaption, DialogStart::of(keys::saveKPath()), kFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("k"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveFileK(dialog.selectedFiles().constFirst());
}

void Dut::slLoadFileK()
{
    const QString path = QFileDialog::getOpenFileName(
        this, kFileCaption, DialogStart::of(keys::loadKPath()), kFileFilter);
    if (!path.isEmpty())
        loadFileK(path);
}

bool Dut::saveFileK(const QString &path)
{
    if (path.isEmpty())
        return false;
    QStringList texts;
    for (const QLineEdit *edit : leReadK)
        texts.append(edit->text());
    QString error;
    const QString topic = QStringLiteral("dut%1.fileK").arg(nomDut);
    if (!CoefficientFile::write(path, texts, &error)) {
        emit sigStatus(QStringLiteral("ДУТ %1: коэффициенты не сохранены в %2: %3")
                           .arg(nomDut)
                           .arg(QDir::toNativeSeparators(path), error),
            topic);
        return false;
    }
    // Both coefficient dialogs start where a file was last saved or opened.
    keys::store(keys::saveKPath(), path);
    keys::store(keys::loadKPath(), path);
    emit sigStatus(QStringLiteral("ДУТ %1: K0…K5 столбца записи сохранены в %2")
                       .arg(nomDut)
                       .arg(QDir::toNativeSeparators(path)),
        topic);
    return true;
}

bool Dut::loadFileK(const QString &path)
{
    const QString topic = QStringLiteral("dut%1.fileK").arg(nomDut);
    const QString where = QDir::toNativeSeparators(path);
    QStringList texts;
    QString error;
    if (path.isEmpty() || !CoefficientFile::read(path, &texts, &error)) {
        emit sigStatus(QStringLiteral("ДУТ %1: файл коэффициентов %2 не открыт: %3")
                           .arg(nomDut)
                           .arg(where, error),
            topic);
        return false;
    }
    // A file that is no coefficient file, or was spoiled, must not put its bytes into the
    // column that "Запись К" sends: the column keeps its values.
    for (int i = 0; i < 6; ++i) {
        double value = 0;
        const QString refusal = CoefficientWrite::refusal(texts.value(i), &value);
        if (!refusal.isEmpty()) {
            emit sigStatus(QStringLiteral("ДУТ %1: файл коэффициентов %2 не открыт: K%3 %4, "
                                          "столбец записи не изменён")
                               .arg(QString::number(nomDut), where, QString::number(i), refusal),
                topic);
            return false;
        }
    }
    keys::store(keys::loadKPath(), path);
    keys::store(keys::saveKPath(), path);
    for (int i = 0; i < 6; ++i)
        leReadK[i]->setText(texts.value(i));
    emit sigStatus(
        QStringLiteral("ДУТ %1: K0…K5 открыты из %2 в столбец записи").arg(nomDut).arg(where),
        topic);
    return true;
}

bool Dut::hasCoefficients() const
{
    auto shows = [](const QLineEdit *edit) { return edit->text() != QLatin1String("0"); };
    return std::any_of(leK.begin(), leK.end(), shows)
        || std::any_of(leReadK.begin(), leReadK.end(), shows);
}
