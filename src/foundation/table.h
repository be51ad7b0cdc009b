#pragma once

#include "tabledata.h"
#include "tabledecl.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kiv {

class Table;
class Field;

enum class DataSetState { Inactive, Browse, Edit, Insert };

enum LocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using LocateOptions = int;

using TableEvent = std::function<void(Table &)>;
using FieldEvent = std::function<void(Field &)>;
using SetTextEvent = std::function<void(Field &, const QString &)>;

// A field of a table, read and written on the table's active record: the
// record being edited or inserted, otherwise the current record.
class Field
{
public:
    const QString &FieldName() const { return m_def.name; }
    FieldKind DataType() const { return m_def.kind; }
    int Size() const { return m_def.size; }
    bool Calculated() const { return m_def.calculated; }
    const FieldDef &Def() const { return m_def; }
    QString DisplayLabel() const { return m_def.label.isEmpty() ? m_def.name : m_def.label; }
    void SetDisplayLabel(const QString &label) { m_def.label = label; }
    bool Visible() const { return m_def.visible; }
    void SetVisible(bool visible) { m_def.visible = visible; }
    int DisplayWidth() const { return m_def.displayWidth > 0 ? m_def.displayWidth : m_def.size; }
    void SetDisplayWidth(int width) { m_def.displayWidth = width; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    int Index() const { return m_index; }
    Table &DataSet() const { return *m_table; }

    bool IsNull() const;
    // Text of the value: the text itself, numbers in the platform's general
    // form with the workstation's decimal separator, dates in the short date
    // format; empty for no value.
    QString AsString() const;
    double AsFloat() const;
    qint64 AsInteger() const;
    QDate AsDate() const;
    QDateTime AsDateTime() const;
    QVariant Value() const;

    void SetAsString(const QString &text);
    void SetAsFloat(double value);
    void SetAsInteger(qint64 value);
    void SetAsDate(const QDate &value);
    void SetAsDateTime(const QDateTime &value);
    void SetValue(const QVariant &value);
    void Clear();
    // What a data control does with the text the operator typed: the field's
    // OnSetText handler when it has one, otherwise SetAsString.
    void SetText(const QString &text);

    FieldEvent OnChange;
    SetTextEvent OnSetText;

private:
    friend class Table;
    Field(Table *table, FieldDef def, int index, int column)
        : m_table(table), m_def(std::move(def)), m_index(index), m_column(column) {}

    Table *m_table;
    FieldDef m_def;
    int m_index;
    int m_column;  // stored column, or -1 for a calculated field
    bool m_readOnly = false;
};

// An in-memory table: declared fields, records, a current record, a state,
// an optional filter and browsing order, and the events the windows hang
// their rules on. An exception thrown by a Before event (or OnNewRecord)
// abandons the operation and leaves the table as it was.
//
// Cost: what the operator does costs what the rows shown cost, not what the
// table holds. The browsing order and the visible rows are worked out when
// first looked at, so a filter set and replaced before anyone looks costs
// nothing. A filter or an exact Locate is answered from an index on one of
// its fields, built by one pass the first time it is needed and kept valid
// across posts and deletes; a copy of the content (Data) shares the rows,
// the value bytes and the indexes with its source until either side writes.
// A post re-places one row without re-sorting or re-filtering the rest.
class Table : public QObject
{
    Q_OBJECT

public:
    explicit Table(const QString &name = QString(), QObject *parent = nullptr);
    ~Table() override;

    // Declaration
    void SetFieldDefs(const QList<FieldDef> &defs);
    void AddFieldDef(const FieldDef &def);
    // Fields, file name and browsing order of a declaration.
    void Declare(const TableDecl &decl);
    const QList<FieldDef> &FieldDefs() const { return m_defs; }

    // Life cycle
    void CreateDataSet();
    // Reads the file again, unless the table holds exactly what it last
    // loaded from or saved to that same file and the file system tells
    // the file is the one it was then: the content is then taken again as
    // it stands, with all a load does (first record, order and filter
    // worked out anew, the signals and events).
    void LoadFromFile(const QString &path);
    // Whether LoadFromFile(path) would take the content again without
    // reading: the table holds what it last loaded from or saved to the file,
    // and nothing has written the file since.
    bool HoldsFile(const QString &path) const;
    void SaveToFile(const QString &path) const;
    // Saves several tables so that either every file is replaced or none.
    static void SaveToFiles(const QList<QPair<const Table *, QString>> &files);
    QByteArray SavedContent() const;
    void Close();
    void Open();
    bool Active() const { return m_state != DataSetState::Inactive; }
    DataSetState State() const { return m_state; }
    void EmptyDataSet();

    // The whole content, for copying into another table (snapshots): the
    // posted rows in stored order, sharing the source's rows, value bytes
    // and indexes until one side changes them, so a snapshot of a large
    // table costs a pointer per 2 MB block of rows and its list of rows.
    TableData Data() const;
    void SetData(TableData data);
    // The stored content itself, for a reader that walks every row once in
    // stored order without moving the cursor (a window's pass over a
    // million rows); the live rows are those of `stored`.
    const TableData &Content() const { return m_data; }

    bool LogChanges() const { return m_logChanges; }
    void SetLogChanges(bool log) { m_logChanges = log; }
    int ChangeCount() const { return m_changeCount; }
    void MergeChangeLog() { m_changeCount = 0; }

    // Fields
    int FieldCount() const { return int(m_fields.size()); }
    Field *Fields(int index) const { return m_fields[size_t(index)].get(); }
    Field *FindField(const QString &name) const;
    Field *FieldByName(const QString &name) const;

    // Navigation
    void First();
    void Next();
    void Prior();
    void Last();
    void MoveBy(int distance);
    bool Eof() const;
    bool Bof() const;
    int RecordCount() const;
    bool IsEmpty() const;
    // Position of the current record in the visible rows, from 1; 0 when none.
    int RecNo() const { return CurrentIndex() + 1; }
    void SetRecNo(int recNo);

    // Editing
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Posts a pending edit or insertion: what every move, filter and order
    // change does first.
    void CheckBrowseMode();
    bool Modified() const { return m_modified; }

    // Filter and order
    QString Filter() const { return m_filterText; }
    void SetFilter(const QString &expression);
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool filtered);
    QString IndexFieldNames() const { return m_indexFieldNames; }
    void SetIndexFieldNames(const QString &names);
    bool Locate(const QString &fieldNames, const QVariant &value, LocateOptions options = 0);
    bool Locate(const QString &fieldNames, const QVariantList &values, LocateOptions options = 0);

    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // Rows as the controls show them: the visible rows, including a record
    // being inserted. ViewCount may exceed RecordCount by that one record.
    int ViewCount() const;
    int CurrentIndex() const;
    // The value of a field in a visible row, without moving the cursor
    // (calculated fields are computed for that row).
    QVariant ValueAt(int viewRow, int fieldIndex) const;
    QString TextAt(int viewRow, int fieldIndex) const;
    bool IsPendingRow(int viewRow) const;

    // Events
    TableEvent BeforeInsert, AfterInsert, OnNewRecord;
    TableEvent BeforeEdit, AfterEdit;
    TableEvent BeforePost, AfterPost;
    TableEvent BeforeDelete, AfterDelete;
    TableEvent BeforeCancel, AfterCancel;
    TableEvent BeforeScroll, AfterScroll;
    TableEvent OnCalcFields;

signals:
    // For data sources and controls; none is sent while controls are
    // disabled, and EnableControls sends viewReset and currentChanged.
    void stateChanged();
    void fieldsChanged();
    void viewReset();
    void rowInserted(int viewRow);
    void rowRemoved(int viewRow);
    void rowChanged(int viewRow);
    void currentChanged(int viewRow);
    void fieldChanged(int fieldIndex);

private:
    friend class Field;
    struct FilterTerm;
    struct CompiledFilter;

    static constexpr uint32_t noRow = UINT32_MAX;

    // What the file system tells of a file: enough to know that a file read
    // or written before has not been replaced or written since.
    struct FileStamp
    {
        qint64 size = -1;
        qint64 modified = 0; // ns since the epoch (ms where only that is known)
        qint64 changed = 0;  // status change (metadata change), likewise
        qint64 born = 0;     // creation, where the system keeps it
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileStamp &) const = default;
    };
    static bool fileStamp(const QString &path, FileStamp *stamp);
    bool holdsFile(const QString &resolved, const FileStamp &now) const;

    void requireActive() const;
    void requireEditing(const Field &field) const;
    // origin: the stamp of the file the content was read from, when it
    // was the same from before the read to after it.
    // sameRows: the content is the one the table holds, taken again.
    void adoptData(TableData &&data, const QString &fileName, const FileStamp *origin = nullptr,
                   bool sameRows = false);
    // What a load does, with the content the table holds.
    void readoptData(const QString &fileName, const FileStamp &origin);
    // After a save: the content, as it is now, is what the file holds.
    void noteSavedTo(const QString &path) const;
    const Cell *rowAt(uint32_t id) const { return std::as_const(m_data).row(id); }
    void ensureSorted() const;
    void ensureView() const;
    void buildView() const;
    // The view is worked out again when next looked at, with the cursor on
    // `current` (a row id), or on the first row.
    void markViewStale(uint32_t current = noRow);
    bool viewStaleAtFirst() const { return m_viewStale && m_staleCurrent == noRow; }
    // The row the cursor stands on while the view is stale; the first row
    // of an unfiltered table is found without sorting it.
    uint32_t staleCurrentRow() const;
    bool filterActive() const;
    // sameRows: the rows are those the caches were worked out for.
    void resetAfterContentChange(bool sameRows = false);
    bool passesFilter(const Cell *row) const;
    int compareRows(const Cell *a, const Cell *b) const;
    bool isLive(uint32_t id) const;
    bool storedBefore(uint32_t a, uint32_t b) const;
    bool browsedBefore(uint32_t a, uint32_t b) const;
    // Rows that may hold `bytes` in column, from the column's index.
    const std::vector<uint32_t> &candidates(int column, std::string_view bytes) const;
    // The index that narrows an equality test on these columns best: the
    // smallest list among the indexes that exist, else a new index on the
    // first column; null when a value can never match.
    const std::vector<uint32_t> *
    narrowestCandidates(const std::vector<std::pair<int, std::string_view>> &terms) const;
    void indexPosted(uint32_t id, const std::vector<Cell> &before, bool inserting);
    int sortedPlace(const std::vector<uint32_t> &rows, const Cell *cells, uint32_t id) const;
    void noteStoredChange(uint32_t id, bool appended);
    void setState(DataSetState state);
    void beginInsert(bool append);
    void scrollTo(int index, bool fireEvents = true);
    void moveCursor(int index);
    void computeCalcFields(const Cell *cells) const;
    // The current record changed: its calculated values are computed when
    // one is next read, not for every record a loop or a filter passes.
    void refreshCalcFields() const;
    void ensureCalcFields() const;
    void afterFieldChange(Field &field);
    void ensureHeapRoom();

    const Cell *activeCells() const;
    std::string_view cellBytes(const Field &field) const;
    void storeValue(Field &field, std::string_view canonical);
    CompiledFilter compileFilter(const QString &text) const;
    std::string canonicalOf(const Field &field, const QVariant &value, bool *ok) const;

    void notifyReset();
    void notifyCurrent();
    bool quiet() const { return m_disableCount > 0; }

    QList<FieldDef> m_defs;
    std::vector<std::unique_ptr<Field>> m_fields;
    QHash<QString, Field *> m_fieldsByName;  // upper-case names
    std::vector<Field *> m_calcFields;

    TableData m_data;
    std::vector<int> m_keyColumns;
    // Caches of what the content, the order and the filter decide, worked
    // out when first needed: the live rows in browsing order, the visible
    // rows (with the cursor's place in them), each column's index, which
    // row ids are live, and each row's place in the stored order.
    mutable std::vector<uint32_t> m_sorted;
    mutable bool m_sortedValid = false;
    mutable std::vector<uint32_t> m_view;
    mutable bool m_viewStale = false;
    mutable uint32_t m_staleCurrent = noRow;
    mutable uint32_t m_staleFirst = noRow;
    mutable int m_cur = -1;
    mutable ColumnIndexes m_indexes;
    mutable std::vector<bool> m_live;
    mutable bool m_liveValid = false;
    mutable std::vector<uint32_t> m_storedPos;
    mutable bool m_storedPosValid = false;
    std::vector<Cell> m_buffer;      // the record being edited or inserted
    uint32_t m_pendingId = 0;        // row allocated for the record being inserted
    int m_insertStoredPos = -1;      // stored position of the record being inserted

    bool m_eof = true;
    bool m_bof = true;
    bool m_modified = false;
    DataSetState m_state = DataSetState::Inactive;

    QString m_filterText;
    bool m_filtered = false;
    std::unique_ptr<CompiledFilter> m_filter;
    QString m_indexFieldNames;

    bool m_logChanges = true;
    int m_changeCount = 0;
    // Goes up with every change of the posted rows (post, delete, empty,
    // a new content), whether or not changes are logged.
    quint64 m_generation = 0;
    // The file the content came from or went to last, by its resolved
    // absolute name, with its stamp then and the generation it held; an
    // empty name when there is none to trust.
    mutable QString m_originPath;
    mutable FileStamp m_originStamp;
    mutable quint64 m_originGeneration = 0;
    int m_disableCount = 0;
    bool m_resetPending = false;

    // Calculated values of the record the calculated fields were last
    // computed for, and of a row peeked at by ValueAt.
    mutable std::vector<QVariant> m_calcValues;
    mutable bool m_calcStale = false;
    mutable const Cell *m_peekCells = nullptr;
    mutable bool m_inCalc = false;
};

// Narrows a table's filter for as long as it lives and gives the standing
// filter back when it ends, however the scope is left: a validation that
// raises its message can never leave a lookup table narrowed. restore() gives
// it back early, where a rule wants the standing filter back before its
// message is shown.
class FilterScope
{
public:
    FilterScope(Table &table, const QString &expression);
    ~FilterScope();
    FilterScope(const FilterScope &) = delete;
    FilterScope &operator=(const FilterScope &) = delete;

    void restore();

private:
    Table *m_table;
    QString m_filter;
    bool m_filtered;
    bool m_restored = false;
};

} // namespace kiv
