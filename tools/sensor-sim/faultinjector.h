#pragma once

#include "sensor-sim/sensoranswers.h"

#include <QByteArray>
#include <QString>
#include <random>

// Spoils a share of the answers, repeatably for a given seed: the same seed and the same
// requests give the same faults in the same places. At most one fault per answer.
class FaultInjector
{
public:
    enum class Kind {
        None,
        Drop, // the answer is not sent
        Corrupt, // one byte changed so that the checksum (or the text format) no longer holds
        Late, // the whole answer is sent after a delay
        Split, // the answer is sent in two writes with a pause between them
        Garbage, // random bytes that form no answer are sent instead
        WrongAddress, // a well-formed answer from another address (text answers have none)
    };
    static constexpr int kindCount = 7;

    // Shares of answers, 0..1 each, their sum at most 1.
    struct Rates
    {
        double drop = 0.0;
        double corrupt = 0.0;
        double late = 0.0;
        double split = 0.0;
        double garbage = 0.0;
        double wrongAddress = 0.0;

        double total() const { return drop + corrupt + late + split + garbage + wrongAddress; }
    };

    FaultInjector(quint64 seed, const Rates &rates);

    const Rates &rates() const { return m_rates; }

    // Chooses the fault for one answer. A text answer has no address, so WrongAddress
    // becomes None for it.
    Kind pick(SensorAnswers::Shape shape);

    QByteArray corrupted(const QByteArray &answer, SensorAnswers::Shape shape);
    QByteArray readdressed(const QByteArray &answer, SensorAnswers::Shape shape);
    // 1..12 bytes. Too short to pass for a MODBUS answer, and the first byte is neither an
    // answer start byte nor the 'F' of the text answer, so no decoder can take it.
    QByteArray garbage();
    // Where to cut an answer of the given size (at least 2) into two writes: 1..size−1.
    // Every answer needs all of its bytes to be read (the text one ends in the '0' its format
    // requires), so neither part alone passes for an answer.
    int splitPoint(int size);

    static QString name(Kind kind);
    // Every fault but Split costs the bench the reading; a split answer still arrives whole.
    static bool spoilsAnswer(Kind kind) { return kind != Kind::None && kind != Kind::Split; }

private:
    double unit();
    int below(int n);

    Rates m_rates;
    std::mt19937_64 m_random;
};
