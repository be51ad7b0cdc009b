#include "dialoganswerer.h"
#include "errors.h"
#include "keys.h"
#include "localeservice.h"
#include "maskedit.h"
#include "messagebox.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using kiv::TMaskEdit;

// A window with two edits and a button, shown and active, as an operator
// meets them.
struct Form
{
    QWidget window;
    TMaskEdit *first = new TMaskEdit(&window);
    TMaskEdit *second = new TMaskEdit(&window);
    QPushButton *button = new QPushButton(QStringLiteral("Confirma"), &window);
    QStringList log;

    Form()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->addWidget(button);
        first->setObjectName(QStringLiteral("medCdFilial"));
        second->setObjectName(QStringLiteral("medCdOperador"));
        for (TMaskEdit *edit : {first, second}) {
            const QString name = edit->objectName();
            edit->OnEnter = [this, name] { log << name + QStringLiteral(".Enter"); };
            edit->OnExit = [this, name] { log << name + QStringLiteral(".Exit"); };
        }
    }

    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        first->setFocus();
        return QTest::qWaitFor([this] { return first->hasFocus(); });
    }
};

class TestMaskEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();
    void typedTextAndStoredText_data();
    void typedTextAndStoredText();
    void setTextPutsLiteralsBack();
    void onChangeOnTypingAndOnCode();
    void f9ReachesOnKeyDownAndLeavesTheText();
    void keyPressFilterDropsCharacters_data();
    void keyPressFilterDropsCharacters();
    void droppedKeyDownNeverTypes();
    void failingHandlerDropsTheKey();
    void keyPressCanReplaceTheCharacter();
    void upperCaseEdit();
    void tabRaisesExitThenEnter();
    void tabDroppedByOnKeyDownKeepsTheFocus();
    void dialogFromTheEditRaisesNoExit();
    void exitValidationKeepsTheFocus();
    void anotherWindowInBetween();
};

void TestMaskEdit::init()
{
    kiv::LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    kiv::LocaleService::setDecimalSeparator(u',');
}

void TestMaskEdit::cleanupTestCase()
{
    kiv::LocaleService::resetToSystem();
}

void TestMaskEdit::typedTextAndStoredText_data()
{
    QTest::addColumn<QString>("dateFormat");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    const QString br = QStringLiteral("dd/MM/yyyy");
    QTest::newRow("branch: digits") << br << "9999;0; " << "12" << "12";
    QTest::newRow("branch: letters refused") << br << "9999;0; " << "1a2b" << "12";
    QTest::newRow("branch: four at most") << br << "9999;0; " << "123456" << "1234";
    QTest::newRow("branch: nothing typed") << br << "9999;0; " << "" << "";
    QTest::newRow("date saves its literals") << br << "!99/99/0000;1;_" << "10122026"
                                             << "10/12/2026";
    QTest::newRow("empty date is empty, not //") << br << "!99/99/0000;1;_" << "" << "";
    QTest::newRow("date without its literals") << br << "!99/99/0000;0;_" << "10122026"
                                               << "10122026";
    QTest::newRow("date separator of the workstation")
        << QStringLiteral("dd.MM.yyyy") << "!99/99/0000;1;_" << "10122026" << "10.12.2026";
    QTest::newRow("no mask") << br << "" << "Ab 1" << "Ab 1";
}

void TestMaskEdit::typedTextAndStoredText()
{
    QFETCH(QString, dateFormat);
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    kiv::LocaleService::setShortDateFormat(dateFormat);
    Form form;
    QVERIFY(form.show());
    form.first->setEditMask(mask);
    form.first->setCursorPosition(0);
    QTest::keyClicks(form.first, typed);
    QCOMPARE(form.first->Text(), stored);
}

void TestMaskEdit::setTextPutsLiteralsBack()
{
    TMaskEdit edit;
    edit.setEditMask(QStringLiteral("!99/99/0000;0;_"));
    edit.SetText(QStringLiteral("10122026"));
    QCOMPARE(edit.text(), QStringLiteral("10/12/2026"));
    QCOMPARE(edit.Text(), QStringLiteral("10122026"));
    edit.setEditMask(QStringLiteral("9999;0; "));
    edit.SetText(QStringLiteral("0001"));
    QCOMPARE(edit.Text(), QStringLiteral("0001"));
}

void TestMaskEdit::onChangeOnTypingAndOnCode()
{
    Form form;
    QVERIFY(form.show());
    QStringList seen;
    form.first->OnChange = [&] { seen << form.first->Text(); };
    QTest::keyClicks(form.first, QStringLiteral("12"));
    form.first->SetText(QStringLiteral("0012"));
    QCOMPARE(seen, QStringList({"1", "12", "0012"}));
}

void TestMaskEdit::f9ReachesOnKeyDownAndLeavesTheText()
{
    Form form;
    QVERIFY(form.show());
    form.first->SetText(QStringLiteral("12"));
    QList<int> keys;
    Qt::KeyboardModifiers shift;
    form.first->OnKeyDown = [&](int &key, Qt::KeyboardModifiers modifiers) {
        keys << key;
        shift = modifiers;
    };
    QTest::keyClick(form.first, Qt::Key_F9);
    QTest::keyClick(form.first, Qt::Key_F6, Qt::ShiftModifier);
    // Shift itself is a key the handlers see, as on the workstation.
    QCOMPARE(keys, QList<int>({kiv::VK_F9, kiv::VK_SHIFT, kiv::VK_F6}));
    QCOMPARE(shift, Qt::ShiftModifier);
    QCOMPARE(form.first->Text(), QStringLiteral("12"));
}

void TestMaskEdit::keyPressFilterDropsCharacters_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letters dropped") << "1a2B3" << "123";
    QTest::newRow("separators dropped too") << "1,5.0" << "150";
    QTest::newRow("nothing but letters") << "abc" << "";
}

void TestMaskEdit::keyPressFilterDropsCharacters()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Form form;
    QVERIFY(form.show());
    // The invoice number's filter: digits only.
    form.first->OnKeyPress = [](QChar &key) {
        if (!(key >= u'0' && key <= u'9'))
            key = QChar();
    };
    QTest::keyClicks(form.first, typed);
    QCOMPARE(form.first->text(), shown);
}

void TestMaskEdit::droppedKeyDownNeverTypes()
{
    Form form;
    QVERIFY(form.show());
    int presses = 0;
    form.first->OnKeyDown = [](int &key, Qt::KeyboardModifiers) {
        if (key == 'X')
            key = 0;
    };
    form.first->OnKeyPress = [&](QChar &) { ++presses; };
    QTest::keyClicks(form.first, QStringLiteral("axb"));
    QCOMPARE(form.first->text(), QStringLiteral("ab"));
    QCOMPARE(presses, 2);

    // Keys without a code of their own reach the handler as 0 and are typed.
    form.first->clear();
    QTest::keyClicks(form.first, QStringLiteral("'*"));
    QKeyEvent cedilla(QEvent::KeyPress, Qt::Key_Ccedilla, Qt::NoModifier, QStringLiteral("ç"));
    QApplication::sendEvent(form.first, &cedilla);
    QCOMPARE(form.first->text(), QStringLiteral("'*ç"));
}

void TestMaskEdit::failingHandlerDropsTheKey()
{
    Form form;
    QVERIFY(form.show());
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    form.first->OnKeyPress = [](QChar &key) {
        if (key == u'x')
            kiv::MensErro(QStringLiteral("Caractere inválido."), true);
        if (key == u'y')
            throw kiv::EConvertError(QStringLiteral("'y' não é um valor numérico válido."));
    };
    answerer.press(QStringLiteral("OK"));
    QTest::keyClicks(form.first, QStringLiteral("1x2y3"));
    QCOMPARE(form.first->text(), QStringLiteral("123"));
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Caractere inválido."));
    QCOMPARE(answerer.at(1).text, QStringLiteral("'y' não é um valor numérico válido."));
}

void TestMaskEdit::keyPressCanReplaceTheCharacter()
{
    Form form;
    QVERIFY(form.show());
    // A decimal point typed on the keypad becomes the workstation's comma.
    form.first->OnKeyPress = [](QChar &key) {
        if (key == u'.')
            key = kiv::LocaleService::decimalSeparator();
    };
    QTest::keyClicks(form.first, QStringLiteral("1.5"));
    QCOMPARE(form.first->text(), QStringLiteral("1,5"));
}

void TestMaskEdit::upperCaseEdit()
{
    Form form;
    QVERIFY(form.show());
    form.first->setCharCase(kiv::ecUpperCase);
    int changes = 0;
    form.first->OnChange = [&] { ++changes; };
    QTest::keyClicks(form.first, QStringLiteral("aCu"));
    QCOMPARE(form.first->text(), QStringLiteral("ACU"));
    QCOMPARE(changes, 3);
    form.first->SetText(QStringLiteral("feijão"));
    QCOMPARE(form.first->Text(), QStringLiteral("FEIJÃO"));
}

void TestMaskEdit::tabRaisesExitThenEnter()
{
    Form form;
    QVERIFY(form.show());
    form.log.clear();
    QTest::keyClick(form.first, Qt::Key_Tab);
    QVERIFY(form.second->hasFocus());
    QTest::keyClick(form.second, Qt::Key_Tab, Qt::ShiftModifier);
    QVERIFY(form.first->hasFocus());
    QCOMPARE(form.log, QStringList({"medCdFilial.Exit", "medCdOperador.Enter",
                                    "medCdOperador.Exit", "medCdFilial.Enter"}));
}

void TestMaskEdit::tabDroppedByOnKeyDownKeepsTheFocus()
{
    Form form;
    QVERIFY(form.show());
    QList<int> keys;
    form.first->OnKeyDown = [&](int &key, Qt::KeyboardModifiers) {
        keys << key;
        if (key == kiv::VK_TAB)
            key = 0;
    };
    form.log.clear();
    QTest::keyClick(form.first, Qt::Key_Tab);
    QCOMPARE(keys, QList<int>({kiv::VK_TAB}));
    QVERIFY(form.first->hasFocus());
    QVERIFY(form.log.isEmpty());
}

void TestMaskEdit::dialogFromTheEditRaisesNoExit()
{
    Form form;
    QVERIFY(form.show());
    // F9 opens a lookup: the field is not left, and coming back does not
    // enter it again.
    form.first->OnKeyDown = [](int &key, Qt::KeyboardModifiers) {
        if (key == kiv::VK_F9)
            kiv::ShowMsg(QStringLiteral("Filial"), kiv::MsgType::Information, kiv::mbOK);
    };
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    form.log.clear();
    QTest::keyClick(form.first, Qt::Key_F9);
    QCOMPARE(answerer.count(), 1);
    QVERIFY(QTest::qWaitFor([&] { return form.first->hasFocus(); }));
    QVERIFY2(form.log.isEmpty(), qPrintable(form.log.join(u',')));
    // Code moving the focus after the lookup does leave the field.
    form.second->setFocus();
    QCOMPARE(form.log, QStringList({"medCdFilial.Exit", "medCdOperador.Enter"}));
}

void TestMaskEdit::exitValidationKeepsTheFocus()
{
    Form form;
    QVERIFY(form.show());
    // The branch's exit validation: empty is an error, the field keeps the
    // focus and the next field is never entered.
    form.first->OnExit = [&] {
        form.log << QStringLiteral("medCdFilial.Exit");
        if (form.first->Text().isEmpty()) {
            form.first->setFocus();
            kiv::MensErro(QStringLiteral("Filial deve ser informada."), true);
        }
    };
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    form.log.clear();
    QTest::keyClick(form.first, Qt::Key_Tab);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Filial deve ser informada."));
    QVERIFY(QTest::qWaitFor([&] { return QApplication::activeModalWidget() == nullptr; }));
    QVERIFY(QTest::qWaitFor([&] { return form.first->hasFocus(); }));
    QCOMPARE(form.log, QStringList({"medCdFilial.Exit"}));
    // Once filled in, Tab leaves it.
    QTest::keyClicks(form.first, QStringLiteral("1"));
    QTest::keyClick(form.first, Qt::Key_Tab);
    QVERIFY(form.second->hasFocus());
    QCOMPARE(form.log, QStringList({"medCdFilial.Exit", "medCdFilial.Exit",
                                    "medCdOperador.Enter"}));
}

void TestMaskEdit::anotherWindowInBetween()
{
    Form form;
    Form other;
    QVERIFY(form.show());
    form.log.clear();
    // The operator turns to another window: the field is not left.
    QVERIFY(other.show());
    QVERIFY(form.log.isEmpty());
    // Back in the first window, on the same field: not entered again.
    form.window.activateWindow();
    QVERIFY(QTest::qWaitFor([&] { return form.first->hasFocus(); }));
    QVERIFY(form.log.isEmpty());
    // Away again, then back on the other field: now the first one is left.
    other.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other.window));
    form.second->setFocus();
    form.window.activateWindow();
    QVERIFY(QTest::qWaitFor([&] { return form.second->hasFocus(); }));
    QCOMPARE(form.log, QStringList({"medCdFilial.Exit", "medCdOperador.Enter"}));
}

QTEST_MAIN(TestMaskEdit)
#include "tst_maskedit.moc"
