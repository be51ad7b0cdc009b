#pragma once

#include "tabledecl.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kiv {

// The stored content of a table, shared by the table engine and the table
// file codec. Every stored value is kept as the bytes of its canonical text
// (plain UTF-8 for text, the file's own form for numbers and dates), so that
// a load can point into the file it read, a save can copy the bytes back,
// and equality is a byte comparison.

// One stored value: a slice of one of the heap's chunks. Length 0 is the
// empty value (no text, no number, no date).
struct Cell
{
    uint32_t off = 0;
    uint32_t len : 24 = 0;
    uint32_t chunk : 8 = 0;
};
static_assert(sizeof(Cell) == 8);

// Bytes of the values. Chunks never move and are never written again once a
// value is in them, so tables may share them (a copy of a table's content
// shares its source's chunks and appends to chunks of its own).
class ByteHeap
{
public:
    static constexpr int maxChunks = 255;
    static constexpr uint32_t maxValueBytes = (1u << 24) - 1;

    std::string_view bytes(Cell cell) const
    {
        if (cell.len == 0)
            return {};
        return {m_chunks[cell.chunk]->data.get() + cell.off, cell.len};
    }
    // Adds a chunk that already holds values (a file's bytes); returns its index.
    int adopt(std::unique_ptr<char[]> data, size_t size);
    Cell store(std::string_view bytes);
    // A slice of an adopted chunk.
    static Cell slice(int chunk, size_t off, size_t len)
    {
        Cell c;
        c.off = uint32_t(off);
        c.len = uint32_t(len);
        c.chunk = uint32_t(chunk);
        return c;
    }
    bool full() const { return int(m_chunks.size()) >= maxChunks - 1; }
    // Stop appending to the current chunk: it is about to be shared. The
    // next chunk starts small again: a window snapshots a table before each
    // row it inserts, and each snapshot would otherwise leave a chunk twice
    // the size of the one before, nearly empty.
    void seal()
    {
        m_appendChunk = -1;
        m_nextCapacity = firstCapacity;
    }
    void clear()
    {
        m_chunks.clear();
        m_appendChunk = -1;
        m_nextCapacity = firstCapacity;
    }

private:
    struct Chunk
    {
        std::unique_ptr<char[]> data;
        size_t size = 0;
        size_t capacity = 0;
    };
    std::vector<std::shared_ptr<Chunk>> m_chunks;
    static constexpr size_t firstCapacity = 4 * 1024;
    static constexpr size_t lastCapacity = 64 * 1024 * 1024;
    int m_appendChunk = -1;
    size_t m_nextCapacity = firstCapacity;
};

// A stored column as the file declares it. The FIELD attributes read from a
// file are kept, in their order, so that a field the windows do not know is
// written back exactly as it came.
struct ColumnInfo
{
    QString name;
    QByteArray nameUtf8;
    FieldKind kind = FieldKind::Text;
    int size = 0;
    // The file's fieldtype of a field of one of the engine's other types
    // (boolean, fixed, bin.hex...): its values are kept as text and written
    // back unchanged. Empty for the five kinds the windows declare.
    QByteArray otherType;
    QList<QPair<QByteArray, QByteArray>> fieldAttributes;
};

struct TableData
{
    std::vector<ColumnInfo> columns;
    ByteHeap heap;
    std::vector<Cell> cells;       // row-major, columns.size() cells a row
    std::vector<uint32_t> stored;  // live rows, in stored (file) order
    // Each row's line exactly as the next save writes it, when known: the
    // line a load read, or the line the last save wrote. Empty for a row
    // posted since, which the save writes anew. This lets saving a large
    // table that changed in one row copy the other rows' lines.
    std::vector<Cell> lines;
    uint32_t rowsAllocated = 0;

    int columnCount() const { return int(columns.size()); }
    const Cell *row(uint32_t id) const { return cells.data() + size_t(id) * columns.size(); }
    Cell *row(uint32_t id) { return cells.data() + size_t(id) * columns.size(); }
    uint32_t allocateRow();
    int columnIndex(const QString &name) const;
    // Copies every live value, and those of the record being edited
    // (pending), into fresh chunks, dropping dead bytes; row numbers stay as
    // they were.
    void compact(std::vector<Cell> &pending);
};

ColumnInfo columnFromDef(const FieldDef &def);

// Asks the system to back a large, not yet touched buffer with huge pages:
// on virtual machines a first touch of fresh memory costs a page fault per
// 4 KiB, which for a table file of tens of megabytes outweighs the parsing.
void adviseHugePages(void *data, size_t size);

} // namespace kiv
