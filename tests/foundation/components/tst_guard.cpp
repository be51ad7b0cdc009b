#include "dialoganswerer.h"
#include "errors.h"
#include "guard.h"
#include "keys.h"
#include "messagebox.h"
#include "messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>

using kiv::guarded;

class TestGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void guardShowsErrorsAndStopsThem_data();
    void guardShowsErrorsAndStopsThem();
    void guardCompletesWithoutABox();
    void mensErroShowsThenAborts();
    void mensErroWithoutAbortGoesOn();
    void showMsgAnswers_data();
    void showMsgAnswers();
    void showMsgButtons();
    void showMsgLooksUpTheCatalogue();
    void answererRecordsSeveralDialogsInOrder();
    void platformKey_data();
    void platformKey();
    void platformChar_data();
    void platformChar();
};

void TestGuard::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestGuard::guardShowsErrorsAndStopsThem_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QString>("text");
    QTest::newRow("abort is silent") << 0 << 0 << QString();
    QTest::newRow("table store error") << 1 << 1
                                       << QStringLiteral("Campo 'XYZ' não encontrado.");
    QTest::newRow("conversion error") << 2 << 1
                                      << QStringLiteral("'1,2,3' não é um valor numérico válido.");
    QTest::newRow("standard exception") << 3 << 1 << QStringLiteral("vector::at");
    QTest::newRow("anything else") << 4 << 1 << QStringLiteral("Erro inesperado.");
}

void TestGuard::guardShowsErrorsAndStopsThem()
{
    QFETCH(int, kind);
    QFETCH(int, boxes);
    QFETCH(QString, text);
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    bool after = false;
    // Nothing may escape the guard: a throw here fails the test program.
    const bool completed = guarded(nullptr, [&] {
        switch (kind) {
        case 0: throw kiv::EAbort();
        case 1: throw kiv::EDatabaseError(text);
        case 2: throw kiv::EConvertError(text);
        case 3: throw std::out_of_range("vector::at");
        default: throw 42;
        }
        after = true;
    });
    QVERIFY(!completed);
    QVERIFY(!after);
    QCOMPARE(answerer.count(), boxes);
    if (boxes) {
        QCOMPARE(answerer.at(0).text, text);
        QCOMPARE(answerer.at(0).objectName, QStringLiteral("dlgMensagem"));
        QCOMPARE(answerer.at(0).title, QStringLiteral("Kiv - School Meals"));
        QCOMPARE(answerer.at(0).answer, QStringLiteral("OK"));
    }
}

void TestGuard::guardCompletesWithoutABox()
{
    DialogAnswerer answerer;
    int runs = 0;
    QVERIFY(guarded(nullptr, [&] { ++runs; }));
    QCOMPARE(runs, 1);
    QTest::qWait(30);
    QCOMPARE(answerer.count(), 0);
}

void TestGuard::mensErroShowsThenAborts()
{
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    bool reachedAfter = false;
    bool aborted = false;
    try {
        kiv::MensErro(QStringLiteral("Filial deve ser informada."), true);
        reachedAfter = true;
    } catch (const kiv::EAbort &) {
        aborted = true;
    }
    QVERIFY(aborted);
    QVERIFY(!reachedAfter);
    // The box was shown (and closed) before the abort.
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Filial deve ser informada."));
    QCOMPARE(answerer.pending(), 0);
}

void TestGuard::mensErroWithoutAbortGoesOn()
{
    DialogAnswerer answerer;
    answerer.pressEnter();
    kiv::MensErro(QStringLiteral("Senha inválida."), false);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Senha inválida."));
}

void TestGuard::showMsgAnswers_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("result");
    const int yesNo = kiv::mbYes | kiv::mbNo;
    const int yesNoCancel = yesNo | kiv::mbCancel;
    const int okCancel = kiv::mbOK | kiv::mbCancel;
    QTest::newRow("yes") << yesNo << "Sim" << int(kiv::mrYes);
    QTest::newRow("no") << yesNo << "Não" << int(kiv::mrNo);
    QTest::newRow("enter answers yes") << yesNo << "<Enter>" << int(kiv::mrYes);
    QTest::newRow("esc answers no") << yesNo << "<Esc>" << int(kiv::mrNo);
    QTest::newRow("esc answers cancel before no") << yesNoCancel << "<Esc>" << int(kiv::mrCancel);
    QTest::newRow("enter answers ok") << okCancel << "<Enter>" << int(kiv::mrOK);
    QTest::newRow("cancel") << okCancel << "Cancelar" << int(kiv::mrCancel);
    QTest::newRow("no buttons asked: ok") << 0 << "OK" << int(kiv::mrOK);
}

void TestGuard::showMsgAnswers()
{
    QFETCH(int, buttons);
    QFETCH(QString, answer);
    QFETCH(int, result);
    DialogAnswerer answerer;
    if (answer == QLatin1String("<Enter>"))
        answerer.pressEnter();
    else if (answer == QLatin1String("<Esc>"))
        answerer.pressEscape();
    else
        answerer.press(answer);
    const int pressed = kiv::ShowMsg(QStringLiteral("Deseja sair do sistema ?"),
                                     kiv::MsgType::Confirmation, buttons);
    QCOMPARE(pressed, result);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Deseja sair do sistema ?"));
    QCOMPARE(answerer.at(0).answer, answer);
}

void TestGuard::showMsgButtons()
{
    QStringList texts;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    DialogAnswerer answerer;
    answerer.run([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        for (QAbstractButton *button : box->buttons())
            texts << button->text();
        title = box->windowTitle();
        icon = box->icon();
        box->buttons().first()->click();
    });
    kiv::ShowMsg(QStringLiteral("Excluir?"), kiv::MsgType::Warning,
                 kiv::mbYes | kiv::mbNo | kiv::mbCancel, QStringLiteral("Atenção"));
    texts.sort();
    QCOMPARE(texts, QStringList({"Cancelar", "Não", "Sim"}));
    QCOMPARE(title, QStringLiteral("Atenção"));
    QCOMPARE(icon, QMessageBox::Warning);
}

void TestGuard::showMsgLooksUpTheCatalogue()
{
    const kiv::TMessages catalogue{QStringLiteral("Canc|Deseja cancelar a operação ?")};
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("Não")).press(QStringLiteral("OK"));
    QCOMPARE(kiv::ShowMsg(catalogue, QStringLiteral("canc"), kiv::MsgType::Confirmation,
                          kiv::mbYes | kiv::mbNo),
             int(kiv::mrNo));
    kiv::ShowMsg(catalogue, QStringLiteral("Excl"), kiv::MsgType::Information, kiv::mbOK);
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Deseja cancelar a operação ?"));
    // A key missing from the catalogue shows itself rather than an empty box.
    QCOMPARE(answerer.at(1).text, QStringLiteral("Excl"));
}

void TestGuard::answererRecordsSeveralDialogsInOrder()
{
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK")).press(QStringLiteral("Talvez"));
    QVERIFY(!guarded(nullptr, [] {
        kiv::ShowMsg(QStringLiteral("primeira"), kiv::MsgType::Information, kiv::mbOK);
        kiv::ShowMsg(QStringLiteral("segunda"), kiv::MsgType::Confirmation,
                     kiv::mbYes | kiv::mbNo);
        kiv::MensErro(QStringLiteral("terceira"), true);
    }));
    QCOMPARE(answerer.count(), 3);
    QCOMPARE(answerer.at(0).text, QStringLiteral("primeira"));
    // No such button: the dialog is closed and the miss recorded.
    QCOMPARE(answerer.at(1).answer, QStringLiteral("<no button Talvez>"));
    QCOMPARE(answerer.at(2).text, QStringLiteral("terceira"));
    QCOMPARE(answerer.at(2).answer, QStringLiteral("<unexpected>"));
}

void TestGuard::platformKey_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("code");
    const int none = Qt::NoModifier;
    QTest::newRow("F9") << int(Qt::Key_F9) << none << 120;
    QTest::newRow("F6") << int(Qt::Key_F6) << none << 117;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << 46;
    QTest::newRow("Return") << int(Qt::Key_Return) << none << 13;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 13;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << 27;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << none << 9;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 9;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << 8;
    QTest::newRow("letter") << int(Qt::Key_A) << none << int('A');
    QTest::newRow("digit") << int(Qt::Key_7) << none << int('7');
    QTest::newRow("keypad digit") << int(Qt::Key_7) << int(Qt::KeypadModifier) << 103;
    QTest::newRow("left") << int(Qt::Key_Left) << none << 37;
    QTest::newRow("down") << int(Qt::Key_Down) << none << 40;
    QTest::newRow("insert") << int(Qt::Key_Insert) << none << 45;
    QTest::newRow("comma") << int(Qt::Key_Comma) << none << 188;
    QTest::newRow("keypad decimal") << int(Qt::Key_Comma) << int(Qt::KeypadModifier) << 110;
    QTest::newRow("dead key") << int(Qt::Key_Dead_Acute) << none << 0;
}

void TestGuard::platformKey()
{
    QFETCH(int, qtKey);
    QFETCH(int, modifiers);
    QFETCH(int, code);
    const QKeyEvent event(QEvent::KeyPress, qtKey, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(kiv::platformKey(&event), code);
    QVERIFY(!(kiv::platformShift(&event) & Qt::KeypadModifier));
}

void TestGuard::platformChar_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("character");
    QTest::newRow("letter keeps its case") << int(Qt::Key_A) << "a" << int('a');
    QTest::newRow("accented letter") << int(Qt::Key_Ccedilla) << "ç" << int(u'ç');
    QTest::newRow("enter") << int(Qt::Key_Return) << "\r" << 13;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << "\b" << 8;
    QTest::newRow("escape") << int(Qt::Key_Escape) << "\x1b" << 27;
    QTest::newRow("F9 types nothing") << int(Qt::Key_F9) << "" << 0;
    QTest::newRow("delete types nothing") << int(Qt::Key_Delete) << "\x7f" << 0;
}

void TestGuard::platformChar()
{
    QFETCH(int, qtKey);
    QFETCH(QString, text);
    QFETCH(int, character);
    const QKeyEvent event(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QCOMPARE(int(kiv::platformChar(&event).unicode()), character);
}

QTEST_MAIN(TestGuard)
#include "tst_guard.moc"
