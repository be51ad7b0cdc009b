#pragma once

#include "tabledecl.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string_view>
#include <unordered_map>
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
    ByteHeap() = default;
    // A copy shares the chunks and appends to chunks of its own: the source
    // may go on appending to its current chunk, past the bytes the copy
    // can see.
    ByteHeap(const ByteHeap &other) : m_chunks(other.m_chunks) {}
    ByteHeap &operator=(const ByteHeap &other)
    {
        if (this != &other) {
            m_chunks = other.m_chunks;
            m_appendChunk = -1;
            m_nextCapacity = firstCapacity;
        }
        return *this;
    }
    ByteHeap(ByteHeap &&) = default;
    ByteHeap &operator=(ByteHeap &&) = default;

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
    size_t chunkCount() const { return m_chunks.size(); }
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

// Rows of a fixed number of values, kept in blocks that copies share until
// one side writes: a copy of a table's content (a window's snapshot before
// each row it inserts) costs a pointer per block, and a write afterwards
// copies the one block it lands in. Element i of row r is (r * width + i).
// The vector-like members are what the table file codec uses.
template<typename T>
class SharedRows
{
public:
    size_t size() const { return m_rows * m_width; }
    bool empty() const { return m_rows == 0; }
    size_t width() const { return m_width; }
    // The number of values a row holds; set before the first row.
    void setWidth(size_t width)
    {
        if (m_rows == 0 && width != m_width) {
            m_width = width;
            m_blocks.clear();
            m_shift = blockShift(width);
        }
    }

    const T *row(size_t r) const
    {
        if (m_width == 0)
            return nullptr;
        return m_blocks[r >> m_shift]->data + (r & mask()) * m_width;
    }
    // The row to write into; its block is copied first when shared.
    T *writableRow(size_t r)
    {
        if (m_width == 0)
            return nullptr;
        const size_t b = r >> m_shift;
        Block *block = m_blocks[b].get();
        if (m_blocks[b].use_count() > 1) [[unlikely]]
            block = detach(b);
        return block->data + (r & mask()) * m_width;
    }
    const T &operator[](size_t i) const
    {
        return m_width == 1 ? *row(i) : row(i / m_width)[i % m_width];
    }
    T &operator[](size_t i)
    {
        return m_width == 1 ? *writableRow(i) : writableRow(i / m_width)[i % m_width];
    }

    // Appends one row of default values.
    void appendRow()
    {
        if (m_width == 0) {
            ++m_rows;
            return;
        }
        const size_t within = m_rows & mask();
        if (within == 0) {
            m_blocks.push_back(std::make_shared<Block>(std::min(rowsPerBlock(), firstRows),
                                                       m_width));
        } else if (within == m_blocks.back()->rows) {
            // The last block grows while it fills, so that a small table
            // holds a small block.
            auto &last = m_blocks.back();
            last = last->grown(std::min(rowsPerBlock(), last->rows * 4), m_width);
        } else if (m_blocks.back().use_count() > 1) {
            m_blocks.back() = m_blocks.back()->clone(m_width);
        }
        ++m_rows;
    }
    // Grows or shrinks to `elements` values (whole rows), new ones default.
    void resize(size_t elements)
    {
        if (m_width == 0)
            setWidth(1);
        const size_t rows = elements / m_width;
        if (rows < m_rows) {
            m_blocks.resize((rows + mask()) >> m_shift);
            m_rows = rows;
            // Values past the end are reset when rows grow into them again.
            if (rows & mask()) {
                T *tail = writableRow(rows - 1) + m_width;
                T *end = m_blocks.back()->data + m_blocks.back()->rows * m_width;
                std::fill(tail, end, T());
            }
            return;
        }
        while (m_rows < rows)
            appendRow();
    }
    void clear()
    {
        m_blocks.clear();
        m_rows = 0;
    }
    // Appends every row of other, which has the same width (or none yet).
    void append(const SharedRows &other)
    {
        if (other.m_rows == 0)
            return;
        if (m_rows == 0)
            setWidth(other.m_width);
        const size_t first = m_rows;
        resize((m_rows + other.m_rows) * m_width);
        if (m_width == 0)
            return;
        // Block by block: runs of rows that are contiguous on both sides.
        for (size_t r = 0; r < other.m_rows;) {
            const size_t to = first + r;
            const size_t run = std::min({other.m_rows - r, rowsPerBlock() - (to & mask()),
                                         other.rowsPerBlock() - (r & other.mask())});
            std::copy(other.row(r), other.row(r) + run * m_width, writableRow(to));
            r += run;
        }
    }

    // For the codec, as it would use a vector.
    struct End
    {
    };
    End end() const { return {}; }
    // Appends one row: last - first is the row's width.
    template<typename It>
    void insert(End, It first, It last)
    {
        const size_t n = size_t(std::distance(first, last));
        if (m_rows == 0 && n != m_width)
            setWidth(n);
        appendRow();
        std::copy(first, last, writableRow(m_rows - 1));
    }
    void push_back(const T &value)
    {
        if (m_rows == 0 && m_width != 1)
            setWidth(1);
        appendRow();
        writableRow(m_rows - 1)[0] = value;
    }
    void reserve(size_t) {}
    // No one buffer: a hint given for one does nothing (blocks advise
    // their own huge pages).
    T *data() { return nullptr; }
    size_t capacity() const { return 0; }

private:
    static constexpr size_t blockBytes = size_t(2) << 20;
    static constexpr size_t firstRows = 16;
    struct Block
    {
        Block(size_t rows, size_t width);
        ~Block();
        Block(const Block &) = delete;
        Block &operator=(const Block &) = delete;
        std::shared_ptr<Block> clone(size_t width) const
        {
            auto copy = std::make_shared<Block>(rows, width);
            std::copy(data, data + rows * width, copy->data);
            return copy;
        }
        std::shared_ptr<Block> grown(size_t newRows, size_t width) const
        {
            auto copy = std::make_shared<Block>(newRows, width);
            std::copy(data, data + rows * width, copy->data);
            return copy;
        }
        T *data = nullptr;
        size_t rows = 0;
        bool huge = false;
    };
    static int blockShift(size_t width)
    {
        int shift = 0;
        while ((size_t(2) << shift) * width * sizeof(T) <= blockBytes)
            ++shift;
        return shift;
    }
    [[gnu::noinline]] Block *detach(size_t b)
    {
        m_blocks[b] = m_blocks[b]->clone(m_width);
        return m_blocks[b].get();
    }
    size_t rowsPerBlock() const { return size_t(1) << m_shift; }
    size_t mask() const { return rowsPerBlock() - 1; }

    std::vector<std::shared_ptr<Block>> m_blocks;
    size_t m_rows = 0;
    size_t m_width = 0;
    int m_shift = 0;
};

// Which rows hold a value in one column, by a hash of the value: candidates
// only. A row is listed under every value it has held since the index was
// built, and the index is shared by the copies of a content that existed
// when it was built, each adding the rows it posts; so a reader checks each
// candidate against its own rows (that it is live and holds the value).
struct ColumnIndex
{
    std::unordered_map<uint64_t, std::vector<uint32_t>> rows;

    static uint64_t hashOf(std::string_view bytes)
    {
        return std::hash<std::string_view>()(bytes);
    }
    void add(std::string_view bytes, uint32_t id) { rows[hashOf(bytes)].push_back(id); }
    const std::vector<uint32_t> *find(std::string_view bytes) const
    {
        const auto found = rows.find(hashOf(bytes));
        return found == rows.end() ? nullptr : &found->second;
    }
};

// The column indexes of one content, by column (null where none was built).
using ColumnIndexes = std::vector<std::shared_ptr<ColumnIndex>>;

struct TableData
{
    std::vector<ColumnInfo> columns;
    ByteHeap heap;
    SharedRows<Cell> cells;        // columns.size() cells a row, by row id
    std::vector<uint32_t> stored;  // live rows, in stored (file) order
    // Each row's line exactly as the next save writes it, when known: the
    // line a load read, or the line the last save wrote. Empty for a row
    // posted since, which the save writes anew. This lets saving a large
    // table that changed in one row copy the other rows' lines.
    SharedRows<Cell> lines;
    uint32_t rowsAllocated = 0;
    // Whether row ids increase along the stored order, so that an id tells
    // a row's place (true of a file as read, and of rows appended since).
    bool storedAscending = true;
    // Indexes built on this content, carried into its copies.
    ColumnIndexes indexes;

    int columnCount() const { return int(columns.size()); }
    const Cell *row(uint32_t id) const { return cells.row(id); }
    // The row to write into (a block shared with a copy is copied first).
    Cell *row(uint32_t id) { return cells.writableRow(id); }
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

// Block memory of SharedRows: full blocks are aligned to huge pages.
void *allocateBlock(size_t bytes, bool huge);
void freeBlock(void *data, bool huge);

template<typename T>
SharedRows<T>::Block::Block(size_t blockRows, size_t width) : rows(blockRows)
{
    const size_t bytes = blockRows * width * sizeof(T);
    huge = bytes >= blockBytes / 2;
    data = static_cast<T *>(allocateBlock(bytes, huge));
    std::uninitialized_default_construct_n(data, blockRows * width);
}

template<typename T>
SharedRows<T>::Block::~Block()
{
    freeBlock(data, huge);
}

} // namespace kiv
