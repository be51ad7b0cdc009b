#pragma once

#include "table.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

namespace kiv {

// Binds a table to the data-aware controls of a window and tells them and
// the window when the table's record, values or state change. A window can
// attach it to another table at run time (dtsPadrao follows the page in
// front).
class TDataSource : public QObject
{
    Q_OBJECT

public:
    explicit TDataSource(QObject *parent = nullptr);

    Table *DataSet() const { return m_table; }
    void setDataSet(Table *table);

    // A disabled source shows its controls empty and read-only.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // The table's state; Inactive without a table or while disabled.
    DataSetState State() const;

    // Controls that hold typed text not yet written to the record (the edit
    // with the focus when the operator clicks a command button that takes no
    // focus) register how to write it; UpdateRecord writes them all, before a
    // command posts or moves the table. Errors reach the caller.
    void addPendingWriter(QObject *owner, std::function<void()> write);
    void removePendingWriters(QObject *owner);
    void UpdateRecord();

    // Called (through the guard) whenever the table's state changes and
    // whenever the source is attached to another table.
    std::function<void()> OnStateChange;

signals:
    void stateChanged();
    // fieldIndex is the field whose value changed, or -1 when the whole
    // record may differ (another record, a reset, a cancelled edit).
    void dataChanged(int fieldIndex);
    void dataSetChanged();

private:
    void notifyState();

    QPointer<Table> m_table;
    bool m_enabled = true;
    QList<QMetaObject::Connection> m_connections;
    struct Writer
    {
        QPointer<QObject> owner;
        std::function<void()> write;
    };
    QList<Writer> m_writers;
};

} // namespace kiv
