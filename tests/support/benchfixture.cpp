#include "support/benchfixture.h"

#include "app/mainwindow.h"
#include "panels/protocol.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "support/child.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

BenchFixture::BenchFixture()
{
    TempWorkDir::setSetting(QStringLiteral("Protocol/Period"), 99);
    m_window = std::make_unique<MainWindow>();
}

BenchFixture::~BenchFixture() = default;

Dut *BenchFixture::dut(quint8 nomDut) const
{
    return m_window->sensorBank()->dut(nomDut);
}

QObject *BenchFixture::panelObject(quint8 nomDut, const char *name) const
{
    Dut *panel = dut(nomDut);
    return panel ? panel->findChild<QObject *>(QLatin1String(name)) : nullptr;
}

QString BenchFixture::panelText(quint8 nomDut, const char *name) const
{
    auto *edit = panel<QLineEdit>(nomDut, name);
    return edit ? edit->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

void BenchFixture::setAddress(quint8 nomDut, int address)
{
    panel<QComboBox>(nomDut, "cbPort")->setCurrentIndex(address + 1);
}

void BenchFixture::setProtocol(int index)
{
    child<QComboBox>(*m_window->protocolPanel(), "cbProtocol")->setCurrentIndex(index);
}

bool BenchFixture::openPort()
{
    child<QComboBox>(*m_window->comPort(), "cbPort")->setEditText(m_line.slavePath());
    pressOpen();
    return m_window->comPort()->isOpen();
}

void BenchFixture::pressOpen()
{
    QTest::mouseClick(child<QPushButton>(*m_window->comPort(), "pbOpen"), Qt::LeftButton);
}

void BenchFixture::pressStart()
{
    QTest::mouseClick(child<QPushButton>(*m_window->protocolPanel(), "pbStart"), Qt::LeftButton);
}

void BenchFixture::tick()
{
    m_window->slotTimer();
    m_window->slotTimerK();
}

QByteArray BenchFixture::sent(int count, int timeoutMs)
{
    // The port writes from the event loop, so keep it running while collecting.
    QByteArray bytes;
    // A short count shows in the comparison that follows.
    static_cast<void>(QTest::qWaitFor(
        [&] {
            bytes += m_line.read();
            return bytes.size() >= count;
        },
        timeoutMs));
    return bytes;
}

bool BenchFixture::deliver(const QByteArray &answer)
{
    if (answer.isEmpty())
        return true;
    return m_line.write(answer)
        && QTest::qWaitFor([&] { return m_window->receivedBytes() == answer; }, 5000);
}

QStringList BenchFixture::runDirectories() const
{
    return QDir(m_dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QList<QStringList> BenchFixture::sensorLines(const QString &path)
{
    QList<QStringList> lines;
    const QString text = QString::fromUtf8(TempWorkDir::contents(path));
    for (const QString &line : text.split("\r\n", Qt::SkipEmptyParts)) {
        const QStringList words = line.split(' ', Qt::SkipEmptyParts);
        const bool timed = QDateTime::fromString(words.mid(0, 5).join(' '), Qt::TextDate).isValid();
        lines.append(timed ? words.mid(5) : QStringList {"<bad time>"});
    }
    return lines;
}
