#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Files read back as a person would: the records of a CSV text (one per line, quoted fields
// unquoted, no line breaks inside fields) and the text of a PDF, pages split by form feeds
// (pdftotext of poppler-utils; empty when it is missing or fails).
namespace documents {

QList<QStringList> csvRecords(const QString &text);
QString pdfText(const QByteArray &pdf);

} // namespace documents
