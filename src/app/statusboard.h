#pragma once

#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

class QStatusBar;

// What the status bar tells the operator, one message per condition ("topic": the port, a
// panel's coefficient write, the run logs, ...). A new message of a topic replaces the older
// one; an empty message withdraws it, because the condition is over. The bar shows the newest
// message still standing, or nothing.
class StatusBoard : public QObject
{
    Q_OBJECT

public:
    explicit StatusBoard(QStatusBar *bar);

    QString current() const;

public slots:
    void post(const QString &topic, const QString &message);

private:
    QStatusBar *bar = nullptr;
    // Oldest first.
    QVector<QPair<QString, QString>> standing;
};
