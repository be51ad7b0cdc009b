#include "datasource.h"

#include "guard.h"

#include <QWidget>

namespace kiv {

TDataSource::TDataSource(QObject *parent) : QObject(parent) {}

void TDataSource::setDataSet(Table *table)
{
    if (table == m_table)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_table = table;
    if (table) {
        const auto wholeRecord = [this] { emit dataChanged(-1); };
        m_connections = {
            connect(table, &Table::stateChanged, this, &TDataSource::notifyState),
            connect(table, &Table::currentChanged, this, wholeRecord),
            connect(table, &Table::viewReset, this, wholeRecord),
            connect(table, &Table::fieldsChanged, this, wholeRecord),
            connect(table, &Table::fieldChanged, this, &TDataSource::dataChanged),
            // A table destroyed with its window: the controls go blank, and the
            // window's handlers, which may be half destroyed, are not called.
            connect(table, &QObject::destroyed, this,
                    [this] {
                        m_connections.clear();
                        emit dataSetChanged();
                        emit stateChanged();
                        emit dataChanged(-1);
                    }),
        };
    }
    emit dataSetChanged();
    emit dataChanged(-1);
    notifyState();
}

void TDataSource::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit dataChanged(-1);
    notifyState();
}

DataSetState TDataSource::State() const
{
    return m_table && m_enabled ? m_table->State() : DataSetState::Inactive;
}

void TDataSource::notifyState()
{
    emit stateChanged();
    if (OnStateChange)
        guarded(qobject_cast<QWidget *>(parent()), OnStateChange);
}

void TDataSource::addPendingWriter(QObject *owner, std::function<void()> write)
{
    m_writers.append({owner, std::move(write)});
}

void TDataSource::removePendingWriters(QObject *owner)
{
    m_writers.removeIf([owner](const Writer &writer) {
        return writer.owner.isNull() || writer.owner == owner;
    });
}

void TDataSource::UpdateRecord()
{
    m_writers.removeIf([](const Writer &writer) { return writer.owner.isNull(); });
    const QList<Writer> writers = m_writers;
    for (const Writer &writer : writers)
        if (writer.owner)
            writer.write();
}

} // namespace kiv
