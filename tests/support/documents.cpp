#include "support/documents.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace documents {

QList<QStringList> csvRecords(const QString &text)
{
    static const QRegularExpression outsideQuotes(",(?=(?:[^\"]*\"[^\"]*\")*[^\"]*$)");
    QList<QStringList> records;
    for (const QString &line : text.split("\r\n", Qt::SkipEmptyParts)) {
        QStringList fields = line.split(outsideQuotes);
        for (QString &field : fields) {
            if (field.startsWith('"'))
                field = field.mid(1, field.size() - 2).replace("\"\"", "\"");
        }
        records << fields;
    }
    return records;
}

QString pdfText(const QByteArray &pdf)
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        return QString();
    QProcess reader;
    reader.start(pdftotext, {"-layout", "-", "-"});
    reader.write(pdf);
    reader.closeWriteChannel();
    if (!reader.waitForFinished(20000))
        return QString();
    return QString::fromUtf8(reader.readAllStandardOutput());
}

} // namespace documents
