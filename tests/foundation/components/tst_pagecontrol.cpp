#include "dialoganswerer.h"
#include "maskedit.h"
#include "messagebox.h"
#include "pagecontrol.h"

#include <QApplication>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>

using kiv::TMaskEdit;
using kiv::TPageControl;
using kiv::TTabSheet;

// The entry window's pages: form, items, due dates; an edit on the first.
struct Pages
{
    QWidget window;
    TPageControl *pages = new TPageControl(&window);
    TTabSheet *form = new TTabSheet;
    TTabSheet *items = new TTabSheet;
    TTabSheet *dueDates = new TTabSheet;
    TMaskEdit *operation = new TMaskEdit(form);
    TMaskEdit *product = new TMaskEdit(items);
    QStringList log;

    Pages()
    {
        pages->setObjectName(QStringLiteral("pgcLancEntr"));
        form->setObjectName(QStringLiteral("tshFormulario"));
        items->setObjectName(QStringLiteral("tshProduto"));
        dueDates->setObjectName(QStringLiteral("tshVenc"));
        pages->addPage(form, QStringLiteral("&Formulário"));
        pages->addPage(items, QStringLiteral("&Produto"));
        pages->addPage(dueDates, QStringLiteral("&Vencimento"));
        (new QVBoxLayout(form))->addWidget(operation);
        (new QVBoxLayout(items))->addWidget(product);
        (new QVBoxLayout(&window))->addWidget(pages);
        pages->OnChanging = [this](bool &) {
            log << QStringLiteral("Changing from ") + pages->ActivePage()->objectName();
        };
        pages->OnChange = [this] {
            log << QStringLiteral("Change to ") + pages->ActivePage()->objectName();
        };
        operation->OnExit = [this] { log << QStringLiteral("medOperacao.Exit"); };
    }

    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        operation->setFocus();
        return QTest::qWaitFor([this] { return operation->hasFocus(); });
    }

    // The operator's ways of turning to another page.
    void turn(const QString &how, int index)
    {
        QTabBar *bar = pages->tabBar();
        if (how == QLatin1String("click"))
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        else if (how == QLatin1String("ctrl+tab"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        else if (how == QLatin1String("ctrl+pagedown"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
        else if (how == QLatin1String("mnemonic"))
            QTest::keyClick(QApplication::focusWidget(),
                            QKeySequence::mnemonic(bar->tabText(index))[0].key(),
                            Qt::AltModifier);
    }
};

class TestPageControl : public QObject
{
    Q_OBJECT

private slots:
    void operatorTurnsThePage_data();
    void operatorTurnsThePage();
    void refusedChangeMovesNothing_data();
    void refusedChangeMovesNothing();
    void errorInOnChangingKeepsThePage();
    void codeTurnsThePageSilently();
    void disabledPage();
    void disablingTheActivePageKeepsIt();
    void hiddenPage();
};

void TestPageControl::operatorTurnsThePage_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click") << "click";
    QTest::newRow("ctrl+tab") << "ctrl+tab";
    QTest::newRow("ctrl+pagedown") << "ctrl+pagedown";
    QTest::newRow("mnemonic") << "mnemonic";
}

void TestPageControl::operatorTurnsThePage()
{
    QFETCH(QString, how);
    Pages p;
    QVERIFY(p.show());
    p.log.clear();
    p.turn(how, 1);
    QCOMPARE(p.pages->ActivePage(), p.items);
    QCOMPARE(p.log, QStringList({"Changing from tshFormulario", "medOperacao.Exit",
                                 "Change to tshProduto"}));
}

void TestPageControl::refusedChangeMovesNothing_data()
{
    operatorTurnsThePage_data();
}

void TestPageControl::refusedChangeMovesNothing()
{
    QFETCH(QString, how);
    Pages p;
    p.pages->OnChanging = [&](bool &allowChange) {
        p.log << QStringLiteral("Changing");
        allowChange = false;
    };
    QVERIFY(p.show());
    p.log.clear();
    p.turn(how, 1);
    QCOMPARE(p.pages->ActivePage(), p.form);
    // Refused before anything moved: the field keeps the focus, unvalidated.
    QCOMPARE(p.log, QStringList({"Changing"}));
    QVERIFY(p.operation->hasFocus());
}

void TestPageControl::errorInOnChangingKeepsThePage()
{
    Pages p;
    p.pages->OnChanging = [&](bool &) {
        kiv::MensErro(QStringLiteral("Tipo de operação deve ser informado."), true);
    };
    QVERIFY(p.show());
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    p.log.clear();
    p.turn(QStringLiteral("click"), 2);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Tipo de operação deve ser informado."));
    QCOMPARE(p.pages->ActivePage(), p.form);
    QVERIFY(p.log.isEmpty());
}

void TestPageControl::codeTurnsThePageSilently()
{
    Pages p;
    QVERIFY(p.show());
    p.log.clear();
    p.pages->SetActivePage(p.dueDates);
    QCOMPARE(p.pages->ActivePage(), p.dueDates);
    QCOMPARE(p.pages->ActivePageIndex(), 2);
    p.pages->SetActivePageIndex(0);
    QCOMPARE(p.pages->ActivePage(), p.form);
    QVERIFY(!p.log.contains(QStringLiteral("Changing from tshFormulario")));
    QVERIFY(!p.log.contains(QStringLiteral("Change to tshVenc")));
}

void TestPageControl::disabledPage()
{
    Pages p;
    // The due-date page only for operation types that use due dates.
    p.dueDates->setEnabled(false);
    QVERIFY(!p.pages->isTabEnabled(2));
    QVERIFY(p.show());
    p.log.clear();
    p.turn(QStringLiteral("click"), 2);
    QCOMPARE(p.pages->ActivePage(), p.form);
    QVERIFY(p.log.isEmpty());
    // Ctrl+Tab from the items page wraps round to the form page.
    p.pages->SetActivePage(p.items);
    p.product->setFocus();
    QTest::keyClick(p.product, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(p.pages->ActivePage(), p.form);
    p.dueDates->setEnabled(true);
    QVERIFY(p.pages->isTabEnabled(2));
    p.turn(QStringLiteral("click"), 2);
    QCOMPARE(p.pages->ActivePage(), p.dueDates);
}

void TestPageControl::disablingTheActivePageKeepsIt()
{
    Pages p;
    QVERIFY(p.show());
    p.form->setEnabled(false);
    QCOMPARE(p.pages->ActivePage(), p.form);
    QVERIFY(!p.operation->isEnabled());
    QVERIFY(!p.pages->isTabEnabled(0));
    // A page disabled before it joins the control keeps its tab disabled.
    auto *extra = new TTabSheet;
    extra->setEnabled(false);
    extra->SetCaption(QStringLiteral("Extra"));
    extra->setPageControl(p.pages);
    QCOMPARE(extra->PageIndex(), 3);
    QVERIFY(!p.pages->isTabEnabled(3));
    QCOMPARE(p.pages->tabText(3), QStringLiteral("Extra"));
}

void TestPageControl::hiddenPage()
{
    Pages p;
    p.items->SetTabVisible(false);
    QVERIFY(!p.items->TabVisible());
    QVERIFY(p.show());
    QTest::keyClick(p.operation, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(p.pages->ActivePage(), p.dueDates);
}

QTEST_MAIN(TestPageControl)
#include "tst_pagecontrol.moc"
