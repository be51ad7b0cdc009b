#include "errors.h"
#include "table.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace kiv;

// What the windows rely on when a table is large: a snapshot (SetData of
// Data) is a separate table however the two are changed afterwards; a
// filter or an exact Locate answered from an index gives what a pass over
// every row would give, after any mix of posts, edits and deletes; and a
// table nobody has looked at since its filter changed still answers Eof,
// RecordCount and IsEmpty right.

namespace {

QList<FieldDef> fields()
{
    return {FieldDef::of("ID", FieldKind::Integer), FieldDef::text("GRP", 2),
            FieldDef::text("NAME", 6), FieldDef::of("QTY", FieldKind::Float)};
}

void addRow(Table &table, int id, const QString &group, const QString &name, double qty = 1)
{
    table.Append();
    table.FieldByName("ID")->SetAsInteger(id);
    table.FieldByName("GRP")->SetAsString(group);
    table.FieldByName("NAME")->SetAsString(name);
    table.FieldByName("QTY")->SetAsFloat(qty);
    table.Post();
}

QList<int> walkIds(Table &table)
{
    QList<int> ids;
    for (table.First(); !table.Eof(); table.Next())
        ids.append(int(table.FieldByName("ID")->AsInteger()));
    return ids;
}

// The table's rows as a plain list: stored order, and the rules of the
// table store for where an inserted row goes, the browsing order and
// the filter, worked out by passes over every row.
struct Model
{
    struct Row
    {
        int id;
        QString group;
        QString name;
    };
    QList<Row> stored;

    int storedIndexOf(int id) const
    {
        for (qsizetype i = 0; i < stored.size(); ++i)
            if (stored[i].id == id)
                return int(i);
        return -1;
    }
    QList<Row> browsed(bool byName, const QString &group) const
    {
        QList<Row> rows;
        for (const Row &r : stored)
            if (group.isEmpty() || r.group == group)
                rows.append(r);
        if (byName)
            std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
                return a.name.toUtf8() < b.name.toUtf8();
            });
        return rows;
    }
    QList<int> ids(bool byName, const QString &group) const
    {
        QList<int> out;
        for (const Row &r : browsed(byName, group))
            out.append(r.id);
        return out;
    }
};

} // namespace

class TstTableSnapshot : public QObject
{
    Q_OBJECT

private slots:
    void snapshotsAreSeparateTables_data();
    void snapshotsAreSeparateTables();
    void indexedFilterAndLocateFollowEveryChange_data();
    void indexedFilterAndLocateFollowEveryChange();
    void sharedIndexNeverShowsTheOtherTablesRows();
    void locateTakesTheFirstInBrowsingOrder();
    void untouchedFilterStillAnswers();
    void emptyingDropsTheIndexes();
};

void TstTableSnapshot::snapshotsAreSeparateTables_data()
{
    // Enough rows to span several blocks of shared rows, or a few.
    QTest::addColumn<int>("rows");
    QTest::newRow("a few rows") << 40;
    QTest::newRow("several blocks") << 140000;
}

void TstTableSnapshot::snapshotsAreSeparateTables()
{
    QFETCH(int, rows);
    Table source;
    source.SetFieldDefs(fields());
    source.CreateDataSet();
    source.DisableControls();
    for (int i = 0; i < rows; ++i)
        addRow(source, i, i % 2 ? "b" : "a", QStringLiteral("n%1").arg(i % 97));
    const QByteArray before = source.SavedContent();

    Table copy;
    copy.SetFieldDefs(fields());
    copy.SetData(source.Data());
    copy.DisableControls();
    QCOMPARE(copy.SavedContent(), before);

    // The source changes its first and last rows and deletes one between.
    for (int id : {0, rows - 1}) {
        QVERIFY(source.Locate("ID", id));
        source.Edit();
        source.FieldByName("NAME")->SetAsString("SRC");
        source.Post();
    }
    QVERIFY(source.Locate("ID", rows / 2));
    source.Delete();
    addRow(source, rows, "a", "SRCNEW");
    // The copy changes the same rows its own way.
    QVERIFY(copy.Locate("ID", 0));
    copy.Edit();
    copy.FieldByName("NAME")->SetAsString("CPY");
    copy.Post();
    QVERIFY(copy.Locate("ID", rows - 1));
    copy.Delete();
    addRow(copy, rows, "b", "CPYNEW");

    QCOMPARE(source.RecordCount(), rows);
    QCOMPARE(copy.RecordCount(), rows);
    QVERIFY(source.Locate("ID", 0));
    QCOMPARE(source.FieldByName("NAME")->AsString(), QString("SRC"));
    QVERIFY(copy.Locate("ID", 0));
    QCOMPARE(copy.FieldByName("NAME")->AsString(), QString("CPY"));
    QVERIFY(!source.Locate("ID", rows / 2));
    QVERIFY(copy.Locate("ID", rows / 2));
    QCOMPARE(copy.FieldByName("NAME")->AsString(), QStringLiteral("n%1").arg((rows / 2) % 97));
    QVERIFY(!copy.Locate("ID", rows - 1));
    QVERIFY(source.Locate("ID", rows));
    QCOMPARE(source.FieldByName("NAME")->AsString(), QString("SRCNEW"));
    QVERIFY(copy.Locate("ID", rows));
    QCOMPARE(copy.FieldByName("NAME")->AsString(), QString("CPYNEW"));
    // Neither sees the other's values through a filter either.
    copy.SetFilter("NAME = 'SRCNEW'");
    copy.SetFiltered(true);
    QVERIFY(copy.IsEmpty());
    source.SetFilter("NAME = 'CPY'");
    source.SetFiltered(true);
    QVERIFY(source.IsEmpty());

    // A copy taken again holds the source as it is now.
    source.SetFiltered(false);
    Table again;
    again.SetFieldDefs(fields());
    again.SetData(source.Data());
    QCOMPARE(again.SavedContent(), source.SavedContent());
}

void TstTableSnapshot::indexedFilterAndLocateFollowEveryChange_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("byName");
    QTest::newRow("stored order, seed 1") << 1u << false;
    QTest::newRow("by name, seed 2") << 2u << true;
    QTest::newRow("by name, seed 3") << 3u << true;
    QTest::newRow("stored order, seed 4") << 4u << false;
}

// Random inserts (at the cursor and at the end), edits of the filtered and
// the ordering field, deletes and snapshots, checked after every step
// against passes over a plain list.
void TstTableSnapshot::indexedFilterAndLocateFollowEveryChange()
{
    QFETCH(quint32, seed);
    QFETCH(bool, byName);
    QRandomGenerator random(seed);
    const QStringList groups = {"a", "b", "c"};
    const QStringList names = {"ARROZ", "FEIJAO", "OLEO", "SAL"};
    auto pick = [&](const QStringList &from) { return from[int(random.bounded(from.size()))]; };

    auto table = std::make_unique<Table>();
    table->SetFieldDefs(fields());
    if (byName)
        table->SetIndexFieldNames("NAME");
    table->CreateDataSet();
    Model model;
    int nextId = 0;
    for (int i = 0; i < 30; ++i) {
        const Model::Row r{nextId++, pick(groups), pick(names)};
        addRow(*table, r.id, r.group, r.name);
        model.stored.append(r);
    }

    for (int step = 0; step < 300; ++step) {
        const QString group = pick(groups);
        const bool filtered = random.bounded(3) != 0;
        // Set as the windows do: filter off, new expression, filter on.
        table->SetFiltered(false);
        table->SetFilter(QStringLiteral("GRP = '%1'").arg(group));
        table->SetFiltered(filtered);
        const QString shown = filtered ? group : QString();
        const QList<int> expected = model.ids(byName, shown);
        QCOMPARE(table->IsEmpty(), expected.isEmpty());
        QCOMPARE(table->RecordCount(), expected.size());

        const int action = int(random.bounded(6));
        if (action == 0 && !expected.isEmpty()) {
            // Locate a name: the first row holding it in browsing order.
            const QString name = pick(names);
            int first = -1;
            for (const Model::Row &r : model.browsed(byName, shown))
                if (r.name == name) {
                    first = r.id;
                    break;
                }
            QCOMPARE(table->Locate("NAME", name), first >= 0);
            if (first >= 0) {
                QCOMPARE(int(table->FieldByName("ID")->AsInteger()), first);
                QCOMPARE(table->RecNo(), int(expected.indexOf(first)) + 1);
            }
        } else if (action == 1 && !expected.isEmpty()) {
            // Insert before the current row, which the stored order keeps.
            table->SetRecNo(int(random.bounded(expected.size())) + 1);
            const int current = int(table->FieldByName("ID")->AsInteger());
            const Model::Row r{nextId++, pick(groups), pick(names)};
            table->Insert();
            table->FieldByName("ID")->SetAsInteger(r.id);
            table->FieldByName("GRP")->SetAsString(r.group);
            table->FieldByName("NAME")->SetAsString(r.name);
            table->Post();
            model.stored.insert(model.storedIndexOf(current), r);
        } else if (action == 2) {
            const Model::Row r{nextId++, pick(groups), pick(names)};
            addRow(*table, r.id, r.group, r.name);
            model.stored.append(r);
        } else if (action == 3 && !expected.isEmpty()) {
            // Edit the filtered field or the ordering one.
            const int id = expected[int(random.bounded(expected.size()))];
            QVERIFY(table->Locate("ID", id));
            table->Edit();
            Model::Row &r = model.stored[model.storedIndexOf(id)];
            if (random.bounded(2)) {
                r.group = pick(groups);
                table->FieldByName("GRP")->SetAsString(r.group);
            } else {
                r.name = pick(names);
                table->FieldByName("NAME")->SetAsString(r.name);
            }
            table->Post();
        } else if (action == 4 && !expected.isEmpty()) {
            const int id = expected[int(random.bounded(expected.size()))];
            QVERIFY(table->Locate("ID", id));
            table->Delete();
            model.stored.removeAt(model.storedIndexOf(id));
        } else if (action == 5) {
            // Carry on with a snapshot; the old table goes.
            auto copy = std::make_unique<Table>();
            copy->SetFieldDefs(fields());
            if (byName)
                copy->SetIndexFieldNames("NAME");
            copy->SetData(table->Data());
            table = std::move(copy);
        }
        table->SetFiltered(false);
        table->SetFilter(QStringLiteral("GRP = '%1'").arg(group));
        table->SetFiltered(filtered);
        QCOMPARE(walkIds(*table), model.ids(byName, shown));
    }
}

void TstTableSnapshot::sharedIndexNeverShowsTheOtherTablesRows()
{
    // The index is built on the source before the copy is taken, so both
    // use it; each then posts rows the other does not have.
    Table source;
    source.SetFieldDefs(fields());
    source.CreateDataSet();
    for (int i = 0; i < 10; ++i)
        addRow(source, i, "a", "X");
    source.SetFilter("GRP = 'a'");
    source.SetFiltered(true);
    QCOMPARE(source.RecordCount(), 10);

    Table copy;
    copy.SetFieldDefs(fields());
    copy.SetData(source.Data());
    copy.SetFilter("GRP = 'b'");
    copy.SetFiltered(true);
    QVERIFY(copy.IsEmpty());

    // The same new row number on both sides, with different values.
    addRow(source, 100, "b", "SRC");
    addRow(copy, 200, "a", "CPY");
    QCOMPARE(walkIds(copy), QList<int>());
    QCOMPARE(walkIds(source), QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    copy.SetFilter("GRP = 'a'");
    QCOMPARE(walkIds(copy), QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 200}));
    source.SetFilter("GRP = 'b'");
    QCOMPARE(walkIds(source), QList<int>({100}));
    // A row moved to another group by one side stays in place on the other.
    source.SetFilter("GRP = 'a'");
    QVERIFY(source.Locate("ID", 3));
    source.Edit();
    source.FieldByName("GRP")->SetAsString("b");
    source.Post();
    QCOMPARE(walkIds(source), QList<int>({0, 1, 2, 4, 5, 6, 7, 8, 9}));
    QCOMPARE(walkIds(copy), QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 200}));
    copy.SetFiltered(false);
    source.SetFiltered(false);
    QVERIFY(!copy.Locate("GRP;ID", QVariantList{"b", 3}));
    QVERIFY(copy.Locate("GRP;ID", QVariantList{"a", 3}));
    QVERIFY(source.Locate("GRP;ID", QVariantList{"b", 3}));
    QVERIFY(!source.Locate("GRP;ID", QVariantList{"a", 3}));
}

void TstTableSnapshot::locateTakesTheFirstInBrowsingOrder()
{
    // Equal names come in stored order; a row inserted before another of
    // the same name comes first, as in a fresh sort.
    Table table;
    table.SetFieldDefs(fields());
    table.SetIndexFieldNames("NAME");
    table.CreateDataSet();
    addRow(table, 1, "a", "SAL");
    addRow(table, 2, "a", "ARROZ");
    addRow(table, 3, "b", "SAL");
    QVERIFY(table.Locate("NAME", "SAL"));
    QCOMPARE(table.FieldByName("ID")->AsInteger(), 1);
    QCOMPARE(table.RecNo(), 2);
    table.Insert();
    table.FieldByName("ID")->SetAsInteger(4);
    table.FieldByName("GRP")->SetAsString("b");
    table.FieldByName("NAME")->SetAsString("SAL");
    table.Post();
    QCOMPARE(walkIds(table), QList<int>({2, 4, 1, 3}));
    QVERIFY(table.Locate("NAME", "SAL"));
    QCOMPARE(table.FieldByName("ID")->AsInteger(), 4);
    // Under a filter, the first shown.
    table.SetFilter("GRP = 'a'");
    table.SetFiltered(true);
    QVERIFY(table.Locate("NAME", "SAL"));
    QCOMPARE(table.FieldByName("ID")->AsInteger(), 1);
    QCOMPARE(table.RecNo(), 2);
    QVERIFY(!table.Locate("NAME;GRP", QVariantList{"SAL", "b"}));
    // A value the field cannot hold finds nothing and moves nothing.
    QVERIFY(!table.Locate("QTY", "abc"));
    QCOMPARE(table.FieldByName("ID")->AsInteger(), 1);
}

void TstTableSnapshot::untouchedFilterStillAnswers()
{
    Table table;
    table.SetFieldDefs(fields());
    table.SetIndexFieldNames("NAME");
    table.CreateDataSet();
    addRow(table, 1, "a", "SAL");
    addRow(table, 2, "b", "OLEO");
    addRow(table, 3, "a", "ARROZ");
    table.SetFilter("GRP = 'a'");
    table.SetFiltered(true);
    // Asked before anything walks the rows.
    QVERIFY(table.Bof());
    QVERIFY(!table.Eof());
    QVERIFY(!table.IsEmpty());
    QCOMPARE(table.FieldByName("NAME")->AsString(), QString("ARROZ"));
    QCOMPARE(table.RecNo(), 1);
    table.SetFilter("GRP = 'z'");
    QVERIFY(table.Eof());
    QVERIFY(table.IsEmpty());
    QCOMPARE(table.RecordCount(), 0);
    QCOMPARE(table.FieldByName("NAME")->AsString(), QString());
    table.SetFiltered(false);
    // Unfiltered, the first in order without walking.
    QCOMPARE(table.FieldByName("NAME")->AsString(), QString("ARROZ"));
    QCOMPARE(table.RecordCount(), 3);
    QCOMPARE(table.ViewCount(), 3);
    QCOMPARE(table.CurrentIndex(), 0);
    // A Locate before the rows are put in order lands where they would.
    table.SetFilter("GRP = 'a'");
    table.SetFiltered(true);
    QVERIFY(table.Locate("ID", 1));
    QCOMPARE(table.FieldByName("NAME")->AsString(), QString("SAL"));
    QCOMPARE(table.RecNo(), 2);
    table.Next();
    QVERIFY(table.Eof());
}

void TstTableSnapshot::emptyingDropsTheIndexes()
{
    Table table;
    table.SetFieldDefs(fields());
    table.CreateDataSet();
    addRow(table, 1, "a", "SAL");
    addRow(table, 2, "a", "OLEO");
    QVERIFY(table.Locate("GRP", "a"));
    Table copy;
    copy.SetFieldDefs(fields());
    copy.SetData(table.Data());
    table.EmptyDataSet();
    QVERIFY(!table.Locate("GRP", "a"));
    addRow(table, 7, "b", "SAL");
    QVERIFY(!table.Locate("GRP", "a"));
    QVERIFY(table.Locate("GRP", "b"));
    QCOMPARE(table.FieldByName("ID")->AsInteger(), 7);
    QVERIFY(copy.Locate("GRP", "a"));
    QCOMPARE(copy.FieldByName("ID")->AsInteger(), 1);
    QVERIFY(!copy.Locate("GRP", "b"));
}

QTEST_GUILESS_MAIN(TstTableSnapshot)
#include "tst_tablesnapshot.moc"
