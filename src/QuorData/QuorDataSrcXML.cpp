#include "QuorData/QuorDataSrcXML.h"

#include "QuorData/QuorData.h"
#include "platform/Parallel.h"
#include "platform/Variant.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

#include <pugixml.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <bit>
#include <limits>
#include <new>
#include <string>

namespace {

// ---- the document -----------------------------------------------------------

pugi::xml_node VariablesElement(pugi::xml_node root)
{
    return root.child("data").child("variables");
}

pugi::xml_node RecordsElement(pugi::xml_node root)
{
    return root.child("data").child("records");
}

// Only elements count as children: the parser keeps no comments or
// processing instructions, and a stray text between records is no record.
std::vector<pugi::xml_node_struct*> Elements(pugi::xml_node parent)
{
    std::vector<pugi::xml_node_struct*> elements;
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            elements.push_back(c.internal_object());
    return elements;
}

// ---- chunks of work ---------------------------------------------------------------

// How many threads Count items are worked on: Threads when given; otherwise
// one per 2048 items, up to four or as many as the machine has cores, so
// that small files start no threads.
int ThreadCount(int count, int threads)
{
    constexpr int kItemsPerThread = 2048;
    const int cores = UsableThreads(4);
    return threads > 0 ? std::min(threads, std::max(1, count)) : std::clamp(count / kItemsPerThread, 1, cores);
}

// Items are handed out in chunks of consecutive ones: small enough that a
// thread the machine keeps waiting holds up little, large enough that
// handing them out costs nothing.
constexpr int kChunkItems = 1024;

int ChunkCount(int count)
{
    return int((int64_t(count) + kChunkItems - 1) / kChunkItems);
}

// Runs Work(chunk, first, last) for every chunk of [0, Count) on up to
// Threads threads, as ParallelFor runs its indexes.
template <class F>
void ForEachChunk(int count, int threads, const F& work)
{
    ParallelFor(ChunkCount(count), threads, [&](int k) {
        work(k, k * kChunkItems, int(std::min(int64_t(count), int64_t(k + 1) * kChunkItems)));
    });
}

QString Utf8(const char* text)
{
    return QString::fromUtf8(text);
}

[[noreturn]] void ReadError(const QString& fileName, const QString& reason)
{
    throw EXMLError(QStringLiteral("The data file \"%1\" cannot be read: %2").arg(fileName, reason));
}

[[noreturn]] void SystemReadError(const QString& fileName, int error)
{
    ReadError(fileName, QString::fromLocal8Bit(std::strerror(error)));
}

// Opens the file for reading, refusing anything but a regular file: a named
// pipe would block the program for ever, a device may never end. The type is
// asked before opening, and asked again of the opened file in case the name
// was changed in between; the non-blocking open keeps that step from
// waiting on a pipe.
void OpenRegularFile(const QString& fileName, QFile& file)
{
    const QByteArray path = QFile::encodeName(fileName);
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        SystemReadError(fileName, errno);
    const auto refuseOther = [&](mode_t mode) {
        if (S_ISDIR(mode))
            ReadError(fileName, QStringLiteral("it is a folder, not a file"));
        if (!S_ISREG(mode))
            ReadError(fileName, QStringLiteral("it is not a regular file"));
    };
    refuseOther(status.st_mode);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        SystemReadError(fileName, errno);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = errno;
        ::close(fd);
        if (S_ISREG(status.st_mode))
            SystemReadError(fileName, error);
        refuseOther(status.st_mode);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ReadError(fileName, file.errorString());
    }
}

// Reads the bytes [From, To) of the file into the same places of Buffer.
void ReadRange(const QString& fileName, int fd, char* buffer, qint64 from, qint64 to)
{
    constexpr qint64 kMaxRead = qint64(1) << 30;
    while (from < to) {
        const ssize_t n = ::pread(fd, buffer + from, size_t(std::min(to - from, kMaxRead)), off_t(from));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            SystemReadError(fileName, errno);
        if (n == 0)
            ReadError(fileName, QStringLiteral("it was shortened while it was read"));
        from += n;
    }
}

// Reads the file's first Size bytes into Buffer. Copying a large file from
// the system's cache takes a good part of opening it, so its pieces are
// copied on several threads at once.
void ReadWhole(const QString& fileName, int fd, char* buffer, qint64 size)
{
    // Pieces of kChunkItems blocks each.
    constexpr qint64 kBlock = 1024;
    const qint64 blocks = (size + kBlock - 1) / kBlock;
    if (blocks > std::numeric_limits<int>::max()) {
        ReadRange(fileName, fd, buffer, 0, size);
        return;
    }
    ForEachChunk(int(blocks), ThreadCount(int(blocks), 0), [&](int, int first, int last) {
        ReadRange(fileName, fd, buffer, first * kBlock, std::min(size, last * kBlock));
    });
}

void CheckTableSize(const QString& fileName, int columns, int rows)
{
    if (qint64(columns) * qint64(rows) > MaxTableCells)
        ReadError(fileName, QStringLiteral("its table of %1 variables by %2 records is too large for memory")
                                .arg(columns)
                                .arg(rows));
}

[[noreturn]] void OutOfMemory(const QString& fileName, int columns, int rows)
{
    ReadError(fileName,
              QStringLiteral("not enough memory for its table of %1 variables by %2 records").arg(columns).arg(rows));
}

// Walks the element's descendants in document order without recursion, so
// that a deeply nested hostile file cannot exhaust the stack.
void AppendText(pugi::xml_node element, std::string& text)
{
    pugi::xml_node n = element.first_child();
    while (n) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
            text += n.value();
        } else if (n.type() == pugi::node_element && n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (!n.next_sibling()) {
            n = n.parent();
            if (n == element)
                return;
        }
        n = n.next_sibling();
    }
}

// The text content of a record: normally its one text child, read in place;
// text split by comments, CDATA sections or inner elements is joined.
const char* ElementText(pugi::xml_node element, std::string& joined)
{
    const pugi::xml_node first = element.first_child();
    if (!first)
        return "";
    if (!first.next_sibling() && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata))
        return first.value();
    joined.clear();
    AppendText(element, joined);
    return joined.c_str();
}

// ---- attributes ------------------------------------------------------------------

// Decided on the attribute's bytes, so that each cell makes one string and
// copies none; the labels of a large file are a good part of reading it.
TVariant TextOf(pugi::xml_node Node, const char* Name, const char* Fallback)
{
    const char* text = Node.attribute(Name).value();
    if (!*text && Fallback)
        text = Node.attribute(Fallback).value();
    return TVariant(Utf8(text));
}

TVariant RecordLabel(pugi::xml_node record)
{
    return TextOf(record, "label", "id");
}

// The attributes of an element lie in the file's text, a few hundred bytes
// from the next element's in a large file: asked for one by one they cost
// a wait for memory each, asked for ahead they arrive together.
constexpr int kPrefetchAhead = 16;

// The parser allocates an element's attributes as it reads them, so they
// usually lie right after the element.
void PrefetchElement(pugi::xml_node_struct* element)
{
    for (int line = 0; line < 4; ++line)
        __builtin_prefetch(reinterpret_cast<const char*>(element) + 64 * line);
}

void PrefetchAttributes(pugi::xml_node_struct* element)
{
    if (const pugi::xml_attribute first = pugi::xml_node(element).first_attribute())
        __builtin_prefetch(first.name());
}

// ---- the record scanner -------------------------------------------------------

struct TTokenChars {
    bool table[256] = {};
    constexpr TTokenChars()
    {
        for (int c = '0'; c <= '9'; ++c)
            table[c] = true;
        for (int c = 'A'; c <= 'Z'; ++c)
            table[c] = true;
        for (int c = 'a'; c <= 'z'; ++c)
            table[c] = true;
        table[int('.')] = true;
        table[int('-')] = true;
    }
};
constexpr TTokenChars TokenChars;

inline bool IsTokenChar(char c)
{
    return TokenChars.table[static_cast<unsigned char>(c)];
}

bool TokenIs(const char* begin, const char* end, const char* word)
{
    const size_t n = std::strlen(word);
    return size_t(end - begin) == n && std::memcmp(begin, word, n) == 0;
}

constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// The value of a plain decimal number: up to 2^53 the digits form an exact
// integer and the power of ten is exact, so one division rounds correctly.
bool PlainDecimalValue(bool negative, uint64_t mantissa, std::ptrdiff_t digits, std::ptrdiff_t decimals,
                       double& out)
{
    if (digits == 0 || digits > 18 || mantissa > (uint64_t(1) << 53) || decimals > 22)
        return false;
    const double v = double(mantissa) / PowersOfTen[decimals];
    // The sign set without a branch: signs of random data defeat prediction.
    out = std::bit_cast<double>(std::bit_cast<uint64_t>(v) | uint64_t(negative) << 63);
    return true;
}

// Digits read a word at a time: eight characters of the text as one
// little-endian word, the first character in the lowest byte. Fixed steps
// per word instead of a branch per digit, whose exits random numbers keep
// mispredicting.
uint64_t LoadWord(const char* p)
{
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// How many of the word's characters, from the first, are digits.
int LeadingDigits(uint64_t word)
{
    // A digit becomes 0 to 9; on the low seven bits of each byte, adding
    // 0x76 carries into the top bit exactly from 10 on, and never into the
    // next byte.
    const uint64_t x = word ^ 0x3030303030303030u;
    const uint64_t notDigit = (((x & 0x7F7F7F7F7F7F7F7Fu) + 0x7676767676767676u) | x) & 0x8080808080808080u;
    return notDigit ? std::countr_zero(notDigit) / 8 : 8;
}

// The value of the word's first Count characters, which are digits.
uint64_t DigitsValue(uint64_t word, int count)
{
    if (count == 0)
        return 0;
    // Shifting the digits to the top makes the places before them zeros;
    // what a character after them borrows is shifted out.
    uint64_t v = (word - 0x3030303030303030u) << (8 * (8 - count));
    v = v * 10 + (v >> 8); // pairs of digits
    return ((v & 0x000000FF000000FFu) * (100 + (uint64_t(1000000) << 32)) +
            ((v >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t(10000) << 32))) >>
           32;
}

constexpr uint64_t IntegerPowersOfTen[] = {1,         10,         100,         1000,         10000,        100000,
                                           1000000,   10000000,   100000000};

// Reads a plain decimal number at p (an optional minus, digits, an optional
// point and digits), the common case, exactly; limit is the end of the
// text. Returns the end of the number, or null when the text there is no
// such number or has too many digits; the general conversion takes those.
const char* ReadPlainDecimal(const char* p, const char* limit, double& out)
{
    const bool negative = *p == '-';
    p += negative;
    // Up to seven digits, a point and up to fifteen decimals, in words that
    // lie inside the text.
    if constexpr (std::endian::native == std::endian::little) {
        if (limit - p >= 24) {
            const uint64_t head = LoadWord(p);
            const int digits = LeadingDigits(head);
            if (digits < 8) {
                uint64_t mantissa = DigitsValue(head, digits);
                const char* q = p + digits;
                if (*q != '.')
                    return PlainDecimalValue(negative, mantissa, digits, 0, out) ? q : nullptr;
                ++q;
                const uint64_t first = LoadWord(q);
                const uint64_t second = LoadWord(q + 8);
                const int firstDigits = LeadingDigits(first);
                const int secondDigits = firstDigits == 8 ? LeadingDigits(second) : 0;
                if (secondDigits < 8) {
                    // Beyond 18 digits the mantissa may wrap; PlainDecimalValue
                    // refuses those.
                    mantissa = mantissa * IntegerPowersOfTen[firstDigits] + DigitsValue(first, firstDigits);
                    mantissa = mantissa * IntegerPowersOfTen[secondDigits] + DigitsValue(second, secondDigits);
                    const int decimals = firstDigits + secondDigits;
                    return PlainDecimalValue(negative, mantissa, digits + decimals, decimals, out) ? q + decimals
                                                                                                   : nullptr;
                }
            }
        }
    }
    // Digit by digit: longer runs, and numbers near the end of the text.
    uint64_t mantissa = 0;
    std::ptrdiff_t digits = 0;
    for (; unsigned(*p - '0') < 10; ++p, ++digits)
        mantissa = mantissa * 10 + unsigned(*p - '0');
    std::ptrdiff_t decimals = 0;
    if (*p == '.')
        for (++p; unsigned(*p - '0') < 10; ++p, ++decimals)
            mantissa = mantissa * 10 + unsigned(*p - '0');
    return PlainDecimalValue(negative, mantissa, digits + decimals, decimals, out) ? p : nullptr;
}

// A compact cell that holds the integer 0.
constexpr double IntegerZero = std::numeric_limits<double>::quiet_NaN();

// The value of one token as a compact cell: the missing-value words and the
// empty token are the integer 0; a number is a Double (the point is the
// separator, whatever the locale); anything else is the integer 0 and
// registered as a text that is no number. "nan" and "inf" are no numbers.
double TokenValue(const char* begin, const char* end, int row, TNotNumbers& notNumbers)
{
    double v = 0;
    if (begin == end || TokenIs(begin, end, "NA") || TokenIs(begin, end, "na") || TokenIs(begin, end, "missing"))
        return IntegerZero;
    const auto [ptr, ec] = std::from_chars(begin, end, v, std::chars_format::general);
    if (ec == std::errc() && ptr == end && std::isfinite(v))
        return v;
    notNumbers.Add(QString::fromLatin1(begin, end - begin), row);
    return IntegerZero;
}

// Reads the values of record `row` into cells stored column after column.
// Leading characters that are no token characters are skipped; between
// values only blanks are. Any other character ends the record's values:
// every later column reads 0.
// Registry(c) is the registry of column c's texts that are no numbers.
template <class R>
void ScanRecord(const char* s, int row, int rowCount, int columns, double* cells, const R& Registry)
{
    const char* const limit = s + std::strlen(s);
    const char* p = s;
    while (*p && !IsTokenChar(*p))
        ++p;
    double* cell = cells + row;
    for (int c = 0; c < columns; ++c, cell += rowCount) {
        const char* begin = p;
        double value = 0;
        const char* end = ReadPlainDecimal(begin, limit, value);
        if (!end || IsTokenChar(*end)) {
            end = begin;
            while (IsTokenChar(*end))
                ++end;
            value = TokenValue(begin, end, row, Registry(c));
        }
        p = end;
        while (*p == ' ')
            ++p;
        *cell = value;
    }
}

// Scans the records in chunks of consecutive rows on several threads,
// each chunk with registries of texts that are no numbers of its own, made
// when it first needs them. Each chunk runs from its last record to its
// first, and the registries are joined from the last chunk to the first:
// values, registration order and indices are exactly those of one scan
// from the last record to the first. The records' labels are read in the
// same pass, while each record is at hand.
void ScanRecords(const std::vector<pugi::xml_node_struct*>& records, int threads, double* cells,
                 std::vector<TNotNumbers>& notNumbers, TVariant* labels)
{
    const int rows = int(records.size());
    const int columns = int(notNumbers.size());
    // Texts made of several pieces are joined in `joined`, which holds each
    // only while its record is scanned.
    const auto scan = [&](int first, int last, const auto& registry) {
        std::string joined;
        for (int r = last - 1; r >= first; --r) {
            if (r - 2 * kPrefetchAhead >= first)
                PrefetchElement(records[size_t(r - 2 * kPrefetchAhead)]);
            if (r - kPrefetchAhead >= first)
                PrefetchAttributes(records[size_t(r - kPrefetchAhead)]);
            const pugi::xml_node record(records[size_t(r)]);
            labels[r] = RecordLabel(record);
            ScanRecord(ElementText(record, joined), r, rows, columns, cells, registry);
        }
    };
    const int threadCount = ThreadCount(rows, threads);
    if (threadCount == 1) {
        scan(0, rows, [&](int c) -> TNotNumbers& { return notNumbers[size_t(c)]; });
        return;
    }
    std::vector<std::vector<TNotNumbers>> registries(static_cast<size_t>(ChunkCount(rows)));
    ForEachChunk(rows, threadCount, [&](int k, int first, int last) {
        std::vector<TNotNumbers>& chunk = registries[size_t(k)];
        scan(first, last, [&](int c) -> TNotNumbers& {
            if (chunk.empty()) {
                chunk.resize(size_t(columns));
                for (int i = 0; i < columns; ++i)
                    chunk[size_t(i)].Init(i);
            }
            return chunk[size_t(c)];
        });
    });
    for (auto chunk = registries.rbegin(); chunk != registries.rend(); ++chunk)
        for (size_t c = 0; c < chunk->size(); ++c)
            notNumbers[c].Append((*chunk)[c]);
}

// ---- writing ----------------------------------------------------------------------

// Stops at the first failed write. The file's reason for it is asked only
// after a flush: a failed buffered write reports "Unknown error", and the
// flush that tries the buffer again reports what the system said.
class TSaveFileWriter : public pugi::xml_writer {
public:
    explicit TSaveFileWriter(QSaveFile& file) : FFile(file) {}
    void write(const void* data, size_t size) override
    {
        if (FOk)
            FOk = FFile.write(static_cast<const char*>(data), qint64(size)) == qint64(size);
    }
    // Writes out what the file still buffers; the reason of a failure, empty
    // when all went well.
    QString Finish()
    {
        const bool flushed = FFile.flush();
        return FOk && flushed ? QString() : FFile.errorString();
    }

private:
    QSaveFile& FFile;
    bool FOk = true;
};

[[noreturn]] void WriteError(const QString& fileName, const QString& reason)
{
    throw EXMLError(QStringLiteral("The data file \"%1\" cannot be written: %2").arg(fileName, reason));
}

bool IsXmlChar(char16_t u)
{
    return u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u < 0xD800) || (u > 0xDFFF && u < 0xFFFE);
}

// A name as XML 1.0 can hold it, in UTF-8. The characters it cannot hold
// (the control characters but tab, line feed and carriage return, U+0000
// among them, U+FFFE, U+FFFF and surrogates that are not part of a pair)
// become U+FFFD, the replacement character, so that the file stays
// readable and no name is cut short.
QByteArray XmlText(const QString& text)
{
    const auto clean = [](const QString& t, qsizetype i) {
        const char16_t u = t[i].unicode();
        if (QChar::isHighSurrogate(u))
            return i + 1 < t.size() && t[i + 1].isLowSurrogate() ? 2 : 0;
        return IsXmlChar(u) ? 1 : 0;
    };
    qsizetype i = 0;
    for (qsizetype n; i < text.size() && (n = clean(text, i)) > 0; i += n) {
    }
    if (i == text.size())
        return text.toUtf8();
    QString cleaned = text.left(i);
    while (i < text.size()) {
        const qsizetype n = clean(text, i);
        if (n == 0) {
            cleaned += QChar(QChar::ReplacementCharacter);
            ++i;
        } else {
            cleaned += text.mid(i, n);
            i += n;
        }
    }
    return cleaned.toUtf8();
}

void AppendRecordValues(const TData& data, int point, int dimCount, std::string& out)
{
    out += ' ';
    for (int d = 0; d < dimCount; ++d) {
        AppendDoubleText(data.GetValue(point, d), out);
        out += ' ';
    }
}

// Integers of the file: decimal, optional sign, blanks around allowed.
int StrToInt(const char* text)
{
    // Plain digits, the usual case, without making a string first.
    int plain = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, plain);
    if (ec == std::errc() && ptr == end && ptr != text)
        return plain;
    bool ok = false;
    const int v = Utf8(text).trimmed().toInt(&ok, 10);
    if (!ok)
        throw EVariantError(QStringLiteral("'%1' is not a valid integer value").arg(Utf8(text)));
    return v;
}

// The attribute Name (or Fallback) of each element, in chunks on up to
// Threads threads. Read aside, as the values are, so that a failure leaves
// the grid as it was.
std::vector<TVariant> ReadTexts(const TXMLFile& XMLFile, const std::vector<pugi::xml_node_struct*>& Nodes,
                                int Threads, const char* Name, const char* Fallback)
{
    const int count = int(Nodes.size());
    std::vector<TVariant> texts;
    try {
        texts.resize(size_t(count));
        ForEachChunk(count, ThreadCount(count, Threads), [&](int, int first, int last) {
            for (int i = first; i < last; ++i) {
                if (i + 2 * kPrefetchAhead < last)
                    PrefetchElement(Nodes[size_t(i + 2 * kPrefetchAhead)]);
                if (i + kPrefetchAhead < last)
                    PrefetchAttributes(Nodes[size_t(i + kPrefetchAhead)]);
                texts[size_t(i)] = TextOf(pugi::xml_node(Nodes[size_t(i)]), Name, Fallback);
            }
        });
    } catch (const std::bad_alloc&) {
        OutOfMemory(XMLFile.FileName(), count, 1);
    }
    return texts;
}

} // namespace

// ---- TXMLFile -------------------------------------------------------------------------

TXMLFile::TXMLFile() = default;
TXMLFile::~TXMLFile() = default;

void TXMLFile::Load(const QString& FileName)
{
    QFile file;
    OpenRegularFile(FileName, file);
    const qint64 size = file.size();
    if (size < 0 || quint64(size) >= quint64(SIZE_MAX))
        ReadError(FileName, QStringLiteral("the file is too large"));
    // The parser works in place on a buffer it owns, which saves a copy of a
    // large file.
    void* buffer = pugi::get_memory_allocation_function()(size_t(size) + 1);
    if (!buffer)
        ReadError(FileName, QStringLiteral("out of memory"));
    try {
        ReadWhole(FileName, file.handle(), static_cast<char*>(buffer), size);
    } catch (...) {
        pugi::get_memory_deallocation_function()(buffer);
        throw;
    }
    // Default parsing: entities other than the five predefined ones are never
    // expanded and nothing outside the file is fetched; the document type is
    // skipped.
    auto document = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result =
        document->load_buffer_inplace_own(buffer, size_t(size), pugi::parse_default, pugi::encoding_auto);
    if (!result)
        ReadError(FileName, QStringLiteral("%1 at offset %2").arg(Utf8(result.description())).arg(result.offset));
    const pugi::xml_node root = document->document_element();
    if (!root)
        ReadError(FileName, QStringLiteral("no document element"));
    std::vector<pugi::xml_node_struct*> variables, records;
    try {
        variables = Elements(VariablesElement(root));
        records = Elements(RecordsElement(root));
    } catch (const std::bad_alloc&) {
        ReadError(FileName, QStringLiteral("out of memory"));
    }
    FDocument = std::move(document);
    FFileName = FileName;
    FVariables = std::move(variables);
    FRecords = std::move(records);
    FLabels = {};
}

bool TXMLFile::Open(const QString& FileName)
{
    Load(FileName);
    return !FVariables.empty() && !FRecords.empty();
}

// ---- TXMLDataSrc -------------------------------------------------------------------------

void TXMLDataSrc::GetCell(int Col, int Row, TVariant& Value)
{
    QUOR_ASSERT(Col >= 0 && Col < FColCount, "GetCell: Col out of bounds");
    QUOR_ASSERT(Row >= 0 && Row < FRowCount, "GetCell: Row out of bounds");
    const size_t i = size_t(Col) * size_t(FRowCount) + size_t(Row);
    if (!FCompact) {
        Value = Columns[i];
        return;
    }
    const double v = Numbers[i];
    Value = std::isnan(v) ? TVariant(int32_t(0)) : TVariant(v);
}

void TXMLDataSrc::SetCell(int Col, int Row, const TVariant& Value)
{
    QUOR_ASSERT(Col >= 0 && Col < FColCount, "SetCell: Col out of bounds");
    QUOR_ASSERT(Row >= 0 && Row < FRowCount, "SetCell: Row out of bounds");
    const size_t i = size_t(Col) * size_t(FRowCount) + size_t(Row);
    if (FCompact) {
        double v = 0;
        if (Value.type() == TVariant::Type::Double && Value.tryToDouble(v) && !std::isnan(v)) {
            Numbers[i] = v;
            return;
        }
        MakeGeneral();
    }
    Columns[i] = Value;
}

void TXMLDataSrc::MakeGeneral()
{
    const size_t n = size_t(FColCount) * size_t(FRowCount);
    Columns.resize(n);
    for (size_t i = 0; i < n; ++i)
        Columns[i] = std::isnan(Numbers[i]) ? TVariant(int32_t(0)) : TVariant(Numbers[i]);
    Numbers.reset();
    FCompact = false;
}

void TXMLDataSrc::Load(const TXMLFile& XMLFile, int Threads)
{
    const int columns = XMLFile.VariableCount();
    const int rows = XMLFile.RecordCount();
    CheckTableSize(XMLFile.FileName(), columns, rows);
    // The new table is made aside and takes the grid's place only when it is
    // complete, so that a failure leaves the grid as it was.
    std::unique_ptr<double[]> numbers;
    std::vector<TNotNumbers> notNumbers;
    std::vector<TVariant> labels;
    try {
        numbers.reset(new double[size_t(columns) * size_t(rows)]);
        notNumbers.resize(size_t(columns));
        for (int c = 0; c < columns; ++c)
            notNumbers[size_t(c)].Init(c);
        labels.resize(size_t(rows));
        ScanRecords(XMLFile.Records(), Threads, numbers.get(), notNumbers, labels.data());
    } catch (const std::bad_alloc&) {
        OutOfMemory(XMLFile.FileName(), columns, rows);
    }
    XMLFile.FLabels = std::move(labels);
    SetColCount(columns);
    SetRowCount(rows);
    Columns = std::vector<TVariant>();
    Numbers = std::move(numbers);
    FNotNumbers = std::move(notNumbers);
    FCompact = true;
}

// ---- TXMLTextSrc -------------------------------------------------------------------------

void TXMLTextSrc::SetTexts(std::vector<TVariant> Texts)
{
    SetRowCount(1);
    SetColCount(int(Texts.size()));
    Columns = std::move(Texts);
    Numbers.reset();
    FCompact = false;
    FNotNumbers.clear();
}

void TXMLTextSrc::LoadNames(const TXMLFile& XMLFile)
{
    SetTexts(ReadTexts(XMLFile, XMLFile.Variables(), 1, "name", nullptr));
}

void TXMLTextSrc::LoadLabels(const TXMLFile& XMLFile, int Threads)
{
    if (XMLFile.FLabels.size() == XMLFile.Records().size()) {
        SetTexts(std::move(XMLFile.FLabels));
        XMLFile.FLabels = {};
        return;
    }
    SetTexts(ReadTexts(XMLFile, XMLFile.Records(), Threads, "label", "id"));
}

// ---- attributes, writing -----------------------------------------------------------------

void ReadXMLAttributes(const QString& FileName, TData& Data)
{
    TXMLFile file;
    file.Load(FileName);
    // Positions beyond the data object's are left alone: the file may have
    // changed since its grids were read.
    const int dims = std::min(file.VariableCount(), Data.DimCount());
    for (int i = 0; i < dims; ++i)
        if (const pugi::xml_attribute hide = pugi::xml_node(file.Variables()[size_t(i)]).attribute("hide"))
            Data.SetDimHidden(i, std::strcmp(hide.value(), "0") != 0);
    const int points = std::min(file.RecordCount(), Data.PointCount());
    for (int j = 0; j < points; ++j) {
        const pugi::xml_node r(file.Records()[size_t(j)]);
        if (const pugi::xml_attribute color = r.attribute("color"))
            Data.SetPointColor(j, StrToInt(color.value()));
        if (const pugi::xml_attribute hide = r.attribute("hide"))
            Data.SetPointHidden(j, std::strcmp(hide.value(), "0") != 0);
    }
}

void CheckXMLAttributes(const TXMLFile& File)
{
    for (int j = 0; j < File.RecordCount(); ++j)
        if (const pugi::xml_attribute color = pugi::xml_node(File.Records()[size_t(j)]).attribute("color"))
            StrToInt(color.value());
}

QString RecordValuesText(const TData& Data, int Point, int DimCount)
{
    std::string text;
    AppendRecordValues(Data, Point, DimCount, text);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void WriteXMLFile(QString FileName, const TData& Data)
{
    if (!FileName.endsWith(QLatin1String("xml"), Qt::CaseSensitive))
        FileName += QLatin1String(".xml");

    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    pugi::xml_node data = document.append_child("QuorbelData").append_child("data");

    const int dimCount = Data.DimCount();
    pugi::xml_node variables = data.append_child("variables");
    variables.append_attribute("count") = dimCount;
    for (int i = 0; i < dimCount; ++i) {
        pugi::xml_node v = variables.append_child("realvariable");
        v.append_attribute("name") = XmlText(Data.GetDimName(i)).constData();
        v.append_attribute("hide") = Data.IsDimHidden(i) ? "1" : "0";
    }

    const int pointCount = Data.PointCount();
    pugi::xml_node records = data.append_child("records");
    records.append_attribute("count") = pointCount;
    records.append_attribute("color") = "2";
    records.append_attribute("missingValue") = "NA";
    std::string values;
    for (int j = 0; j < pointCount; ++j) {
        pugi::xml_node r = records.append_child("record");
        r.append_attribute("label") = XmlText(Data.GetPointName(j)).constData();
        r.append_attribute("color") = Data.GetPointColor(j);
        r.append_attribute("hide") = Data.IsPointHidden(j) ? "1" : "0";
        values.clear();
        AppendRecordValues(Data, j, dimCount, values);
        r.append_child(pugi::node_pcdata).set_value(values.c_str());
    }

    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly))
        WriteError(FileName, file.errorString());
    TSaveFileWriter writer(file);
    document.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    // On failure the new file is dropped and a former one stays untouched.
    const QString error = writer.Finish();
    if (!error.isEmpty()) {
        file.cancelWriting();
        WriteError(FileName, error);
    }
    if (!file.commit())
        WriteError(FileName, file.errorString());
}
