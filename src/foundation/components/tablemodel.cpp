#include "tablemodel.h"

#include "fieldeditmask.h"
#include "table.h"

namespace kiv {

TableModel::TableModel(QObject *parent) : QAbstractTableModel(parent) {}

TableModel::~TableModel() = default;

void TableModel::setTable(Table *table)
{
    if (table == m_table)
        return;
    beginResetModel();
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_table = table;
    if (table) {
        m_connections << connect(table, &Table::viewReset, this, &TableModel::onViewReset)
                      << connect(table, &Table::rowInserted, this, &TableModel::onRowInserted)
                      << connect(table, &Table::rowRemoved, this, &TableModel::onRowRemoved)
                      << connect(table, &Table::rowChanged, this, &TableModel::onRowChanged)
                      << connect(table, &Table::fieldsChanged, this,
                                 &TableModel::onFieldsChanged)
                      << connect(table, &QObject::destroyed, this, [this] {
                             beginResetModel();
                             m_rowCount = 0;
                             resolveFields();
                             endResetModel();
                         });
    }
    resolveFields();
    m_rowCount = tableRowCount();
    endResetModel();
}

void TableModel::setColumns(const QList<GridColumnInfo> &columns)
{
    beginResetModel();
    m_columns = columns;
    resolveFields();
    endResetModel();
}

void TableModel::setColumn(int index, const GridColumnInfo &column)
{
    const bool contentChanged = m_columns[index].fieldName != column.fieldName
                                || m_columns[index].editMask != column.editMask;
    m_columns[index] = column;
    if (contentChanged) {
        resolveFields();
        if (m_rowCount > 0)
            emit dataChanged(this->index(0, index), this->index(m_rowCount - 1, index));
    }
    emit headerDataChanged(Qt::Horizontal, index, index);
}

Field *TableModel::fieldOf(int column) const
{
    if (!m_table || column < 0 || column >= int(m_fieldIndexes.size()))
        return nullptr;
    const int fieldIndex = m_fieldIndexes[size_t(column)];
    return fieldIndex >= 0 ? m_table->Fields(fieldIndex) : nullptr;
}

int TableModel::columnOfField(const QString &fieldName) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TableModel::columnOfFieldIndex(int fieldIndex) const
{
    for (size_t i = 0; i < m_fieldIndexes.size(); ++i)
        if (m_fieldIndexes[i] == fieldIndex)
            return int(i);
    return -1;
}

QString TableModel::platformMask(int column) const
{
    if (column < 0 || column >= m_columns.size())
        return QString();
    if (!m_columns[column].editMask.isEmpty())
        return m_columns[column].editMask;
    const Field *field = fieldOf(column);
    return field ? FieldEditMask(*field) : QString();
}

EditMask TableModel::editMask(int column) const
{
    const QString platform = platformMask(column);
    if (platform.isEmpty())
        return EditMask();
    auto cached = m_maskCache.constFind(platform);
    if (cached == m_maskCache.cend())
        cached = m_maskCache.insert(platform, EditMask::fromPlatform(platform));
    return *cached;
}

bool TableModel::isColumnEditable(int column) const
{
    const Field *field = fieldOf(column);
    return field && !m_columns[column].readOnly && !field->ReadOnly() && !field->Calculated();
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString TableModel::displayText(int row, int column) const
{
    const Field *field = fieldOf(column);
    if (!field || row < 0 || row >= m_table->ViewCount())
        return QString();
    const QString text = m_table->TextAt(row, field->Index());
    if (field->DataType() != FieldKind::Text || text.isEmpty())
        return text;
    const EditMask mask = editMask(column);
    return mask.qtMask.isEmpty() ? text : mask.displayText(text);
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_table || index.row() >= m_table->ViewCount())
        return QVariant();
    const Field *field = fieldOf(index.column());
    if (!field)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.row(), index.column());
    case Qt::EditRole:
        return m_table->TextAt(index.row(), field->Index());
    case Qt::TextAlignmentRole: {
        Qt::Alignment alignment = m_columns[index.column()].alignment;
        if (!(alignment & Qt::AlignHorizontal_Mask)) {
            const bool number = field->DataType() == FieldKind::Float
                                || field->DataType() == FieldKind::Integer;
            alignment |= number ? Qt::AlignRight : Qt::AlignLeft;
        }
        if (!(alignment & Qt::AlignVertical_Mask))
            alignment |= Qt::AlignVCenter;
        return QVariant::fromValue(alignment);
    }
    default:
        return QVariant();
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QVariant();
    if (role == Qt::DisplayRole) {
        const GridColumnInfo &column = m_columns[section];
        if (!column.title.isEmpty())
            return column.title;
        const Field *field = fieldOf(section);
        return field ? field->DisplayLabel() : column.fieldName;
    }
    return QVariant();
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (isColumnEditable(index.column()))
        result |= Qt::ItemIsEditable;
    return result;
}

void TableModel::resolveFields()
{
    m_fieldIndexes.assign(size_t(m_columns.size()), -1);
    if (!m_table)
        return;
    for (int i = 0; i < m_columns.size(); ++i)
        if (const Field *field = m_table->FindField(m_columns[i].fieldName))
            m_fieldIndexes[size_t(i)] = field->Index();
}

int TableModel::tableRowCount() const
{
    return m_table ? m_table->ViewCount() : 0;
}

void TableModel::onViewReset()
{
    beginResetModel();
    m_rowCount = tableRowCount();
    endResetModel();
}

void TableModel::onRowInserted(int viewRow)
{
    // The table sends a move of a posted row as a removal then an insertion,
    // both after the fact, so the counts agree only at the end: trust the
    // signals and fall back to a reset only for a row out of range.
    if (viewRow < 0 || viewRow > m_rowCount) {
        onViewReset();
        return;
    }
    beginInsertRows(QModelIndex(), viewRow, viewRow);
    ++m_rowCount;
    endInsertRows();
}

void TableModel::onRowRemoved(int viewRow)
{
    if (viewRow < 0 || viewRow >= m_rowCount) {
        onViewReset();
        return;
    }
    beginRemoveRows(QModelIndex(), viewRow, viewRow);
    --m_rowCount;
    endRemoveRows();
}

void TableModel::onRowChanged(int viewRow)
{
    if (viewRow < 0 || viewRow >= m_rowCount || m_columns.isEmpty())
        return;
    emit dataChanged(index(viewRow, 0), index(viewRow, int(m_columns.size()) - 1));
}

void TableModel::onFieldsChanged()
{
    beginResetModel();
    resolveFields();
    m_rowCount = tableRowCount();
    endResetModel();
}

} // namespace kiv
