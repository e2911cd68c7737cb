#include "panels/serialedit.h"

#include "settings/settingskeys.h"

#include <optional>

namespace {

const QString kRefused = QStringLiteral("background-color: pink;");

} // namespace

SerialEdit::SerialEdit(int nomDut, QWidget *parent)
    : QLineEdit(parent)
    , nomDut(nomDut)
{
    setObjectName(QStringLiteral("leSerial"));
    setPlaceholderText(QStringLiteral("Зав. №"));
    setMaxLength(longest);
    std::optional<QSettings> own;
    accepted = settingskeys::reader(own)
                   .value(settingskeys::dutSerial(nomDut))
                   .toString()
                   .trimmed()
                   .left(longest);
    setText(accepted);
    // Enter comes first; the editingFinished that follows it then finds nothing changed.
    connect(this, &QLineEdit::returnPressed, this, [this] { emit sigEntered(this->nomDut, true); });
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (typed() != accepted)
            emit sigEntered(this->nomDut, false);
    });
}

void SerialEdit::take()
{
    accepted = typed();
    setStyleSheet(QString());
    store();
}

void SerialEdit::refuse()
{
    accepted.clear();
    setStyleSheet(kRefused);
    store();
}

void SerialEdit::clearSerial()
{
    clear();
    take();
}

void SerialEdit::store()
{
    settingskeys::store(settingskeys::dutSerial(nomDut), accepted);
}
