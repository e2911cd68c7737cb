#pragma once

#include <QByteArray>
#include <QStringList>

// CSV as the calibration journal writes it (RFC 4180, UTF-8, CR LF): a field is quoted when it
// holds a comma, a quote or a line break, quotes inside doubled.
class RecordCsv
{
public:
    static QByteArray line(const QStringList &fields);
};
