#include "basewindows.h"
#include "statusbar.h"

#include <QLabel>
#include <QMainWindow>
#include <QTest>

using kiv::TStatusBar;

class TestStatusBar : public QObject
{
    Q_OBJECT

private slots:
    void fourPanels();
    void panelsFitTheirTexts_data();
    void panelsFitTheirTexts();
    void menuHintsDoNotHideThePanels();
    void messageSaysWhatACommandDid();
};

void TestStatusBar::fourPanels()
{
    TStatusBar bar;
    QCOMPARE(bar.PanelCount(), 4);
    bar.SetPanelText(0, QStringLiteral("Proc.: 10/12/2026"));
    bar.Panel(3)->SetText(QStringLiteral("KIS00200"));
    QCOMPARE(bar.Panel(0)->Text(), QStringLiteral("Proc.: 10/12/2026"));
    QCOMPARE(bar.PanelText(3), QStringLiteral("KIS00200"));
    QCOMPARE(bar.PanelText(1), QString());
}

void TestStatusBar::panelsFitTheirTexts_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("text");
    QTest::newRow("date") << 0 << "Proc.: 28/02/2026";
    QTest::newRow("branch") << 1 << "Filial 0001";
    QTest::newRow("operator") << 2 << "Maria José da Silva Pereira";
    QTest::newRow("screen code") << 3 << "KIS00000";
}

void TestStatusBar::panelsFitTheirTexts()
{
    QFETCH(int, panel);
    QFETCH(QString, text);
    QMainWindow window;
    auto *bar = new TStatusBar;
    window.setStatusBar(bar);
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bar->SetPanelText(panel, text);
    const kiv::TStatusPanel *shown = bar->Panel(panel);
    QVERIFY2(shown->contentsRect().width() >= shown->fontMetrics().horizontalAdvance(text),
             qPrintable(QStringLiteral("%1 < %2").arg(shown->contentsRect().width())
                            .arg(shown->fontMetrics().horizontalAdvance(text))));
    // The panels stand side by side, in order, left to right.
    for (int i = 1; i < bar->PanelCount(); ++i)
        QVERIFY(bar->Panel(i - 1)->geometry().right() < bar->Panel(i)->geometry().left());
}

void TestStatusBar::menuHintsDoNotHideThePanels()
{
    QMainWindow window;
    auto *bar = new TStatusBar;
    window.setStatusBar(bar);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bar->SetPanelText(2, QStringLiteral("Operador"));
    bar->showMessage(QStringLiteral("Lançamento de entrada"));
    for (int i = 0; i < bar->PanelCount(); ++i)
        QVERIFY(bar->Panel(i)->isVisible());
}

void TestStatusBar::messageSaysWhatACommandDid()
{
    QMainWindow window;
    auto *bar = new kiv::TStatusBar(&window);
    window.setStatusBar(bar);
    kiv::SetMainStatusBar(bar);
    window.resize(900, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i < 4; ++i)
        bar->SetPanelText(i, QStringLiteral("painel %1").arg(i));
    kiv::ShowStatusMessage(QStringLiteral("Lançamento 17 gravado."));
    QCOMPARE(bar->Message(), QStringLiteral("Lançamento 17 gravado."));
    auto *label = bar->findChild<QLabel *>(QStringLiteral("lblMensagem"));
    QVERIFY(label && label->isVisible());
    // The next one takes its place; the four panels stay as they were.
    kiv::ShowStatusMessage(QStringLiteral("13 itens importados."));
    QCOMPARE(bar->Message(), QStringLiteral("13 itens importados."));
    QCOMPARE(bar->PanelCount(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(bar->PanelText(i), QStringLiteral("painel %1").arg(i));
        QVERIFY(bar->Panel(i)->isVisible());
    }
    // No status bar (a window tested alone): nothing to say it in, no harm.
    kiv::SetMainStatusBar(nullptr);
    kiv::ShowStatusMessage(QStringLiteral("Lançamento 18 gravado."));
    QCOMPARE(bar->Message(), QStringLiteral("13 itens importados."));
}

QTEST_MAIN(TestStatusBar)
#include "tst_statusbar.moc"
