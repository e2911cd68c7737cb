#include "protocol/request.h"

#include "protocol/crc.h"
#include "protocol/protocolnumber.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>

namespace {

// The coefficient exchange step by step; enable with QT_LOGGING_RULES="tarikon.exchange=true".
Q_LOGGING_CATEGORY(lcExchange, "tarikon.exchange", QtWarningMsg)

constexpr uchar kCoefficientSteps = 6;
constexpr uchar kTriesPerStep = 3;

// Bytes of the Veltaro-MD family (measurement and coefficient frames).
constexpr quint8 kVeltaroRequestStart = 0x37;
constexpr quint8 kVeltaroAnswerStart = 0x39;
constexpr quint8 kCmdMeasure = 0x0A;
constexpr quint8 kCmdWriteK = 0x51;
constexpr quint8 kCmdReadK = 0x4C;

// Bytes of the Тервал binary family.
constexpr quint8 kTervalRequestStart = 0x31;
constexpr quint8 kTervalAnswerStart = 0x3E;
constexpr quint8 kTervalCmdMeasure = 0x06;

constexpr quint8 kModbusReadHolding = 0x03;

// Smallest answers whose fields can all be read. An answer shorter than its layout is not
// decoded even when its checksum holds.
constexpr int kMinBinaryAnswer = 6; // start, address, command, ..., checksum
constexpr int kVeltaroMeasureAnswer = 13;
constexpr int kTervalMeasureAnswer = 9;
constexpr int kReadKAnswer = 9;
constexpr int kModbusAnswer = 13;

// The text answer is at most 23 bytes long ("F=hhhh t=hh N=hhhh", any one character of up to
// four UTF-8 bytes, then "0"), and it must start at the first byte, so nothing beyond this
// prefix can change the result. Keeps a tick cheap when the line delivers a flood of bytes.
constexpr int kTextAnswerPrefix = 32;

quint8 byteAt(const QByteArray &data, int pos)
{
    return static_cast<quint8>(data.at(pos));
}

quint16 le16(const QByteArray &data, int pos)
{
    return static_cast<quint16>(byteAt(data, pos) | byteAt(data, pos + 1) << 8);
}

quint32 le32(const QByteArray &data, int pos)
{
    return qFromLittleEndian<quint32>(data.constData() + pos);
}

QByteArray frameOf(std::initializer_list<quint8> bytes)
{
    QByteArray frame;
    frame.reserve(static_cast<int>(bytes.size()) + 2);
    for (const quint8 byte : bytes)
        frame.append(static_cast<char>(byte));
    return frame;
}

QByteArray withCrc8(QByteArray frame)
{
    frame.append(static_cast<char>(crc8(frame)));
    return frame;
}

// Тервал ASCII: "F=<freq hex4> t=<temp hex2> N=<level hex4>", any character, "0".
bool decodeText(const QByteArray &data, DutInfo &info)
{
    static const QRegularExpression pattern(
        QStringLiteral("(?:F=)([A-F0-9]{4,4}) (?:t=)([A-F0-9]{2,2}) (?:N=)([A-F0-9]{4,4})(?:.0)"));

    QByteArray head = data.left(kTextAnswerPrefix);
    const int zero = head.indexOf('\0');
    if (zero >= 0)
        head.truncate(zero);
    const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(head), 0,
        QRegularExpression::NormalMatch, QRegularExpression::AnchoredMatchOption);
    if (!match.hasMatch())
        return false;

    info.freq = static_cast<quint16>(match.capturedRef(1).toUInt(nullptr, 16));
    info.temp = static_cast<qint8>(static_cast<quint8>(match.capturedRef(2).toUInt(nullptr, 16)));
    info.level = static_cast<quint16>(match.capturedRef(3).toUInt(nullptr, 16));
    info.period = 0;
    return true;
}

// MODBUS RTU answer to the read of four holding registers; only the first 13 bytes count.
bool decodeModbus(const QByteArray &data, uchar nomPort, DutInfo &info)
{
    if (data.size() < kModbusAnswer)
        return false;
    const quint16 crc = crc16(QByteArray::fromRawData(data.constData(), 11));
    if (crc != le16(data, 11))
        return false;
    if (byteAt(data, 0) != nomPort || byteAt(data, 1) != kModbusReadHolding || byteAt(data, 2) != 8
        || byteAt(data, 3) != 0)
        return false;
    info.temp = static_cast<qint8>(byteAt(data, 4));
    info.level = qFromBigEndian<quint16>(data.constData() + 5);
    info.freq = 0;
    info.period = 0;
    return true;
}

} // namespace

Request::Request(QObject *parent, float *kValues, uchar nomDut)
    : QObject(parent)
    , kValues(kValues)
    , nomDut(nomDut)
{
    registerTarikonTypes();
    qRegisterMetaType<CoefficientWrite>();
}

void Request::setNomPort(int index)
{
    // Entry 0 is "off"; anything outside the list (a cleared list reports -1) means no address.
    const uchar port = (index >= 1 && index <= 255) ? static_cast<uchar>(index - 1) : 255;
    if (port != nomPort)
        forgetRead();
    nomPort = port;
}

void Request::forgetRead()
{
    haveLastRead = false;
}

void Request::setProtocol(uchar protocol)
{
    this->protocol = protocol;
}

void Request::setStarted(bool started)
{
    this->started = started;
    if (started && (saveK != 0 || readK != 0))
        failExchange(verifying || saveK != 0 ? QStringLiteral("запись К прервана пуском опроса")
                                             : QStringLiteral("чтение К прервано пуском опроса"));
}

void Request::slStartSaveK()
{
    // The write sends the values as they are now. The panel refits into kValues whenever its
    // data change, and a refit in the middle of a write must not mix fitted coefficients
    // into the ones the operator chose to write.
    for (int i = 0; i < kCoefficientSteps; ++i)
        writeValues[i] = kValues ? kValues[i] : 0.0f;
    // A write that had begun on the line and is now given up still goes on record.
    finishWrite(false, QStringLiteral("прервана новой записью"));
    write = CoefficientWrite();
    std::copy(std::begin(writeValues), std::end(writeValues), write.sent.begin());
    write.found = lastRead;
    write.haveFound = haveLastRead;
    writeActive = true;
    writeOnLine = false;
    verifying = false;
    saveK = kCoefficientSteps;
    attempts = kTriesPerStep;
    ++writeRun;
    // Without the values the sensor holds now, the record of the write would have nothing to
    // show as found: they are read first. A read that was under way would mix values from
    // before and after the write: it starts over, as the read of the values found or after
    // the write.
    readingFound = !haveLastRead;
    if (readingFound || readK != 0) {
        readK = kCoefficientSteps;
        ++readRun;
    }
}

void Request::slStartReadK()
{
    readK = kCoefficientSteps;
    attempts = kTriesPerStep;
    ++readRun;
}

bool Request::answersSentStep(bool write) const
{
    if (write)
        return saveK != 0 && !readingFound && sentStep == Sent::WriteStep && sentRun == writeRun;
    return readK != 0 && (saveK == 0 || readingFound) && sentStep == Sent::ReadStep
        && sentRun == readRun;
}

QByteArray Request::getRequest(uchar address)
{
    // Every frame built during an exchange uses up one try of the current step: the first
    // send, one repeat, and the third frame finds the step failed.
    if (attempts != 0) {
        --attempts;
        if (attempts == 0)
            failExchange(noAnswerReason());
    }

    if (saveK != 0 && !readingFound) {
        const QByteArray frame = saveKFrame(address);
        writeOnLine = true;
        haveLastRead = false;
        sentStep = Sent::WriteStep;
        sentRun = writeRun;
        emit updateLableK(saveK);
        return frame;
    }
    if (readK != 0) {
        const QByteArray frame = readKFrame(address);
        sentStep = Sent::ReadStep;
        sentRun = readRun;
        emit updateReadK(readK);
        return frame;
    }
    sentStep = Sent::Nothing;
    if (!started)
        return {};
    return measurementFrame(address);
}

QString Request::noAnswerReason() const
{
    // Step n of a write sends K(6 - n); step m of a read fills K(m - 1).
    if (readingFound)
        return QStringLiteral(
            "запись К не начата: нет ответа на чтение K%1 (что в датчике до записи)")
            .arg(readK - 1);
    if (saveK != 0)
        return QStringLiteral("нет подтверждения записи K%1").arg(6 - saveK);
    if (verifying)
        return QStringLiteral("запись не проверена: нет ответа на чтение K%1").arg(readK - 1);
    return QStringLiteral("чтение К: нет ответа на K%1").arg(readK - 1);
}

void Request::abandon()
{
    if (saveK == 0 && readK == 0)
        return;
    // As though the step's tries had been spent on the line: a write step with a try still to
    // spend would have sent its frame, and the write goes on record.
    if (saveK != 0 && !readingFound && attempts > 1)
        writeOnLine = true;
    sentStep = Sent::Nothing;
    failExchange(noAnswerReason());
}

QByteArray Request::measurementFrame(uchar address) const
{
    switch (protocol) {
    case VeltaroLevel:
        return withCrc8(frameOf({kVeltaroRequestStart, address, kCmdMeasure, 0x00}));
    case TervalBin:
        return withCrc8(frameOf({kTervalRequestStart, address, kTervalCmdMeasure}));
    case TervalAscii:
        return QByteArrayLiteral("DO");
    case ModbusRtu: {
        // Registers 0..3: temperature, level and two the bench does not use.
        QByteArray frame = frameOf({address, kModbusReadHolding, 0x00, 0x00, 0x00, 0x04});
        const quint16 crc = crc16(frame);
        frame.append(static_cast<char>(crc & 0xFF));
        frame.append(static_cast<char>(crc >> 8));
        return frame;
    }
    default:
        // Veltaro-MD volume and anything unknown: the bench has no request for it.
        return {};
    }
}

// Step n (saveK, 6 down to 1) writes wire index n - 1, which is kValues[6 - n] as it was
// when the write started.
QByteArray Request::saveKFrame(uchar address) const
{
    const float value = writeValues[kCoefficientSteps - saveK];
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray frame = frameOf(
        {kVeltaroRequestStart, address, kCmdWriteK, 0x05, static_cast<quint8>(saveK - 1)});
    char raw[4];
    qToLittleEndian(bits, raw);
    frame.append(raw, 4);
    return withCrc8(frame);
}

// Step m (readK, 6 down to 1) reads wire index 6 - m.
QByteArray Request::readKFrame(uchar address) const
{
    return withCrc8(frameOf({kVeltaroRequestStart, address, kCmdReadK, 0x01,
        static_cast<quint8>(kCoefficientSteps - readK)}));
}

DutInfo Request::checkAnswer(QByteArray *answer)
{
    DutInfo info;
    if (!answer)
        return info;
    const QByteArray data = *answer;

    if (decodeText(data, info)) {
        info.valid = 1;
        info.nomDut = nomDut;
        return info;
    }
    if (data.size() < kMinBinaryAnswer)
        return info;

    // A MODBUS answer starts with the address and carries 0x03 next, so it can never pass
    // the byte-protocol tests below as well.
    if (decodeModbus(data, nomPort, info)) {
        info.valid = 1;
        info.nomDut = nomDut;
        return info;
    }

    const int last = data.size() - 1;
    if (crc8(QByteArray::fromRawData(data.constData(), last)) != byteAt(data, last))
        return info;
    if (byteAt(data, 1) != nomPort)
        return info;

    const quint8 start = byteAt(data, 0);
    const quint8 command = byteAt(data, 2);
    if (start == kVeltaroAnswerStart) {
        if (command == kCmdMeasure && data.size() >= kVeltaroMeasureAnswer) {
            info.aux = byteAt(data, 4);
            info.level = le16(data, 5);
            info.temp = static_cast<qint8>(byteAt(data, 7));
            info.period = le32(data, 8);
            info.freq = 0;
            info.valid = 1;
            info.nomDut = nomDut;
        } else if (command == kCmdWriteK) {
            takeSaveKAck(info);
        } else if (command == kCmdReadK && data.size() >= kReadKAnswer) {
            takeReadKAnswer(data, info);
        }
    } else if (start == kTervalAnswerStart && command == kTervalCmdMeasure
        && data.size() >= kTervalMeasureAnswer) {
        info.temp = static_cast<qint8>(byteAt(data, 3));
        info.level = le16(data, 4);
        info.freq = le16(data, 6);
        info.period = 0;
        info.valid = 1;
        info.nomDut = nomDut;
    }
    return info;
}

void Request::takeSaveKAck(DutInfo &info)
{
    qCDebug(lcExchange) << "nomK" << int(saveK);
    // Still a coefficient answer, so the panel does not count it as a failed poll; but unless
    // it answers the step this write sent last it must neither move the write nor report
    // success.
    info.kAnswer = 1;
    if (!answersSentStep(true))
        return;
    sentStep = Sent::Nothing;
    --saveK;
    attempts = kTriesPerStep;
    emit updateLableK(saveK);
    if (saveK != 0)
        return;
    // All six acknowledged: only a read-back proves what the sensor holds. It replaces a read
    // that was queued behind the write, and fills the fields as a read does.
    verifying = true;
    readK = kCoefficientSteps;
    ++readRun;
}

void Request::takeReadKAnswer(const QByteArray &answer, DutInfo &info)
{
    info.kAnswer = 1;
    // While a write runs, the frame on the line was a write step: a read answer now answers
    // nothing that was asked, even when a read is queued behind the write.
    if (!answersSentStep(false))
        return;
    sentStep = Sent::Nothing;
    const quint32 bits = le32(answer, 4);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    --readK;
    attempts = kTriesPerStep;
    reading[readK] = value;
    if (verifying) {
        write.read[readK] = value;
        write.readBack[readK] = true;
    }
    // The values found are the record's, not the column's: the column keeps what the operator
    // is about to write.
    if (readingFound)
        emit updateReadK(readK);
    else
        emit updateReadK(readK, value);
    if (readK != 0)
        return;
    lastRead = reading;
    haveLastRead = true;
    if (readingFound) {
        readingFound = false;
        write.found = reading;
        write.haveFound = true;
        attempts = kTriesPerStep;
        return;
    }
    if (!verifying) {
        finishExchange();
        return;
    }
    const QString differing = write.mismatchText();
    if (!differing.isEmpty()) {
        failExchange(differing);
        return;
    }
    finishWrite(true, QString());
    finishExchange();
}

// One exchange has ended well. A read queued behind a write (or a write pressed during a
// read) still has steps ahead; they start with a full set of tries.
void Request::finishExchange()
{
    attempts = (saveK != 0 || readK != 0) ? kTriesPerStep : 0;
    failure.clear();
    emit sigExchangeOk();
}

void Request::failExchange(const QString &why)
{
    saveK = 0;
    readK = 0;
    readingFound = false;
    attempts = 0;
    emit updateLableK(0);
    emit updateReadK(0);
    failure = why;
    emit sigExchangeError();
    finishWrite(false, why);
}

void Request::finishWrite(bool ok, const QString &why)
{
    const bool onRecord = writeActive && writeOnLine;
    writeActive = false;
    writeOnLine = false;
    verifying = false;
    if (!onRecord)
        return;
    write.ok = ok;
    write.failure = why;
    emit writeFinished(write);
}
