#include "basewindows.h"
#include "dialoganswerer.h"
#include "guard.h"
#include "localeservice.h"
#include "maskedit.h"
#include "messagebox.h"
#include "shellfixture.h"
#include "statusbar.h"
#include "table.h"
#include "tfrmlogin.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using namespace kiv;

// The task windows inside the main window as the operator meets them with
// the keyboard: where they open, where the focus goes, the window keys, the
// screen code, and the end of the run over a window that asks.
namespace {

// A task window with two fields, whose close asks like a window holding a
// document being typed.
class FieldWindow : public TfrmPadraoSimples
{
public:
    explicit FieldWindow(const QString &code, bool asks = false) : m_asks(asks)
    {
        setObjectName(QStringLiteral("frm") + code);
        lblCodTela->setText(code);
        edtPrimeiro = new QLineEdit(ClientArea());
        edtPrimeiro->setObjectName(QStringLiteral("edtPrimeiro"));
        edtSegundo = new QLineEdit(ClientArea());
        edtSegundo->setObjectName(QStringLiteral("edtSegundo"));
        ClientLayout()->addWidget(edtPrimeiro);
        ClientLayout()->addWidget(edtSegundo);
    }

    QLineEdit *edtPrimeiro;
    QLineEdit *edtSegundo;
    int closesAsked = 0;

protected:
    void FormClose(bool &allowClose) override
    {
        ++closesAsked;
        if (m_asks)
            allowClose = ShowMsg(QStringLiteral("Deseja cancelar todo o lançamento ?"),
                                 MsgType::Confirmation, mbYes | mbNo)
                         == mrYes;
    }

private:
    bool m_asks;
};

const QString kCancelQuestion = QStringLiteral("Deseja cancelar todo o lançamento ?");

} // namespace

class TestJanelas : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void openedWindowTakesTheFocus_data();
    void openedWindowTakesTheFocus();
    void focusMovedBehindADialogStays();
    void tabStaysInTheActiveWindow_data();
    void tabStaysInTheActiveWindow();
    void newWindowsLieInsideTheClientArea();
    void windowLargerThanTheAreaScrolls();
    void restoredAfterMaximizeIsUsable();
    void windowKeys();
    void screenCodeOfTheWindowInFront();
    void endingTheRunClosesEachWindowThroughItsRules_data();
    void endingTheRunClosesEachWindowThroughItsRules();
    void menuObjectNamesDoNotHangOnCaptions();

private:
    std::unique_ptr<TfrmPrincipal> start(ShellDataDir &data);
    // The command's window, made by the factory set here.
    FieldWindow *open(TfrmPrincipal &principal, TaskWindow window, bool asks = false);
    static QMdiSubWindow *frame(QWidget *window)
    {
        return qobject_cast<QMdiSubWindow *>(window->parentWidget());
    }
};

void TestJanelas::initTestCase()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TestJanelas::cleanup()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            widget->hide();
}

std::unique_ptr<TfrmPrincipal> TestJanelas::start(ShellDataDir &data)
{
    data.writeOperators();
    data.registerDirectory();
    auto principal = std::make_unique<TfrmPrincipal>();
    principal->Create();
    if (!principal->Started())
        return nullptr;
    principal->show();
    principal->activateWindow();
    if (!QTest::qWaitFor([&] { return principal->LoginWindow() != nullptr; }))
        return nullptr;
    TfrmLogin *login = principal->LoginWindow();
    login->medCdFilial->SetText(QStringLiteral("0001"));
    login->medCdOperador->SetText(QStringLiteral("000000000001"));
    login->edtSenha->setText(QStringLiteral("senha1"));
    login->btnConfirma->click();
    if (!QTest::qWaitFor([&] { return principal->LoginWindow() == nullptr; }))
        return nullptr;
    if (!QTest::qWaitForWindowActive(principal.get()))
        return nullptr;
    return principal;
}

FieldWindow *TestJanelas::open(TfrmPrincipal &principal, TaskWindow window, bool asks)
{
    principal.SetWindowFactory(window, [window, asks](const LoginSession &) {
        return new FieldWindow(ScreenCode(window), asks);
    });
    const char *menus[] = {"mnuInventario", "mnuLanEntrada", "mnuLanSaida",
                           "mnuSolCompras", "mnuEfetivos",   "mnuRetServico"};
    principal.findChild<QAction *>(menus[int(window)])->trigger();
    return static_cast<FieldWindow *>(principal.TaskWindowInstance(window));
}

void TestJanelas::openedWindowTakesTheFocus_data()
{
    QTest::addColumn<bool>("named");
    QTest::newRow("its first control") << false;
    QTest::newRow("the control it names") << true;
}

void TestJanelas::openedWindowTakesTheFocus()
{
    QFETCH(bool, named);
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    principal->SetWindowFactory(TaskWindow::Inventario, [named](const LoginSession &) {
        auto *w = new FieldWindow(QStringLiteral("KIS00100"));
        if (named)
            w->ActiveControl = w->edtSegundo;
        return w;
    });
    // From the menu bar, as the operator does with Alt.
    principal->findChild<QAction *>("mnuInventario")->trigger();
    auto *w = static_cast<FieldWindow *>(principal->TaskWindowInstance(TaskWindow::Inventario));
    QVERIFY(w);
    QTRY_COMPARE(QApplication::focusWidget(), named ? w->edtSegundo : w->edtPrimeiro);

    // Another window in front, then this one again: the focus comes back
    // where the operator left it.
    w->edtSegundo->setFocus();
    FieldWindow *other = open(*principal, TaskWindow::LanEntrada);
    QTRY_COMPARE(QApplication::focusWidget(), other->edtPrimeiro);
    principal->findChild<QAction *>("mnuInventario")->trigger();
    QTRY_COMPARE(QApplication::focusWidget(), w->edtSegundo);
}

void TestJanelas::focusMovedBehindADialogStays()
{
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    open(*principal, TaskWindow::LanEntrada);
    FieldWindow *w = open(*principal, TaskWindow::Inventario);
    QVERIFY(w);
    w->edtPrimeiro->setFocus();
    QTRY_VERIFY(w->edtPrimeiro->hasFocus());
    // As a lookup does: a dialog in front (the main window inactive), the
    // window's code moves the focus on, then the main window comes back.
    QApplication::setActiveWindow(nullptr);
    QTRY_VERIFY(!principal->isActiveWindow());
    w->edtSegundo->setFocus();
    QApplication::setActiveWindow(principal.get());
    QTRY_VERIFY(principal->isActiveWindow());
    QTRY_COMPARE(QApplication::focusWidget(), w->edtSegundo);
    QTest::qWait(100);
    QCOMPARE(QApplication::focusWidget(), w->edtSegundo);
}

void TestJanelas::tabStaysInTheActiveWindow_data()
{
    QTest::addColumn<bool>("forward");
    QTest::newRow("Tab from the last control") << true;
    QTest::newRow("Shift+Tab from the first") << false;
}

void TestJanelas::tabStaysInTheActiveWindow()
{
    QFETCH(bool, forward);
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    FieldWindow *behind = open(*principal, TaskWindow::LanEntrada);
    FieldWindow *front = open(*principal, TaskWindow::Inventario);
    QVERIFY(behind && front);
    QLineEdit *from = forward ? front->edtSegundo : front->edtPrimeiro;
    QLineEdit *to = forward ? front->edtPrimeiro : front->edtSegundo;
    from->setFocus();
    QTRY_VERIFY(from->hasFocus());
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        forward ? Qt::NoModifier : Qt::ShiftModifier);
        QVERIFY(front->isAncestorOf(QApplication::focusWidget()));
        std::swap(from, to);
        QCOMPARE(QApplication::focusWidget(), from);
    }
    // What the operator types goes to the window in front only.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12"));
    QCOMPARE(behind->edtPrimeiro->text() + behind->edtSegundo->text(), QString());
    QCOMPARE(principal->mdiArea->activeSubWindow(), frame(front));
}

void TestJanelas::newWindowsLieInsideTheClientArea()
{
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    principal->resize(1000, 720);
    QTest::qWait(0);
    const QRect area = principal->mdiArea->viewport()->rect();
    QList<QPoint> corners;
    for (TaskWindow window : {TaskWindow::Inventario, TaskWindow::LanEntrada,
                              TaskWindow::LanSaida, TaskWindow::SolCompras}) {
        FieldWindow *w = open(*principal, window);
        QVERIFY(w);
        const QRect placed = frame(w)->geometry();
        QVERIFY2(area.contains(placed), qPrintable(QStringLiteral("%1 outside %2")
                                                       .arg(QDebug::toString(placed),
                                                            QDebug::toString(area))));
        QVERIFY(placed.width() >= std::min(900, area.width()) * 3 / 4);
        corners.append(placed.topLeft());
    }
    // Cascaded: none hides another's title bar.
    for (int i = 1; i < corners.size(); ++i)
        QVERIFY2(!corners.mid(0, i).contains(corners[i]) || corners[i] == QPoint(0, 0),
                 qPrintable(QDebug::toString(corners)));
    QVERIFY(corners[1] != corners[0]);
}

void TestJanelas::windowLargerThanTheAreaScrolls()
{
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    principal->resize(640, 420);
    QTest::qWait(0);
    FieldWindow *w = open(*principal, TaskWindow::Inventario);
    QVERIFY(w);
    QVERIFY(principal->mdiArea->viewport()->rect().contains(frame(w)->geometry()));
    // Larger than the area, as a window whose controls need the room: the
    // area scrolls to it instead of cutting it off.
    frame(w)->resize(1200, 900);
    QTRY_VERIFY(principal->mdiArea->horizontalScrollBar()->isVisible());
    QTRY_VERIFY(principal->mdiArea->verticalScrollBar()->isVisible());
}

void TestJanelas::restoredAfterMaximizeIsUsable()
{
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    FieldWindow *w = open(*principal, TaskWindow::Inventario);
    QVERIFY(w);
    QMdiSubWindow *sub = frame(w);
    const QSize placed = sub->size();
    sub->showMaximized();
    QTRY_VERIFY(sub->isMaximized());
    sub->showNormal();
    QTRY_VERIFY(!sub->isMaximized());
    QVERIFY(sub->width() >= placed.width() / 2 && sub->height() >= placed.height() / 2);
    QVERIFY(principal->mdiArea->viewport()->rect().intersects(sub->geometry()));
}

void TestJanelas::windowKeys()
{
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    FieldWindow *first = open(*principal, TaskWindow::Inventario);
    FieldWindow *second = open(*principal, TaskWindow::LanEntrada, true);
    QVERIFY(first && second);
    QTRY_VERIFY(second->isAncestorOf(QApplication::focusWidget()));

    // Ctrl+F6 and Ctrl+Tab go to the other window, with the focus and the code.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ControlModifier);
    QTRY_COMPARE(principal->mdiArea->activeSubWindow(), frame(first));
    QTRY_VERIFY(first->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00100"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QTRY_COMPARE(principal->mdiArea->activeSubWindow(), frame(second));
    QTRY_VERIFY(second->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00200"));

    // The menus' access keys (Alt+O) reach the window in front only.
    QVERIFY(second->menuBar()->isEnabled());
    QVERIFY(!first->menuBar()->isEnabled());

    // Ctrl+F4 closes the window in front through its own rules: "Não" keeps it.
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("Não")).press(QStringLiteral("Sim"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    QVERIFY(answerer.waitFor(1));
    QCOMPARE(answerer.at(0).text, kCancelQuestion);
    QVERIFY(principal->TaskWindowInstance(TaskWindow::LanEntrada));
    QTRY_VERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    QVERIFY(answerer.waitFor(2));
    QTRY_VERIFY(!principal->TaskWindowInstance(TaskWindow::LanEntrada));
    QVERIFY(principal->TaskWindowInstance(TaskWindow::Inventario));
    QCOMPARE(answerer.pending(), 0);
}

void TestJanelas::screenCodeOfTheWindowInFront()
{
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    FieldWindow *inventory = open(*principal, TaskWindow::Inventario);
    FieldWindow *entries = open(*principal, TaskWindow::LanEntrada);
    QVERIFY(inventory && entries);
    QCOMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00200"));

    // A box over the window (a lookup, a message) comes and goes: the
    // window in front is still the entry window.
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    guarded(entries, [] { MensErro(QStringLiteral("Produto não cadastrado."), false); });
    QVERIFY(answerer.waitFor(1));
    QTRY_VERIFY(QApplication::activeWindow() == principal.get());
    QTest::qWait(50);
    QCOMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00200"));

    // Once it closes, the window that comes to the front shows its code.
    entries->close();
    QTRY_VERIFY(!principal->TaskWindowInstance(TaskWindow::LanEntrada));
    QTRY_COMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00100"));
    inventory->close();
    QTRY_VERIFY(!principal->TaskWindowInstance(TaskWindow::Inventario));
    QTRY_COMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00000"));
}

void TestJanelas::endingTheRunClosesEachWindowThroughItsRules_data()
{
    QTest::addColumn<QString>("windowAnswer");
    QTest::addColumn<bool>("ends");
    QTest::newRow("Não keeps the program and the document") << "Não" << false;
    QTest::newRow("Sim lets it end") << "Sim" << true;
}

void TestJanelas::endingTheRunClosesEachWindowThroughItsRules()
{
    QFETCH(QString, windowAnswer);
    QFETCH(bool, ends);
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    QPointer<FieldWindow> quiet = open(*principal, TaskWindow::Inventario);
    QPointer<FieldWindow> typing = open(*principal, TaskWindow::LanEntrada, true);
    typing->edtPrimeiro->setText(QStringLiteral("documento em digitação"));

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("Sim")).press(windowAnswer);
    const bool closed = principal->close();
    QVERIFY2(answerer.count() == 2, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, QStringLiteral("Deseja sair do sistema ?"));
    QCOMPARE(answerer.at(1).text, kCancelQuestion);
    QCOMPARE(closed, ends);
    QCOMPARE(principal->isVisible(), !ends);
    if (!ends) {
        // The window that asked is still there, with its document, in front.
        QVERIFY(typing);
        QCOMPARE(typing->edtPrimeiro->text(), QStringLiteral("documento em digitação"));
        QCOMPARE(principal->mdiArea->activeSubWindow(), frame(typing));
        QVERIFY(quiet);
        QCOMPARE(principal->cdsDados->Active(), true);
    }
    QCOMPARE(answerer.pending(), 0);
}

void TestJanelas::menuObjectNamesDoNotHangOnCaptions()
{
    ShellDataDir data;
    auto principal = start(data);
    QVERIFY(principal);
    for (const char *name : {"mnuAjuste", "mnuLancamentos", "mnuConsumo", "mnuMedicao",
                             "mnuRetirada"}) {
        QMenu *menu = principal->findChild<QMenu *>(name);
        QVERIFY2(menu, name);
        QVERIFY(!menu->actions().isEmpty());
    }
}

QTEST_MAIN(TestJanelas)
#include "tst_janelas.moc"
