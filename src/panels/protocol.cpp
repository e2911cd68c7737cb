#include "panels/protocol.h"

#include "settings/settingskeys.h"
#include "settings/storedsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

namespace {

const QString kStart = QStringLiteral("Start");
const QString kStop = QStringLiteral("Stop");

QFrame *verticalLine(const char *name, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

Protocol::Protocol(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Protocol"));
    resize(672, 39);
    setWindowTitle(QStringLiteral("Form"));

    auto *layoutGrid = new QGridLayout(this);
    layoutGrid->setObjectName(QStringLiteral("layoutGrid"));
    layoutGrid->setSpacing(2);
    layoutGrid->setContentsMargins(2, 2, 2, 2);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Raised);
    layoutGrid->addWidget(frame, 0, 0);

    auto *gridLayout_2 = new QGridLayout(frame);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout_2->setSpacing(3);
    gridLayout_2->setContentsMargins(3, 3, 3, 3);

    auto *gridLayout = new QGridLayout;
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(2);
    gridLayout_2->addLayout(gridLayout, 0, 0);

    auto *pbLoadAll = new QPushButton(QStringLiteral("Открыть все"), frame);
    pbLoadAll->setObjectName(QStringLiteral("pbLoadAll"));
    gridLayout->addWidget(pbLoadAll, 0, 0);

    auto *pbSaveAll = new QPushButton(QStringLiteral("Сохранить все"), frame);
    pbSaveAll->setObjectName(QStringLiteral("pbSaveAll"));
    gridLayout->addWidget(pbSaveAll, 0, 1);

    auto *pbClearAll = new QPushButton(QStringLiteral("Очистить все"), frame);
    pbClearAll->setObjectName(QStringLiteral("pbClearAll"));
    gridLayout->addWidget(pbClearAll, 0, 2);

    auto *lFile = new QLabel(QStringLiteral("file:"), frame);
    lFile->setObjectName(QStringLiteral("lFile"));
    gridLayout->addWidget(lFile, 0, 3);

    // Shows the last measurement-set file; nothing reads it back, so it takes no typing.
    leFileName = new QLineEdit(frame);
    leFileName->setObjectName(QStringLiteral("leFileName"));
    leFileName->setStyleSheet(
        QStringLiteral("border: 1px solid gray;background-color: rgb(200, 200, 200);"));
    leFileName->setReadOnly(true);
    gridLayout->addWidget(leFileName, 0, 4);

    pbStart = new QPushButton(kStart, frame);
    pbStart->setObjectName(QStringLiteral("pbStart"));
    gridLayout->addWidget(pbStart, 0, 5);

    cbAutoCalibration = new QCheckBox(QStringLiteral("Автокалибровка"), frame);
    cbAutoCalibration->setObjectName(QStringLiteral("cbAutoCalibration"));
    gridLayout->addWidget(cbAutoCalibration, 0, 6);

    auto *label = new QLabel(QStringLiteral("Протокол"), frame);
    label->setObjectName(QStringLiteral("label"));
    gridLayout->addWidget(label, 0, 8);

    // The index is the protocol number everywhere else; 2 is the text protocol.
    cbProtocol = new QComboBox(frame);
    cbProtocol->setObjectName(QStringLiteral("cbProtocol"));
    cbProtocol->addItems({QStringLiteral("Veltaro-MD (уровень)"), QStringLiteral("Тервал bin"),
        QStringLiteral("Тервал ASCII"), QStringLiteral("MODBUS RTU"),
        QStringLiteral("Veltaro-MD (объем)")});
    gridLayout->addWidget(cbProtocol, 0, 9);

    gridLayout->addWidget(verticalLine("line_2", frame), 0, 10);
    gridLayout->addWidget(verticalLine("line_3", frame), 0, 11);

    auto *label_2 = new QLabel(QStringLiteral("Период опроса"), frame);
    label_2->setObjectName(QStringLiteral("label_2"));
    gridLayout->addWidget(label_2, 0, 13);

    sbPeriod = new QSpinBox(frame);
    sbPeriod->setObjectName(QStringLiteral("sbPeriod"));
    sbPeriod->setRange(1, 99);
    sbPeriod->setValue(1);
    gridLayout->addWidget(sbPeriod, 0, 14);

    // Stored choices go in before the connections; the main window announces them once its
    // own connections exist.
    {
        std::optional<QSettings> own;
        const StoredSettings::Bench stored = StoredSettings::bench(settingskeys::reader(own));
        const int index = cbProtocol->findText(stored.protocol);
        if (index >= 0)
            cbProtocol->setCurrentIndex(index);
        sbPeriod->setValue(stored.period);
        cbAutoCalibration->setChecked(stored.autoCalibration);
    }

    connect(cbProtocol, qOverload<int>(&QComboBox::currentIndexChanged), this,
        &Protocol::slChangeProtocol);
    connect(sbPeriod, qOverload<int>(&QSpinBox::valueChanged), this, &Protocol::slChangePeriod);
    connect(pbStart, &QPushButton::pressed, this, &Protocol::slChangeStart);
    connect(cbAutoCalibration, &QCheckBox::toggled, this, &Protocol::slChangeAutoCalibration);
    connect(pbLoadAll, &QPushButton::pressed, this, &Protocol::slLoad);
    connect(pbSaveAll, &QPushButton::pressed, this, &Protocol::slSave);
    // On release: a question opened on press would leave the button held down under it.
    connect(pbClearAll, &QPushButton::clicked, this, &Protocol::slClear);
}

bool Protocol::isStarted() const
{
    return pbStart->text() == kStop;
}

int Protocol::currentProtocol() const
{
    return cbProtocol->currentIndex();
}

bool Protocol::isAutoCalibration() const
{
    return cbAutoCalibration->isChecked();
}

int Protocol::period() const
{
    return sbPeriod->value();
}

void Protocol::setFileName(const QString &fileName)
{
    leFileName->setText(fileName);
}

void Protocol::slChangeProtocol(int)
{
    settingskeys::store(settingskeys::protocol(), cbProtocol->currentText());
    emit changeProtocol(quint8(cbProtocol->currentIndex()));
}

void Protocol::slChangePeriod(int)
{
    settingskeys::store(settingskeys::period(), sbPeriod->value());
    emit changePeriod(sbPeriod->value());
}

void Protocol::slChangeStart()
{
    pbStart->setText(pbStart->text() != kStart ? kStart : kStop);
    emit changeStart(isStarted());
}

void Protocol::slChangeAutoCalibration(bool on)
{
    settingskeys::store(settingskeys::autoCalibration(), on);
    emit changeAutoCalibration(on);
}

void Protocol::slLoad()
{
    emit sigLoad();
}

void Protocol::slSave()
{
    emit sigSave();
}

void Protocol::setClearConfirmation(std::function<bool()> confirm)
{
    confirmClear = std::move(confirm);
}

void Protocol::slClear()
{
    if (confirmClear && !confirmClear())
        return;
    leFileName->clear();
    emit sigClear();
}
