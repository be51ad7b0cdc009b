#include "datasource.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "errors.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "table.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace kiv;

namespace {

// A product list as the windows declare it: hidden internal code and unit,
// the name and the search code shown under their labels.
struct Products
{
    Table table{QStringLiteral("cdsPesqProduto")};
    TDataSource source;

    explicit Products(bool filled = true)
    {
        FieldDef name = FieldDef::text("NMPRODUTO", 50, "Nome");
        name.displayWidth = 40;
        table.SetFieldDefs({FieldDef::text("CDPRODUTO", 10, {}, false), name,
                            FieldDef::text("CDPSQPROD", 20, "Código"),
                            FieldDef::text("SGUNIDADE", 10, "UN", false)});
        table.CreateDataSet();
        if (filled) {
            const QStringList names{"Arroz", "Feijão", "Macarrão", "Óleo"};
            const QStringList codes{"001", "002", "010", "011"};
            for (int i = 0; i < names.size(); ++i) {
                table.Append();
                table.FieldByName("CDPRODUTO")->SetAsString(QString::number(100 + i));
                table.FieldByName("NMPRODUTO")->SetAsString(names[i]);
                table.FieldByName("CDPSQPROD")->SetAsString(codes[i]);
                table.FieldByName("SGUNIDADE")->SetAsString("KG");
                table.Post();
            }
            table.First();
        }
        source.setDataSet(&table);
    }

    QString name() const { return table.FieldByName("NMPRODUTO")->AsString(); }
};

TDBGrid *listOf(QWidget *dialog)
{
    return dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
}

QLineEdit *searchOf(QWidget *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("edtPesquisa"));
}

void typeInto(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::keyClick(widget, c.toLatin1());
}

} // namespace

class TestLookupDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pesquisarListsVisibleFieldsAndPicks_data();
    void pesquisarListsVisibleFieldsAndPicks();
    void pesquisarEscCancelsAndKeepsTheRecord();
    void pesquisarSearchesAsTheOperatorTypes_data();
    void pesquisarSearchesAsTheOperatorTypes();
    void pesquisarOnEmptyTable_data();
    void pesquisarOnEmptyTable();
    void procuraMovesToTheFirstMatch_data();
    void procuraMovesToTheFirstMatch();
    void btnPesquisaRunsItsEventsAroundTheLookup_data();
    void btnPesquisaRunsItsEventsAroundTheLookup();
};

void TestLookupDialogs::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TestLookupDialogs::pesquisarListsVisibleFieldsAndPicks_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter in the list") << "list enter";
    QTest::newRow("Enter in the search line") << "search enter";
    QTest::newRow("double click") << "double click";
    QTest::newRow("OK button") << "ok";
}

void TestLookupDialogs::pesquisarListsVisibleFieldsAndPicks()
{
    QFETCH(QString, how);
    Products products;
    DialogAnswerer answerer;
    QStringList titles;
    answerer.run([&](QWidget *dialog) {
        TDBGrid *grid = listOf(dialog);
        for (int i = 0; grid && i < grid->Columns().Count(); ++i)
            titles << grid->Columns()[i]->Title();
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Down);
        if (how == "list enter") {
            QTest::keyClick(grid, Qt::Key_Return);
        } else if (how == "search enter") {
            QTest::keyClick(searchOf(dialog), Qt::Key_Return);
        } else if (how == "double click") {
            const QRect cell = grid->visualRect(grid->model()->index(1, 1));
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
                if (button->text() == "OK")
                    button->click();
        }
    });
    const bool picked = Pesquisar(&products.source, QStringLiteral("Produto"));
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).objectName, QString("dlgPesquisar"));
    QCOMPARE(answerer.at(0).title, QString("Produto"));
    QCOMPARE(titles, (QStringList{"Nome", "Código"}));
    QVERIFY(picked);
    QCOMPARE(products.name(), how == "double click" ? QString("Feijão") : QString("Macarrão"));
}

void TestLookupDialogs::pesquisarEscCancelsAndKeepsTheRecord()
{
    Products products;
    products.table.SetRecNo(2);
    DialogAnswerer answerer;
    answerer.run([](QWidget *dialog) {
        TDBGrid *grid = listOf(dialog);
        QCOMPARE(grid->DataSet()->RecNo(), 2);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Escape);
    });
    QVERIFY(!Pesquisar(&products.source, QStringLiteral("Produto|Não há produto.")));
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(products.table.RecNo(), 2);
    QCOMPARE(products.name(), QString("Feijão"));
}

void TestLookupDialogs::pesquisarSearchesAsTheOperatorTypes_data()
{
    QTest::addColumn<bool>("inSearchLine");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<bool>("nothing");
    QTest::newRow("list, lower case") << false << "ma" << "Macarrão" << "ma" << false;
    QTest::newRow("list, upper case") << false << "FEI" << "Feijão" << "FEI" << false;
    QTest::newRow("list, no match stays") << false << "max" << "Macarrão" << "max" << true;
    QTest::newRow("search line") << true << "fe" << "Feijão" << "fe" << false;
    QTest::newRow("search line, no match stays") << true << "arz" << "Arroz" << "arz" << true;
    QTest::newRow("list, without the accent") << false << "oleo" << "Óleo" << "oleo" << false;
    QTest::newRow("search line, feij") << true << "feij" << "Feijão" << "feij" << false;
    QTest::newRow("list, by the code") << false << "010" << "Macarrão" << "010" << false;
}

void TestLookupDialogs::pesquisarSearchesAsTheOperatorTypes()
{
    QFETCH(bool, inSearchLine);
    QFETCH(QString, typed);
    QFETCH(QString, found);
    QFETCH(QString, searchText);
    QFETCH(bool, nothing);
    Products products;
    products.table.Last();
    DialogAnswerer answerer;
    QString shown;
    QString said;
    answerer.run([&](QWidget *dialog) {
        QWidget *target = inSearchLine ? static_cast<QWidget *>(searchOf(dialog))
                                       : listOf(dialog);
        typeInto(target, typed);
        shown = searchOf(dialog)->text();
        auto *notFound = dialog->findChild<QLabel *>(QStringLiteral("lblNaoEncontrado"));
        said = notFound && notFound->isVisibleTo(dialog) ? notFound->text() : QString();
        QTest::keyClick(target, Qt::Key_Return);
    });
    QVERIFY(Pesquisar(&products.source, QStringLiteral("Produto")));
    QCOMPARE(shown, searchText);
    QCOMPARE(products.name(), found);
    // No row starts with it: the list says so, and stays where it was.
    QCOMPARE(said, nothing ? QStringLiteral("Nenhum registro começa com \"%1\".").arg(searchText)
                           : QString());
}

void TestLookupDialogs::pesquisarOnEmptyTable_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shown");
    QTest::newRow("name and message") << "Produto|Não há produto cadastrado."
                                      << "Não há produto cadastrado.";
    QTest::newRow("name only") << "Produto"
                               << "dlgPesquisar";
}

void TestLookupDialogs::pesquisarOnEmptyTable()
{
    QFETCH(QString, title);
    QFETCH(QString, shown);
    Products products(false);
    DialogAnswerer answerer;
    if (title.contains(u'|'))
        answerer.press("OK");
    else
        answerer.run([](QWidget *dialog) { QTest::keyClick(listOf(dialog), Qt::Key_Return); });
    QVERIFY(!Pesquisar(&products.source, title));
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, shown);
    QCOMPARE(answerer.pending(), 0);
}

void TestLookupDialogs::procuraMovesToTheFirstMatch_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("recNo");
    QTest::newRow("code, start of it") << "Código" << "01" << true << 3;
    QTest::newRow("name, other case") << "Nome" << "ÓLE" << true << 4;
    QTest::newRow("not found") << "Nome" << "Sal" << false << 2;
}

void TestLookupDialogs::procuraMovesToTheFirstMatch()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, found);
    QFETCH(int, recNo);
    Products products;
    products.table.SetRecNo(2);
    DialogAnswerer answerer;
    QStringList choices;
    answerer.run([&](QWidget *dialog) {
        auto *fields = dialog->findChild<QComboBox *>(QStringLiteral("cbxCampo"));
        for (int i = 0; i < fields->count(); ++i)
            choices << fields->itemText(i);
        fields->setCurrentIndex(fields->findText(field));
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("edtValor"));
        edit->setText(value);
        // Posted: the answerer must be free to answer the box that may follow.
        QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
    });
    if (!found)
        answerer.press("OK");
    QCOMPARE(Procura(&products.table), found);
    QCOMPARE(answerer.at(0).objectName, QString("dlgProcura"));
    QCOMPARE(choices, (QStringList{"Nome", "Código"}));
    QCOMPARE(answerer.count(), found ? 1 : 2);
    if (!found)
        QCOMPARE(answerer.at(1).text, QString("Registro não encontrado."));
    QCOMPARE(products.table.RecNo(), recNo);

    answerer.pressEscape();
    QVERIFY(!Procura(&products.table));
    QCOMPARE(products.table.RecNo(), recNo);
}

void TestLookupDialogs::btnPesquisaRunsItsEventsAroundTheLookup_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("editText");
    QTest::newRow("pick") << "pick" << "before,after" << "Feijão";
    QTest::newRow("cancel") << "cancel" << "before" << "antes";
    QTest::newRow("before stops it") << "none" << "before" << "antes";
    QTest::newRow("empty list") << "empty" << "before" << "antes";
}

void TestLookupDialogs::btnPesquisaRunsItsEventsAroundTheLookup()
{
    QFETCH(QString, answer);
    QFETCH(QString, events);
    QFETCH(QString, editText);
    Products products;
    QWidget window;
    auto *edit = new TMaskEdit(&window);
    edit->setObjectName(QStringLiteral("edtCdProduto"));
    edit->setText(QStringLiteral("antes"));
    auto *button = new TBtnPesquisa(&window);
    button->setObjectName(QStringLiteral("btnProduto"));
    button->SetTitle(QStringLiteral("Produto"));
    button->SetDataSource(&products.source);
    button->SetEmptyError(QStringLiteral("Não há produto cadastrado."));
    button->SetEdit(edit);
    QStringList seen;
    button->OnBeforePesq = [&] {
        seen << "before";
        if (answer == "none")
            throw EAbort();
        if (answer == "empty")
            products.table.EmptyDataSet();
    };
    button->OnAfterPesq = [&] {
        // The edit has the chosen row's first column by now.
        seen << "after";
        QCOMPARE(edit->text(), products.name());
    };
    window.show();

    DialogAnswerer answerer;
    if (answer == "pick")
        answerer.run([](QWidget *dialog) {
            QTest::keyClick(listOf(dialog), Qt::Key_Down);
            QTest::keyClick(listOf(dialog), Qt::Key_Return);
        });
    else if (answer == "cancel")
        answerer.pressEscape();
    else if (answer == "empty")
        answerer.press("OK");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(seen.join(u','), events);
    QCOMPARE(edit->text(), editText);
    QCOMPARE(answerer.pending(), 0);
    QCOMPARE(answerer.count(), answer == "none" ? 0 : 1);
    if (answer == "empty")
        QCOMPARE(answerer.at(0).text, QString("Não há produto cadastrado."));
}

QTEST_MAIN(TestLookupDialogs)
#include "tst_lookupdialogs.moc"
