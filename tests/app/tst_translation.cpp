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
            for (const auto button : {QMessageBox::Yes, QMessageBox::No})
                buttons << box->button(button)->text();
            box->done(QMessageBox::No);
        });
        QVERIFY(!DiscardQuestion::confirm(nullptr, QStringLiteral("ДУТ 0"), QStringLiteral("?")));
        QCOMPARE(buttons.size(), 2);
        const QRegularExpression russian(QStringLiteral("^&?\\p{Cyrillic}+$"));
        for (const QString &text : buttons)
            QVERIFY2(russian.match(text).hasMatch(), qPrintable(text));
    }
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
