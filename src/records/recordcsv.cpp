#include "records/recordcsv.h"

QByteArray RecordCsv::line(const QStringList &fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString &text : fields) {
        if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
            && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
            out << text;
            continue;
        }
        QString quoted = text;
        quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
        out << QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    return out.join(QLatin1Char(',')).toUtf8() + "\r\n";
}
