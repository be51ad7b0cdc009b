#include "tabledata.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace kiv {

int ByteHeap::adopt(std::unique_ptr<char[]> data, size_t size)
{
    auto chunk = std::make_shared<Chunk>();
    chunk->data = std::move(data);
    chunk->size = size;
    chunk->capacity = size;
    m_chunks.push_back(std::move(chunk));
    return int(m_chunks.size()) - 1;
}

Cell ByteHeap::store(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    Chunk *target = m_appendChunk >= 0 ? m_chunks[m_appendChunk].get() : nullptr;
    if (!target || target->capacity - target->size < bytes.size()) {
        // Chunks grow only while they fill up.
        if (target)
            m_nextCapacity = std::min(m_nextCapacity * 2, lastCapacity);
        const size_t capacity = std::max(m_nextCapacity, bytes.size());
        auto chunk = std::make_shared<Chunk>();
        chunk->data.reset(new char[capacity]);
        adviseHugePages(chunk->data.get(), capacity);
        chunk->capacity = capacity;
        m_chunks.push_back(std::move(chunk));
        m_appendChunk = int(m_chunks.size()) - 1;
        target = m_chunks.back().get();
    }
    Cell cell;
    cell.off = uint32_t(target->size);
    cell.len = uint32_t(bytes.size());
    cell.chunk = uint32_t(m_appendChunk);
    std::memcpy(target->data.get() + target->size, bytes.data(), bytes.size());
    target->size += bytes.size();
    return cell;
}

uint32_t TableData::allocateRow()
{
    if (cells.empty())
        cells.setWidth(columns.size());
    cells.appendRow();
    if (lines.empty())
        lines.setWidth(1);
    lines.resize(rowsAllocated + 1);
    return rowsAllocated++;
}

int TableData::columnIndex(const QString &name) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void TableData::compact(std::vector<Cell> &pending)
{
    ByteHeap fresh;
    for (Cell &cell : pending)
        cell = fresh.store(heap.bytes(cell));
    SharedRows<Cell> packed;
    packed.setWidth(columns.size());
    packed.resize(cells.size());
    for (uint32_t id : stored) {
        const Cell *source = std::as_const(*this).row(id);
        Cell *target = packed.writableRow(id);
        for (size_t c = 0; c < columns.size(); ++c)
            target[c] = fresh.store(heap.bytes(source[c]));
    }
    cells = std::move(packed);
    heap = std::move(fresh);
    lines.clear();
    lines.setWidth(1);
    lines.resize(rowsAllocated);
}

ColumnInfo columnFromDef(const FieldDef &def)
{
    ColumnInfo column;
    column.name = def.name;
    column.nameUtf8 = def.name.toUtf8();
    column.kind = def.kind;
    column.size = def.size;
    QByteArray type;
    switch (def.kind) {
    case FieldKind::Text: type = "string"; break;
    case FieldKind::Float: type = "r8"; break;
    case FieldKind::Integer: type = "i4"; break;
    case FieldKind::Date: type = "date"; break;
    case FieldKind::DateTime: type = "dateTime"; break;
    }
    column.fieldAttributes.append({"attrname", column.nameUtf8});
    column.fieldAttributes.append({"fieldtype", type});
    if (def.kind == FieldKind::Text)
        column.fieldAttributes.append({"WIDTH", QByteArray::number(def.size)});
    if (def.kind == FieldKind::Text && def.fixedChar)
        column.fieldAttributes.append(qMakePair(QByteArray("SUBTYPE"), QByteArray("FixedChar")));
    return column;
}

void *allocateBlock(size_t bytes, bool huge)
{
    if (!huge)
        return ::operator new(bytes);
    const size_t align = size_t(2) << 20;
    void *data = ::operator new((bytes + align - 1) & ~(align - 1), std::align_val_t(align));
    adviseHugePages(data, (bytes + align - 1) & ~(align - 1));
    return data;
}

void freeBlock(void *data, bool huge)
{
    if (huge)
        ::operator delete(data, std::align_val_t(size_t(2) << 20));
    else
        ::operator delete(data);
}

void adviseHugePages(void *data, size_t size)
{
#ifdef Q_OS_LINUX
    const uintptr_t huge = uintptr_t(2) << 20;
    const uintptr_t begin = (uintptr_t(data) + huge - 1) & ~(huge - 1);
    const uintptr_t end = (uintptr_t(data) + size) & ~(huge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

} // namespace kiv
