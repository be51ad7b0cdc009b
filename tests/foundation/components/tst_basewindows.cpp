#include "basewindows.h"
#include "datasource.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "dialoganswerer.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "table.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace kiv;

namespace {

// The commands of the base windows: the tool button and its menu twin.
struct CommandNames
{
    const char *button;
    const char *menu;
};

const CommandNames commandNames[] = {
    {"sbtIncluir", "mnuIncluir"},     {"sbtAlterar", "mnuAlterar"},
    {"sbtExcluir", "mnuExcluir"},     {"sbtProcurar", "mnuProcurar"},
    {"sbtVerificar", "mnuVerificar"}, {"sbtCancelar", "mnuCancelar"},
    {"sbtConfirmar", "mnuConfirmar"}, {"sbtImprimir", "mnuListagem"},
    {"sbtAjuda", "mnuAjuda"},         {"sbtFechar", "mnuFechar"},
};

// A list of kitchens: the table a task window edits.
struct Kitchens
{
    Table table{QStringLiteral("cdsCozinha")};

    explicit Kitchens(const QStringList &names = {"Norte", "Sul", "Leste"})
    {
        table.SetFieldDefs({FieldDef::text("CDCOZINHA", 4, "Código"),
                            FieldDef::text("NMCOZINHA", 30, "Nome")});
        table.CreateDataSet();
        for (int i = 0; i < names.size(); ++i) {
            table.Append();
            table.FieldByName("CDCOZINHA")->SetAsString(QString::number(i + 1));
            table.FieldByName("NMCOZINHA")->SetAsString(names[i]);
            table.Post();
        }
        if (!names.isEmpty())
            table.First();
    }

    QStringList names()
    {
        QStringList result;
        for (int row = 0; row < table.ViewCount(); ++row)
            result << table.TextAt(row, 1);
        return result;
    }
};

TfrmPadraoSimples *newWindow(const QString &kind)
{
    if (kind == "grid")
        return new TfrmPadraoGrid;
    if (kind == "pages")
        return new TfrmPadrao;
    return new TfrmPadraoSimples;
}

std::unique_ptr<TfrmPadraoSimples> makeWindow(const QString &kind)
{
    std::unique_ptr<TfrmPadraoSimples> window(newWindow(kind));
    // Closing deletes the window; these tests own it instead.
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    return window;
}

QToolButton *button(QWidget *window, const char *name)
{
    return window->findChild<QToolButton *>(QLatin1String(name));
}

QAction *entry(QWidget *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

// The commands enabled, in command order: "IAEPV" for insert, edit
// (Alterar), delete (Excluir), find (Procurar), verify; "CO" for cancel,
// confirm; "-" for each one disabled.
QString enabledCommands(QWidget *window)
{
    const char *const names[] = {"mnuIncluir", "mnuAlterar", "mnuExcluir", "mnuProcurar",
                                 "mnuVerificar", "mnuCancelar", "mnuConfirmar"};
    const char letters[] = "IAEPVCO";
    QString result;
    for (int i = 0; i < 7; ++i) {
        QAction *action = entry(window, names[i]);
        result += action && action->isEnabled() ? QChar::fromLatin1(letters[i]) : u'-';
    }
    return result;
}

// Every button shows what its menu entry allows.
void verifyTwins(QWidget *window)
{
    for (const CommandNames &names : commandNames) {
        QToolButton *tool = button(window, names.button);
        QAction *action = entry(window, names.menu);
        QVERIFY2(tool && action, names.button);
        QVERIFY2(tool->isEnabled() == action->isEnabled(), names.button);
    }
}

} // namespace

class TestBaseWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void partsOfEachBase_data();
    void partsOfEachBase();
    void commandsFollowTheTableState_data();
    void commandsFollowTheTableState();
    void commandsAfterTheRecordCountChanges();
    void insertEditConfirmCancel_data();
    void insertEditConfirmCancel();
    void confirmWritesWhatIsBeingTyped();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void deleteAsksTheWindowsOwnQuestion();
    void ctrlDeleteInTheGridAsksTheSameQuestion();
    void findOpensTheFindDialog();
    void reattachingTheDataSource();
    void pageChangeFocusesTheGrid();
    void pageEntriesChooseTheirPage();
    void closingDiscardsTheWindow_data();
    void closingDiscardsTheWindow();
};

void TestBaseWindows::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TestBaseWindows::partsOfEachBase_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("TfrmPadraoSimples") << "simple" << QStringList{"lblCodTela", "tbrFerramentas"};
    QTest::newRow("TfrmPadrao") << "pages"
                                << QStringList{"pgcPadrao", "tshFolhaDados", "tshFormulario",
                                               "dbgPadrao", "dbnPadrao", "mnuFolhaDados",
                                               "mnuFormulario"};
    QTest::newRow("TfrmPadraoGrid") << "grid"
                                    << QStringList{"pgcPadrao", "tshPadrao", "dbgPadrao",
                                                   "dbnPadrao"};
}

void TestBaseWindows::partsOfEachBase()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, parts);
    auto window = makeWindow(kind);
    for (const QString &part : parts)
        QVERIFY2(window->findChild<QObject *>(part), qPrintable(part));
    QVERIFY(window->findChild<TDataSource *>("dtsPadrao") == window->dtsPadrao);

    // The command entries sit in their two menus.
    QStringList operacao, manutencao;
    for (QAction *action : window->mnuOperacao->actions())
        if (!action->isSeparator())
            operacao << action->objectName();
    for (QAction *action : window->mnuManutencao->actions())
        manutencao << action->objectName();
    for (const char *name : {"mnuIncluir", "mnuAlterar", "mnuExcluir", "mnuProcurar",
                             "mnuVerificar", "mnuCancelar", "mnuConfirmar"})
        QVERIFY2(operacao.contains(name), name);
    for (const char *name : {"mnuOrdenar", "mnuListagem", "mnuConfigImpressora"})
        QVERIFY2(manutencao.contains(name), name);
    QVERIFY(window->msgMensagensPadroes.contains("Canc"));
    QVERIFY(window->msgMensagensPadroes.contains("Excl"));

    // The grid shows the table attached to dtsPadrao.
    if (auto *grid = window->findChild<TDBGrid *>("dbgPadrao")) {
        Kitchens kitchens;
        window->dtsPadrao->setDataSet(&kitchens.table);
        QCOMPARE(grid->DataSet(), &kitchens.table);
        QCOMPARE(grid->model()->rowCount(), 3);
    }
}

void TestBaseWindows::commandsFollowTheTableState_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("enabled");

    for (const char *kind : {"simple", "pages", "grid"}) {
        QTest::addRow("%s, no table", kind) << kind << "none" << "-------";
        QTest::addRow("%s, closed table", kind) << kind << "closed" << "-------";
        QTest::addRow("%s, empty table", kind) << kind << "empty" << "I---V--";
        QTest::addRow("%s, browsing records", kind) << kind << "browse" << "IAEPV--";
        QTest::addRow("%s, editing", kind) << kind << "edit" << "-----CO";
        QTest::addRow("%s, inserting", kind) << kind << "insert" << "-----CO";
    }
}

void TestBaseWindows::commandsFollowTheTableState()
{
    QFETCH(QString, kind);
    QFETCH(QString, state);
    QFETCH(QString, enabled);

    auto window = makeWindow(kind);
    Kitchens kitchens(state == "empty" ? QStringList() : QStringList{"Norte", "Sul"});
    if (state != "none")
        window->dtsPadrao->setDataSet(&kitchens.table);
    // The table changes state on its own: the window follows.
    if (state == "closed")
        kitchens.table.Close();
    else if (state == "edit")
        kitchens.table.Edit();
    else if (state == "insert")
        kitchens.table.Insert();

    QCOMPARE(enabledCommands(window.get()), enabled);
    verifyTwins(window.get());

    // And back to browsing.
    if (state == "edit" || state == "insert") {
        kitchens.table.Cancel();
        QCOMPARE(enabledCommands(window.get()), QStringLiteral("IAEPV--"));
        verifyTwins(window.get());
    }
}

void TestBaseWindows::commandsAfterTheRecordCountChanges()
{
    // Edit, delete and find need a record: they follow the count even when
    // the table's state does not change.
    auto window = makeWindow("simple");
    Kitchens kitchens({"Norte"});
    window->dtsPadrao->setDataSet(&kitchens.table);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("IAEPV--"));

    kitchens.table.Delete();
    QCOMPARE(kitchens.table.RecordCount(), 0);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("I---V--"));
    verifyTwins(window.get());

    kitchens.table.Append();
    kitchens.table.FieldByName("NMCOZINHA")->SetAsString("Oeste");
    kitchens.table.Post();
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("IAEPV--"));

    // A filter that hides every record.
    kitchens.table.SetFilter(QStringLiteral("NMCOZINHA = 'Nenhuma'"));
    kitchens.table.SetFiltered(true);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("I---V--"));
    kitchens.table.SetFiltered(false);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("IAEPV--"));
    verifyTwins(window.get());
}

void TestBaseWindows::insertEditConfirmCancel_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("finish");
    QTest::addColumn<QStringList>("names");

    for (const char *kind : {"simple", "grid"}) {
        QTest::addRow("%s, insert then confirm", kind)
            << kind << "sbtIncluir" << "sbtConfirmar"
            << QStringList{"Centro", "Norte", "Sul", "Leste"};
        QTest::addRow("%s, insert then cancel", kind)
            << kind << "sbtIncluir" << "sbtCancelar" << QStringList{"Norte", "Sul", "Leste"};
        QTest::addRow("%s, edit then confirm", kind)
            << kind << "sbtAlterar" << "sbtConfirmar" << QStringList{"Centro", "Sul", "Leste"};
        QTest::addRow("%s, edit then cancel", kind)
            << kind << "sbtAlterar" << "sbtCancelar" << QStringList{"Norte", "Sul", "Leste"};
    }
}

void TestBaseWindows::insertEditConfirmCancel()
{
    QFETCH(QString, kind);
    QFETCH(QString, start);
    QFETCH(QString, finish);
    QFETCH(QStringList, names);

    auto window = makeWindow(kind);
    Kitchens kitchens;
    window->dtsPadrao->setDataSet(&kitchens.table);
    window->show();

    button(window.get(), start.toLatin1())->click();
    QCOMPARE(kitchens.table.State(),
             start == "sbtIncluir" ? DataSetState::Insert : DataSetState::Edit);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("-----CO"));
    kitchens.table.FieldByName("NMCOZINHA")->SetAsString("Centro");

    button(window.get(), finish.toLatin1())->click();
    QCOMPARE(kitchens.table.State(), DataSetState::Browse);
    QCOMPARE(kitchens.names(), names);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("IAEPV--"));
    verifyTwins(window.get());
}

void TestBaseWindows::confirmWritesWhatIsBeingTyped()
{
    // The command buttons take no focus: the text still in the edit is
    // written before the record is posted.
    auto window = makeWindow("simple");
    Kitchens kitchens;
    window->dtsPadrao->setDataSet(&kitchens.table);
    auto *edit = new TDBEdit(window.get());
    edit->setObjectName("dbeNmCozinha");
    edit->SetDataSource(window->dtsPadrao);
    edit->SetDataField("NMCOZINHA");
    window->findChild<QWidget *>("pnlCliente")->layout()->addWidget(edit);
    window->show();
    window->activateWindow();
    QTRY_VERIFY(window->isActiveWindow());
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());

    button(window.get(), "sbtAlterar")->click();
    edit->selectAll();
    QTest::keyClicks(edit, "Centro");
    button(window.get(), "sbtConfirmar")->click();
    QCOMPARE(kitchens.table.State(), DataSetState::Browse);
    QCOMPARE(kitchens.names(), (QStringList{"Centro", "Sul", "Leste"}));
}

void TestBaseWindows::deleteAsksFirst_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Yes deletes the current record") << "Sim" << QStringList{"Norte", "Leste"};
    QTest::newRow("No keeps it") << "Não" << QStringList{"Norte", "Sul", "Leste"};
}

void TestBaseWindows::deleteAsksFirst()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, names);
    auto window = makeWindow("pages");
    Kitchens kitchens;
    kitchens.table.SetRecNo(2);
    window->dtsPadrao->setDataSet(&kitchens.table);
    window->show();

    DialogAnswerer answerer;
    answerer.press(answer);
    button(window.get(), "sbtExcluir")->click();
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, window->msgMensagensPadroes.Msg("Excl"));
    QCOMPARE(kitchens.names(), names);
    QCOMPARE(kitchens.table.State(), DataSetState::Browse);
}

// A window whose catalogue carries "Excl" asks its own question.
void TestBaseWindows::deleteAsksTheWindowsOwnQuestion()
{
    auto window = makeWindow("grid");
    window->msgPadrao.addLine(QStringLiteral("Excl|Confirma exclusão?"));
    Kitchens kitchens;
    window->dtsPadrao->setDataSet(&kitchens.table);
    window->show();

    DialogAnswerer answerer;
    answerer.press("Não");
    button(window.get(), "sbtExcluir")->click();
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, QStringLiteral("Confirma exclusão?"));
    QCOMPARE(kitchens.table.RecordCount(), 3);
}

void TestBaseWindows::ctrlDeleteInTheGridAsksTheSameQuestion()
{
    auto window = makeWindow("grid");
    auto *grid = window->findChild<TDBGrid *>("dbgPadrao");
    Kitchens kitchens;
    window->dtsPadrao->setDataSet(&kitchens.table);
    window->show();
    window->activateWindow();
    QTRY_VERIFY(window->isActiveWindow());
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(kitchens.table.RecNo(), 2);

    DialogAnswerer answerer;
    answerer.press("Sim");
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, window->msgMensagensPadroes.Msg("Excl"));
    QCOMPARE(kitchens.names(), (QStringList{"Norte", "Leste"}));

    // With the delete command off, Ctrl+Delete does nothing.
    kitchens.table.Edit();
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::qWait(20);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(kitchens.table.RecordCount(), 2);
}

void TestBaseWindows::findOpensTheFindDialog()
{
    auto window = makeWindow("simple");
    Kitchens kitchens;
    window->dtsPadrao->setDataSet(&kitchens.table);
    window->show();

    DialogAnswerer answerer;
    answerer.pressEscape();
    button(window.get(), "sbtProcurar")->click();
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).objectName, QStringLiteral("dlgProcura"));
    QCOMPARE(kitchens.table.RecNo(), 1);
}

void TestBaseWindows::reattachingTheDataSource()
{
    auto window = makeWindow("grid");
    auto *grid = window->findChild<TDBGrid *>("dbgPadrao");
    Kitchens first;
    Kitchens second(QStringList{});
    window->dtsPadrao->setDataSet(&first.table);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("IAEPV--"));

    window->dtsPadrao->setDataSet(&second.table);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("I---V--"));
    verifyTwins(window.get());
    QCOMPARE(grid->model()->rowCount(), 0);

    // The table left behind no longer moves the commands.
    first.table.Edit();
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("I---V--"));
    first.table.Cancel();

    // The commands act on the table attached now.
    button(window.get(), "sbtIncluir")->click();
    QCOMPARE(second.table.State(), DataSetState::Insert);
    QCOMPARE(first.table.State(), DataSetState::Browse);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("-----CO"));
    second.table.FieldByName("NMCOZINHA")->SetAsString("Oeste");
    button(window.get(), "sbtConfirmar")->click();
    QCOMPARE(second.names(), QStringList{"Oeste"});
    QCOMPARE(first.names(), (QStringList{"Norte", "Sul", "Leste"}));
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("IAEPV--"));

    // Detached: nothing to act on.
    window->dtsPadrao->setDataSet(nullptr);
    QCOMPARE(enabledCommands(window.get()), QStringLiteral("-------"));
    verifyTwins(window.get());
}

void TestBaseWindows::pageChangeFocusesTheGrid()
{
    auto owned = makeWindow("pages");
    auto *window = static_cast<TfrmPadrao *>(owned.get());
    Kitchens kitchens;
    window->dtsPadrao->setDataSet(&kitchens.table);
    window->show();
    window->activateWindow();
    QTRY_VERIFY(window->isActiveWindow());
    window->pgcPadrao->SetActivePage(window->tshFormulario);
    window->pgcPadrao->SelectPage(0);
    QCOMPARE(window->pgcPadrao->ActivePage(), window->tshFolhaDados);
    QTRY_VERIFY(window->dbgPadrao->hasFocus());
}

// The page entries of the menu act as the operator's choice of a page: the
// page-change events run, and a disabled page cannot be chosen.
void TestBaseWindows::pageEntriesChooseTheirPage()
{
    auto owned = makeWindow("pages");
    auto *window = static_cast<TfrmPadrao *>(owned.get());
    int changes = 0;
    window->pgcPadrao->OnChange = [&] { ++changes; };
    window->mnuFormulario->trigger();
    QCOMPARE(window->pgcPadrao->ActivePage(), window->tshFormulario);
    QCOMPARE(changes, 1);
    window->tshFolhaDados->setEnabled(false);
    window->mnuFolhaDados->trigger();
    QCOMPARE(window->pgcPadrao->ActivePage(), window->tshFormulario);
    QCOMPARE(changes, 1);
    window->tshFolhaDados->setEnabled(true);
    window->mnuFolhaDados->trigger();
    QCOMPARE(window->pgcPadrao->ActivePage(), window->tshFolhaDados);
    QCOMPARE(changes, 2);
}

void TestBaseWindows::closingDiscardsTheWindow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("byButton");
    for (const char *kind : {"simple", "pages", "grid"}) {
        QTest::addRow("%s, Fechar", kind) << kind << true;
        QTest::addRow("%s, close box", kind) << kind << false;
    }
}

void TestBaseWindows::closingDiscardsTheWindow()
{
    QFETCH(QString, kind);
    QFETCH(bool, byButton);
    Kitchens kitchens;
    QPointer<TfrmPadraoSimples> window = newWindow(kind);
    window->dtsPadrao->setDataSet(&kitchens.table);
    window->show();
    if (byButton)
        button(window, "sbtFechar")->click();
    else
        QVERIFY(window->close());
    QTRY_VERIFY(window.isNull());
    // The table outlives the window and stays usable.
    kitchens.table.Edit();
    kitchens.table.Cancel();
    QCOMPARE(kitchens.table.RecordCount(), 3);
}

QTEST_MAIN(TestBaseWindows)
#include "tst_basewindows.moc"
