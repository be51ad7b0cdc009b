#pragma once

#include "editmask.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

#include <vector>

namespace kiv {

class Table;
class Field;

// What a grid shows in one of its columns.
struct GridColumnInfo
{
    QString fieldName;
    QString title;
    int width = 0;              // pixels; 0: the grid's default
    bool readOnly = false;
    bool button = false;        // the ellipsis button on the current cell
    Qt::Alignment alignment;    // empty: numbers to the right, the rest to the left
    QString editMask;           // the mask language of the windows; empty: the field's
};

// The visible rows of a table as a Qt model, read on demand: a cell is
// asked of the table (TextAt) when the view paints it, so a table of
// 100,000 rows costs nothing until it is looked at. Row insertions and
// removals follow the table's row signals one by one; only a filter,
// order or content change of the table resets the model.
//
// The table sends its row signals after the change; the model keeps the
// row count it last announced so that a view asking between the begin and
// end of an insertion or removal gets a count that agrees with it.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TableModel(QObject *parent = nullptr);
    ~TableModel() override;

    void setTable(Table *table);
    Table *table() const { return m_table; }

    void setColumns(const QList<GridColumnInfo> &columns);
    const QList<GridColumnInfo> &columns() const { return m_columns; }
    const GridColumnInfo &column(int index) const { return m_columns[index]; }
    // Changes one column; the title is repainted, the rest is the view's.
    void setColumn(int index, const GridColumnInfo &column);
    // The field a column shows, nullptr when the table has no such field.
    Field *fieldOf(int column) const;
    // The first column showing that field (by name, any letter case); -1 if none.
    int columnOfField(const QString &fieldName) const;
    int columnOfFieldIndex(int fieldIndex) const;
    // The column's own mask, or else the one the window gave its field
    // (read at each call: a window may set it after building the grid).
    QString platformMask(int column) const;
    EditMask editMask(int column) const;
    // Whether the operator may type into the column: a stored, writable field.
    bool isColumnEditable(int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The text a cell shows: the field's text, under its column's mask.
    QString displayText(int row, int column) const;

private:
    void resolveFields();
    void onViewReset();
    void onRowInserted(int viewRow);
    void onRowRemoved(int viewRow);
    void onRowChanged(int viewRow);
    void onFieldsChanged();
    int tableRowCount() const;

    QPointer<Table> m_table;
    QList<GridColumnInfo> m_columns;
    std::vector<int> m_fieldIndexes;  // per column; -1 when the field is missing
    mutable QHash<QString, EditMask> m_maskCache;  // by platform mask, parsed once
    int m_rowCount = 0;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace kiv
