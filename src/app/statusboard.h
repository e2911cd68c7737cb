#pragma once

#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class QStatusBar;

// What the status bar tells the operator, one message per condition ("topic": the port, a
// panel's coefficient write, the run logs, ...). A new message of a topic replaces the older
// one; an empty message withdraws it, because the condition is over. The bar shows the newest
// message still standing, after those of the topics kept in sight, or nothing.
class StatusBoard : public QObject
{
    Q_OBJECT

public:
    explicit StatusBoard(QStatusBar *bar);

    QString current() const;
    // Messages of this topic are never hidden by newer ones: while one stands, the bar shows it
    // before the newest message.
    void keepInSight(const QString &topic);

public slots:
    void post(const QString &topic, const QString &message);

private:
    QStatusBar *bar = nullptr;
    // Oldest first.
    QVector<QPair<QString, QString>> standing;
    QStringList inSight;
};
