#include "datasource.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "editmask.h"
#include "errors.h"
#include "fieldeditmask.h"
#include "keys.h"
#include "localeservice.h"
#include "maskedit.h"
#include "messagebox.h"
#include "table.h"
#include "tablefile.h"
#include "typeahead.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace kiv;

namespace {

// A window with a grid over a small table of codes, names and quantities,
// and another control to move the focus to.
struct GridWindow
{
    Table table{QStringLiteral("cdsTeste")};
    TDataSource source;
    QWidget window;
    TDBGrid *grid = nullptr;
    QLineEdit *other = nullptr;

    explicit GridWindow(const QStringList &names = {"Arroz", "Feijão", "Macarrão"})
    {
        table.SetFieldDefs({FieldDef::text("CODIGO", 5, "Código"),
                            FieldDef::text("NOME", 20, "Nome"),
                            FieldDef::of("QTDE", FieldKind::Float, "Qtde")});
        table.CreateDataSet();
        for (int i = 0; i < names.size(); ++i) {
            table.Append();
            table.FieldByName("CODIGO")->SetAsString(QString::number(i + 1));
            table.FieldByName("NOME")->SetAsString(names[i]);
            table.FieldByName("QTDE")->SetAsFloat(i + 1);
            table.Post();
        }
        table.First();
        source.setDataSet(&table);

        auto *layout = new QVBoxLayout(&window);
        grid = new TDBGrid(&window);
        grid->setObjectName(QStringLiteral("dbgPadrao"));
        other = new QLineEdit(&window);
        other->setObjectName(QStringLiteral("edtOutro"));
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->SetDataSource(&source);
        grid->Columns().Add("CODIGO", "Código", 60);
        grid->Columns().Add("NOME", "Nome", 160);
        grid->Columns().Add("QTDE", "Qtde", 70);
        window.resize(400, 300);
    }

    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        grid->setFocus();
        return QTest::qWaitFor([&] { return gridHasFocus(); });
    }

    bool gridHasFocus() const
    {
        QWidget *focus = QApplication::focusWidget();
        return focus && (focus == grid || grid->isAncestorOf(focus));
    }

    QString text(int row, const char *field) const
    {
        return table.TextAt(row, table.FieldByName(field)->Index());
    }

    void clickCell(int row, int column)
    {
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
};

// Keys go where the operator's keys go: to the widget with the focus. After
// a message box the window gets the focus back through the window system,
// which takes a moment.
QWidget *focused()
{
    if (!QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 2000))
        return nullptr;
    return QApplication::focusWidget();
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    if (QWidget *target = focused())
        QTest::keyClick(target, key, modifiers);
    else
        QFAIL("no widget has the focus");
}

void type(const QString &text)
{
    for (QChar c : text) {
        if (QWidget *target = focused())
            QTest::keyClick(target, c.toLatin1());
        else
            QFAIL("no widget has the focus");
    }
}

} // namespace

class TestDBGrid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void gridFollowsTableAndTableFollowsGrid();
    void typingStartsEditAndLeavingTheCellWritesIt_data();
    void typingStartsEditAndLeavingTheCellWritesIt();
    void enterWritesTheCellAndMovesOn();
    void keysTypedAheadReachTheirCells_data();
    void keysTypedAheadReachTheirCells();
    void ctrlTabIsNotACellMove();
    void tabSkipsReadOnlyColumnsAndPostsAtRowEnd();
    void movingToAnotherRowPosts_data();
    void movingToAnotherRowPosts();
    void clickLandsOnTheRowClickedWhenPostingMovesRows_data();
    void clickLandsOnTheRowClickedWhenPostingMovesRows();
    void enterAndExitFollowTheWindowsActiveControl();
    void gridTakingTheFocusInAnInactiveWindowLeavesTheEdit();
    void arrowDownAppendsAndUntouchedRowIsDropped_data();
    void arrowDownAppendsAndUntouchedRowIsDropped();
    void beforeInsertRefusingLeavesGridAsItWas();
    void escUndoesCellThenRow_data();
    void escUndoesCellThenRow();
    void ctrlDeleteAsksAndDeletesOnYesOnly_data();
    void ctrlDeleteAsksAndDeletesOnYesOnly();
    void keyHandlersSeePlatformCodesAndDropKeys();
    void onKeyPressFiltersAndReplacesCharacters();
    void colExitRunsOnTheColumnLeftAndCanStopTheMove();
    void ellipsisButtonSwitchesAtRunTime();
    void beforePostErrorKeepsRowInEditWithFocusInGrid();
    void maskedDateCellWritesTheDate();
    void gridTextIndiceColAndRefreshGrid();
    void drawColumnCellChangesColours();
    void largeTableIsLazyAndCursorMovesDoNotReset();
};

void TestDBGrid::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestDBGrid::init()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TestDBGrid::gridFollowsTableAndTableFollowsGrid()
{
    GridWindow w;
    QVERIFY(w.show());
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QCOMPARE(w.grid->currentIndex().row(), 0);

    w.table.SetRecNo(3);
    QCOMPARE(w.grid->currentIndex().row(), 2);
    w.table.First();
    QCOMPARE(w.grid->currentIndex().row(), 0);

    int scrolls = 0;
    w.table.AfterScroll = [&](Table &) { ++scrolls; };
    w.clickCell(1, 1);
    QCOMPARE(w.table.RecNo(), 2);
    QCOMPARE(w.grid->SelectedIndex(), 1);
    QCOMPARE(w.grid->SelectedField()->FieldName(), QString("NOME"));
    QCOMPARE(scrolls, 1);

    press(Qt::Key_Down);
    QCOMPARE(w.table.RecNo(), 3);
    press(Qt::Key_Up);
    press(Qt::Key_Up);
    QCOMPARE(w.table.RecNo(), 1);
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.grid->currentIndex(), w.grid->model()->index(0, 1));
}

void TestDBGrid::typingStartsEditAndLeavingTheCellWritesIt_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("text") << QChar(u',') << 1 << "Sal" << "Sal";
    QTest::newRow("number, comma") << QChar(u',') << 2 << "2,5" << "2,5";
    QTest::newRow("number, dot") << QChar(u'.') << 2 << "2.5" << "2.5";
    QTest::newRow("number refuses letters") << QChar(u',') << 2 << "1x2" << "12";
}

void TestDBGrid::typingStartsEditAndLeavingTheCellWritesIt()
{
    QFETCH(QChar, separator);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    LocaleService::setDecimalSeparator(separator);
    GridWindow w;
    QVERIFY(w.show());
    w.grid->SetSelectedIndex(column);
    const char *field = column == 1 ? "NOME" : "QTDE";
    const QString before = w.text(0, field);

    type(typed);
    // Typing starts the record's edit, but the field keeps its value until
    // the cell is left; what is typed replaces the cell's text.
    QCOMPARE(w.table.State(), DataSetState::Edit);
    QVERIFY(w.grid->EditorMode());
    QCOMPARE(w.grid->EditorText(), stored);
    QCOMPARE(w.text(0, field), before);

    press(Qt::Key_Tab);
    QVERIFY(!w.grid->EditorMode());
    QCOMPARE(w.text(0, field), stored);
    // Tab from the last column goes on to the next row, posting this one.
    QCOMPARE(w.table.State(), column == 1 ? DataSetState::Edit : DataSetState::Browse);
    QCOMPARE(w.grid->SelectedIndex(), column == 1 ? 2 : 0);
    QCOMPARE(w.table.RecNo(), column == 1 ? 1 : 2);
}

void TestDBGrid::enterWritesTheCellAndMovesOn()
{
    GridWindow w;
    QVERIFY(w.show());
    w.grid->SetSelectedIndex(1);
    type("Sal");
    press(Qt::Key_Return);
    QTRY_COMPARE(w.text(0, "NOME"), QString("Sal"));
    QTRY_COMPARE(w.grid->SelectedIndex(), 2);
    QVERIFY(!w.grid->EditorMode());
}

void TestDBGrid::keysTypedAheadReachTheirCells_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("separator");
    // Two rows typed from the name on, every key queued at once: Enter
    // must have moved on before the key behind it is handled.
    QTest::newRow("Enter") << "Sal\n2,5\n\nAçúcar\n3\n" << ",";
    QTest::newRow("Tab") << "Sal\t2,5\t\tAçúcar\t3\t" << ",";
    QTest::newRow("Enter, point where the separator is a comma")
        << "Sal\n2.5\n\nAçúcar\n3\n" << ",";
}

void TestDBGrid::keysTypedAheadReachTheirCells()
{
    QFETCH(QString, keys);
    QFETCH(QString, separator);
    LocaleService::setDecimalSeparator(separator.at(0));
    GridWindow w;
    w.grid->OnKeyPress = [&w](QChar &key) {
        if (w.grid->SelectedField()->FieldName() == QLatin1String("QTDE"))
            NumericKeyPress(key, true);
    };
    QVERIFY(w.show());
    w.grid->SetSelectedIndex(1);
    kivtest::typeAhead(&w.window, keys);
    QCOMPARE(w.text(0, "NOME"), QString("Sal"));
    QCOMPARE(w.text(0, "QTDE"), QString("2,5"));
    QCOMPARE(w.text(1, "NOME"), QString("Açúcar"));
    QCOMPARE(w.text(1, "QTDE"), QString("3"));
    QCOMPARE(w.table.RecNo(), 3);
}

void TestDBGrid::ctrlTabIsNotACellMove()
{
    GridWindow w;
    QVERIFY(w.show());
    w.grid->SetSelectedIndex(1);
    type("Sal");
    // Ctrl+Tab belongs to the main window (the next child window): the
    // cell keeps its place and what is being typed.
    press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(w.grid->SelectedIndex(), 1);
    QVERIFY(w.grid->EditorMode());
    QCOMPARE(w.grid->EditorText(), QString("Sal"));
}

void TestDBGrid::tabSkipsReadOnlyColumnsAndPostsAtRowEnd()
{
    GridWindow w;
    w.grid->Columns().Find("NOME")->SetReadOnly(true);
    QVERIFY(w.show());

    press(Qt::Key_Tab);
    QCOMPARE(w.grid->SelectedIndex(), 2);
    type("7");
    press(Qt::Key_Tab);
    // Past the last column: the row is posted and the next row's first cell is current.
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.text(0, "QTDE"), QString("7"));
    QCOMPARE(w.table.RecNo(), 2);
    QCOMPARE(w.grid->SelectedIndex(), 0);

    press(Qt::Key_Backtab);
    QCOMPARE(w.table.RecNo(), 1);
    QCOMPARE(w.grid->SelectedIndex(), 2);

    // Typing in the read-only column changes nothing.
    w.clickCell(0, 1);
    type("x");
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QVERIFY(!w.grid->EditorMode());
}

void TestDBGrid::movingToAnotherRowPosts_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("arrow down") << "down";
    QTest::newRow("click") << "click";
    QTest::newRow("table moved by the window") << "table";
}

void TestDBGrid::movingToAnotherRowPosts()
{
    QFETCH(QString, how);
    GridWindow w;
    QVERIFY(w.show());
    int posts = 0;
    w.table.AfterPost = [&](Table &) { ++posts; };
    w.grid->SetSelectedIndex(1);
    type("Sal");
    if (how == "down") {
        press(Qt::Key_Down);
    } else if (how == "click") {
        w.clickCell(2, 1);
    } else {
        // A command that moves the table writes the cell first.
        w.source.UpdateRecord();
        w.table.Last();
    }
    QCOMPARE(posts, 1);
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.text(0, "NOME"), QString("Sal"));
    QCOMPARE(w.table.RecNo(), how == "down" ? 2 : 3);
    QCOMPARE(w.grid->currentIndex().row(), w.table.RecNo() - 1);
    QVERIFY(!w.grid->EditorMode());
}

void TestDBGrid::clickLandsOnTheRowClickedWhenPostingMovesRows_data()
{
    // The rows in name order: Arroz, Feijão, Macarrão, Sal. "Macarrão" is
    // clicked where it shows before the pending row is posted or dropped.
    QTest::addColumn<int>("pendingRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("clickedRow");
    QTest::newRow("edited row moves down the order") << 0 << "Zebra" << 2;
    QTest::newRow("edited row moves up the order") << 3 << "Abacate" << 2;
    QTest::newRow("untouched new row above the click") << 1 << QString() << 3;
}

void TestDBGrid::clickLandsOnTheRowClickedWhenPostingMovesRows()
{
    QFETCH(int, pendingRow);
    QFETCH(QString, typed);
    QFETCH(int, clickedRow);
    GridWindow w({"Arroz", "Feijão", "Macarrão", "Sal"});
    w.table.SetIndexFieldNames("NOME");
    QVERIFY(w.show());
    w.grid->SetSelectedIndex(1);
    w.table.SetRecNo(pendingRow + 1);
    if (!typed.isEmpty()) {
        type(typed);
    } else {
        press(Qt::Key_Insert);
        QCOMPARE(w.table.State(), DataSetState::Insert);
        QCOMPARE(w.grid->model()->rowCount(), 5);
    }
    QCOMPARE(w.text(clickedRow, "NOME"), QString("Macarrão"));
    w.clickCell(clickedRow, 1);
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.table.FieldByName("NOME")->AsString(), QString("Macarrão"));
    QCOMPARE(w.grid->currentIndex().row(), w.table.RecNo() - 1);
    QCOMPARE(w.table.RecordCount(), 4);
    if (!typed.isEmpty())
        QVERIFY(w.table.Locate("NOME", typed));
}

void TestDBGrid::enterAndExitFollowTheWindowsActiveControl()
{
    GridWindow w;
    int enters = 0;
    int exits = 0;
    QString nameOnExit;
    w.grid->OnEnter = [&] { ++enters; };
    w.grid->OnExit = [&] {
        ++exits;
        nameOnExit = w.table.FieldByName("NOME")->AsString();
    };
    w.grid->OnKeyDown = [](int &key, Qt::KeyboardModifiers) {
        if (key == VK_F9)
            ShowMsg(QStringLiteral("Consulta"), MsgType::Information, mbOK);
    };
    QVERIFY(w.show());
    QCOMPARE(enters, 1);

    // A box over the window takes the focus for a while: not an exit.
    DialogAnswerer answerer;
    answerer.press("OK");
    w.grid->SetSelectedIndex(1);
    type("Sal");
    press(Qt::Key_F9);
    QCOMPARE(answerer.count(), 1);
    QTRY_VERIFY(w.gridHasFocus());
    QCOMPARE(enters, 1);
    QCOMPARE(exits, 0);
    QVERIFY(w.grid->EditorMode());

    // Leaving for another control writes the cell before OnExit runs.
    w.other->setFocus();
    QCOMPARE(exits, 1);
    QCOMPARE(nameOnExit, QString("Sal"));
    QCOMPARE(w.table.State(), DataSetState::Edit);
    w.grid->setFocus();
    QCOMPARE(enters, 2);
}

// The focus moved onto the grid while the window was not active (a dialog
// or another window had just closed): the edit that had it is left when the
// grid gets it, so it is entered again, with its rules, when the operator
// comes back to it.
void TestDBGrid::gridTakingTheFocusInAnInactiveWindowLeavesTheEdit()
{
    GridWindow w;
    auto *edit = new TMaskEdit(&w.window);
    w.window.layout()->addWidget(edit);
    int editEnters = 0;
    int editExits = 0;
    edit->OnEnter = [&] { ++editEnters; };
    edit->OnExit = [&] { ++editExits; };
    QVERIFY(w.show());
    edit->setFocus();
    QTRY_COMPARE(editEnters, 1);

    QWidget elsewhere;
    elsewhere.resize(100, 100);
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    w.grid->setFocus();
    QApplication::setActiveWindow(&w.window);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QTRY_VERIFY(w.gridHasFocus());
    QCOMPARE(editExits, 1);

    edit->setFocus();
    QTRY_COMPARE(editEnters, 2);
}

void TestDBGrid::arrowDownAppendsAndUntouchedRowIsDropped_data()
{
    QTest::addColumn<QString>("leave");
    QTest::newRow("arrow up") << "up";
    QTest::newRow("click on another row") << "click";
    QTest::newRow("focus leaves the grid") << "focus";
    QTest::newRow("arrow down stays") << "down";
}

void TestDBGrid::arrowDownAppendsAndUntouchedRowIsDropped()
{
    QFETCH(QString, leave);
    GridWindow w;
    QVERIFY(w.show());
    w.table.Last();
    press(Qt::Key_Down);
    QCOMPARE(w.table.State(), DataSetState::Insert);
    QCOMPARE(w.grid->model()->rowCount(), 4);
    QCOMPARE(w.grid->currentIndex().row(), 3);

    if (leave == "up")
        press(Qt::Key_Up);
    else if (leave == "click")
        w.clickCell(0, 0);
    else if (leave == "focus")
        w.other->setFocus();
    else
        press(Qt::Key_Down);

    if (leave == "down") {
        // Down on an untouched new last row does not add a second one.
        QCOMPARE(w.table.State(), DataSetState::Insert);
        QCOMPARE(w.grid->model()->rowCount(), 4);
        return;
    }
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.table.RecordCount(), 3);
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QCOMPARE(w.table.RecNo(), leave == "click" ? 1 : 3);
}

void TestDBGrid::beforeInsertRefusingLeavesGridAsItWas()
{
    GridWindow w;
    QVERIFY(w.show());
    DialogAnswerer answerer;
    w.table.BeforeInsert = [](Table &) { throw EAbort(); };
    w.table.Last();
    w.grid->SetSelectedIndex(2);
    QSignalSpy inserted(w.grid->model(), &QAbstractItemModel::rowsInserted);

    press(Qt::Key_Down);
    press(Qt::Key_Insert);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.grid->currentIndex(), w.grid->model()->index(2, 2));
    QVERIFY(w.gridHasFocus());
    QCOMPARE(answerer.count(), 0);  // the refusal is silent
}

void TestDBGrid::escUndoesCellThenRow_data()
{
    QTest::addColumn<bool>("newRow");
    QTest::newRow("row being edited") << false;
    QTest::newRow("new row") << true;
}

void TestDBGrid::escUndoesCellThenRow()
{
    QFETCH(bool, newRow);
    GridWindow w;
    QVERIFY(w.show());
    w.grid->SetSelectedIndex(1);
    if (newRow) {
        w.table.Last();
        press(Qt::Key_Down);
    }
    const int row = w.table.RecNo() - 1;
    type("Sal");
    press(Qt::Key_Escape);
    // The first Esc drops the text typed in the cell; the row stays in edit.
    QVERIFY(!w.grid->EditorMode());
    QCOMPARE(w.table.State(), newRow ? DataSetState::Insert : DataSetState::Edit);
    QCOMPARE(w.text(row, "NOME"), newRow ? QString() : QString("Arroz"));

    type("Sal");
    press(Qt::Key_Tab);
    QCOMPARE(w.text(row, "NOME"), QString("Sal"));
    press(Qt::Key_Escape);
    // The next Esc cancels the row.
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.table.RecordCount(), 3);
    QCOMPARE(w.grid->model()->rowCount(), 3);
    QCOMPARE(w.text(0, "NOME"), QString("Arroz"));
}

void TestDBGrid::ctrlDeleteAsksAndDeletesOnYesOnly_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("remaining");
    QTest::newRow("yes") << QString() << "Sim" << 2;
    QTest::newRow("no") << QString() << "Não" << 3;
    QTest::newRow("window's question") << "Confirma exclusão?" << "Sim" << 2;
}

void TestDBGrid::ctrlDeleteAsksAndDeletesOnYesOnly()
{
    QFETCH(QString, question);
    QFETCH(QString, answer);
    QFETCH(int, remaining);
    GridWindow w;
    if (!question.isEmpty())
        w.grid->SetDeleteQuestion(question);
    QVERIFY(w.show());
    w.table.SetRecNo(2);
    DialogAnswerer answerer;
    answerer.press(answer);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, question.isEmpty() ? QString("Excluir registro?") : question);
    QCOMPARE(w.table.RecordCount(), remaining);
    QCOMPARE(w.grid->model()->rowCount(), remaining);
    QCOMPARE(w.text(1, "NOME"), remaining == 2 ? QString("Macarrão") : QString("Feijão"));
    QTRY_VERIFY(w.gridHasFocus());

    // Plain Delete deletes nothing.
    press(Qt::Key_Delete);
    QCOMPARE(w.table.RecordCount(), remaining);
    QCOMPARE(answerer.count(), 1);
}

void TestDBGrid::keyHandlersSeePlatformCodesAndDropKeys()
{
    GridWindow w;
    QVERIFY(w.show());
    QList<int> seen;
    bool dropMoves = false;
    w.grid->OnKeyDown = [&](int &key, Qt::KeyboardModifiers) {
        seen << key;
        if (dropMoves && (key == VK_DOWN || key == VK_DELETE || key == VK_BACK))
            key = 0;
    };
    press(Qt::Key_F9);
    press(Qt::Key_F6);
    w.grid->SetSelectedIndex(1);
    type("a");
    press(Qt::Key_F9);  // from inside the cell editor too
    press(Qt::Key_Tab);
    QCOMPARE(seen, (QList<int>{VK_F9, VK_F6, 'A', VK_F9, VK_TAB}));

    dropMoves = true;
    w.table.Last();
    press(Qt::Key_Down);
    QCOMPARE(w.table.RecordCount(), 3);
    QCOMPARE(w.table.State(), DataSetState::Browse);
    press(Qt::Key_Backspace);
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QVERIFY(!w.grid->EditorMode());
}

void TestDBGrid::onKeyPressFiltersAndReplacesCharacters()
{
    GridWindow w;
    QVERIFY(w.show());
    QList<QChar> seen;
    w.grid->OnKeyPress = [&](QChar &key) {
        seen << key;
        if (w.grid->SelectedField()->FieldName() == "CODIGO") {
            if (key.isLetter())
                key = QChar();
        } else {
            key = key.toUpper();
        }
    };
    type("a1b2");
    QCOMPARE(w.grid->EditorText(), QString("12"));
    press(Qt::Key_Tab);
    QCOMPARE(w.text(0, "CODIGO"), QString("12"));
    type("sal");
    press(Qt::Key_Backspace);
    QCOMPARE(w.grid->EditorText(), QString("SA"));
    QCOMPARE(seen.size(), 8);
    QCOMPARE(seen.last(), QChar(VK_BACK));

    // Dropping Enter keeps the cell open where it is.
    w.grid->OnKeyPress = [](QChar &key) {
        if (key.unicode() == VK_RETURN)
            key = QChar();
    };
    press(Qt::Key_Return);
    QTest::qWait(20);
    QVERIFY(w.grid->EditorMode());
    QCOMPARE(w.grid->SelectedIndex(), 1);
}

void TestDBGrid::colExitRunsOnTheColumnLeftAndCanStopTheMove()
{
    GridWindow w;
    QVERIFY(w.show());
    DialogAnswerer answerer;
    QStringList exits;
    w.grid->OnColExit = [&] {
        const QString field = w.grid->SelectedField()->FieldName();
        // The column's text is already in the field when its exit runs.
        exits << field + "=" + w.table.FieldByName(field)->AsString();
        if (field == "QTDE" && w.table.FieldByName("QTDE")->AsString().isEmpty()) {
            w.grid->SetSelectedField("QTDE");
            MensErro(QStringLiteral("Quantidade deve ser informada."), true);
        }
    };
    w.grid->SetSelectedIndex(1);
    QCOMPARE(exits, QStringList{"CODIGO=1"});
    type("Sal");
    press(Qt::Key_Tab);
    QCOMPARE(exits.last(), QString("NOME=Sal"));

    answerer.press("OK");
    press(Qt::Key_Backspace);
    press(Qt::Key_Tab);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QString("Quantidade deve ser informada."));
    QCOMPARE(w.grid->SelectedIndex(), 2);
    QCOMPARE(w.table.RecNo(), 1);
    QCOMPARE(w.table.State(), DataSetState::Edit);

    // Moving to another row in the same column is not a column exit.
    const int count = int(exits.size());
    type("4");
    press(Qt::Key_Down);
    QCOMPARE(exits.size(), count);
    QCOMPARE(w.table.RecNo(), 2);
}

void TestDBGrid::ellipsisButtonSwitchesAtRunTime()
{
    GridWindow w;
    QVERIFY(w.show());
    int clicks = 0;
    w.grid->OnEditButtonClick = [&] { ++clicks; };
    TColumn *code = w.grid->Columns().Find("codigo");
    QVERIFY(code);
    QCOMPARE(code->ButtonStyle(), ColumnButtonStyle::Auto);
    QVERIFY(w.grid->EditButtonRect().isEmpty());

    code->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    const QRect button = w.grid->EditButtonRect();
    QVERIFY(!button.isEmpty());
    QVERIFY(w.grid->visualRect(w.grid->currentIndex()).contains(button));
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, {}, button.center());
    QCOMPARE(clicks, 1);
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(clicks, 2);

    // The cell editor leaves the button uncovered.
    type("9");
    QVERIFY(w.grid->CellEditor());
    QVERIFY(!w.grid->CellEditor()->geometry().intersects(button));
    press(Qt::Key_Escape);

    code->SetButtonStyle(ColumnButtonStyle::Auto);
    QVERIFY(w.grid->EditButtonRect().isEmpty());
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, {}, button.center());
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(clicks, 2);

    // Only the current cell carries the button.
    code->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    w.grid->SetSelectedIndex(1);
    QVERIFY(w.grid->EditButtonRect().isEmpty());
}

void TestDBGrid::beforePostErrorKeepsRowInEditWithFocusInGrid()
{
    GridWindow w;
    QVERIFY(w.show());
    DialogAnswerer answerer;
    w.table.BeforePost = [](Table &table) {
        if (table.FieldByName("NOME")->AsString().isEmpty())
            MensErro(QStringLiteral("Nome deve ser informado."), true);
    };
    w.grid->SetSelectedIndex(1);
    answerer.press("OK").press("OK");
    press(Qt::Key_Backspace);
    press(Qt::Key_Down);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QString("Nome deve ser informado."));
    QCOMPARE(w.table.State(), DataSetState::Edit);
    QCOMPARE(w.table.RecNo(), 1);
    QCOMPARE(w.grid->currentIndex(), w.grid->model()->index(0, 1));
    QTRY_VERIFY(w.gridHasFocus());

    // Clicking another row with the error pending keeps the row too.
    w.clickCell(2, 1);
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(w.table.RecNo(), 1);
    QCOMPARE(w.table.State(), DataSetState::Edit);

    type("Sal");
    press(Qt::Key_Down);
    QCOMPARE(w.table.State(), DataSetState::Browse);
    QCOMPARE(w.text(0, "NOME"), QString("Sal"));
    QCOMPARE(answerer.count(), 2);
}

void TestDBGrid::maskedDateCellWritesTheDate()
{
    Table table{QStringLiteral("cdsVenc")};
    table.SetFieldDefs({FieldDef::of("DTVENCENTR", FieldKind::Date, "Vencimento"),
                        FieldDef::text("VRVENCENTR", 10, "Valor")});
    table.CreateDataSet();
    SetFieldEditMask(*table.FieldByName("DTVENCENTR"), DateMask());
    TDataSource source;
    source.setDataSet(&table);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *grid = new TDBGrid(&window);
    layout->addWidget(grid);
    grid->SetDataSource(&source);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    grid->setFocus();

    // A grid without columns of its own shows the table's fields.
    QCOMPARE(grid->Columns().Count(), 2);
    QCOMPARE(grid->Columns()[0]->Title(), QString("Vencimento"));

    // Typing into an empty table starts a new row.
    type("10032008");
    QCOMPARE(table.State(), DataSetState::Insert);
    QVERIFY(grid->CellEditor());
    QCOMPARE(grid->CellEditor()->text(), QString("10/03/2008"));
    press(Qt::Key_Tab);
    QCOMPARE(table.FieldByName("DTVENCENTR")->AsDate(), QDate(2008, 3, 10));
    type("250");
    press(Qt::Key_Tab);
    // Tab past the last cell of the last row posts it and opens the next one.
    QCOMPARE(table.State(), DataSetState::Insert);
    QCOMPARE(table.RecordCount(), 1);
    QCOMPARE(table.TextAt(0, 1), QString("250"));
    press(Qt::Key_Up);
    QCOMPARE(table.State(), DataSetState::Browse);
    QCOMPARE(table.ViewCount(), 1);
    QCOMPARE(table.FieldByName("DTVENCENTR")->AsDate(), QDate(2008, 3, 10));
}

void TestDBGrid::gridTextIndiceColAndRefreshGrid()
{
    GridWindow w;
    QVERIFY(w.show());
    QCOMPARE(IndiceCol(w.grid, "qtde"), 2);
    QCOMPARE(IndiceCol(w.grid, "NADA"), -1);
    QCOMPARE(GridText(w.grid, "NOME"), QString("Arroz"));

    w.grid->SetSelectedIndex(2);
    type("3,");
    // The cell's text while it is typed; the field still holds its value.
    QCOMPARE(GridText(w.grid, "QTDE"), QString("3,"));
    QCOMPARE(GridText(w.grid, "NOME"), QString("Arroz"));
    QCOMPARE(w.text(0, "QTDE"), QString("1"));
    type("5");

    RefreshGrid(&w.window);
    QCOMPARE(w.text(0, "QTDE"), QString("3,5"));
    QCOMPARE(w.table.State(), DataSetState::Edit);
    QCOMPARE(GridText(w.grid, "QTDE"), QString("3,5"));

    w.grid->SetSelectedIndex(1);
    type(" Sal ");
    QCOMPARE(GridText(w.grid, "NOME"), QString(" Sal "));
    QCOMPARE(GridText(w.grid, "NOME", true), QString("Sal"));
}

void TestDBGrid::drawColumnCellChangesColours()
{
    GridWindow w;
    w.grid->OnDrawColumnCell = [&](TColumnCellDraw &cell) {
        if (cell.row == 1 && cell.field->FieldName() == "NOME") {
            cell.background = Qt::red;
            cell.text.clear();
        }
    };
    QVERIFY(w.show());
    const QImage image = w.grid->viewport()->grab().toImage();
    const QRect painted = w.grid->visualRect(w.grid->model()->index(1, 1));
    const QRect plain = w.grid->visualRect(w.grid->model()->index(2, 1));
    const qreal ratio = image.devicePixelRatio();
    QCOMPARE(image.pixelColor((painted.center() * ratio)), QColor(Qt::red));
    QVERIFY(image.pixelColor(plain.center() * ratio) != QColor(Qt::red));
}

void TestDBGrid::largeTableIsLazyAndCursorMovesDoNotReset()
{
    constexpr int rows = 100000;
    QByteArray packet = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n"
                        "<FIELD attrname=\"CODIGO\" fieldtype=\"string\" WIDTH=\"6\"/>\n"
                        "<FIELD attrname=\"NOME\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
                        "</FIELDS><PARAMS/></METADATA><ROWDATA>\n";
    for (int i = 0; i < rows; ++i)
        packet += QStringLiteral("<ROW CODIGO=\"%1\" NOME=\"Produto %1\"/>\n")
                      .arg(i, 6, 10, QChar(u'0'))
                      .toUtf8();
    packet += "</ROWDATA></DATAPACKET>\n";
    Table table;
    table.SetFieldDefs({FieldDef::text("CODIGO", 6), FieldDef::text("NOME", 20)});
    table.SetIndexFieldNames("CODIGO");
    table.SetData(TableFile::parse(packet, "grande.cds"));

    TDataSource source;
    source.setDataSet(&table);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *grid = new TDBGrid(&window);
    layout->addWidget(grid);
    window.resize(400, 300);
    QElapsedTimer clock;
    clock.start();
    grid->SetDataSource(&source);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(grid->model()->rowCount(), rows);
    // Showing the grid reads the rows on screen, not the table.
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    grid->setFocus();

    QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
    table.SetRecNo(50000);
    QCOMPARE(grid->currentIndex().row(), 49999);
    table.Last();
    QCOMPARE(grid->currentIndex().row(), rows - 1);
    press(Qt::Key_PageUp);
    QVERIFY(table.RecNo() < rows);
    press(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(table.RecNo(), 1);
    QVERIFY(table.Locate("CODIGO", QString("070000")));
    QCOMPARE(grid->currentIndex().row(), 70000);

    // Editing and posting one row, and appending one, touch one row each.
    grid->SetSelectedIndex(1);
    type("X");
    press(Qt::Key_Down);
    QCOMPARE(table.TextAt(70000, 1), QString("X"));
    table.Last();
    press(Qt::Key_Down);
    type("Y");
    press(Qt::Key_Up);
    QCOMPARE(grid->model()->rowCount(), rows + 1);
    QCOMPARE(resets.count(), 0);
}

QTEST_MAIN(TestDBGrid)
#include "tst_dbgrid.moc"
