#include "app/translation.h"
#include "panels/discardquestion.h"
#include "support/answerdialog.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QRegularExpression>
#include <QtTest>

class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    // The bench's Yes/No questions answer in Russian, by Qt's own catalogue.
    void standardButtonsInRussian()
    {
        QVERIFY(Translation::installRussian(qApp));
        QStringList buttons;
        answerDialog<QMessageBox>([&buttons](QMessageBox *box) {
            buttons << box->button(QMessageBox::Yes)->text()
                    << box->button(QMessageBox::No)->text();
            box->done(QMessageBox::No);
        });
        DiscardQuestion::confirm(nullptr, QStringLiteral("ДУТ 0"), QStringLiteral("?"));
        QCOMPARE(
            buttons.filter(QRegularExpression(QStringLiteral("^&?\\p{Cyrillic}+$"))).size(), 2);
    }
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
