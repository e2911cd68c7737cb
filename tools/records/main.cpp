// tarikon-records: prints the calibration records of the bench's file "calibration.sqlite"
// (or, with --server, of the laboratory's server) as CSV, or checks the two against each other.

#include "recordsource.h"

#include "records/recordcsv.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QTextStream>

#include <cstdio>

namespace {

void print(const RecordSource &source)
{
    QStringList names = source.columns();
    QByteArray out = RecordCsv::line(names);
    for (const RecordRow &row : source.rows()) {
        QStringList fields;
        for (const QString &name : qAsConst(names))
            fields << row.value(name);
        out += RecordCsv::line(fields);
    }
    fwrite(out.constData(), 1, size_t(out.size()), stdout);
}

// The server holds every bench's records: compared are those of the stations the file has.
// Lines "missing UUID" (not on the server), "extra UUID" (on the server only), "differs UUID
// column...". True when the stores agree.
bool check(const RecordSource &local, const RecordSource &server, QTextStream &out)
{
    QHash<QString, const RecordRow *> onServer;
    QSet<QString> stations;
    for (const RecordRow &row : local.rows())
        stations.insert(row.station);
    for (const RecordRow &row : server.rows()) {
        if (stations.contains(row.station))
            onServer.insert(row.uuid, &row);
    }
    QStringList names = local.columns();
    for (const QString &name : server.columns()) {
        if (!names.contains(name))
            names << name;
    }
    int differences = 0;
    QSet<QString> seen;
    for (const RecordRow &row : local.rows()) {
        seen.insert(row.uuid);
        const RecordRow *other = onServer.value(row.uuid);
        if (!other) {
            out << "missing " << row.uuid << '\n';
            ++differences;
            continue;
        }
        QStringList differing;
        for (const QString &name : qAsConst(names)) {
            if (row.value(name) != other->value(name))
                differing << name;
        }
        if (!differing.isEmpty()) {
            out << "differs " << row.uuid << ' ' << differing.join(QLatin1Char(' ')) << '\n';
            ++differences;
        }
    }
    for (const RecordRow &row : server.rows()) {
        if (onServer.contains(row.uuid) && !seen.contains(row.uuid)) {
            out << "extra " << row.uuid << '\n';
            ++differences;
        }
    }
    out << QStringLiteral("%1 records in the file, %2 of its stations on the server, %3 "
                          "differences\n")
               .arg(local.rows().size())
               .arg(onServer.size())
               .arg(differences);
    return differences == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarikon-records"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TARIKON_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the calibration records of calibration.sqlite in the bench's working directory "
        "as CSV, or those of the laboratory's PostgreSQL server that its settings.ini names "
        "(--server), or checks that the server holds the file's records unchanged (--check; exit "
        "status 1 when they differ, 2 when a store cannot be read)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption server(QStringLiteral("server"),
        QStringLiteral("Print the server's records (all benches) instead of the file's."));
    const QCommandLineOption checkOption(QStringLiteral("check"),
        QStringLiteral("Compare the file with the server by UUID: missing, extra and differing "
                       "records."));
    const QCommandLineOption directory({QStringLiteral("d"), QStringLiteral("directory")},
        QStringLiteral("The bench's working directory (default: the current one)."),
        QStringLiteral("dir"));
    parser.addOptions({server, checkOption, directory});
    parser.process(app);

    QTextStream err(stderr);
    if (parser.isSet(directory) && !QDir::setCurrent(parser.value(directory))) {
        err << "tarikon-records: no directory " << parser.value(directory) << '\n';
        return 2;
    }
    QString error;
    if (parser.isSet(checkOption)) {
        RecordSource local;
        RecordSource remote;
        if (!local.read(RecordSource::Store::Local, &error)
            || !remote.read(RecordSource::Store::Server, &error)) {
            err << "tarikon-records: " << error << '\n';
            return 2;
        }
        QTextStream out(stdout);
        return check(local, remote, out) ? 0 : 1;
    }
    RecordSource source;
    if (!source.read(
            parser.isSet(server) ? RecordSource::Store::Server : RecordSource::Store::Local,
            &error)) {
        err << "tarikon-records: " << error << '\n';
        return 2;
    }
    print(source);
    return 0;
}
