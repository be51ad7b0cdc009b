#include "errors.h"
#include "localeservice.h"
#include "table.h"
#include "tablefile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace kiv;

namespace {

// A stock movement as the windows keep it: branch, product name, quantity,
// sequence, date and date-time.
QList<FieldDef> movementFields()
{
    return {FieldDef::text("CDFILIAL", 4), FieldDef::text("NMPRODUTO", 10),
            FieldDef::of("QTD", FieldKind::Float), FieldDef::of("NRSEQ", FieldKind::Integer),
            FieldDef::of("DTMOV", FieldKind::Date), FieldDef::of("DTHORA", FieldKind::DateTime)};
}

// Appends one posted record; values go to the fields in declaration order,
// an invalid QVariant leaves the field empty.
void addRow(Table &table, const QVariantList &values)
{
    table.Append();
    for (qsizetype i = 0; i < values.size(); ++i)
        if (values[i].isValid())
            table.Fields(int(i))->SetValue(values[i]);
    table.Post();
}

// The values of one field over the visible rows, in browsing order, read
// without moving the cursor.
QStringList column(const Table &table, const QString &field)
{
    QStringList out;
    const int index = table.FieldByName(field)->Index();
    for (int row = 0; row < table.ViewCount(); ++row)
        out << table.TextAt(row, index);
    return out;
}

// The same walked with First/Next, as the windows loop over a table.
QStringList walk(Table &table, const QString &field)
{
    QStringList out;
    for (table.First(); !table.Eof(); table.Next())
        out << table.FieldByName(field)->AsString();
    return out;
}

// Four movements of two branches.
void fillMovements(Table &table)
{
    table.SetFieldDefs(movementFields());
    table.CreateDataSet();
    addRow(table, {"0001", "Arroz", 2.5, 1, QDate(2009, 3, 10), QVariant()});
    addRow(table, {"0002", "Feijão", 1.0, 2, QDate(2009, 3, 11), QVariant()});
    addRow(table, {"0001", "Óleo", 3.0, 3, QDate(2009, 3, 12), QVariant()});
    addRow(table, {"0002", "Leite", 4.0, 4, QDate(2009, 3, 13), QVariant()});
}

// The filter table: the fields the windows filter on, a KEY to name rows.
QList<FieldDef> filterFields()
{
    return {FieldDef::text("KEY", 3),        FieldDef::text("CDFILIAL", 4),
            FieldDef::text("IDLANCMTO", 1),  FieldDef::text("CDSERIE", 1),
            FieldDef::text("CDTIPOCARD", 2), FieldDef::of("DTEFETIVO", FieldKind::Date),
            FieldDef::text("CDFILISOLI", 4), FieldDef::of("DTPROGENTR", FieldKind::Date),
            FieldDef::text("CDFILDEST", 4),  FieldDef::of("NRAUTOFORN", FieldKind::Float),
            FieldDef::of("DTPENTAF", FieldKind::Date),
            FieldDef::of("DTHORA", FieldKind::DateTime), FieldDef::text("NMPRODUTO", 20)};
}

void fillFilterTable(Table &table)
{
    table.SetFieldDefs(filterFields());
    table.CreateDataSet();
    const QDate march10(2009, 3, 10);
    const QDate october3(2009, 10, 3);
    const QDateTime afternoon(march10, QTime(14, 30), Qt::UTC);
    // KEY CDFILIAL ID SERIE CARD DTEFETIVO SOLI DTPROGENTR DEST AF DTPENTAF DTHORA NM
    addRow(table, {"r1", "0001", "E", "U", "01", march10, "0001", march10, "0001", 345,
                   QDate(2008, 3, 10), afternoon, "D'ÁGUA"});
    addRow(table, {"r2", "0001", "S", "U", "02", march10, "0001", march10, "0002", 345,
                   QDate(2008, 10, 3), QDateTime(march10, QTime(0, 0), Qt::UTC), "ÁGUA"});
    addRow(table, {"r3", "0002", "E", "U", "01", october3, "0002", october3, "0001", 346,
                   QDate(2008, 3, 10), afternoon.addSecs(1), "d'água"});
    addRow(table, {"r4", "0001", "E", "X", "01", october3, "0001", october3, "0001", 345,
                   QDate(2008, 3, 10), QVariant(), QVariant()});
    addRow(table, {"r5", "1", "E", "U", "01", march10, "1", march10, "1", 345.5,
                   QDate(2008, 3, 10), afternoon, "D'ÁGUA"});
}

// Six rows for ordering, with ties and empty values on every key.
QList<FieldDef> orderFields()
{
    return {FieldDef::text("KEY", 2), FieldDef::text("NM", 10),
            FieldDef::of("DT", FieldKind::Date), FieldDef::of("QTD", FieldKind::Float),
            FieldDef::of("NR", FieldKind::Integer), FieldDef::of("DTH", FieldKind::DateTime)};
}

void fillOrderTable(Table &table)
{
    table.SetFieldDefs(orderFields());
    table.CreateDataSet();
    const QDate d(2009, 3, 10);
    auto at = [](const QDate &date, const QTime &time) { return QDateTime(date, time, Qt::UTC); };
    addRow(table, {"k1", "b", d, 10.0, 2, at(d, QTime(10, 0))});
    addRow(table, {"k2", "a", QVariant(), -1.5, 10, at(d, QTime(0, 0))});
    addRow(table, {"k3", QVariant(), QDate(2008, 12, 31), 2.0, 2,
                   at(d.addDays(-1), QTime(23, 59, 59, 999))});
    addRow(table, {"k4", "b", QDate(2009, 3, 1), 10.0, 1, QVariant()});
    addRow(table, {"k5", "a", d, QVariant(), QVariant(), at(d, QTime(9, 59, 59))});
    addRow(table, {"k6", "c", d, 9.75, -3, at(d, QTime(10, 0, 0, 1))});
}

// The process's virtual size in KiB, or -1 where the system does not tell.
qint64 virtualMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

class TstTable : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statesThroughEditing();
    void insertAppendAndDeletePositions();
    void editOnEmptyTableInserts();
    void beforeEventAbortsAndKeepsState_data();
    void beforeEventAbortsAndKeepsState();
    void onNewRecordValuesDoNotCountAsTyped();
    void checkBrowseModeOnMove_data();
    void checkBrowseModeOnMove();
    void calculatedFieldsFollowRecordAndTyping();
    void fieldOnChangeAndOnSetText();
    void setTextFollowsDecimalSeparator_data();
    void setTextFollowsDecimalSeparator();
    void dateFieldKeepsTheDayOfADateTime();
    void navigationEofBof();
    void scrollEventsAroundInsertionAndItsCancel();
    void disableControlsSilencesSignals();
    void filterChangeResetsControls();
    void textCutToSize_data();
    void textCutToSize();
    void overlongValueRefused();
    void dataCopyIsIndependent();
    void emptyDataSetCloseAndOpen();
    void changeLog();
    void snapshotBeforeEveryChangeKeepsValues();

    void filterAsWindowsWriteIt_data();
    void filterAsWindowsWriteIt();
    void badFilterRaisesAndKeepsPrevious_data();
    void badFilterRaisesAndKeepsPrevious();
    void badFilterRefusedWhenSwitchedOn();
    void filteredMovesToFirstMatchAndCounts();

    void indexFieldNamesOrder_data();
    void indexFieldNamesOrder();
    void postedRowTakesItsPlace();
    void insertedRowKeepsOrderAmongEqualKeys();
    void locate_data();
    void locate();
    void locateNotFoundKeepsCursor();

    void randomEditsAgreeWithFreshBuild();
    void filterOnLeadingOrderFieldsSeesEveryMatch_data();
    void filterOnLeadingOrderFieldsSeesEveryMatch();
    void largeFilteredOrderedTable();
};

void TstTable::init()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TstTable::cleanup()
{
    LocaleService::resetToSystem();
}

void TstTable::statesThroughEditing()
{
    Table table(QStringLiteral("cdsMov"));
    table.SetFieldDefs(movementFields());
    QCOMPARE(table.State(), DataSetState::Inactive);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.First());

    table.CreateDataSet();
    QCOMPARE(table.State(), DataSetState::Browse);
    QVERIFY(table.IsEmpty());

    table.Insert();
    QCOMPARE(table.State(), DataSetState::Insert);
    table.FieldByName("CDFILIAL")->SetAsString("0001");
    table.FieldByName("QTD")->SetAsFloat(2.5);
    QVERIFY(table.Modified());
    QCOMPARE(table.RecordCount(), 0);
    table.Post();
    QCOMPARE(table.State(), DataSetState::Browse);
    QCOMPARE(table.RecordCount(), 1);

    table.Edit();
    QCOMPARE(table.State(), DataSetState::Edit);
    table.FieldByName("QTD")->SetAsFloat(7);
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), 7.0);
    table.Cancel();
    QCOMPARE(table.State(), DataSetState::Browse);
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), 2.5);

    // Writing outside edit mode is refused, the value stays.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.FieldByName("QTD")->SetAsFloat(9));
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), 2.5);

    table.Edit();
    table.FieldByName("QTD")->SetAsFloat(8);
    table.Post();
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), 8.0);
    QVERIFY(!table.Modified());
}

void TstTable::insertAppendAndDeletePositions()
{
    Table table;
    fillMovements(table);
    table.First();
    table.Next();  // on Feijão
    table.Insert();
    QCOMPARE(table.RecNo(), 2);
    table.FieldByName("NMPRODUTO")->SetAsString("Sal");
    table.Post();
    QCOMPARE(column(table, "NMPRODUTO"),
             QStringList({"Arroz", "Sal", "Feijão", "Óleo", "Leite"}));
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Sal"));

    table.First();
    table.Append();
    table.FieldByName("NMPRODUTO")->SetAsString("Açúcar");
    table.Post();
    QCOMPARE(column(table, "NMPRODUTO"),
             QStringList({"Arroz", "Sal", "Feijão", "Óleo", "Leite", "Açúcar"}));
    QCOMPARE(table.RecNo(), 6);

    // Delete leaves the next record current, or the previous at the end.
    table.SetRecNo(2);
    table.Delete();
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Feijão"));
    table.Last();
    table.Delete();
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Leite"));
    QCOMPARE(column(table, "NMPRODUTO"), QStringList({"Arroz", "Feijão", "Óleo", "Leite"}));

    // The stored order is what a save writes.
    Table reloaded;
    reloaded.SetData(table.Data());
    QCOMPARE(walk(reloaded, "NMPRODUTO"), QStringList({"Arroz", "Feijão", "Óleo", "Leite"}));
}

void TstTable::editOnEmptyTableInserts()
{
    Table table;
    table.SetFieldDefs(movementFields());
    table.CreateDataSet();
    int inserts = 0;
    table.OnNewRecord = [&](Table &) { ++inserts; };
    table.Edit();
    QCOMPARE(table.State(), DataSetState::Insert);
    QCOMPARE(inserts, 1);
    table.FieldByName("CDFILIAL")->SetAsString("0001");
    table.Post();
    QCOMPARE(table.RecordCount(), 1);

    // A filter that hides every row makes the table empty as well.
    table.SetFilter("CDFILIAL = '0009'");
    table.SetFiltered(true);
    QVERIFY(table.IsEmpty());
    table.Edit();
    QCOMPARE(table.State(), DataSetState::Insert);
    table.Cancel();
}

void TstTable::beforeEventAbortsAndKeepsState_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("start");  // "browse", "edit" or "insert"

    QTest::newRow("BeforePost while editing") << "BeforePost" << "edit";
    QTest::newRow("BeforePost while inserting") << "BeforePost" << "insert";
    QTest::newRow("BeforeInsert") << "BeforeInsert" << "browse";
    QTest::newRow("OnNewRecord") << "OnNewRecord" << "browse";
    QTest::newRow("BeforeEdit") << "BeforeEdit" << "browse";
    QTest::newRow("BeforeDelete") << "BeforeDelete" << "browse";
    QTest::newRow("BeforeCancel") << "BeforeCancel" << "edit";
}

void TstTable::beforeEventAbortsAndKeepsState()
{
    QFETCH(QString, event);
    QFETCH(QString, start);

    Table table;
    fillMovements(table);
    table.First();
    table.Next();
    const DataSetState state = start == "edit" ? DataSetState::Edit
                               : start == "insert" ? DataSetState::Insert
                                                   : DataSetState::Browse;
    if (state == DataSetState::Edit)
        table.Edit();
    if (state == DataSetState::Insert)
        table.Insert();
    if (state != DataSetState::Browse)
        table.FieldByName("NMPRODUTO")->SetAsString("Typed");
    const QString shown = table.FieldByName("NMPRODUTO")->AsString();
    const int recNo = table.RecNo();

    auto refuse = [](Table &) { throw EDatabaseError("Campo obrigatório."); };
    if (event == "BeforePost") table.BeforePost = refuse;
    if (event == "BeforeInsert") table.BeforeInsert = refuse;
    if (event == "OnNewRecord") table.OnNewRecord = [](Table &t) {
        t.FieldByName("NMPRODUTO")->SetAsString("Half");
        throw EAbort();
    };
    if (event == "BeforeEdit") table.BeforeEdit = refuse;
    if (event == "BeforeDelete") table.BeforeDelete = refuse;
    if (event == "BeforeCancel") table.BeforeCancel = refuse;

    bool thrown = false;
    try {
        if (event == "BeforePost") table.Post();
        if (event == "BeforeInsert" || event == "OnNewRecord") table.Insert();
        if (event == "BeforeEdit") table.Edit();
        if (event == "BeforeDelete") table.Delete();
        if (event == "BeforeCancel") table.Cancel();
    } catch (const EDatabaseError &) {
        thrown = true;
    } catch (const EAbort &) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(table.State(), state);
    QCOMPARE(table.RecNo(), recNo);
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), shown);
    QCOMPARE(table.RecordCount(), 4);
    QCOMPARE(table.ViewCount(), state == DataSetState::Insert ? 5 : 4);
}

void TstTable::onNewRecordValuesDoNotCountAsTyped()
{
    Table table;
    fillMovements(table);
    table.OnNewRecord = [](Table &t) {
        t.FieldByName("CDFILIAL")->SetAsString("0001");
        t.FieldByName("DTMOV")->SetAsDate(QDate(2009, 3, 10));
    };
    table.Append();
    QCOMPARE(table.FieldByName("CDFILIAL")->AsString(), QString("0001"));
    QCOMPARE(table.FieldByName("DTMOV")->AsDate(), QDate(2009, 3, 10));
    QVERIFY(!table.Modified());
    table.First();  // an untouched new record is dropped
    QCOMPARE(table.RecordCount(), 4);
}

void TstTable::checkBrowseModeOnMove_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("move");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("secondName");  // of the row in stored position 2

    QTest::newRow("untouched insert, First") << "insert" << false << "First" << 4 << "Feijão";
    QTest::newRow("typed insert, First") << "insert" << true << "First" << 5 << "Novo";
    QTest::newRow("typed insert, Next") << "insert" << true << "Next" << 5 << "Novo";
    QTest::newRow("typed insert, Locate") << "insert" << true << "Locate" << 5 << "Novo";
    QTest::newRow("untouched insert, Filter") << "insert" << false << "Filter" << 4 << "Feijão";
    QTest::newRow("typed insert, Order") << "insert" << true << "Order" << 5 << "Novo";
    QTest::newRow("typed edit, Last") << "edit" << true << "Last" << 4 << "Novo";
    QTest::newRow("untouched edit, Next") << "edit" << false << "Next" << 4 << "Feijão";
}

void TstTable::checkBrowseModeOnMove()
{
    QFETCH(QString, start);
    QFETCH(bool, typed);
    QFETCH(QString, move);
    QFETCH(int, records);
    QFETCH(QString, secondName);

    Table table;
    fillMovements(table);
    table.First();
    table.Next();
    if (start == "insert")
        table.Insert();
    else
        table.Edit();
    if (typed)
        table.FieldByName("NMPRODUTO")->SetAsString("Novo");
    if (move == "First") table.First();
    if (move == "Next") table.Next();
    if (move == "Last") table.Last();
    if (move == "Locate") QVERIFY(table.Locate("NMPRODUTO", QString("Leite")));
    if (move == "Filter") {
        table.SetFilter("CDFILIAL = '0001'");
        table.SetFiltered(true);
        table.SetFiltered(false);
    }
    if (move == "Order") table.SetIndexFieldNames("NRSEQ");
    QCOMPARE(table.State(), DataSetState::Browse);
    QCOMPARE(table.RecordCount(), records);
    Table copy;
    copy.SetData(table.Data());
    QCOMPARE(walk(copy, "NMPRODUTO").at(1), secondName);
}

void TstTable::calculatedFieldsFollowRecordAndTyping()
{
    Table table;
    QList<FieldDef> fields = {FieldDef::text("NMPRODUTO", 10),
                              FieldDef::of("QTD", FieldKind::Float),
                              FieldDef::of("VR", FieldKind::Float)};
    FieldDef total = FieldDef::of("TOTAL", FieldKind::Float);
    total.calculated = true;
    fields << total;
    table.SetFieldDefs(fields);
    int calls = 0;
    table.OnCalcFields = [&](Table &t) {
        ++calls;
        t.FieldByName("TOTAL")->SetAsFloat(t.FieldByName("QTD")->AsFloat()
                                           * t.FieldByName("VR")->AsFloat());
    };
    table.CreateDataSet();
    addRow(table, {"Arroz", 2.0, 3.0});
    addRow(table, {"Feijão", 4.0, 0.5});
    addRow(table, {"Óleo", 10.0, 1.25});

    Field *totalField = table.FieldByName("TOTAL");
    table.First();
    QCOMPARE(totalField->AsFloat(), 6.0);
    table.Next();
    QCOMPARE(totalField->AsFloat(), 2.0);

    table.Edit();
    table.FieldByName("QTD")->SetAsFloat(5);
    QCOMPARE(totalField->AsFloat(), 2.5);  // follows the typed value before the post

    // Another row's value does not disturb the current record's.
    QCOMPARE(table.ValueAt(2, totalField->Index()).toDouble(), 12.5);
    QCOMPARE(table.ValueAt(0, totalField->Index()).toDouble(), 6.0);
    QCOMPARE(totalField->AsFloat(), 2.5);
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), 5.0);

    table.Cancel();
    QCOMPARE(totalField->AsFloat(), 2.0);

    // A new record abandoned half-filled leaves the current one's total.
    table.OnNewRecord = [](Table &t) {
        t.FieldByName("QTD")->SetAsFloat(100);
        t.FieldByName("VR")->SetAsFloat(100);
        throw EAbort();
    };
    QVERIFY_THROWS_EXCEPTION(EAbort, table.Insert());
    QCOMPARE(totalField->AsFloat(), 2.0);
    table.OnNewRecord = nullptr;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, totalField->SetAsFloat(1));

    // Never stored.
    QVERIFY(!table.SavedContent().contains("TOTAL"));
    QVERIFY(calls > 0);
}

void TstTable::fieldOnChangeAndOnSetText()
{
    Table table;
    fillMovements(table);
    QStringList changes;
    Field *name = table.FieldByName("NMPRODUTO");
    name->OnChange = [&](Field &f) { changes << f.AsString(); };
    name->OnSetText = [](Field &f, const QString &text) { f.SetAsString(text.toUpper()); };

    table.First();
    table.Edit();
    name->SetText("feijão");
    QCOMPARE(name->AsString(), QString("FEIJÃO"));
    name->SetAsString("Sal");  // direct writes skip OnSetText but not OnChange
    QCOMPARE(changes, QStringList({"FEIJÃO", "Sal"}));
    table.Post();
    QCOMPARE(changes.size(), 2);

    // OnChange may write other fields of the record being edited.
    table.FieldByName("QTD")->OnChange = [](Field &f) {
        f.DataSet().FieldByName("NRSEQ")->SetAsInteger(qint64(f.AsFloat() * 10));
    };
    table.Edit();
    table.FieldByName("QTD")->SetText("1,5");
    QCOMPARE(table.FieldByName("NRSEQ")->AsInteger(), 15);
    table.Post();
}

void TstTable::setTextFollowsDecimalSeparator_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("comma") << QChar(u',') << "2,75" << 2.75 << "2,75";
    QTest::newRow("point") << QChar(u'.') << "2.75" << 2.75 << "2.75";
    QTest::newRow("comma, whole") << QChar(u',') << " 3 " << 3.0 << "3";
}

void TstTable::setTextFollowsDecimalSeparator()
{
    QFETCH(QChar, separator);
    QFETCH(QString, typed);
    QFETCH(double, value);
    QFETCH(QString, shown);

    LocaleService::setDecimalSeparator(separator);
    Table table;
    fillMovements(table);
    table.Edit();
    table.FieldByName("QTD")->SetText(typed);
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), value);
    QCOMPARE(table.FieldByName("QTD")->AsString(), shown);
    const QString other = separator == u',' ? "2.75" : "2,75";
    QVERIFY_THROWS_EXCEPTION(EConvertError, table.FieldByName("QTD")->SetText(other));
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), value);
}

void TstTable::dateFieldKeepsTheDayOfADateTime()
{
    Table table;
    fillMovements(table);
    table.Edit();
    Field *date = table.FieldByName("DTMOV");
    // A date-and-time value (another table's date-and-time field) keeps its
    // day; a typed text with a time is not a date.
    date->SetValue(QDateTime(QDate(2026, 3, 10), QTime(8, 30), Qt::UTC));
    QCOMPARE(date->AsDate(), QDate(2026, 3, 10));
    QCOMPARE(date->AsString(), QStringLiteral("10/03/2026"));
    date->SetAsDateTime(QDateTime(QDate(2026, 3, 11), QTime(23, 59, 59), Qt::UTC));
    QCOMPARE(date->AsDate(), QDate(2026, 3, 11));
    QVERIFY_THROWS_EXCEPTION(EConvertError, date->SetAsString("12/03/2026 08:30"));
    QCOMPARE(date->AsDate(), QDate(2026, 3, 11));
    table.Post();
    QCOMPARE(table.FieldByName("DTMOV")->AsDate(), QDate(2026, 3, 11));
}

void TstTable::navigationEofBof()
{
    Table table;
    table.SetFieldDefs(movementFields());
    table.CreateDataSet();
    QVERIFY(table.Eof() && table.Bof());
    table.First();
    QVERIFY(table.Eof() && table.Bof());

    fillMovements(table);
    table.First();
    QVERIFY(table.Bof());
    QVERIFY(!table.Eof());
    table.Next();
    QVERIFY(!table.Bof() && !table.Eof());
    table.Last();
    QVERIFY(table.Eof());
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Leite"));
    table.Prior();
    QVERIFY(!table.Eof());
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Óleo"));
    table.Next();
    table.Next();  // past the end: stays on the last record
    QVERIFY(table.Eof());
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Leite"));
    table.First();
    table.Prior();
    QVERIFY(table.Bof());
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Arroz"));

    int scrolls = 0;
    table.AfterScroll = [&](Table &) { ++scrolls; };
    QCOMPARE(walk(table, "NMPRODUTO").size(), 4);
    QVERIFY(scrolls >= 4);
}

void TstTable::scrollEventsAroundInsertionAndItsCancel()
{
    Table table;
    fillMovements(table);
    QStringList events;
    table.BeforeInsert = [&](Table &) { events << "BeforeInsert"; };
    table.AfterInsert = [&](Table &) { events << "AfterInsert"; };
    table.BeforeCancel = [&](Table &) { events << "BeforeCancel"; };
    table.AfterCancel = [&](Table &) { events << "AfterCancel"; };
    table.BeforeScroll = [&](Table &) { events << "BeforeScroll"; };
    table.AfterScroll = [&](Table &t) {
        events << "AfterScroll " + t.FieldByName("NMPRODUTO")->AsString();
    };
    table.First();
    events.clear();
    // A cancelled insertion leaves the cursor on another record, with the
    // scroll events around it; a cancelled edit stays where it was.
    table.Insert();
    table.Cancel();
    QCOMPARE(events, QStringList({"BeforeInsert", "BeforeScroll", "AfterInsert", "AfterScroll ",
                                  "BeforeCancel", "BeforeScroll", "AfterCancel",
                                  "AfterScroll Arroz"}));
    events.clear();
    table.Edit();
    table.Cancel();
    QCOMPARE(events, QStringList({"BeforeCancel", "AfterCancel"}));
}

void TstTable::disableControlsSilencesSignals()
{
    Table table;
    fillMovements(table);
    QSignalSpy current(&table, &Table::currentChanged);
    QSignalSpy reset(&table, &Table::viewReset);
    QSignalSpy state(&table, &Table::stateChanged);
    QSignalSpy inserted(&table, &Table::rowInserted);

    table.Next();
    QCOMPARE(current.count(), 1);

    current.clear();
    table.DisableControls();
    table.DisableControls();
    table.First();
    table.Append();
    table.FieldByName("NMPRODUTO")->SetAsString("Sal");
    table.Post();
    table.SetFilter("CDFILIAL = '0001'");
    table.SetFiltered(true);
    table.EnableControls();
    QVERIFY(table.ControlsDisabled());
    QCOMPARE(current.count() + reset.count() + state.count() + inserted.count(), 0);

    table.EnableControls();
    QVERIFY(!table.ControlsDisabled());
    QCOMPARE(reset.count(), 1);
    QCOMPARE(current.count(), 1);
    QCOMPARE(state.count(), 1);
    QCOMPARE(inserted.count(), 0);

    table.Append();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(state.count(), 2);
    table.Cancel();
}

// A grid shows the visible rows: every change of which rows are visible
// must tell it, or it keeps showing the old rows.
void TstTable::filterChangeResetsControls()
{
    Table table;
    fillMovements(table);
    QSignalSpy reset(&table, &Table::viewReset);

    table.SetFilter("CDFILIAL = '0001'");
    QCOMPARE(reset.count(), 0);  // stored only: the filter is not active
    table.SetFiltered(true);
    QCOMPARE(reset.count(), 1);
    table.SetFilter("CDFILIAL = '0002'");
    QCOMPARE(reset.count(), 2);
    QVERIFY(table.RecordCount() > 0);
    QCOMPARE(table.FieldByName("CDFILIAL")->AsString(), QString("0002"));
    table.SetFiltered(false);
    QCOMPARE(reset.count(), 3);
}

void TstTable::textCutToSize_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    QTest::newRow("fits") << "AB" << "AB";
    QTest::newRow("exact, accented") << "Açaí" << "Açaí";
    QTest::newRow("cut after accented") << "Feijão" << "Feij";
    QTest::newRow("cut keeps accented") << "Ação!" << "Ação";
    QTest::newRow("blanks kept") << "  ab  " << "  ab";
    // A file cannot hold the character, and the platform's fields end there.
    QTest::newRow("ends at a NUL") << QString("ab") + QChar(0) + "cd" << "ab";
}

void TstTable::textCutToSize()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    Table table;
    table.SetFieldDefs({FieldDef::text("CDFILIAL", 4)});
    table.CreateDataSet();
    table.Append();
    table.FieldByName("CDFILIAL")->SetAsString(typed);
    QCOMPARE(table.FieldByName("CDFILIAL")->AsString(), kept);
    table.Post();
    QCOMPARE(table.FieldByName("CDFILIAL")->AsString(), kept);
    QVERIFY(table.Locate("CDFILIAL", kept));
}

void TstTable::overlongValueRefused()
{
    Table table;
    table.SetFieldDefs({FieldDef::text("OBS", 0)});  // no size: nothing is cut
    table.CreateDataSet();
    table.Append();
    table.FieldByName("OBS")->SetAsString("curto");
    const QString huge(17 * 1024 * 1024, u'x');
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.FieldByName("OBS")->SetAsString(huge));
    QCOMPARE(table.FieldByName("OBS")->AsString(), QString("curto"));
    const QString large(4 * 1024 * 1024, u'y');
    table.FieldByName("OBS")->SetAsString(large);
    table.Post();
    QCOMPARE(table.FieldByName("OBS")->AsString(), large);
}

void TstTable::dataCopyIsIndependent()
{
    Table source;
    fillMovements(source);
    Table copy;
    copy.SetFieldDefs(movementFields());
    copy.SetData(source.Data());
    QCOMPARE(walk(copy, "NMPRODUTO"), walk(source, "NMPRODUTO"));

    // Writes on either side after the copy stay on that side.
    source.First();
    source.Edit();
    source.FieldByName("NMPRODUTO")->SetAsString("Trocado");
    source.Post();
    source.Append();
    source.FieldByName("NMPRODUTO")->SetAsString("Novo");
    source.Post();
    copy.Last();
    copy.Edit();
    copy.FieldByName("NMPRODUTO")->SetAsString("Cópia");
    copy.Post();
    copy.First();
    copy.Delete();

    QCOMPARE(walk(source, "NMPRODUTO"),
             QStringList({"Trocado", "Feijão", "Óleo", "Leite", "Novo"}));
    QCOMPARE(walk(copy, "NMPRODUTO"), QStringList({"Feijão", "Óleo", "Cópia"}));

    // A copy into a table declared otherwise is refused like a file.
    Table other;
    other.SetFieldDefs({FieldDef::text("CDFILIAL", 5)});
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, other.SetData(source.Data()));
    QCOMPARE(other.State(), DataSetState::Inactive);

    // A copy taken while a record is being edited holds the posted values.
    source.First();
    source.Edit();
    source.FieldByName("NMPRODUTO")->SetAsString("Pendente");
    Table snapshot;
    snapshot.SetData(source.Data());
    QCOMPARE(walk(snapshot, "NMPRODUTO").first(), QString("Trocado"));
    QCOMPARE(source.State(), DataSetState::Edit);
}

void TstTable::emptyDataSetCloseAndOpen()
{
    Table table;
    fillMovements(table);
    table.Close();
    QCOMPARE(table.State(), DataSetState::Inactive);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.Next());
    table.Open();
    QCOMPARE(table.State(), DataSetState::Browse);
    QCOMPARE(table.RecordCount(), 4);
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Arroz"));

    table.Edit();
    table.EmptyDataSet();
    QCOMPARE(table.State(), DataSetState::Browse);
    QVERIFY(table.IsEmpty());
    QVERIFY(table.Eof());
    QVERIFY(table.FieldByName("NMPRODUTO")->IsNull());
    addRow(table, {"0003", "Sal"});
    QCOMPARE(walk(table, "NMPRODUTO"), QStringList({"Sal"}));
}

void TstTable::changeLog()
{
    Table table;
    fillMovements(table);
    QVERIFY(table.LogChanges());
    table.MergeChangeLog();
    QCOMPARE(table.ChangeCount(), 0);

    table.First();
    table.Edit();
    table.FieldByName("QTD")->SetAsFloat(9);
    table.Post();
    table.Edit();
    table.Cancel();
    table.Delete();
    QCOMPARE(table.ChangeCount(), 2);
    table.MergeChangeLog();
    QCOMPARE(table.ChangeCount(), 0);

    table.SetLogChanges(false);
    addRow(table, {"0003", "Sal"});
    table.Delete();
    QCOMPARE(table.ChangeCount(), 0);

    // A save holds plain records only.
    const QByteArray saved = table.SavedContent();
    QVERIFY(!saved.contains("RowState"));
    QVERIFY(!saved.contains("CHANGE_LOG"));
    QCOMPARE(saved.count("<ROW "), 3);
}

// The windows copy a table into an auxiliary one before each row they
// insert, and the grids before each typed value: the values must survive
// any number of copies, and memory must not grow with their count.
void TstTable::snapshotBeforeEveryChangeKeepsValues()
{
    constexpr int rounds = 600;
    Table table;
    fillMovements(table);
    Table snapshot;
    snapshot.SetFieldDefs(movementFields());
    const qint64 before = virtualMemoryKb();
    for (int i = 0; i < rounds; ++i) {
        snapshot.SetData(table.Data());
        table.Append();
        table.FieldByName("NMPRODUTO")->SetAsString(QString("Item %1").arg(i));
        table.Post();
    }
    QCOMPARE(snapshot.RecordCount(), rounds + 3);

    table.First();
    table.Edit();
    for (int i = 0; i < rounds; ++i) {
        snapshot.SetData(table.Data());
        table.FieldByName("NMPRODUTO")->SetAsString(QString("Tecla %1").arg(i));
    }
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Tecla %1").arg(rounds - 1));
    table.Post();

    const QStringList names = column(table, "NMPRODUTO");
    QCOMPARE(names.size(), rounds + 4);
    QCOMPARE(names.mid(0, 4), QStringList({"Tecla 599", "Feijão", "Óleo", "Leite"}));
    for (int i = 0; i < rounds; ++i)
        QCOMPARE(names[4 + i], QString("Item %1").arg(i));
    QCOMPARE(column(snapshot, "NMPRODUTO").first(), QString("Arroz"));
    QCOMPARE(column(snapshot, "NMPRODUTO").last(), QString("Item 599"));
    Table saved;
    saved.SetData(TableFile::parse(table.SavedContent(), "MOV.cds"));
    QCOMPARE(column(saved, "NMPRODUTO"), names);
    if (before >= 0)
        QVERIFY2(virtualMemoryKb() - before < 512 * 1024,
                 qPrintable(QString("grew by %1 KiB").arg(virtualMemoryKb() - before)));
}

// --------------------------------------------------------------- filters

void TstTable::filterAsWindowsWriteIt_data()
{
    QTest::addColumn<QString>("dateFormat");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("keys");

    const QString br = "dd/MM/yyyy";
    const QString us = "MM/dd/yyyy";
    QTest::newRow("quoted branch") << br << "CDFILIAL = '0001'" << QStringList{"r1", "r2", "r4"};
    QTest::newRow("no blank before AND")
        << br << "IDLANCMTO ='E'AND CDSERIE = 'U'" << QStringList{"r1", "r3", "r5"};
    QTest::newRow("unquoted branch digits")
        << br << "CDFILIAL =0001" << QStringList{"r1", "r2", "r4"};
    QTest::newRow("unquoted short code") << br << "CDFILIAL = 1" << QStringList{"r5"};
    QTest::newRow("headcount, dd/MM")
        << br << "CDFILIAL = '0001'AND CDTIPOCARD = '01'AND DTEFETIVO = '10/03/2009'"
        << QStringList{"r1"};
    QTest::newRow("headcount, MM/dd")
        << us << "CDFILIAL = '0001'AND CDTIPOCARD = '01'AND DTEFETIVO = '10/03/2009'"
        << QStringList{"r4"};
    QTest::newRow("lower-case and, dd/MM")
        << br << "CDFILISOLI = '0001'and DTPROGENTR = '10/03/2009'" << QStringList{"r1", "r2"};
    QTest::newRow("lower-case and, MM/dd")
        << us << "CDFILISOLI = '0001'and DTPROGENTR = '10/03/2009'" << QStringList{"r4"};
    QTest::newRow("unquoted number and date")
        << br << "CDFILDEST = 0001 AND NRAUTOFORN = 345 AND DTPENTAF = '10/03/2008'"
        << QStringList{"r1", "r4"};
    QTest::newRow("unquoted fraction") << br << "NRAUTOFORN = 345.5" << QStringList{"r5"};
    QTest::newRow("date-time with time")
        << br << "DTHORA = '10/03/2009 14:30:00'" << QStringList{"r1", "r5"};
    QTest::newRow("date-time at midnight") << br << "DTHORA = '10/03/2009'" << QStringList{"r2"};
    QTest::newRow("date with a time never matches")
        << br << "DTEFETIVO = '10/03/2009 14:30:00'" << QStringList{};
    QTest::newRow("doubled quotes") << br << "NMPRODUTO = 'D''ÁGUA'" << QStringList{"r1", "r5"};
    QTest::newRow("case matters in values") << br << "NMPRODUTO = 'd''ÁGUA'" << QStringList{};
    QTest::newRow("empty value") << br << "NMPRODUTO = ''" << QStringList{"r4"};
    QTest::newRow("lower-case field name") << br << "cdserie = 'X'" << QStringList{"r4"};
    QTest::newRow("empty filter") << br << "" << QStringList{"r1", "r2", "r3", "r4", "r5"};
    QTest::newRow("blank filter") << br << "   " << QStringList{"r1", "r2", "r3", "r4", "r5"};
}

void TstTable::filterAsWindowsWriteIt()
{
    QFETCH(QString, dateFormat);
    QFETCH(QString, filter);
    QFETCH(QStringList, keys);

    LocaleService::setShortDateFormat(dateFormat);
    Table table;
    fillFilterTable(table);
    table.SetFilter(filter);
    table.SetFiltered(true);
    QCOMPARE(walk(table, "KEY"), keys);
    QCOMPARE(table.RecordCount(), keys.size());

    // The same filter set while filtered, and with the other decimal separator.
    Table again;
    fillFilterTable(again);
    LocaleService::setDecimalSeparator(u'.');
    again.SetFilter("CDFILIAL = 'none'");
    again.SetFiltered(true);
    again.SetFilter(filter);
    QCOMPARE(walk(again, "KEY"), keys);
}

void TstTable::badFilterRaisesAndKeepsPrevious_data()
{
    QTest::addColumn<QString>("filter");

    QTest::newRow("OR") << "CDFILIAL = '0001' OR CDSERIE = 'U'";
    QTest::newRow("no equals sign") << "CDFILIAL '0001'";
    QTest::newRow("other operator") << "CDFILIAL <> '0001'";
    QTest::newRow("open quote") << "CDFILIAL = '0001";
    QTest::newRow("dangling AND") << "CDFILIAL = '0001' AND";
    QTest::newRow("missing AND") << "CDFILIAL = '0001' CDSERIE = 'U'";
    QTest::newRow("no field") << "= '0001'";
    QTest::newRow("no value") << "CDFILIAL =";
    QTest::newRow("unquoted word") << "CDFILIAL = abc";
    QTest::newRow("unknown field") << "CDFILIALX = '0001'";
    QTest::newRow("unknown second field") << "CDFILIAL = '0001' AND XPTO = '1'";
    QTest::newRow("impossible date") << "DTEFETIVO = '31/02/2009'";
    QTest::newRow("date not a date") << "DTEFETIVO = 'amanhã'";
    QTest::newRow("unquoted date") << "DTEFETIVO = 10";
    QTest::newRow("number not a number") << "NRAUTOFORN = 'abc'";
    QTest::newRow("parenthesis") << "(CDFILIAL = '0001')";
}

void TstTable::badFilterRaisesAndKeepsPrevious()
{
    QFETCH(QString, filter);

    Table table;
    fillFilterTable(table);
    table.SetFilter("CDSERIE = 'X'");
    table.SetFiltered(true);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.SetFilter(filter));
    QCOMPARE(table.Filter(), QString("CDSERIE = 'X'"));
    QVERIFY(table.Filtered());
    QCOMPARE(walk(table, "KEY"), QStringList({"r4"}));
    try {
        table.SetFilter(filter);
    } catch (const EDatabaseError &error) {
        QVERIFY(!error.message().isEmpty());
    }
}

void TstTable::badFilterRefusedWhenSwitchedOn()
{
    Table table;
    fillFilterTable(table);
    table.SetFilter("XPTO = '1'");  // not filtered yet: taken as text
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.SetFiltered(true));
    QVERIFY(!table.Filtered());
    QCOMPARE(table.RecordCount(), 5);
    table.SetFilter("CDFILIAL = '0002'");
    table.SetFiltered(true);
    QCOMPARE(walk(table, "KEY"), QStringList({"r3"}));
}

void TstTable::filteredMovesToFirstMatchAndCounts()
{
    Table table;
    fillFilterTable(table);
    table.Last();
    table.SetFilter("IDLANCMTO = 'E'");
    QCOMPARE(table.RecordCount(), 5);  // not filtered yet
    table.SetFiltered(true);
    QCOMPARE(table.FieldByName("KEY")->AsString(), QString("r1"));
    QVERIFY(table.Bof());
    QCOMPARE(table.RecordCount(), 4);

    // A posted row enters or leaves the filtered view by its values.
    table.SetRecNo(2);  // r3
    table.Edit();
    table.FieldByName("IDLANCMTO")->SetAsString("S");
    table.Post();
    QCOMPARE(walk(table, "KEY"), QStringList({"r1", "r4", "r5"}));
    table.Append();
    table.FieldByName("KEY")->SetAsString("r6");
    table.FieldByName("IDLANCMTO")->SetAsString("E");
    table.Post();
    QCOMPARE(table.FieldByName("KEY")->AsString(), QString("r6"));
    table.Append();
    table.FieldByName("KEY")->SetAsString("r7");
    table.FieldByName("IDLANCMTO")->SetAsString("S");
    table.Post();
    QCOMPARE(walk(table, "KEY"), QStringList({"r1", "r4", "r5", "r6"}));
    table.SetFiltered(false);
    QCOMPARE(table.RecordCount(), 7);
}

// ----------------------------------------------------------------- order

void TstTable::indexFieldNamesOrder_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QStringList>("keys");

    QTest::newRow("file order") << "" << QStringList{"k1", "k2", "k3", "k4", "k5", "k6"};
    QTest::newRow("text") << "NM" << QStringList{"k3", "k2", "k5", "k1", "k4", "k6"};
    QTest::newRow("date") << "DT" << QStringList{"k2", "k3", "k4", "k1", "k5", "k6"};
    QTest::newRow("float") << "QTD" << QStringList{"k5", "k2", "k3", "k6", "k1", "k4"};
    QTest::newRow("integer") << "NR" << QStringList{"k5", "k6", "k4", "k1", "k3", "k2"};
    QTest::newRow("date-time") << "DTH" << QStringList{"k4", "k3", "k2", "k5", "k1", "k6"};
    QTest::newRow("text;date") << "NM;DT" << QStringList{"k3", "k2", "k5", "k4", "k1", "k6"};
    QTest::newRow("date; float") << "DT; QTD" << QStringList{"k2", "k3", "k4", "k5", "k6", "k1"};
    QTest::newRow("lower-case names")
        << "nm;nr" << QStringList{"k3", "k5", "k2", "k4", "k1", "k6"};
    QTest::newRow("integer;text") << "NR;NM" << QStringList{"k5", "k6", "k4", "k3", "k1", "k2"};
}

void TstTable::indexFieldNamesOrder()
{
    QFETCH(QString, index);
    QFETCH(QStringList, keys);

    Table table;
    fillOrderTable(table);
    table.SetIndexFieldNames(index);
    QCOMPARE(walk(table, "KEY"), keys);

    // The order set before the content arrives is applied to it.
    Table later;
    later.SetFieldDefs(orderFields());
    later.SetIndexFieldNames(index);
    later.SetData(table.Data());
    QCOMPARE(column(later, "KEY"), keys);

    // The current record stays current across an order change.
    table.SetIndexFieldNames("");
    table.SetRecNo(3);
    table.SetIndexFieldNames(index);
    QCOMPARE(table.FieldByName("KEY")->AsString(), QString("k3"));
    QCOMPARE(table.RecNo(), int(keys.indexOf("k3")) + 1);
}

// Checks the incremental placement of posted rows against a fresh sort of
// the same content.
void TstTable::postedRowTakesItsPlace()
{
    Table table;
    fillOrderTable(table);
    table.SetIndexFieldNames("NM;KEY");
    table.SetFilter("DT = '10/03/2009'");
    table.SetFiltered(true);
    QCOMPARE(walk(table, "KEY"), QStringList({"k5", "k1", "k6"}));

    table.Append();
    table.FieldByName("KEY")->SetAsString("k7");
    table.FieldByName("NM")->SetAsString("bb");
    table.FieldByName("DT")->SetAsDate(QDate(2009, 3, 10));
    table.Post();
    QCOMPARE(table.FieldByName("KEY")->AsString(), QString("k7"));
    QCOMPARE(column(table, "KEY"), QStringList({"k5", "k1", "k7", "k6"}));

    // Key changed: the row moves.
    QVERIFY(table.Locate("KEY", QString("k6")));
    table.Edit();
    table.FieldByName("NM")->SetAsString("a");
    table.Post();
    QCOMPARE(column(table, "KEY"), QStringList({"k5", "k6", "k1", "k7"}));
    QCOMPARE(table.RecNo(), 2);

    // Leaves the filter: out of the view, still in the table.
    table.Edit();
    table.FieldByName("DT")->SetAsDate(QDate(2009, 3, 11));
    table.Post();
    QCOMPARE(column(table, "KEY"), QStringList({"k5", "k1", "k7"}));

    // A new row outside the filter goes straight to the hidden rows.
    table.Insert();
    table.FieldByName("KEY")->SetAsString("k8");
    table.FieldByName("NM")->SetAsString("a");
    table.Post();
    QCOMPARE(column(table, "KEY"), QStringList({"k5", "k1", "k7"}));

    table.SetFiltered(false);
    const QStringList incremental = column(table, "KEY");
    QCOMPARE(incremental, QStringList({"k3", "k2", "k5", "k6", "k8", "k1", "k4", "k7"}));
    table.SetIndexFieldNames("");
    table.SetIndexFieldNames("NM;KEY");
    QCOMPARE(column(table, "KEY"), incremental);
}

void TstTable::insertedRowKeepsOrderAmongEqualKeys()
{
    Table table;
    fillOrderTable(table);
    table.SetIndexFieldNames("NM");
    QVERIFY(table.Locate("KEY", QString("k4")));  // second of the two "b"
    table.Insert();
    table.FieldByName("KEY")->SetAsString("n1");
    table.FieldByName("NM")->SetAsString("b");
    table.Post();
    QVERIFY(table.Locate("KEY", QString("k5")));
    table.Edit();
    table.FieldByName("NM")->SetAsString("b");  // joins the "b" rows by its place in the file
    table.Post();
    const QStringList incremental = column(table, "KEY");

    Table fresh;
    fresh.SetFieldDefs(orderFields());
    fresh.SetIndexFieldNames("NM");
    fresh.SetData(table.Data());
    QCOMPARE(incremental, column(fresh, "KEY"));
    QCOMPARE(incremental, QStringList({"k3", "k2", "k1", "n1", "k4", "k5", "k6"}));
}

void TstTable::locate_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("found");  // NMPRODUTO of the found row; empty: none

    const int ci = loCaseInsensitive;
    const int pk = loPartialKey;
    QTest::newRow("exact") << "NMPRODUTO" << QVariantList{"Feijão"} << 0 << "Feijão";
    QTest::newRow("exact, other case") << "NMPRODUTO" << QVariantList{"FEIJÃO"} << 0 << "";
    QTest::newRow("case-insensitive") << "NMPRODUTO" << QVariantList{"FEIJÃO"} << ci << "Feijão";
    QTest::newRow("prefix without option") << "NMPRODUTO" << QVariantList{"Fei"} << 0 << "";
    QTest::newRow("partial key") << "NMPRODUTO" << QVariantList{"Fei"} << pk << "Feijão";
    QTest::newRow("partial, other case") << "NMPRODUTO" << QVariantList{"óL"} << pk << "";
    QTest::newRow("partial, case-insensitive")
        << "NMPRODUTO" << QVariantList{"óL"} << (ci | pk) << "Óleo";
    QTest::newRow("two fields \"; \"")
        << "CDFILIAL; NMPRODUTO" << QVariantList{"0002", "Leite"} << 0 << "Leite";
    QTest::newRow("two fields \";\"")
        << "CDFILIAL;NMPRODUTO" << QVariantList{"0002", "Leite"} << 0 << "Leite";
    QTest::newRow("two fields, no match")
        << "CDFILIAL;NMPRODUTO" << QVariantList{"0001", "Leite"} << 0 << "";
    QTest::newRow("float") << "QTD" << QVariantList{3.0} << 0 << "Óleo";
    QTest::newRow("integer") << "NRSEQ" << QVariantList{4} << 0 << "Leite";
    QTest::newRow("date") << "DTMOV" << QVariantList{QDate(2009, 3, 11)} << 0 << "Feijão";
    QTest::newRow("date as text") << "DTMOV" << QVariantList{"12/03/2009"} << 0 << "Óleo";
    QTest::newRow("filtered out") << "NMPRODUTO" << QVariantList{"Feijão"} << ci << "";
}

void TstTable::locate()
{
    QFETCH(QString, fields);
    QFETCH(QVariantList, values);
    QFETCH(int, options);
    QFETCH(QString, found);

    Table table;
    fillMovements(table);
    addRow(table, {"0002", "Feijão", 9.0, 5, QDate(2009, 3, 20)});
    if (QByteArray(QTest::currentDataTag()) == "filtered out") {
        table.SetFilter("CDFILIAL = '0001'");
        table.SetFiltered(true);
    }
    table.Last();
    const bool located = table.Locate(fields, values, options);
    QCOMPARE(located, !found.isEmpty());
    if (located) {
        QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), found);
        // The first match in browsing order: the second "Feijão" comes later.
        QVERIFY(table.FieldByName("NRSEQ")->AsInteger() < 5);
    }
}

void TstTable::locateNotFoundKeepsCursor()
{
    Table table;
    fillMovements(table);
    table.SetRecNo(3);
    QVERIFY(!table.Locate("NMPRODUTO", QString("Sal")));
    QCOMPARE(table.RecNo(), 3);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.Locate("XPTO", QString("1")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             table.Locate("CDFILIAL;NMPRODUTO", QVariantList{"0001"}));
    QCOMPARE(table.RecNo(), 3);
}

// Every row of a table as one text, in view order.
QStringList rowsOf(const Table &table)
{
    QStringList out;
    for (int row = 0; row < table.ViewCount(); ++row) {
        QStringList values;
        for (int f = 0; f < table.FieldCount(); ++f)
            values << table.TextAt(row, f);
        out << values.join(u'|');
    }
    return out;
}

// Posting, moving rows between orders and filters, snapshots and saves
// keep incremental state: after each step the view must be what a fresh
// sort and filter of the same content gives, and the saved bytes what a
// table built value by value from scratch saves.
void TstTable::filterOnLeadingOrderFieldsSeesEveryMatch_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("filter");
    QTest::newRow("first field") << "CDFILIAL;NMPRODUTO" << "CDFILIAL = '0002'";
    QTest::newRow("first two fields")
        << "CDFILIAL;NMPRODUTO" << "NMPRODUTO = 'b' AND CDFILIAL = '0001'";
    QTest::newRow("first field and another")
        << "NMPRODUTO;QTD" << "NMPRODUTO = 'a' AND DTMOV = '11/03/2009'";
    QTest::newRow("an empty value") << "NMPRODUTO" << "NMPRODUTO = ''";
    QTest::newRow("a value no row holds") << "CDFILIAL" << "CDFILIAL = '0009'";
    QTest::newRow("a longer value") << "NMPRODUTO" << "NMPRODUTO = 'ab'";
    QTest::newRow("a date first")
        << "DTHORA;CDFILIAL" << "DTHORA = '10/03/2009' AND CDFILIAL = '0001'";
    QTest::newRow("a number first") << "QTD;CDFILIAL" << "CDFILIAL = '0001'";
}

// A filter fixing the leading fields of the order keeps one run of the
// order; after posts that move rows, it still finds every match, as a
// walk over the whole table does.
void TstTable::filterOnLeadingOrderFieldsSeesEveryMatch()
{
    QFETCH(QString, index);
    QFETCH(QString, filter);
    Table table;
    table.SetFieldDefs(movementFields());
    table.CreateDataSet();
    const QStringList branches = {"0001", "0002", "0003"};
    const QStringList names = {"", "a", "ab", "b", "Ação"};
    for (int i = 0; i < 60; ++i)
        addRow(table, {branches[i % 3], names[(i * 7) % 5], double((i * 5) % 4) - 1, i,
                       QDate(2009, 3, 10 + i % 2),
                       i % 4 ? QVariant(QDateTime(QDate(2009, 3, 10), QTime(0, 0), Qt::UTC))
                             : QVariant(QDateTime(QDate(2009, 3, 10), QTime(8, 30), Qt::UTC))});
    table.SetIndexFieldNames(index);
    // Rows moved by an edit of their key take their new place.
    for (int i = 0; i < 10; ++i) {
        table.SetRecNo(1 + (i * 13) % table.RecordCount());
        table.Edit();
        table.FieldByName("CDFILIAL")->SetAsString(branches[i % 3]);
        table.FieldByName("NMPRODUTO")->SetAsString(names[i % 5]);
        table.Post();
    }

    QStringList expected;
    {
        // One record at a time: the filter's own terms, checked against a
        // one-row table, decide whether the row is a match.
        for (int row = 0; row < table.ViewCount(); ++row) {
            Table one;
            one.SetFieldDefs(movementFields());
            one.CreateDataSet();
            QVariantList values;
            for (int f = 0; f < table.FieldCount(); ++f)
                values << table.ValueAt(row, f);
            addRow(one, values);
            one.SetFilter(filter);
            one.SetFiltered(true);
            if (one.RecordCount() == 1)
                expected << table.TextAt(row, table.FieldByName("NRSEQ")->Index());
        }
    }
    table.SetFilter(filter);
    table.SetFiltered(true);
    QCOMPARE(column(table, "NRSEQ"), expected);
}

void TstTable::randomEditsAgreeWithFreshBuild()
{
    const QList<FieldDef> fields = {FieldDef::text("CDFILIAL", 4), FieldDef::text("NM", 6),
                                    FieldDef::of("QTD", FieldKind::Float),
                                    FieldDef::of("NR", FieldKind::Integer),
                                    FieldDef::of("DT", FieldKind::Date)};
    const QStringList indexes = {"", "NM", "QTD", "NR;NM", "DT;CDFILIAL;QTD", "CDFILIAL"};
    const QStringList filters = {"CDFILIAL = '0001'", "CDFILIAL = 0002 AND NM = 'a'",
                                 "DT = '10/03/2009'", ""};
    const QVariantList branches = {"0001", "0002"};
    const QVariantList nameValues = {QVariant(), "a", "b", "ab", "Ação"};
    const QVariantList quantities = {QVariant(), -1.5, 0.0, 2.0, 10.0};
    const QVariantList numbers = {QVariant(), -3, 1, 2, 10};
    const QVariantList dates = {QVariant(), QDate(2009, 3, 10), QDate(2009, 3, 11)};

    QRandomGenerator random(20091003);
    auto pick = [&](const QVariantList &from) { return from[random.bounded(from.size())]; };
    auto fill = [&](Table &t) {
        const QList<QVariantList> choices = {branches, nameValues, quantities, numbers, dates};
        for (int f = 0; f < choices.size(); ++f)
            if (random.bounded(3) > 0)
                t.Fields(f)->SetValue(pick(choices[f]));
    };

    Table table;
    table.SetFieldDefs(fields);
    table.CreateDataSet();
    Table snapshot;
    snapshot.SetFieldDefs(fields);
    // Saves now and then, so that later saves copy the lines remembered
    // from earlier ones; the fresh build below shows when one is stale.
    QTemporaryDir saves;
    const QString savedPath = saves.filePath("MOV.cds");
    for (int step = 0; step < 1500; ++step) {
        if (step % 7 == 3 && table.State() == DataSetState::Browse)
            table.SaveToFile(savedPath);
        const int action = random.bounded(12);
        if (!table.IsEmpty())
            table.SetRecNo(1 + random.bounded(table.RecordCount()));
        switch (action) {
        case 0: case 1: case 2:
            random.bounded(2) ? table.Append() : table.Insert();
            fill(table);
            table.Post();
            break;
        case 3: case 4: case 5:
            table.Edit();
            fill(table);
            random.bounded(5) ? table.Post() : table.Cancel();
            break;
        case 6:
            if (!table.IsEmpty())
                table.Delete();
            break;
        case 7:
            table.SetIndexFieldNames(indexes[random.bounded(indexes.size())]);
            break;
        case 8:
            table.SetFilter(filters[random.bounded(filters.size())]);
            table.SetFiltered(random.bounded(3) > 0);
            break;
        case 9:
            snapshot.SetData(table.Data());
            break;
        case 10: {
            Table reloaded;
            reloaded.SetFieldDefs(fields);
            reloaded.SetIndexFieldNames(table.IndexFieldNames());
            reloaded.SetFilter(table.Filter());
            reloaded.SetFiltered(table.Filtered());
            reloaded.SetData(TableFile::parse(table.SavedContent(), "MOV.cds"));
            QCOMPARE(rowsOf(reloaded), rowsOf(table));
            break;
        }
        default:
            table.First();
            break;
        }

        Table resorted;
        resorted.SetFieldDefs(fields);
        resorted.SetIndexFieldNames(table.IndexFieldNames());
        resorted.SetFilter(table.Filter());
        resorted.SetFiltered(table.Filtered());
        resorted.SetData(table.Data());
        QVERIFY2(rowsOf(resorted) == rowsOf(table), qPrintable(QString("step %1").arg(step)));

        if (step % 10 == 0) {
            Table plain;
            plain.SetFieldDefs(fields);
            plain.SetData(table.Data());
            Table rebuilt;
            rebuilt.SetFieldDefs(fields);
            rebuilt.CreateDataSet();
            for (plain.First(); !plain.Eof(); plain.Next()) {
                rebuilt.Append();
                for (int f = 0; f < fields.size(); ++f)
                    rebuilt.Fields(f)->SetValue(plain.Fields(f)->Value());
                rebuilt.Post();
            }
            QVERIFY2(table.SavedContent() == rebuilt.SavedContent(),
                     qPrintable(QString("step %1").arg(step)));
        }
    }
    QVERIFY(table.RecordCount() > 20);
}

// --------------------------------------------------------------- scale

void TstTable::largeFilteredOrderedTable()
{
    constexpr int rows = 100000;
    QByteArray packet = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n"
                        "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>\n"
                        "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
                        "<FIELD attrname=\"NRSEQ\" fieldtype=\"i4\"/>\n"
                        "</FIELDS><PARAMS/></METADATA><ROWDATA>\n";
    for (int i = 0; i < rows; ++i) {
        // Names repeat so that equal keys keep their file order.
        packet += QStringLiteral("<ROW CDFILIAL=\"%1\" NMPRODUTO=\"Produto %2\" NRSEQ=\"%3\"/>\n")
                      .arg(i % 10 + 1, 4, 10, QChar(u'0'))
                      .arg((rows - i) % 997, 3, 10, QChar(u'0'))
                      .arg(i)
                      .toUtf8();
    }
    packet += "</ROWDATA></DATAPACKET>\n";

    Table table;
    table.SetFieldDefs({FieldDef::text("CDFILIAL", 4), FieldDef::text("NMPRODUTO", 20),
                        FieldDef::of("NRSEQ", FieldKind::Integer)});
    table.SetIndexFieldNames("NMPRODUTO");
    table.SetFilter("CDFILIAL = '0003'");
    table.SetFiltered(true);
    table.SetData(TableFile::parse(packet, "grande.cds"));
    QCOMPARE(table.RecordCount(), rows / 10);

    // Every visible row is of the branch, in name order, ties by file order.
    auto checkView = [&](const QString &branch) {
        const int branchIndex = table.FieldByName("CDFILIAL")->Index();
        const int nameIndex = table.FieldByName("NMPRODUTO")->Index();
        const int seqIndex = table.FieldByName("NRSEQ")->Index();
        QString lastName;
        qint64 lastSeq = -1;
        for (int row = 0; row < table.ViewCount(); ++row) {
            if (table.TextAt(row, branchIndex) != branch)
                return false;
            const QString name = table.TextAt(row, nameIndex);
            const qint64 seq = table.ValueAt(row, seqIndex).toLongLong();
            if (name < lastName || (name == lastName && seq <= lastSeq))
                return false;
            lastName = name;
            lastSeq = seq;
        }
        return true;
    };
    QVERIFY(checkView("0003"));

    table.SetFilter("CDFILIAL = '0007'");
    QCOMPARE(table.RecordCount(), rows / 10);
    QVERIFY(checkView("0007"));
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Produto 000"));

    table.Append();
    table.FieldByName("CDFILIAL")->SetAsString("0007");
    table.FieldByName("NMPRODUTO")->SetAsString("Produto 500");
    table.FieldByName("NRSEQ")->SetAsInteger(rows);
    table.Post();
    QCOMPARE(table.RecordCount(), rows / 10 + 1);
    QCOMPARE(table.FieldByName("NRSEQ")->AsInteger(), rows);
    const int placed = table.RecNo();
    QVERIFY(checkView("0007"));
    QCOMPARE(table.TextAt(placed - 2, 1), QString("Produto 500"));
    QVERIFY(placed == table.ViewCount() || table.TextAt(placed, 1) > QString("Produto 500"));

    // Out of the branch: out of the view.
    table.Edit();
    table.FieldByName("CDFILIAL")->SetAsString("0001");
    table.Post();
    QCOMPARE(table.RecordCount(), rows / 10);
    QVERIFY(checkView("0007"));
    table.SetFilter("CDFILIAL = '0001'");
    QCOMPARE(table.RecordCount(), rows / 10 + 1);
    QVERIFY(checkView("0001"));
}

QTEST_GUILESS_MAIN(TstTable)
#include "tst_table.moc"
