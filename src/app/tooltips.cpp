#include "app/tooltips.h"

#include "panels/protocol.h"
#include "sensors/dut.h"
#include "serial/comport.h"

#include <QLabel>
#include <QWidget>

#include <utility>

namespace {

using Tips = std::initializer_list<std::pair<const char *, const char *>>;

const Tips kPanel {
    {"cbAll", "Показывать кривые этого ДУТ на графике"},
    {"cbValue", "Данн.: все показания по градусам. Правая кнопка мыши: цвет кривой"},
    {"cbMidl", "Сред.: среднее по каждому градусу и точки калибровки. Правая кнопка мыши: цвет"},
    {"cbDelta",
        "Откл.: отклонение от значения при +20 °C, % (правая ось). Правая кнопка мыши: "
        "цвет"},
    {"cbTrend", "Тренд: подобранный полином по температуре. Правая кнопка мыши: цвет"},
    {"cbK",
        "Тр. К: кривая по K0…K5 столбца записи, % от значения при +20 °C (правая ось). "
        "Правая кнопка мыши: цвет"},
    {"leFileName", "Файл набора измерений этого ДУТ, последний сохранённый или открытый"},
    {"leSerial", "Заводской номер датчика (сканер или ввод, затем Enter: к следующему ДУТ)"},
    {"lName", "Номер ДУТ на стенде"},
    {"cbPort", "Адрес ДУТ на линии, 0…254; «off» — не опрашивать"},
    {"leTypeData", "Уровень последнего ответа, отсчёты датчика"},
    {"leLevel", "Уровень последнего ответа, отсчёты датчика"},
    {"leFreq", "Частота последнего ответа, отсчёты датчика"},
    {"lePeriod", "Период последнего ответа, отсчёты датчика"},
    {"leTemperat", "Температура последнего ответа, °C"},
    // leErr's tip is the panel's health, kept up to date by PanelHealth.
    {"lineEdit", "Объём: датчик его не сообщает, поле не заполняется"},
    {"lineEdit_2", "Статус: датчик его не сообщает, поле не заполняется"},
    {"pbCalc2Save", "Скопировать подобранные K0…K5 в столбец записи"},
    {"cbTypePolinom", "Вид данных для кривых и подбора полинома"},
    {"sbNomPolinom", "Степень подбираемого полинома по температуре, 1…5"},
    {"leMin", "Нижняя граница статистики, °C (не ниже -90): холодное окно — от неё до +20 °C"},
    {"leMax", "Верхняя граница статистики, °C (не выше +100): тёплое окно — от +20 °C до неё"},
    {"leDiap", "Диапазон статистики, °C: нижняя...верхняя граница"},
    {"leDeltaMinusPlus", "Холодное окно: наибольшее отклонение вверх от значения у +20 °C, %"},
    {"leDeltaMinusMinus",
        "Холодное окно: наибольшее отклонение вниз от значения у +20 °C, "
        "% (по модулю)"},
    {"leDeltaPlusPlus", "Тёплое окно: наибольшее отклонение вверх от значения у +20 °C, %"},
    {"leDeltaPlusMinus",
        "Тёплое окно: наибольшее отклонение вниз от значения у +20 °C, "
        "% (по модулю)"},
    {"leDeltaPlus", "Откл+: большее из отклонений вверх обоих окон, %"},
    {"leDeltaMinus", "Откл-: большее по модулю из отклонений вниз обоих окон, %"},
    {"pbReadK", "Прочитать K0…K5 из датчика в столбец записи (порт открыт, опрос остановлен)"},
    {"pbSaveK", "Записать K0…K5 столбца записи в датчик (порт открыт, опрос остановлен)"},
    {"pbLoadFileK", "Открыть файл коэффициентов (.k) в столбец записи"},
    {"pbSaveFileK", "Сохранить столбец записи в файл коэффициентов (.k)"},
    {"pbLoad", "Открыть набор измерений этого ДУТ (.1fls) как точки калибровки"},
    {"pbSave", "Сохранить средние по градусам этого ДУТ в набор измерений (.1fls)"},
    {"pbClear", "Удалить показания, точки и коэффициенты этого ДУТ (после вопроса)"},
};

// The captions of the rows whose fields are otherwise guessed at.
const Tips kPanelCaptions {
    {"Откл+", "Наибольшие отклонения вверх: холодное окно, тёплое окно, большее из них, %"},
    {"Откл-", "Наибольшие отклонения вниз: холодное окно, тёплое окно, большее из них, %"},
    {"%", "Слева холодное окно (нижняя граница…+20 °C), справа тёплое (+20 °C…верхняя), %"},
    {"Объем", "Объём: датчик его не сообщает, поле не заполняется"},
    {"Статус", "Статус: датчик его не сообщает, поле не заполняется"},
    {"Err:", "Плохих ответов с последней очистки"},
    {"Диап.", "Диапазон статистики отклонений, °C; «+20» — опорная температура"},
};

const Tips kProtocol {
    {"pbLoadAll", "Открыть набор измерений всех ДУТ (.6fls) как точки калибровки"},
    {"pbSaveAll", "Сохранить средние по градусам всех ДУТ в набор измерений (.6fls)"},
    {"pbClearAll", "Удалить показания, точки и коэффициенты всех ДУТ (после вопроса)"},
    {"leFileName", "Файл набора измерений всех ДУТ, последний сохранённый или открытый"},
    {"pbStart", "Начать или остановить опрос датчиков"},
    {"cbProtocol", "Протокол обмена с датчиками"},
    {"sbPeriod", "Период опроса, с (1…99)"},
};

const Tips kPort {
    {"cbPort", "Последовательный порт стенда"},
    {"cbSpeed", "Скорость порта, бит/с"},
    {"pbOpen", "Открыть или закрыть порт"},
};

void byName(QWidget *owner, const Tips &tips)
{
    for (const auto &[name, tip] : tips)
        if (auto *widget = owner->findChild<QWidget *>(QLatin1String(name)))
            widget->setToolTip(QString::fromUtf8(tip));
}

} // namespace

void ToolTips::apply(QWidget *window)
{
    for (Dut *panel : window->findChildren<Dut *>()) {
        byName(panel, kPanel);
        for (int i = 0; i < 6; ++i) {
            if (auto *fit = panel->findChild<QWidget *>(QStringLiteral("leK%1").arg(i)))
                fit->setToolTip(QStringLiteral("K%1 подобранного полинома: множитель при T^%1 "
                                               "(T в °C) в отношении к значению при +20 °C")
                                    .arg(i));
            if (auto *write = panel->findChild<QWidget *>(QStringLiteral("leReadK%1").arg(i)))
                write->setToolTip(QStringLiteral("K%1 для записи в датчик или прочитанный из "
                                                 "него; рисуется как «Тр. К», хранится в .k")
                                      .arg(i));
        }
        for (QLabel *label : panel->findChildren<QLabel *>())
            for (const auto &[text, tip] : kPanelCaptions)
                if (label->text() == QString::fromUtf8(text) && label->toolTip().isEmpty())
                    label->setToolTip(QString::fromUtf8(tip));
    }
    if (auto *protocol = window->findChild<Protocol *>())
        byName(protocol, kProtocol);
    if (auto *port = window->findChild<ComPort *>())
        byName(port, kPort);
}
