#pragma once

#include "protocol/coefficientwrite.h"
#include "protocol/dutinfo.h"

#include <QByteArray>
#include <QObject>

// Frame builder and answer decoder of one sensor panel. It also holds the state of the
// panel's coefficient write/read exchange: six steps, one per timer tick, each with three
// tries. A write is verified: its six acknowledged steps are followed by a read-back of all six
// values, and only a read-back equal bit for bit to what was sent is success. A write also
// knows what it replaced: when the sensor's coefficients were not read since the last write
// reached the line, the write first reads them (as found) and only then sends its own. The exchange
// reports its end through sigExchangeOk()/sigExchangeError(), a write also through
// writeFinished(); the window turns them into message boxes once the tick that raised them has
// finished.
class Request : public QObject
{
    Q_OBJECT

public:
    // kValues points at the panel's six coefficients to write; the panel owns them.
    Request(QObject *parent, float *kValues, uchar nomDut);

    // Next frame for the sensor at `address`: a pending coefficient step first, else the
    // measurement request of the bench protocol while polling runs, else an empty array.
    QByteArray getRequest(uchar address);

    // Decodes everything that arrived since the last frame. Any bytes are accepted.
    DutInfo checkAnswer(QByteArray *answer);
    // The line is gone: an exchange under way ends as failed, for the reason its step gives when
    // its tries run out.
    void abandon();

    uchar saveKLeft() const { return saveK; }
    uchar readKLeft() const { return readK; }
    uchar attemptsLeft() const { return attempts; }
    uchar nomPortValue() const { return nomPort; }
    uchar protocolValue() const { return protocol; }
    // Whether the read under way is the read-back of a write.
    bool isVerifying() const { return verifying; }
    // Whether the read under way takes the sensor's coefficients as found, before a write.
    bool isReadingFound() const { return readingFound; }
    // Why the last exchange ended with an error, in the operator's words.
    QString lastFailure() const { return failure; }

public slots:
    // Takes the address-list index: entry 0 is "off" (stored as 255), entry i is address i - 1.
    void setNomPort(int index);
    void setProtocol(uchar protocol);
    // Polling started while an exchange runs ends the exchange with an error: polls must not
    // share the line with coefficient steps.
    void setStarted(bool started);
    void slStartSaveK();
    void slStartReadK();
    // Another sensor may now answer at this address: what was read last is no longer what the
    // sensor holds, and the next write reads its coefficients first.
    void forgetRead();

signals:
    void updateLableK(uchar nomK);
    void updateReadK(uchar nomK);
    void updateReadK(uchar nomK, float val);
    void sigExchangeOk();
    void sigExchangeError();
    // A write that put at least one frame on the line has ended, verified or not.
    void writeFinished(const CoefficientWrite &write);

private:
    QByteArray measurementFrame(uchar address) const;
    QByteArray saveKFrame(uchar address) const;
    QByteArray readKFrame(uchar address) const;
    void takeSaveKAck(DutInfo &info);
    void takeReadKAnswer(const QByteArray &answer, DutInfo &info);
    void finishExchange();
    // Why the step under way failed when its tries ran out.
    QString noAnswerReason() const;
    // Ends the exchange under way with an error, for the given reason.
    void failExchange(const QString &why);
    // Closes the record of the write under way, if one reached the line.
    void finishWrite(bool ok, const QString &why);
    // Whether an answer now answers the frame of this kind that the current run sent last.
    bool answersSentStep(bool write) const;

    float *kValues = nullptr;
    // Snapshot of kValues taken when a write starts; the write's frames are built from it.
    float writeValues[6] = {};
    uchar saveK = 0;
    // Each press of a button starts a new run of its kind. The frame on the line remembers the
    // run that sent it, so that the late answer of a step from an abandoned run never counts
    // in the new one: answers carry no index.
    enum class Sent : uchar { Nothing, WriteStep, ReadStep };
    Sent sentStep = Sent::Nothing;
    quint32 sentRun = 0;
    quint32 writeRun = 0;
    quint32 readRun = 0;
    uchar readK = 0;
    uchar attempts = 0;
    // The write under way, from its start until its read-back is judged.
    CoefficientWrite write;
    bool writeActive = false;
    bool writeOnLine = false;
    bool verifying = false;
    // The read under way comes before the pending write's first step.
    bool readingFound = false;
    QString failure;
    // Values of the read under way, and of the last read that completed; haveLastRead is
    // cleared when a write step goes on the line, since from then on the sensor may hold
    // something else.
    CoefficientWrite::Values reading {};
    CoefficientWrite::Values lastRead {};
    bool haveLastRead = false;
    uchar nomPort = 255;
    uchar nomDut = 0;
    uchar protocol = 0;
    bool started = false;
};
