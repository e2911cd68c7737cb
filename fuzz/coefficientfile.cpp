// The coefficient-file reader on any file: always six texts, each at most one line's worth,
// and what it read is what it writes and reads back.
#include "fuzzcheck.h"

#include "sensors/coefficientfile.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString input = dir.filePath(QStringLiteral("input.k"));
    static const QString copy = dir.filePath(QStringLiteral("copy.k"));
    FUZZ_CHECK(dir.isValid());
    {
        QFile file(input);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    QStringList texts;
    FUZZ_CHECK(CoefficientFile::read(input, &texts));
    FUZZ_CHECK(texts.size() == CoefficientFile::lineCount);
    bool fitsLines = true;
    for (const QString &text : qAsConst(texts)) {
        FUZZ_CHECK(text.size() <= CoefficientFile::maxLineBytes);
        FUZZ_CHECK(!text.contains(QLatin1Char('\n')) && !text.contains(QChar(0)));
        // A spoiled byte comes back as a replacement character, which takes three bytes.
        fitsLines = fitsLines && text.toUtf8().size() <= CoefficientFile::maxLineBytes;
    }

    QStringList again;
    FUZZ_CHECK(CoefficientFile::write(copy, texts));
    FUZZ_CHECK(CoefficientFile::read(copy, &again));
    FUZZ_CHECK(!fitsLines || again == texts);
    return 0;
}
