#include "tablefile.h"

#include "errors.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kiv {

namespace {

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// ---------------------------------------------------------------- encodings

bool isValidUtf8(const unsigned char *s, size_t n)
{
    size_t i = 0;
    while (i < n) {
#if defined(__SSE2__) || defined(_M_X64)
        if (i + 16 <= n
            && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i))) == 0) {
            i += 16;
            continue;
        }
#endif
        if (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, s + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
        else return false;
        if (i + extra >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

QByteArray windows1252ToUtf8(const char *s, size_t n)
{
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(qsizetype(n), Qt::Uninitialized);
    QChar *out = text.data();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? QChar(high[c - 0x80]) : QChar(c);
    }
    return text.toUtf8();
}

void appendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// ------------------------------------------------------------ typed values

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int digitsValue(std::string_view s)
{
    int v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return v;
}

// Canonical forms of typed values. Each returns false when the text does not
// read as its type; canonical receives the form to store when it differs.
bool canonicalInteger(std::string_view s, std::string &canonical)
{
    long long value = 0;
    const char *first = s.data();
    if (!s.empty() && s.front() == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), value);
    // i4: a value outside 32 bits is no value of the field, whatever
    // wrote it.
    if (ec != std::errc() || ptr != s.data() + s.size() || value < INT32_MIN || value > INT32_MAX)
        return false;
    char buffer[24];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    canonical.assign(buffer, end);
    return true;
}

bool canonicalFloat(std::string_view s, std::string &canonical)
{
    double value = 0;
    const char *first = s.data();
    if (!s.empty() && s.front() == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(value))
        return false;
    if (value == 0)
        value = 0; // no negative zero
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    canonical.assign(buffer, end);
    return true;
}

bool validDate(std::string_view s)
{
    return s.size() == 8 && allDigits(s)
           && QDate::isValid(digitsValue(s.substr(0, 4)), digitsValue(s.substr(4, 2)),
                             digitsValue(s.substr(6, 2)));
}

bool canonicalDateTime(std::string_view s, std::string &canonical)
{
    if (s.size() < 8 || !validDate(s.substr(0, 8)))
        return false;
    canonical.assign(s.substr(0, 8));
    if (s.size() == 8)
        return true;
    std::string_view t = s.substr(8);
    if (t.front() != 'T' && t.front() != 't')
        return false;
    t.remove_prefix(1);
    // HH:MM, HH:MM:SS or HH:MM:SSmmm
    if (t.size() < 5 || t[2] != ':' || !allDigits(t.substr(0, 2)) || !allDigits(t.substr(3, 2)))
        return false;
    const int hour = digitsValue(t.substr(0, 2));
    const int minute = digitsValue(t.substr(3, 2));
    int second = 0;
    int msec = 0;
    std::string_view rest = t.substr(5);
    if (!rest.empty()) {
        if (rest.front() != ':')
            return false;
        rest.remove_prefix(1);
        if ((rest.size() != 2 && rest.size() != 5) || !allDigits(rest))
            return false;
        second = digitsValue(rest.substr(0, 2));
        if (rest.size() == 5)
            msec = digitsValue(rest.substr(2, 3));
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    if (hour || minute || second || msec) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "T%02d:%02d:%02d%03d", hour, minute, second, msec);
        canonical += buffer;
    }
    return true;
}

// Cuts UTF-8 text to at most size UTF-16 units, at a character boundary.
size_t cutToSize(std::string_view s, int size)
{
    if (size <= 0 || s.size() <= size_t(size))
        return s.size();
    int units = 0;
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        const int needed = length == 4 ? 2 : 1;
        if (units + needed > size)
            break;
        units += needed;
        i += length;
    }
    return i;
}

// ------------------------------------------------------------------ parser

// Bytes past a file's end that the parser may read (and never uses): the
// scans read whole 16-byte blocks.
constexpr size_t parsePadding = 16;

// A buffer for size bytes of a file and the padding, which is zeroed.
std::unique_ptr<char[]> parseBuffer(size_t size)
{
    std::unique_ptr<char[]> buffer(new char[size + parsePadding]);
    adviseHugePages(buffer.get(), size + parsePadding);
    std::memset(buffer.get() + size, 0, parsePadding);
    return buffer;
}

struct Attribute
{
    std::string_view name;
    std::string_view raw;  // still escaped
};

class Parser
{
public:
    Parser(const char *data, size_t size, const QString &file)
        : m_begin(data), m_p(data), m_end(data + size), m_file(file) {}

    TableData run(std::unique_ptr<char[]> buffer, size_t size);

private:
    [[noreturn]] void fail(const QString &what) const
    {
        const int line = 1 + int(std::count(m_begin, std::min(m_p, m_end), '\n'));
        throw EDatabaseError(QStringLiteral("Arquivo \"%1\" inválido: %2 (linha %3).")
                                 .arg(native(m_file), what)
                                 .arg(line));
    }
    void skipSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }
    bool at(std::string_view s) const
    {
        return size_t(m_end - m_p) >= s.size() && std::memcmp(m_p, s.data(), s.size()) == 0;
    }
    bool atTag(std::string_view name) const
    {
        if (!at(name))
            return false;
        const char *after = m_p + name.size();
        return after < m_end && (*after == ' ' || *after == '/' || *after == '>' || *after == '\n'
                                 || *after == '\r' || *after == '\t');
    }
    void skipMisc();
    std::string_view name();
    // Reads the attributes of a start tag up to its end; true when the tag
    // closed itself ("/>").
    bool attributes(std::vector<Attribute> *out);
    void endTag(std::string_view name);
    void skipElementContent(std::string_view name);
    std::string decode(std::string_view raw);
    void fields(TableData &data);
    void params();
    void rows(TableData &data, int chunk);
    // Reads rows up to the end of ROWDATA; true when it stopped instead at
    // m_stopAt, the start of a row.
    bool rowRun(TableData &data, int chunk);
    const char *splitPoint() const;

    const char *m_begin;
    const char *m_p;
    const char *m_end;
    QString m_file;
    bool m_changeLog = false;
    const char *m_stopAt = nullptr;
};

void Parser::skipMisc()
{
    for (;;) {
        skipSpace();
        if (at("<?")) {
            const char *close = static_cast<const char *>(
                memmem(m_p, size_t(m_end - m_p), "?>", 2));
            if (!close)
                fail(QStringLiteral("declaração sem fim"));
            m_p = close + 2;
        } else if (at("<!--")) {
            const char *close = static_cast<const char *>(
                memmem(m_p, size_t(m_end - m_p), "-->", 3));
            if (!close)
                fail(QStringLiteral("comentário sem fim"));
            m_p = close + 3;
        } else {
            return;
        }
    }
}

std::string_view Parser::name()
{
    const char *start = m_p;
    while (m_p < m_end && *m_p != '=' && *m_p != ' ' && *m_p != '/' && *m_p != '>'
           && *m_p != '\n' && *m_p != '\r' && *m_p != '\t' && *m_p != '<' && *m_p != '"')
        ++m_p;
    if (m_p == start)
        fail(QStringLiteral("nome esperado"));
    return {start, size_t(m_p - start)};
}

bool Parser::attributes(std::vector<Attribute> *out)
{
    for (;;) {
        skipSpace();
        if (m_p >= m_end)
            fail(QStringLiteral("fim inesperado do arquivo"));
        if (*m_p == '/') {
            if (m_p + 1 >= m_end || m_p[1] != '>')
                fail(QStringLiteral("marca mal formada"));
            m_p += 2;
            return true;
        }
        if (*m_p == '>') {
            ++m_p;
            return false;
        }
        const std::string_view attributeName = name();
        skipSpace();
        if (m_p >= m_end || *m_p != '=')
            fail(QStringLiteral("'=' esperado após %1").arg(QString::fromUtf8(
                attributeName.data(), qsizetype(attributeName.size()))));
        ++m_p;
        skipSpace();
        if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
            fail(QStringLiteral("valor entre aspas esperado"));
        const char quote = *m_p++;
        const char *close = static_cast<const char *>(std::memchr(m_p, quote, size_t(m_end - m_p)));
        if (!close)
            fail(QStringLiteral("fim inesperado do arquivo"));
        if (out)
            out->push_back({attributeName, {m_p, size_t(close - m_p)}});
        m_p = close + 1;
    }
}

void Parser::endTag(std::string_view tag)
{
    skipMisc();
    if (!at("</") || size_t(m_end - m_p) < tag.size() + 2
        || std::memcmp(m_p + 2, tag.data(), tag.size()) != 0)
        fail(QStringLiteral("</%1> esperado").arg(QLatin1String(tag.data(), qsizetype(tag.size()))));
    m_p += 2 + tag.size();
    skipSpace();
    if (m_p >= m_end || *m_p != '>')
        fail(QStringLiteral("marca mal formada"));
    ++m_p;
}

// Skips child elements (parameters of a field, for instance) up to the
// element's end tag. The datapacket nests only a few levels below a FIELD or
// PARAMS; anything deeper is refused, so that a hostile file cannot make the
// reader walk an unbounded stack of open elements.
void Parser::skipElementContent(std::string_view tag)
{
    std::vector<std::string_view> open{tag};
    while (!open.empty()) {
        skipMisc();
        if (at("</")) {
            endTag(open.back());
            open.pop_back();
            continue;
        }
        if (m_p >= m_end || *m_p != '<')
            fail(QStringLiteral("conteúdo inesperado"));
        ++m_p;
        const std::string_view child = name();
        if (open.size() > size_t(TableFile::maxNesting))
            fail(QStringLiteral("elementos aninhados além de %1 níveis em %2")
                     .arg(TableFile::maxNesting)
                     .arg(QLatin1String(tag.data(), qsizetype(tag.size()))));
        if (!attributes(nullptr))
            open.push_back(child);
    }
}

std::string Parser::decode(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size());
    size_t i = 0;
    while (i < raw.size()) {
        const char c = raw[i];
        if (c != '&') {
            out += c;
            ++i;
            continue;
        }
        const size_t semi = raw.find(';', i);
        if (semi == std::string_view::npos)
            fail(QStringLiteral("referência de caractere sem ';'"));
        const std::string_view entity = raw.substr(i + 1, semi - i - 1);
        if (entity == "amp") out += '&';
        else if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else if (entity.size() > 1 && entity[0] == '#') {
            uint32_t cp = 0;
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            const std::string_view digits = entity.substr(hex ? 2 : 1);
            auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp,
                                             hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size()
                || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                fail(QStringLiteral("referência de caractere inválida"));
            appendUtf8(out, cp);
        } else {
            fail(QStringLiteral("entidade desconhecida &%1;")
                     .arg(QString::fromUtf8(entity.data(), qsizetype(entity.size()))));
        }
        i = semi + 1;
    }
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(),
                         [](char x, char y) { return std::tolower(uchar(x)) == std::tolower(uchar(y)); });
}

void Parser::fields(TableData &data)
{
    std::vector<Attribute> attrs;
    QSet<QString> names;  // upper case
    for (;;) {
        skipMisc();
        if (at("</"))
            return endTag("FIELDS");
        if (!at("<") || !(m_p++, atTag("FIELD")))
            fail(QStringLiteral("<FIELD> esperado"));
        if (data.columns.size() >= size_t(TableFile::maxFields))
            fail(QStringLiteral("mais de %1 campos").arg(TableFile::maxFields));
        m_p += 5;
        attrs.clear();
        if (!attributes(&attrs))
            skipElementContent("FIELD");
        ColumnInfo column;
        std::string_view type;
        int width = -1;
        for (const Attribute &a : attrs) {
            const std::string value = decode(a.raw);
            column.fieldAttributes.append({QByteArray(a.name.data(), qsizetype(a.name.size())),
                                           QByteArray(value.data(), qsizetype(value.size()))});
            if (equalsNoCase(a.name, "attrname")) {
                column.nameUtf8 = column.fieldAttributes.last().second;
                column.name = QString::fromUtf8(column.nameUtf8);
            } else if (equalsNoCase(a.name, "fieldtype")) {
                type = a.raw;
            } else if (equalsNoCase(a.name, "WIDTH")) {
                auto [ptr, ec] = std::from_chars(a.raw.data(), a.raw.data() + a.raw.size(), width);
                if (ec != std::errc() || ptr != a.raw.data() + a.raw.size() || width < 0)
                    fail(QStringLiteral("WIDTH inválido"));
            }
        }
        if (column.name.isEmpty())
            fail(QStringLiteral("campo sem nome"));
        if (type.empty())
            fail(QStringLiteral("campo %1 sem tipo").arg(column.name));
        // The name is written as an attribute name in every row.
        if (std::any_of(column.nameUtf8.begin(), column.nameUtf8.end(), [](char c) {
                return std::strchr(" \t\r\n=<>&\"'/", c) != nullptr;
            }))
            fail(QStringLiteral("nome de campo inválido \"%1\"").arg(column.name));
        if (equalsNoCase(type, "string")) {
            column.kind = FieldKind::Text;
            column.size = std::max(width, 0);
        } else if (equalsNoCase(type, "string.uni")) {
            column.kind = FieldKind::Text;
            column.size = std::max(width, 0) / 2;
        } else if (equalsNoCase(type, "r8")) {
            column.kind = FieldKind::Float;
        } else if (equalsNoCase(type, "i4")) {
            column.kind = FieldKind::Integer;
        } else if (equalsNoCase(type, "date")) {
            column.kind = FieldKind::Date;
        } else if (equalsNoCase(type, "dateTime")) {
            column.kind = FieldKind::DateTime;
        } else {
            // The engine's other types (boolean, fixed, bin.hex...) and any
            // type we do not know: the values are kept as the file's text and
            // written back unchanged. No window declares such a field.
            const std::string decoded = decode(type);
            column.otherType = QByteArray(decoded.data(), qsizetype(decoded.size()));
            if (column.otherType.isEmpty())
                column.otherType = "?";
            column.kind = FieldKind::Text;
            column.size = 0;
        }
        if (names.contains(column.name.toUpper()))
            fail(QStringLiteral("campo %1 repetido").arg(column.name));
        names.insert(column.name.toUpper());
        data.columns.push_back(std::move(column));
    }
}

void Parser::params()
{
    std::vector<Attribute> attrs;
    if (!attributes(&attrs))
        skipElementContent("PARAMS");
    for (const Attribute &a : attrs)
        if (equalsNoCase(a.name, "CHANGE_LOG"))
            m_changeLog = true;
}

inline bool sameBytes(const char *a, const char *b, size_t n)
{
    auto same8 = [](const char *x, const char *y) {
        uint64_t u;
        uint64_t v;
        std::memcpy(&u, x, 8);
        std::memcpy(&v, y, 8);
        return u == v;
    };
    if (n >= 8) {
        // Whole words, the last one overlapping the one before.
        size_t i = 0;
        for (; i + 8 <= n; i += 8)
            if (!same8(a + i, b + i))
                return false;
        return i == n || same8(a + n - 8, b + n - 8);
    }
    if (n >= 4) {
        uint32_t u[2];
        uint32_t v[2];
        std::memcpy(&u[0], a, 4);
        std::memcpy(&u[1], a + n - 4, 4);
        std::memcpy(&v[0], b, 4);
        std::memcpy(&v[1], b + n - 4, 4);
        return u[0] == v[0] && u[1] == v[1];
    }
    while (n--)
        if (*a++ != *b++)
            return false;
    return true;
}

// Bytes that end the fast scan of a value: its closing quote, the start of
// a reference, and every byte the writer would escape.
#if !(defined(__SSE2__) || defined(_M_X64))
struct ValueStops
{
    bool stop[256] = {};
    ValueStops()
    {
        for (unsigned char c : {'"', '&', '<', '>', '\'', '\r', '\n', '\t'})
            stop[c] = true;
    }
};
const ValueStops valueStops;
#endif

// The first byte from p on that ends the fast scan of a value (see
// ValueStops), or end. Reads up to parsePadding bytes past end.
inline const char *findValueStop(const char *p, const char *end)
{
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i apos = _mm_set1_epi8('\'');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i tab = _mm_set1_epi8('\t');
    for (; p < end; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, amp)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, gt))),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, apos), _mm_cmpeq_epi8(v, cr)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, tab))));
        const unsigned bits = unsigned(_mm_movemask_epi8(hits));
        if (bits)
            return std::min(p + std::countr_zero(bits), end);
    }
    return end;
#else
    while (p < end && !valueStops.stop[static_cast<unsigned char>(*p)])
        ++p;
    return p;
#endif
}

bool Parser::rowRun(TableData &data, int chunk)
{
    const int columnCount = data.columnCount();
    std::vector<Cell> row(static_cast<size_t>(columnCount));
    std::string canonical;
    bool reserved = false;
    const char *const rowsBegin = m_p;
    std::vector<QByteArray> prefixes;  // " NAME=\"" per column
    // Attributes out of the declared order are found by name, in constant
    // time: a row of thousands of attributes in reverse order must not cost
    // the square of its length.
    std::unordered_map<std::string_view, int> columnByName;
    for (const ColumnInfo &column : data.columns) {
        prefixes.push_back(" " + column.nameUtf8 + "=\"");
        columnByName.emplace(std::string_view(column.nameUtf8.constData(),
                                              size_t(column.nameUtf8.size())),
                             int(columnByName.size()));
    }
    for (;;) {
        skipMisc();
        if (m_stopAt && m_p >= m_stopAt) {
            if (m_p == m_stopAt)
                return true;
            // The stop was not where a row starts: read on alone.
            m_stopAt = nullptr;
        }
        if (at("</")) {
            endTag("ROWDATA");
            return false;
        }
        if (!at("<ROW") || m_p + 4 >= m_end
            || !(m_p[4] == ' ' || m_p[4] == '/' || m_p[4] == '>' || m_p[4] == '\n'
                 || m_p[4] == '\r' || m_p[4] == '\t'))
            fail(QStringLiteral("<ROW> esperado"));
        if (!reserved && data.stored.size() == 256) {
            // Reserves for the rest from the size of the first rows. Rows
            // vary in length (a consumed withdrawal carries more values than
            // a planned one): a third more costs only address space.
            const size_t perRow = size_t(m_p - rowsBegin) / 256 + 1;
            const size_t left = size_t((m_stopAt ? m_stopAt : m_end) - rowsBegin);
            data.stored.reserve(left / perRow * 4 / 3 + 256 + 16);
            reserved = true;
        }
        const char *lineStart = m_p;
        m_p += 4;
        std::fill(row.begin(), row.end(), Cell());
        bool keep = true;
        // Whether the row is written exactly as the writer would write it.
        bool canonicalLine = true;
        // Checks a value against its column's kind and keeps it in the row.
        auto take = [&](int column, const char *valueStart, size_t valueLength, bool plain) {
            const ColumnInfo &info = data.columns[size_t(column)];
            std::string decoded;
            std::string_view value(valueStart, valueLength);
            bool inBuffer = true;
            if (!plain && std::memchr(valueStart, '&', valueLength)) {
                decoded = decode(value);
                value = decoded;
                inBuffer = false;
            }
            bool ok = true;
            switch (info.kind) {
            case FieldKind::Text: {
                const size_t cut = cutToSize(value, info.size);
                if (cut != value.size()) {
                    value = value.substr(0, cut);
                    canonicalLine = false;
                }
                break;
            }
            case FieldKind::Integer:
                ok = canonicalInteger(value, canonical);
                break;
            case FieldKind::Float:
                ok = canonicalFloat(value, canonical);
                break;
            case FieldKind::Date:
                ok = validDate(value);
                break;
            case FieldKind::DateTime:
                ok = canonicalDateTime(value, canonical);
                break;
            }
            // A cell holds at most 16 MiB; a longer value is refused, not cut.
            if (value.size() > ByteHeap::maxValueBytes)
                fail(QStringLiteral("valor grande demais para o campo %1").arg(info.name));
            if (!ok)
                fail(QStringLiteral("valor \"%1\" inválido para o campo %2")
                         .arg(QString::fromUtf8(value.data(), qsizetype(value.size())), info.name));
            if (info.kind != FieldKind::Text && info.kind != FieldKind::Date
                && std::string_view(canonical) != value) {
                value = canonical;
                inBuffer = false;
                canonicalLine = false;
            }
            if (value.empty())
                return;
            if (inBuffer)
                row[size_t(column)] = ByteHeap::slice(chunk, size_t(value.data() - m_begin),
                                                      value.size());
            else
                row[size_t(column)] = data.heap.store(value);
        };
        int expected = 0;
        for (;;) {
            // The form the writer writes: " NAME=\"value\"" for one of the
            // next columns, the value free of references and of characters
            // the writer escapes.
            if (m_p < m_end && *m_p == ' ') {
                int fastColumn = -1;
                const char *fastValue = nullptr;
                const char *fastClose = nullptr;
                for (int c = expected; c < columnCount && c < expected + 8; ++c) {
                    const QByteArray &prefix = prefixes[size_t(c)];
                    if (size_t(m_end - m_p) <= size_t(prefix.size())
                        || !sameBytes(m_p, prefix.constData(), size_t(prefix.size())))
                        continue;
                    const char *v = m_p + prefix.size();
                    const char *e = findValueStop(v, m_end);
                    if (e < m_end && *e == '"' && e > v) {
                        fastColumn = c;
                        fastValue = v;
                        fastClose = e;
                    }
                    break;
                }
                if (fastColumn >= 0) {
                    m_p = fastClose + 1;
                    expected = fastColumn + 1;
                    take(fastColumn, fastValue, size_t(fastClose - fastValue), true);
                    continue;
                }
            }
            const char *beforeSpace = m_p;
            skipSpace();
            if (m_p != beforeSpace + 1 && *m_p != '/')
                canonicalLine = false;
            if (m_p >= m_end)
                fail(QStringLiteral("fim inesperado do arquivo"));
            if (*m_p == '/') {
                if (m_p + 1 >= m_end || m_p[1] != '>')
                    fail(QStringLiteral("marca mal formada"));
                if (m_p != beforeSpace)
                    canonicalLine = false;
                m_p += 2;
                break;
            }
            if (*m_p == '>') {
                ++m_p;
                endTag("ROW");
                canonicalLine = false;
                break;
            }
            const char *nameStart = m_p;
            while (m_p < m_end && *m_p != '=' && *m_p != ' ' && *m_p != '/' && *m_p != '>'
                   && *m_p != '\t' && *m_p != '\n' && *m_p != '\r')
                ++m_p;
            const std::string_view attributeName(nameStart, size_t(m_p - nameStart));
            if (m_p < m_end && *m_p != '=') {
                canonicalLine = false;
                skipSpace();
            }
            if (m_p >= m_end || *m_p != '=')
                fail(QStringLiteral("'=' esperado"));
            ++m_p;
            if (m_p < m_end && *m_p != '"') {
                canonicalLine = false;
                skipSpace();
            }
            if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
                fail(QStringLiteral("valor entre aspas esperado"));
            const char quote = *m_p++;
            const char *valueStart = m_p;
            const char *close = m_p;
            bool plain = quote == '"';
            if (plain) {
                close = findValueStop(close, m_end);
                if (close < m_end && *close != '"') {
                    plain = false;
                    close = static_cast<const char *>(std::memchr(close, quote, size_t(m_end - close)));
                }
            } else {
                close = static_cast<const char *>(std::memchr(m_p, quote, size_t(m_end - m_p)));
            }
            if (!close || close >= m_end)
                fail(QStringLiteral("fim inesperado do arquivo"));
            const size_t valueLength = size_t(close - valueStart);
            m_p = close + 1;
            if (!plain)
                canonicalLine = false;

            int column = -1;
            if (expected < columnCount) {
                const QByteArray &n = data.columns[size_t(expected)].nameUtf8;
                if (size_t(n.size()) == attributeName.size()
                    && std::memcmp(n.constData(), attributeName.data(), attributeName.size()) == 0)
                    column = expected;
            }
            if (column < 0) {
                const auto found = columnByName.find(attributeName);
                if (found != columnByName.end())
                    column = found->second;
                if (column < expected)
                    canonicalLine = false;
            }
            if (column < 0) {
                canonicalLine = false;
                if (attributeName == "RowState") {
                    int state = 0;
                    std::from_chars(valueStart, valueStart + valueLength, state);
                    if (state & (1 | 2 | 32))
                        keep = false;
                    continue;
                }
                fail(QStringLiteral("atributo %1 não corresponde a nenhum campo")
                         .arg(QString::fromUtf8(attributeName.data(), qsizetype(attributeName.size()))));
            }
            expected = column + 1;
            if (valueLength == 0) {
                canonicalLine = false;
                continue;
            }

            take(column, valueStart, valueLength, plain);
        }
        if (!keep)
            continue;
        const uint32_t id = data.rowsAllocated++;
        data.cells.insert(data.cells.end(), row.begin(), row.end());
        if (canonicalLine && m_p < m_end && *m_p == '\n')
            data.lines.push_back(ByteHeap::slice(chunk, size_t(lineStart - m_begin),
                                                 size_t(m_p + 1 - lineStart)));
        else
            data.lines.push_back(Cell());
        data.stored.push_back(id);
    }
}

// Files from this size on are read by two threads when the machine has two
// cores: the second half's rows are read beside the first's and appended.
constexpr size_t splitFromBytes = size_t(4) << 20;

bool twoCores()
{
    static const bool two = std::thread::hardware_concurrency() > 1;
    return two;
}

// Runs work on another thread. The future is invalid when no thread could
// be started; the caller then does the work itself.
template<typename Work>
auto onAnotherThread(Work &&work) -> std::future<decltype(work())>
{
    try {
        return std::async(std::launch::async, std::forward<Work>(work));
    } catch (const std::system_error &) {
        return {};
    }
}

// Whether a file's bytes are UTF-8, a large file checked in two halves at
// once; the halves meet before an ASCII byte, where a character starts.
bool isValidUtf8Halves(const char *data, size_t size)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    if (size < splitFromBytes || !twoCores())
        return isValidUtf8(bytes, size);
    size_t middle = size / 2;
    while (middle < size && bytes[middle] >= 0x80)
        ++middle;
    auto secondHalf = [=] { return isValidUtf8(bytes + middle, size - middle); };
    std::future<bool> second = onAnotherThread(secondHalf);
    const bool first = isValidUtf8(bytes, middle);
    return (second.valid() ? second.get() : secondHalf()) && first;
}

// Where the second half of the rows starts: a row at the start of a line
// past the middle (this codec writes a row a line). Null when there is none.
const char *Parser::splitPoint() const
{
    if (size_t(m_end - m_p) < splitFromBytes || !twoCores())
        return nullptr;
    const char *middle = m_p + (m_end - m_p) / 2;
    const char *found = static_cast<const char *>(
        memmem(middle, size_t(m_end - middle), "\n<ROW ", 6));
    return found ? found + 1 : nullptr;
}

// Appends the rows read by another parser of the same file; values it kept
// in chunks of its own (decoded or made canonical) move to data's heap.
void appendRows(TableData &data, const TableData &part, size_t sharedChunks)
{
    const uint32_t first = data.rowsAllocated;
    data.cells.append(part.cells);
    data.lines.append(part.lines);
    if (part.heap.chunkCount() > sharedChunks) {
        const size_t width = data.columns.size();
        for (uint32_t id = first; id < first + part.rowsAllocated; ++id) {
            Cell *cells = data.row(id);
            for (size_t c = 0; c < width; ++c)
                if (cells[c].len && cells[c].chunk >= sharedChunks)
                    cells[c] = data.heap.store(part.heap.bytes(cells[c]));
        }
    }
    data.stored.reserve(data.stored.size() + part.stored.size());
    for (uint32_t id : part.stored)
        data.stored.push_back(first + id);
    data.rowsAllocated += part.rowsAllocated;
}

void Parser::rows(TableData &data, int chunk)
{
    const char *split = data.columns.empty() ? nullptr : splitPoint();
    if (!split) {
        rowRun(data, chunk);
        return;
    }
    // The second half is read on another thread while this one reads the
    // first. Should the first half not end exactly where the second was
    // taken to start (a value holding a line break and "<ROW"), the first
    // reader goes on alone and the second half's work is dropped; its error
    // counts only once the first half ended where it began.
    Parser second(m_begin, size_t(m_end - m_begin), m_file);
    second.m_p = split;
    second.m_changeLog = m_changeLog;
    TableData part;
    part.columns = data.columns;
    part.heap = data.heap;  // the file's chunk; values of its own go to new chunks
    const size_t sharedChunks = data.heap.chunkCount();
    std::future<void> other = onAnotherThread([&] { second.rowRun(part, chunk); });
    if (!other.valid()) {
        rowRun(data, chunk);
        return;
    }
    m_stopAt = split;
    const bool atSplit = rowRun(data, chunk);
    m_stopAt = nullptr;
    if (!atSplit) {
        other.wait();
        return;
    }
    other.get();
    appendRows(data, part, sharedChunks);
    m_p = second.m_p;
}

TableData Parser::run(std::unique_ptr<char[]> buffer, size_t size)
{
    TableData data;
    const int chunk = data.heap.adopt(std::move(buffer), size);
    // XML has no NUL character, and the sort keys end each text with one.
    if (const void *nul = std::memchr(m_p, 0, size)) {
        m_p = static_cast<const char *>(nul);
        fail(QStringLiteral("caractere nulo no arquivo"));
    }
    if (at("\xEF\xBB\xBF"))
        m_p += 3;
    skipMisc();
    if (m_p >= m_end)
        fail(QStringLiteral("arquivo vazio"));
    if (!at("<DATAPACKET"))
        fail(QStringLiteral("não é um pacote de dados (DATAPACKET)"));
    m_p += 11;
    if (attributes(nullptr))
        fail(QStringLiteral("pacote de dados vazio"));
    skipMisc();
    if (!at("<METADATA"))
        fail(QStringLiteral("<METADATA> esperado"));
    m_p += 9;
    if (attributes(nullptr))
        fail(QStringLiteral("<FIELDS> esperado"));
    bool sawFields = false;
    for (;;) {
        skipMisc();
        if (at("</")) {
            endTag("METADATA");
            break;
        }
        if (at("<FIELDS")) {
            m_p += 7;
            sawFields = true;
            if (!attributes(nullptr))
                fields(data);
        } else if (at("<PARAMS")) {
            m_p += 7;
            params();
        } else if (at("<ROW")) {
            fail(QStringLiteral("linha antes da definição dos campos"));
        } else {
            fail(QStringLiteral("elemento inesperado em METADATA"));
        }
    }
    if (!sawFields)
        fail(QStringLiteral("<FIELDS> esperado"));
    skipMisc();
    if (!at("<ROWDATA"))
        fail(QStringLiteral("<ROWDATA> esperado"));
    m_p += 8;
    if (!attributes(nullptr))
        rows(data, chunk);
    endTag("DATAPACKET");
    skipMisc();
    if (m_p != m_end)
        fail(QStringLiteral("conteúdo após o fim do pacote de dados"));
    return data;
}

// ------------------------------------------------------------------ writer

struct EscapeTable
{
    bool special[256] = {};
    EscapeTable()
    {
        for (unsigned char c : {'&', '<', '>', '"', '\'', '\r', '\n', '\t'})
            special[c] = true;
    }
};

const EscapeTable escapes;

char *appendEscaped(char *out, std::string_view value)
{
    const char *s = value.data();
    const char *end = s + value.size();
    while (s < end) {
        const char *run = s;
        while (s < end && !escapes.special[static_cast<unsigned char>(*s)])
            ++s;
        std::memcpy(out, run, size_t(s - run));
        out += s - run;
        if (s == end)
            break;
        const char *entity = nullptr;
        switch (*s) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\'': entity = "&apos;"; break;
        case '\r': entity = "&#13;"; break;
        case '\n': entity = "&#10;"; break;
        default: entity = "&#9;"; break;
        }
        const size_t n = std::strlen(entity);
        std::memcpy(out, entity, n);
        out += n;
        ++s;
    }
    return out;
}

void appendEscaped(QByteArray &out, const QByteArray &value)
{
    const qsizetype at = out.size();
    out.resize(at + value.size() * 6);
    char *end = appendEscaped(out.data() + at, std::string_view(value.constData(), size_t(value.size())));
    out.resize(end - out.constData());
}

// ------------------------------------------------------------------ files

QString errnoText()
{
#ifdef Q_OS_WIN
    return qt_error_string(-1);
#else
    return QString::fromLocal8Bit(std::strerror(errno));
#endif
}

} // namespace

QString TableFile::describeKind(FieldKind kind, int size)
{
    switch (kind) {
    case FieldKind::Text: return QStringLiteral("texto(%1)").arg(size);
    case FieldKind::Float: return QStringLiteral("número");
    case FieldKind::Integer: return QStringLiteral("inteiro");
    case FieldKind::Date: return QStringLiteral("data");
    case FieldKind::DateTime: return QStringLiteral("data e hora");
    }
    return QString();
}

QString TableFile::describeColumn(const ColumnInfo &column)
{
    if (!column.otherType.isEmpty())
        return QString::fromUtf8(column.otherType);
    return describeKind(column.kind, column.size);
}

QString TableFile::resolve(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return path;
    const QDir dir = info.dir();
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries)
        if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return path;
}

TableData TableFile::read(const QString &path)
{
    const QString resolved = resolve(path);
    QFile file(resolved);
    if (!file.exists())
        throw EDatabaseError(QStringLiteral("Arquivo \"%1\" não encontrado.").arg(native(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Não foi possível ler o arquivo \"%1\": %2.")
                                 .arg(native(resolved), file.errorString()));
    const qint64 size = file.size();
    std::unique_ptr<char[]> buffer = parseBuffer(size_t(size));
    // Reads [from, to) of the file into the buffer; the reason of a failure.
    auto readRange = [&buffer](QFile &from, qint64 begin, qint64 end) {
        if (begin > 0 && !from.seek(begin))
            return from.errorString();
        for (qint64 done = begin; done < end;) {
            const qint64 n = from.read(buffer.get() + done, end - done);
            if (n <= 0)
                return n < 0 ? from.errorString() : QStringLiteral("o arquivo encolheu");
            done += n;
        }
        return QString();
    };
    // A large file is read in two halves at once, as it is parsed.
    const qint64 middle = size >= qint64(splitFromBytes) && twoCores() ? size / 2 : size;
    std::future<QString> secondHalf;
    if (middle < size)
        secondHalf = onAnotherThread([&] {
            QFile other(resolved);
            if (!other.open(QIODevice::ReadOnly))
                return other.errorString();
            return readRange(other, middle, size);
        });
    QString failed = readRange(file, 0, middle);
    if (middle < size) {
        const QString second = secondHalf.valid() ? secondHalf.get()
                               : failed.isEmpty() ? readRange(file, middle, size)
                                                  : QString();
        if (failed.isEmpty())
            failed = second;
    }
    if (!failed.isEmpty())
        throw EDatabaseError(QStringLiteral("Não foi possível ler o arquivo \"%1\": %2.")
                                 .arg(native(resolved), failed));
    if (!isValidUtf8Halves(buffer.get(), size_t(size))) {
        const QByteArray utf8 = windows1252ToUtf8(buffer.get(), size_t(size));
        return parse(utf8, resolved);
    }
    Parser parser(buffer.get(), size_t(size), resolved);
    return parser.run(std::move(buffer), size_t(size));
}

TableData TableFile::parse(QByteArray bytes, const QString &fileName)
{
    if (!isValidUtf8(reinterpret_cast<const unsigned char *>(bytes.constData()), size_t(bytes.size())))
        bytes = windows1252ToUtf8(bytes.constData(), size_t(bytes.size()));
    std::unique_ptr<char[]> buffer = parseBuffer(size_t(bytes.size()));
    std::memcpy(buffer.get(), bytes.constData(), size_t(bytes.size()));
    Parser parser(buffer.get(), size_t(bytes.size()), fileName);
    return parser.run(std::move(buffer), size_t(bytes.size()));
}

ContentSink::ContentSink(Drain drain, size_t capacity)
    : m_drain(std::move(drain)), m_buffer(std::max<size_t>(capacity, 64))
{
}

void ContentSink::drain()
{
    if (m_used)
        m_drain(m_buffer.data(), m_used);
    m_used = 0;
}

void ContentSink::append(const char *data, size_t size)
{
    if (size > m_buffer.size() - m_used) {
        drain();
        if (size >= m_buffer.size()) {
            m_drain(data, size);
            return;
        }
    }
    std::memcpy(m_buffer.data() + m_used, data, size);
    m_used += size;
}

char *ContentSink::room(size_t size)
{
    if (size > m_buffer.size() - m_used) {
        drain();
        if (size > m_buffer.size())
            m_buffer.resize(size);
    }
    return m_buffer.data() + m_used;
}

void ContentSink::finish()
{
    drain();
}

QByteArray TableFile::serialize(const TableData &data)
{
    QByteArray out;
    ContentSink sink([&](const char *bytes, size_t size) { out.append(bytes, qsizetype(size)); });
    serialize(data, sink, nullptr);
    sink.finish();
    return out;
}

void TableFile::serialize(const TableData &data, ContentSink &out, FreshLines *fresh)
{
    QByteArray head;
    head += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n";
    for (const ColumnInfo &column : data.columns) {
        head += "<FIELD";
        for (const auto &attribute : column.fieldAttributes) {
            head += ' ';
            head += attribute.first;
            head += "=\"";
            appendEscaped(head, attribute.second);
            head += '"';
        }
        head += "/>\n";
    }
    head += "</FIELDS><PARAMS/></METADATA><ROWDATA>\n";
    out.append(head.constData(), size_t(head.size()));

    const size_t columnCount = data.columns.size();
    std::vector<QByteArray> prefixes;  // ` NAME="` per column
    size_t prefixBytes = 0;
    for (const ColumnInfo &column : data.columns) {
        prefixes.push_back(" " + column.nameUtf8 + "=\"");
        prefixBytes += size_t(prefixes.back().size()) + 1;
    }
    const bool cached = data.lines.size() >= data.rowsAllocated;

    for (uint32_t id : data.stored) {
        if (cached && data.lines[id].len) {
            out.append(data.heap.bytes(data.lines[id]));
            continue;
        }
        const Cell *row = data.row(id);
        // The most a row can take: every byte escaped ("&quot;" is six).
        size_t most = 7 + prefixBytes;
        for (size_t c = 0; c < columnCount; ++c)
            most += size_t(row[c].len) * 6;
        char *const start = out.room(most);
        char *p = start;
        std::memcpy(p, "<ROW", 4);
        p += 4;
        for (size_t c = 0; c < columnCount; ++c) {
            if (!row[c].len)
                continue;
            const QByteArray &prefix = prefixes[c];
            std::memcpy(p, prefix.constData(), size_t(prefix.size()));
            p += prefix.size();
            p = appendEscaped(p, data.heap.bytes(row[c]));
            *p++ = '"';
        }
        std::memcpy(p, "/>\n", 3);
        p += 3;
        out.done(p);
        if (fresh) {
            fresh->bytes.append(start, size_t(p - start));
            fresh->rows.emplace_back(id, fresh->bytes.size());
        }
    }
    static const char tail[] = "</ROWDATA></DATAPACKET>\n";
    out.append(tail, sizeof tail - 1);
}

void TableFile::rememberLines(TableData &data, const FreshLines &fresh)
{
    if (fresh.rows.empty())
        return;
    if (data.lines.size() < data.rowsAllocated)
        data.lines.resize(data.rowsAllocated);
    size_t begin = 0;
    for (const auto &[id, end] : fresh.rows) {
        if (id < data.lines.size() && !data.lines[id].len && !data.heap.full())
            data.lines[id] = data.heap.store(std::string_view(fresh.bytes).substr(begin, end - begin));
        begin = end;
    }
}

void TableFile::write(const QString &path, const TableData &data)
{
    AtomicSave save;
    save.add(path, [&data](ContentSink &out) { serialize(data, out, nullptr); });
    save.commit();
}

void AtomicSave::add(const QString &path, QByteArray content)
{
    add(path, [content = std::move(content)](ContentSink &out) {
        out.append(content.constData(), size_t(content.size()));
    });
}

void AtomicSave::add(const QString &path, Producer producer)
{
    m_files.append({path, std::move(producer)});
}

namespace {

// The record of a set of files being saved together ("kiv-save.PID-N.set"):
//   KIV SAVE SET 1
//   TARGET<tab>TEMPORARY<tab>OLD          one line a file; OLD empty for a new file
//   END                                   the record is whole: renames may have begun
//   UNDO                                  a rename failed: the set is being put back
const QString recordHeader = QStringLiteral("KIV SAVE SET 1");
const QString recordEnd = QStringLiteral("END");
const QString recordUndo = QStringLiteral("UNDO");

struct Pending
{
    QString target;
    QString temporary;
    QString backup;  // a second name of the old file; empty when there was none
    int mode = -1;   // the old file's permissions; -1 when there was none
};

[[noreturn]] void saveFailed(const QString &path, const QString &why)
{
    throw EDatabaseError(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2.")
                             .arg(native(path), why));
}

#ifdef Q_OS_WIN
QString lastError() { return qt_error_string(int(GetLastError())); }
LPCWSTR wide(const QString &path)
{
    return reinterpret_cast<LPCWSTR>(path.utf16());
}
#endif

// A name beside target for a file of this save: ".NAME.PID-N.suffix". The
// start-up recovery removes every such leftover; no table file is ever
// named so.
QString sideName(const QString &target, const char *suffix)
{
    static int counter = 0;
    const QFileInfo info(target);
    return info.dir().filePath(QStringLiteral(".%1.%2-%3.%4")
                                   .arg(info.fileName())
                                   .arg(QCoreApplication::applicationPid())
                                   .arg(++counter)
                                   .arg(QLatin1String(suffix)));
}

// A failed write of a save's content, with its reason.
struct WriteFailed
{
    QString why;
};

// Writes the content producer makes to a new file named path and flushes it
// to disk; the new file gets the permissions of the file it will replace
// (mode -1: none). Returns the reason of a failure, after removing what was
// written; empty when the file is on disk. What the producer throws passes
// on, after the file is removed.
QString writeDurably(const QString &path, const AtomicSave::Producer &producer, int mode)
{
#ifdef Q_OS_WIN
    Q_UNUSED(mode);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return file.errorString();
    auto giveUp = [&](const QString &why) {
        file.close();
        file.remove();
        return why;
    };
    ContentSink sink([&](const char *data, size_t size) {
        if (file.write(data, qint64(size)) != qint64(size))
            throw WriteFailed{file.errorString()};
    });
    try {
        producer(sink);
        sink.finish();
    } catch (const WriteFailed &failed) {
        return giveUp(failed.why);
    } catch (...) {
        giveUp(QString());
        throw;
    }
    if (!file.flush() || !FlushFileBuffers(HANDLE(_get_osfhandle(file.handle()))))
        return giveUp(file.errorString());
    file.close();
    return QString();
#else
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          mode >= 0 ? mode_t(mode) : mode_t(0666));
    if (fd < 0)
        return errnoText();
    auto giveUp = [&](const QString &why) {
        ::close(fd);
        ::unlink(name.constData());
        return why;
    };
    off_t written = 0;
    [[maybe_unused]] off_t started = 0;
    ContentSink sink([&](const char *data, size_t left) {
        while (left > 0) {
            const ssize_t n = ::write(fd, data, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw WriteFailed{n < 0 ? errnoText() : QStringLiteral("disco cheio")};
            data += n;
            left -= size_t(n);
            written += n;
        }
#ifdef Q_OS_LINUX
        // Sets the disk to work on what is written while the rest is being
        // made, so that the final flush waits only for the last pieces.
        constexpr off_t startEvery = off_t(8) << 20;
        if (written - started >= startEvery) {
            ::sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE);
            started = written;
        }
#endif
    });
    try {
        producer(sink);
        sink.finish();
    } catch (const WriteFailed &failed) {
        return giveUp(failed.why);
    } catch (...) {
        giveUp(QString());
        throw;
    }
    // A new file gets what the umask allows; a replaced one keeps its mode.
    if ((mode >= 0 && ::fchmod(fd, mode_t(mode)) != 0) || ::fsync(fd) != 0)
        return giveUp(errnoText());
    if (::close(fd) != 0) {
        const QString why = errnoText();
        ::unlink(name.constData());
        return why;
    }
    return QString();
#endif
}

QString writeDurably(const QString &path, const QByteArray &content, int mode)
{
    return writeDurably(
        path, [&](ContentSink &out) { out.append(content.constData(), size_t(content.size())); },
        mode);
}

// The mode of an existing regular file; -1 when there is none. Throws when
// the file is marked read-only: such a file is not replaced behind the
// operator's back, whoever runs the program.
int checkReplaceable(const QString &target)
{
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(wide(QDir::toNativeSeparators(target)));
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)
        && (attributes & FILE_ATTRIBUTE_READONLY))
        saveFailed(target, QStringLiteral("o arquivo está marcado como somente leitura"));
    return -1;
#else
    struct stat existing;
    if (::stat(QFile::encodeName(target).constData(), &existing) != 0 || !S_ISREG(existing.st_mode))
        return -1;
    if (!(existing.st_mode & S_IWUSR))
        saveFailed(target, QStringLiteral("o arquivo está marcado como somente leitura"));
    return int(existing.st_mode & 07777);
#endif
}

// Renames without throwing; the reason of a failure in why.
bool moveOver(const QString &from, const QString &to, QString *why)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(wide(QDir::toNativeSeparators(from)), wide(QDir::toNativeSeparators(to)),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (why)
        *why = lastError();
    return false;
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (why)
        *why = errnoText();
    return false;
#endif
}

// Keeps the old file under a second name, so that a set whose later rename
// fails can put it back: a hard link where the file system has them,
// otherwise a durable copy. Returns the reason of a failure.
QString keepOld(const QString &target, const QString &backup, int mode)
{
#ifdef Q_OS_WIN
    if (CreateHardLinkW(wide(QDir::toNativeSeparators(backup)),
                        wide(QDir::toNativeSeparators(target)), nullptr))
        return QString();
#else
    if (::link(QFile::encodeName(target).constData(), QFile::encodeName(backup).constData()) == 0)
        return QString();
#endif
    QFile old(target);
    if (!old.open(QIODevice::ReadOnly))
        return old.errorString();
    return writeDurably(backup, old.readAll(), mode);
}

void syncDirectory(const QString &directory)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(directory);
#endif
}

void removeQuietly(const QString &path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

// The record of a set: which temporary replaces which file, and where the
// old file is kept, names relative to the record's directory.
QByteArray recordText(const QDir &dir, const QList<Pending> &pending)
{
    QString text = recordHeader + u'\n';
    for (const Pending &p : pending)
        text += dir.relativeFilePath(p.target) + u'\t' + dir.relativeFilePath(p.temporary) + u'\t'
                + (p.backup.isEmpty() ? QString() : dir.relativeFilePath(p.backup)) + u'\n';
    text += recordEnd + u'\n';
    return text.toUtf8();
}

bool appendDurably(const QString &path, const QByteArray &line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size()
        || !file.flush())
        return false;
#ifdef Q_OS_WIN
    return FlushFileBuffers(HANDLE(_get_osfhandle(file.handle())));
#else
    return ::fsync(file.handle()) == 0;
#endif
}

} // namespace

void AtomicSave::commit()
{
    QList<Pending> pending;
    QStringList directories;
    auto discard = [&] {
        for (const Pending &p : std::as_const(pending)) {
            removeQuietly(p.temporary);
            removeQuietly(p.backup);
        }
    };
    try {
        for (const auto &[path, producer] : std::as_const(m_files)) {
            const QString target = TableFile::resolve(path);
            const Pending p{target, sideName(target, "tmp"), QString(), checkReplaceable(target)};
            const QString why = writeDurably(p.temporary, producer, p.mode);
            if (!why.isEmpty())
                saveFailed(target, why);
            pending.append(p);
            const QString directory = QFileInfo(target).absolutePath();
            if (!directories.contains(directory))
                directories.append(directory);
        }
    } catch (...) {
        discard();
        throw;
    }

    if (pending.size() == 1) {
        QString why;
        if (!moveOver(pending[0].temporary, pending[0].target, &why)) {
            discard();
            saveFailed(pending[0].target, why);
        }
        syncDirectory(directories[0]);
        m_files.clear();
        return;
    }

    // Several files: the old ones get a second name (to undo with) and the
    // record of the set is made durable before the first rename, so that a
    // crash between two renames is finished at the next start instead of
    // leaving a mixed set.
    const QDir recordDir(directories[0]);
    const QString record = sideName(recordDir.filePath(QStringLiteral("kiv-save")), "set");
    try {
        for (Pending &p : pending) {
            if (!QFileInfo(p.target).isFile())
                continue;
            const QString backup = sideName(p.target, "old");
            const QString why = keepOld(p.target, backup, p.mode);
            if (!why.isEmpty())
                saveFailed(p.target, why);
            p.backup = backup;
        }
        const QString why = writeDurably(record, recordText(recordDir, pending), -1);
        if (!why.isEmpty())
            saveFailed(pending[0].target, why);
        for (const QString &directory : std::as_const(directories))
            syncDirectory(directory);
    } catch (...) {
        discard();
        throw;
    }

    for (qsizetype i = 0; i < pending.size(); ++i) {
        QString why;
        if (moveOver(pending[i].temporary, pending[i].target, &why))
            continue;
        // Put back what was already replaced. Should that fail too, every
        // file of the set stays where it is, with the record, for the
        // start-up recovery: it puts the set back once the record is marked,
        // and otherwise finishes it.
        const bool marked = appendDurably(record, (recordUndo + u'\n').toUtf8());
        bool undone = marked || i == 0;
        for (qsizetype j = i - 1; undone && j >= 0; --j) {
            const Pending &p = pending[j];
            if (p.backup.isEmpty())
                undone = QFile::remove(p.target);
            else
                undone = moveOver(p.backup, p.target, nullptr);
        }
        for (const QString &directory : std::as_const(directories))
            syncDirectory(directory);
        if (undone) {
            for (const Pending &p : std::as_const(pending)) {
                removeQuietly(p.temporary);
                removeQuietly(p.backup);
            }
            QFile::remove(record);
            syncDirectory(directories[0]);
        }
        saveFailed(pending[i].target, why);
    }
    for (const QString &directory : std::as_const(directories))
        syncDirectory(directory);
    QFile::remove(record);
    for (const Pending &p : std::as_const(pending))
        removeQuietly(p.backup);
    syncDirectory(directories[0]);
    m_files.clear();
}

QString TableFile::Recovery::message() const
{
    auto list = [](const QStringList &files) {
        if (files.size() == 1)
            return files.first();
        return files.mid(0, files.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" e ")
               + files.last();
    };
    QStringList parts;
    if (!completed.isEmpty())
        parts << QStringLiteral("A gravação interrompida de %1 foi concluída.").arg(list(completed));
    if (!restored.isEmpty())
        parts << QStringLiteral("A gravação interrompida de %1 foi desfeita.").arg(list(restored));
    return parts.join(u' ');
}

TableFile::Recovery TableFile::recover(const QString &directory)
{
    Recovery result;
    const QDir dir(directory);
    if (directory.isEmpty() || !dir.exists())
        return result;
    const QStringList records =
        dir.entryList({QStringLiteral(".kiv-save.*.set")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : records) {
        const QString record = dir.filePath(name);
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("Não foi possível ler o arquivo \"%1\": %2.")
                                     .arg(native(record), file.errorString()));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        file.close();
        const bool complete = lines.contains(recordEnd) && lines.value(0) == recordHeader;
        const bool undo = lines.contains(recordUndo);
        QList<Pending> entries;
        for (const QString &line : lines) {
            const QStringList parts = line.split(u'\t');
            if (parts.size() == 3 && !parts[0].isEmpty() && !parts[1].isEmpty())
                entries.append({dir.filePath(parts[0]), dir.filePath(parts[1]),
                                parts[2].isEmpty() ? QString() : dir.filePath(parts[2])});
        }
        // A record cut short was being written: no file was replaced yet.
        if (complete) {
            for (const Pending &p : std::as_const(entries)) {
                QString why;
                const QString shown = QFileInfo(p.target).fileName();
                if (!undo) {
                    // Every temporary was complete before the first rename:
                    // finish the set.
                    if (!QFileInfo::exists(p.temporary))
                        continue;
                    if (!moveOver(p.temporary, p.target, &why))
                        saveFailed(p.target, why);
                    result.completed << shown;
                } else if (!p.backup.isEmpty() && QFileInfo::exists(p.backup)) {
                    if (!moveOver(p.backup, p.target, &why))
                        saveFailed(p.target, why);
                    result.restored << shown;
                } else if (p.backup.isEmpty() && !QFileInfo::exists(p.temporary)
                           && QFileInfo::exists(p.target)) {
                    // A file the set created, already renamed in.
                    if (!QFile::remove(p.target))
                        saveFailed(p.target, QStringLiteral("não foi possível removê-lo"));
                    result.restored << shown;
                }
            }
            syncDirectory(directory);
        }
        for (const Pending &p : std::as_const(entries)) {
            removeQuietly(p.temporary);
            removeQuietly(p.backup);
        }
        QFile::remove(record);
        syncDirectory(directory);
    }

    // What killed saves left behind: ".NAME.PID-N.tmp" and ".NAME.PID-N.old".
    static const QRegularExpression leftover(QStringLiteral("^\\..+\\.\\d+-\\d+\\.(tmp|old)$"));
    const QStringList hidden = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : hidden)
        if (leftover.match(name).hasMatch() && QFile::remove(dir.filePath(name)))
            ++result.removedTemporaries;
    if (result.removedTemporaries)
        syncDirectory(directory);
    return result;
}

} // namespace kiv
