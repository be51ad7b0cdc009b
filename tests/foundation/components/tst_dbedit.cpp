#include "datasource.h"
#include "dialoganswerer.h"
#include "errors.h"
#include "fieldeditmask.h"
#include "keys.h"
#include "localeservice.h"
#include "maskedit.h"
#include "messagebox.h"
#include "table.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using kiv::DataSetState;
using kiv::FieldDef;
using kiv::FieldKind;
using kiv::Table;
using kiv::TDataSource;
using kiv::TDBEdit;

// A header table with two records, a data source, and a window with an
// edit per field plus a second edit on NMTIPOOPER (to see when the record
// shows what the first one typed).
struct Fixture
{
    Table table{QStringLiteral("cdsLancEntr")};
    QWidget window;
    TDataSource *source = new TDataSource(&window);
    TDBEdit *code = new TDBEdit(&window);
    TDBEdit *name = new TDBEdit(&window);
    TDBEdit *nameMirror = new TDBEdit(&window);
    TDBEdit *total = new TDBEdit(&window);
    TDBEdit *date = new TDBEdit(&window);

    Fixture()
    {
        table.SetFieldDefs({FieldDef::text(QStringLiteral("CDTIPOOPER"), 2),
                            FieldDef::text(QStringLiteral("NMTIPOOPER"), 30),
                            FieldDef::of(QStringLiteral("VRTOTAL"), FieldKind::Float),
                            FieldDef::of(QStringLiteral("DTENTRADA"), FieldKind::Date)});
        table.CreateDataSet();
        addRecord(QStringLiteral("01"), QStringLiteral("Compra"), 1500.25, QDate(2026, 12, 10));
        addRecord(QStringLiteral("07"), QStringLiteral("Transferência"), 12, QDate(2026, 1, 5));
        table.First();

        source->setObjectName(QStringLiteral("dtsPadrao"));
        source->setDataSet(&table);
        auto *layout = new QVBoxLayout(&window);
        const std::pair<TDBEdit *, const char *> edits[] = {
            {code, "CDTIPOOPER"}, {name, "NMTIPOOPER"}, {nameMirror, "NMTIPOOPER"},
            {total, "VRTOTAL"}, {date, "DTENTRADA"}};
        for (const auto &[edit, field] : edits) {
            edit->SetDataSource(source);
            edit->SetDataField(QLatin1String(field));
            layout->addWidget(edit);
        }
    }

    void addRecord(const QString &code, const QString &name, double total, QDate day)
    {
        table.Append();
        table.FieldByName(QStringLiteral("CDTIPOOPER"))->SetAsString(code);
        table.FieldByName(QStringLiteral("NMTIPOOPER"))->SetAsString(name);
        table.FieldByName(QStringLiteral("VRTOTAL"))->SetAsFloat(total);
        table.FieldByName(QStringLiteral("DTENTRADA"))->SetAsDate(day);
        table.Post();
    }

    QString value(const char *field) const
    {
        return table.FieldByName(QLatin1String(field))->AsString();
    }

    bool show(QWidget *focus)
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        focus->setFocus();
        return QTest::qWaitFor([focus] { return focus->hasFocus(); });
    }
};

class TestDBEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();
    void followsTheCurrentRecord();
    void typingEditsAndTabWritesTheField();
    void enterWritesTheField();
    void escRevertsTypedText();
    void onSetTextApplies();
    void exitHandlerReadsTheWrittenValue();
    void refusedTextKeepsTheFocus();
    void numberFieldRefusesLetters();
    void numbersFollowTheDecimalSeparator_data();
    void numbersFollowTheDecimalSeparator();
    void typingIntoAnEmptyTableInserts();
    void refusedEditDropsTheKey();
    void readOnlyCases_data();
    void readOnlyCases();
    void fieldEditMask();
    void updateRecordWritesWithoutLeaving();
    void otherFieldsChangingKeepTypedText();
    void sourceReattachedFollowsTheNewTable();
    void sourceStateChanges();
};

void TestDBEdit::init()
{
    kiv::LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    kiv::LocaleService::setDecimalSeparator(u',');
}

void TestDBEdit::cleanupTestCase()
{
    kiv::LocaleService::resetToSystem();
}

void TestDBEdit::followsTheCurrentRecord()
{
    Fixture f;
    QCOMPARE(f.code->Text(), QStringLiteral("01"));
    QCOMPARE(f.name->Text(), QStringLiteral("Compra"));
    QCOMPARE(f.total->Text(), QStringLiteral("1500,25"));
    QCOMPARE(f.date->Text(), QStringLiteral("10/12/2026"));
    f.table.Next();
    QCOMPARE(f.code->Text(), QStringLiteral("07"));
    QCOMPARE(f.name->Text(), QStringLiteral("Transferência"));
    QCOMPARE(f.date->Text(), QStringLiteral("05/01/2026"));
    // A new record shows blank; cancelling it shows the record again.
    f.table.Insert();
    QCOMPARE(f.name->Text(), QString());
    QCOMPARE(f.total->Text(), QString());
    f.table.Cancel();
    QCOMPARE(f.name->Text(), QStringLiteral("Transferência"));
    // A value set by code shows at once.
    f.table.Edit();
    f.table.FieldByName(QStringLiteral("NMTIPOOPER"))->SetAsString(QStringLiteral("Doação"));
    QCOMPARE(f.name->Text(), QStringLiteral("Doação"));
    // A cancelled edit shows the stored value again.
    f.table.Cancel();
    QCOMPARE(f.name->Text(), QStringLiteral("Transferência"));
}

void TestDBEdit::typingEditsAndTabWritesTheField()
{
    Fixture f;
    QVERIFY(f.show(f.name));
    f.name->selectAll();
    QTest::keyClick(f.name, 'D');
    QCOMPARE(f.table.State(), DataSetState::Edit);
    QTest::keyClicks(f.name, QStringLiteral("oacao"));
    QVERIFY(f.name->Modified());
    // Not written yet: the record and the other control still show the old name.
    QCOMPARE(f.value("NMTIPOOPER"), QStringLiteral("Compra"));
    QCOMPARE(f.nameMirror->Text(), QStringLiteral("Compra"));
    QTest::keyClick(f.name, Qt::Key_Tab);
    QCOMPARE(f.value("NMTIPOOPER"), QStringLiteral("Doacao"));
    QCOMPARE(f.nameMirror->Text(), QStringLiteral("Doacao"));
    QVERIFY(!f.name->Modified());
    // Written, not posted.
    QCOMPARE(f.table.State(), DataSetState::Edit);
}

void TestDBEdit::enterWritesTheField()
{
    Fixture f;
    QVERIFY(f.show(f.code));
    f.code->selectAll();
    QTest::keyClicks(f.code, QStringLiteral("5"));
    QTest::keyClick(f.code, Qt::Key_Return);
    QCOMPARE(f.value("CDTIPOOPER"), QStringLiteral("5"));
    QVERIFY(f.code->hasFocus());
}

void TestDBEdit::escRevertsTypedText()
{
    Fixture f;
    QVERIFY(f.show(f.name));
    f.name->selectAll();
    QTest::keyClicks(f.name, QStringLiteral("Outra"));
    QTest::keyClick(f.name, Qt::Key_Escape);
    QCOMPARE(f.name->Text(), QStringLiteral("Compra"));
    QVERIFY(!f.name->Modified());
    // Leaving now writes nothing.
    QTest::keyClick(f.name, Qt::Key_Tab);
    QCOMPARE(f.value("NMTIPOOPER"), QStringLiteral("Compra"));
}

void TestDBEdit::onSetTextApplies()
{
    Fixture f;
    // The operation code is kept padded with zeros, whatever was typed.
    f.table.FieldByName(QStringLiteral("CDTIPOOPER"))->OnSetText =
        [](kiv::Field &field, const QString &text) {
            field.SetAsString(text.trimmed().rightJustified(2, u'0'));
        };
    QVERIFY(f.show(f.code));
    f.code->selectAll();
    QTest::keyClicks(f.code, QStringLiteral("7"));
    QTest::keyClick(f.code, Qt::Key_Tab);
    QCOMPARE(f.value("CDTIPOOPER"), QStringLiteral("07"));
    QCOMPARE(f.code->Text(), QStringLiteral("07"));
}

void TestDBEdit::exitHandlerReadsTheWrittenValue()
{
    Fixture f;
    QString seen;
    f.code->OnExit = [&] { seen = f.value("CDTIPOOPER"); };
    QVERIFY(f.show(f.code));
    f.code->selectAll();
    QTest::keyClicks(f.code, QStringLiteral("09"));
    QTest::keyClick(f.code, Qt::Key_Tab);
    QCOMPARE(seen, QStringLiteral("09"));
}

void TestDBEdit::refusedTextKeepsTheFocus()
{
    Fixture f;
    bool exited = false;
    f.date->OnExit = [&] { exited = true; };
    QVERIFY(f.show(f.date));
    f.date->selectAll();
    QTest::keyClicks(f.date, QStringLiteral("31/02/2026"));
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    QTest::keyClick(f.date, Qt::Key_Tab);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("'31/02/2026' não é uma data válida."));
    QVERIFY(QTest::qWaitFor([&] { return f.date->hasFocus(); }));
    QVERIFY(!exited);
    QCOMPARE(f.value("DTENTRADA"), QStringLiteral("10/12/2026"));
    QCOMPARE(f.date->Text(), QStringLiteral("31/02/2026"));
    // Corrected, it goes through.
    f.date->selectAll();
    QTest::keyClicks(f.date, QStringLiteral("28/02/2026"));
    QTest::keyClick(f.date, Qt::Key_Tab);
    QCOMPARE(f.value("DTENTRADA"), QStringLiteral("28/02/2026"));
    QVERIFY(exited);
}

void TestDBEdit::numberFieldRefusesLetters()
{
    Fixture f;
    QVERIFY(f.show(f.total));
    f.total->selectAll();
    QTest::keyClicks(f.total, QStringLiteral("12x,5a"));
    QCOMPARE(f.total->Text(), QStringLiteral("12,5"));
}

void TestDBEdit::numbersFollowTheDecimalSeparator_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::newRow("comma") << QChar(u',') << "1500,25" << "2,5" << 2.5;
    QTest::newRow("point") << QChar(u'.') << "1500.25" << "2.5" << 2.5;
}

void TestDBEdit::numbersFollowTheDecimalSeparator()
{
    QFETCH(QChar, separator);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    kiv::LocaleService::setDecimalSeparator(separator);
    Fixture f;
    QCOMPARE(f.total->Text(), shown);
    QVERIFY(f.show(f.total));
    f.total->selectAll();
    QTest::keyClicks(f.total, typed);
    QTest::keyClick(f.total, Qt::Key_Tab);
    QCOMPARE(f.table.FieldByName(QStringLiteral("VRTOTAL"))->AsFloat(), stored);
}

void TestDBEdit::typingIntoAnEmptyTableInserts()
{
    Fixture f;
    f.table.EmptyDataSet();
    QCOMPARE(f.name->Text(), QString());
    QVERIFY(f.show(f.name));
    QTest::keyClicks(f.name, QStringLiteral("Nova"));
    QCOMPARE(f.table.State(), DataSetState::Insert);
    QCOMPARE(f.name->Text(), QStringLiteral("Nova"));
    QTest::keyClick(f.name, Qt::Key_Tab);
    f.table.Post();
    QCOMPARE(f.table.RecordCount(), 1);
    QCOMPARE(f.value("NMTIPOOPER"), QStringLiteral("Nova"));
}

void TestDBEdit::refusedEditDropsTheKey()
{
    Fixture f;
    f.table.BeforeEdit = [](Table &) {
        kiv::MensErro(QStringLiteral("Documento já enviado."), true);
    };
    QVERIFY(f.show(f.name));
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    f.name->end(false);
    QTest::keyClick(f.name, Qt::Key_X);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(f.name->Text(), QStringLiteral("Compra"));
    QCOMPARE(f.table.State(), DataSetState::Browse);
}

void TestDBEdit::readOnlyCases_data()
{
    QTest::addColumn<int>("cause");
    QTest::newRow("field read-only") << 0;
    QTest::newRow("source disabled") << 1;
    QTest::newRow("table closed") << 2;
    QTest::newRow("set by the window") << 3;
    QTest::newRow("no such field") << 4;
}

void TestDBEdit::readOnlyCases()
{
    QFETCH(int, cause);
    Fixture f;
    QVERIFY(!f.name->isReadOnly());
    switch (cause) {
    case 0:
        f.table.FieldByName(QStringLiteral("NMTIPOOPER"))->SetReadOnly(true);
        f.source->setDataSet(nullptr);
        f.source->setDataSet(&f.table);
        break;
    case 1: f.source->setEnabled(false); break;
    case 2: f.table.Close(); break;
    case 3: f.name->SetReadOnly(true); break;
    case 4: f.name->SetDataField(QStringLiteral("NMNADA")); break;
    }
    QVERIFY(f.name->isReadOnly());
    QVERIFY(f.show(f.name));
    f.name->end(false);
    QTest::keyClicks(f.name, QStringLiteral("xyz"));
    QVERIFY(!f.name->Text().endsWith(QStringLiteral("xyz")));
    QVERIFY(f.table.State() != DataSetState::Edit);
    if (cause == 1 || cause == 2)
        QCOMPARE(f.name->Text(), QString());
}

void TestDBEdit::fieldEditMask()
{
    Fixture f;
    // The field's mask (not saving literals) wins over the edit's own.
    f.code->setEditMask(QStringLiteral("aa;1;_"));
    kiv::Field *code = f.table.FieldByName(QStringLiteral("CDTIPOOPER"));
    kiv::SetFieldEditMask(*code, QStringLiteral("9-9;0;_"));
    f.source->setDataSet(nullptr);
    f.source->setDataSet(&f.table);
    QCOMPARE(f.code->text(), QStringLiteral("0-1"));
    QCOMPARE(f.code->Text(), QStringLiteral("01"));
    QVERIFY(f.show(f.code));
    f.code->selectAll();
    f.code->setCursorPosition(0);
    QTest::keyClicks(f.code, QStringLiteral("35"));
    QCOMPARE(f.code->text(), QStringLiteral("3-5"));
    QTest::keyClick(f.code, Qt::Key_Tab);
    QCOMPARE(f.value("CDTIPOOPER"), QStringLiteral("35"));
}

void TestDBEdit::updateRecordWritesWithoutLeaving()
{
    Fixture f;
    QVERIFY(f.show(f.name));
    f.name->selectAll();
    QTest::keyClicks(f.name, QStringLiteral("Ajuste"));
    // A command button that takes no focus confirms: it writes, then posts.
    f.source->UpdateRecord();
    f.table.Post();
    QCOMPARE(f.value("NMTIPOOPER"), QStringLiteral("Ajuste"));
    QCOMPARE(f.table.State(), DataSetState::Browse);
    QVERIFY(f.name->hasFocus());
    // Posting without it drops the typed text, which then shows the record.
    f.name->selectAll();
    QTest::keyClicks(f.name, QStringLiteral("Perdido"));
    f.table.Post();
    QCOMPARE(f.value("NMTIPOOPER"), QStringLiteral("Ajuste"));
    QCOMPARE(f.name->Text(), QStringLiteral("Ajuste"));
}

void TestDBEdit::otherFieldsChangingKeepTypedText()
{
    Fixture f;
    // The operation code's change handler clears the name, as the entry
    // window does: the code being typed must survive it.
    f.code->OnChange = [&] {
        if (f.table.State() == DataSetState::Edit)
            f.table.FieldByName(QStringLiteral("NMTIPOOPER"))->Clear();
    };
    QVERIFY(f.show(f.code));
    f.code->selectAll();
    QTest::keyClicks(f.code, QStringLiteral("12"));
    QCOMPARE(f.code->Text(), QStringLiteral("12"));
    QCOMPARE(f.name->Text(), QString());
    QTest::keyClick(f.code, Qt::Key_Tab);
    QCOMPARE(f.value("CDTIPOOPER"), QStringLiteral("12"));
}

void TestDBEdit::sourceReattachedFollowsTheNewTable()
{
    Fixture f;
    Table other(QStringLiteral("cdsLancSaid"));
    other.SetFieldDefs({FieldDef::text(QStringLiteral("NMTIPOOPER"), 30)});
    other.CreateDataSet();
    other.Append();
    other.FieldByName(QStringLiteral("NMTIPOOPER"))->SetAsString(QStringLiteral("Venda"));
    other.Post();
    int stateChanges = 0;
    f.source->OnStateChange = [&] { ++stateChanges; };
    QSignalSpy attached(f.source, &TDataSource::dataSetChanged);
    f.source->setDataSet(&other);
    QCOMPARE(stateChanges, 1);
    QCOMPARE(attached.count(), 1);
    QCOMPARE(f.source->DataSet(), &other);
    QCOMPARE(f.name->Text(), QStringLiteral("Venda"));
    // A field the new table lacks: blank and read-only.
    QCOMPARE(f.code->Text(), QString());
    QVERIFY(f.code->isReadOnly());
    // The old table no longer reaches the edits.
    f.table.Next();
    QCOMPARE(f.name->Text(), QStringLiteral("Venda"));
    other.Edit();
    QCOMPARE(stateChanges, 2);
}

void TestDBEdit::sourceStateChanges()
{
    Fixture f;
    QList<DataSetState> states;
    f.source->OnStateChange = [&] { states << f.source->State(); };
    f.table.Edit();
    f.table.Post();
    f.table.Insert();
    f.table.Cancel();
    f.source->setEnabled(false);
    QCOMPARE(states, QList<DataSetState>({DataSetState::Edit, DataSetState::Browse,
                                          DataSetState::Insert, DataSetState::Browse,
                                          DataSetState::Inactive}));
    // An error in the window's handler is shown and goes no further.
    f.source->setEnabled(true);
    f.source->OnStateChange = [] { throw kiv::EDatabaseError(QStringLiteral("Falha.")); };
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    f.table.Edit();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Falha."));
    QCOMPARE(f.table.State(), DataSetState::Edit);
}

QTEST_MAIN(TestDBEdit)
#include "tst_dbedit.moc"
