#include "QuorData/QuorDataSrcXML.h"

#include "QuorData/QuorData.h"
#include "platform/Variant.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

// ---- the document -----------------------------------------------------------

pugi::xml_node Variables(pugi::xml_node root)
{
    return root.child("data").child("variables");
}

pugi::xml_node Records(pugi::xml_node root)
{
    return root.child("data").child("records");
}

// Only elements count as children: the parser keeps no comments or
// processing instructions, and a stray text between records is no record.
int ElementCount(pugi::xml_node parent)
{
    int n = 0;
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            ++n;
    return n;
}

pugi::xml_node NextElement(pugi::xml_node n)
{
    while (n && n.type() != pugi::node_element)
        n = n.next_sibling();
    return n;
}

pugi::xml_node PreviousElement(pugi::xml_node n)
{
    while (n && n.type() != pugi::node_element)
        n = n.previous_sibling();
    return n;
}

QString Utf8(const char* text)
{
    return QString::fromUtf8(text);
}

[[noreturn]] void ReadError(const QString& fileName, const QString& reason)
{
    throw EXMLError(QStringLiteral("The data file \"%1\" cannot be read: %2").arg(fileName, reason));
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
    out = negative ? -v : v;
    return true;
}

// Reads a plain decimal number at p (an optional minus, digits, an optional
// point and digits), the common case, exactly. Returns the end of the
// number, or null when the text there is no such number or has too many
// digits; the general conversion takes those.
const char* ReadPlainDecimal(const char* p, double& out)
{
    const bool negative = *p == '-';
    p += negative;
    uint64_t mantissa = 0;
    std::ptrdiff_t digits = 0;
    // Beyond 18 digits the integer may wrap; PlainDecimalValue refuses those.
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
void ScanRecord(const char* s, int row, int rowCount, std::vector<double>& cells,
                std::vector<TNotNumbers>& notNumbers)
{
    const char* p = s;
    while (*p && !IsTokenChar(*p))
        ++p;
    double* cell = cells.data() + row;
    for (size_t c = 0; c < notNumbers.size(); ++c, cell += rowCount) {
        const char* begin = p;
        double value = 0;
        const char* end = ReadPlainDecimal(begin, value);
        if (!end || IsTokenChar(*end)) {
            end = begin;
            while (IsTokenChar(*end))
                ++end;
            value = TokenValue(begin, end, row, notNumbers[c]);
        }
        p = end;
        while (*p == ' ')
            ++p;
        *cell = value;
    }
}

// ---- writing ----------------------------------------------------------------------

class TSaveFileWriter : public pugi::xml_writer {
public:
    explicit TSaveFileWriter(QSaveFile& file) : FFile(file) {}
    void write(const void* data, size_t size) override
    {
        if (FOk)
            FOk = FFile.write(static_cast<const char*>(data), qint64(size)) == qint64(size);
    }
    bool Ok() const { return FOk; }

private:
    QSaveFile& FFile;
    bool FOk = true;
};

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

} // namespace

// ---- TXMLFile -------------------------------------------------------------------------

TXMLFile::TXMLFile() = default;
TXMLFile::~TXMLFile() = default;

void TXMLFile::Load(const QString& FileName)
{
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        ReadError(FileName, file.errorString());
    const qint64 size = file.size();
    if (size < 0 || quint64(size) >= quint64(SIZE_MAX))
        ReadError(FileName, QStringLiteral("the file is too large"));
    // The parser works in place on a buffer it owns, which saves a copy of a
    // large file.
    void* buffer = pugi::get_memory_allocation_function()(size_t(size) + 1);
    if (!buffer)
        ReadError(FileName, QStringLiteral("out of memory"));
    const qint64 read = size > 0 ? file.read(static_cast<char*>(buffer), size) : 0;
    if (read != size) {
        pugi::get_memory_deallocation_function()(buffer);
        ReadError(FileName, file.errorString());
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
    FDocument = std::move(document);
    FRoot = root;
    // Counted once here, so that the grids need not walk the records again.
    FVariableCount = CountVariables(FRoot);
    FRecordCount = CountRecords(FRoot);
}

bool TXMLFile::Open(const QString& FileName)
{
    Load(FileName);
    return FVariableCount != 0 && FRecordCount != 0;
}

int TXMLFile::CountVariables(pugi::xml_node Root)
{
    return ElementCount(Variables(Root));
}

int TXMLFile::CountRecords(pugi::xml_node Root)
{
    return ElementCount(Records(Root));
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
    Columns.resize(Numbers.size());
    for (size_t i = 0; i < Numbers.size(); ++i)
        Columns[i] = std::isnan(Numbers[i]) ? TVariant(int32_t(0)) : TVariant(Numbers[i]);
    Numbers = std::vector<double>();
    FCompact = false;
}

void TXMLDataSrc::Load(const TXMLFile& XMLFile)
{
    SetColCount(XMLFile.VariableCount());
    SetRowCount(XMLFile.RecordCount());
    Columns = std::vector<TVariant>();
    Numbers.assign(size_t(FColCount) * size_t(FRowCount), 0.0);
    FCompact = true;
    FNotNumbers.clear();
    FNotNumbers.resize(size_t(FColCount));
    for (int c = 0; c < FColCount; ++c)
        FNotNumbers[size_t(c)].Init(c);

    // From the last record to the first, so that each registry lists its
    // rows in that order.
    std::string joined;
    int r = FRowCount - 1;
    for (pugi::xml_node record = PreviousElement(Records(XMLFile.Root()).last_child()); record && r >= 0;
         record = PreviousElement(record.previous_sibling()), --r)
        ScanRecord(ElementText(record, joined), r, FRowCount, Numbers, FNotNumbers);
}

// ---- TXMLTextSrc -------------------------------------------------------------------------

QString TXMLTextSrc::GetAttributeText(pugi::xml_node Node, const char* Name)
{
    const pugi::xml_attribute a = Node.attribute(Name);
    return a ? Utf8(a.value()) : QString();
}

void TXMLTextSrc::LoadTexts(pugi::xml_node Parent, int Count, const char* Name, const char* Fallback)
{
    SetRowCount(1);
    SetColCount(Count);
    Columns.assign(size_t(Count), TVariant());
    Numbers = std::vector<double>();
    FCompact = false;
    FNotNumbers.clear();
    int i = 0;
    for (pugi::xml_node n = NextElement(Parent.first_child()); n && i < Count; n = NextElement(n.next_sibling()), ++i)
        SetText(i, n, Name, Fallback);
}

// Decided on the attribute's bytes, so that each cell makes one string and
// copies none; the labels of a large file are a good part of reading it.
void TXMLTextSrc::SetText(int i, pugi::xml_node Node, const char* Name, const char* Fallback)
{
    const char* text = Node.attribute(Name).value();
    if (!*text && Fallback)
        text = Node.attribute(Fallback).value();
    Columns[size_t(i)] = TVariant(Utf8(text));
}

void TXMLTextSrc::LoadNames(const TXMLFile& XMLFile)
{
    LoadTexts(Variables(XMLFile.Root()), XMLFile.VariableCount(), "name", nullptr);
}

void TXMLTextSrc::LoadLabels(const TXMLFile& XMLFile)
{
    LoadTexts(Records(XMLFile.Root()), XMLFile.RecordCount(), "label", "id");
}

// ---- attributes, writing -----------------------------------------------------------------

void ReadXMLAttributes(const QString& FileName, TData& Data)
{
    TXMLFile file;
    file.Load(FileName);
    const pugi::xml_node root = file.Root();
    // Positions beyond the data object's are left alone: the file may have
    // changed since its grids were read.
    int i = 0;
    for (pugi::xml_node v = NextElement(Variables(root).first_child()); v && i < Data.DimCount();
         v = NextElement(v.next_sibling()), ++i)
        if (const pugi::xml_attribute hide = v.attribute("hide"))
            Data.SetDimHidden(i, std::strcmp(hide.value(), "0") != 0);
    int j = 0;
    for (pugi::xml_node r = NextElement(Records(root).first_child()); r && j < Data.PointCount();
         r = NextElement(r.next_sibling()), ++j) {
        if (const pugi::xml_attribute color = r.attribute("color"))
            Data.SetPointColor(j, StrToInt(color.value()));
        if (const pugi::xml_attribute hide = r.attribute("hide"))
            Data.SetPointHidden(j, std::strcmp(hide.value(), "0") != 0);
    }
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
        v.append_attribute("name") = Data.GetDimName(i).toUtf8().constData();
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
        r.append_attribute("label") = Data.GetPointName(j).toUtf8().constData();
        r.append_attribute("color") = Data.GetPointColor(j);
        r.append_attribute("hide") = Data.IsPointHidden(j) ? "1" : "0";
        values.clear();
        AppendRecordValues(Data, j, dimCount, values);
        r.append_child(pugi::node_pcdata).set_value(values.c_str());
    }

    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EXMLError(QStringLiteral("The data file \"%1\" cannot be written: %2").arg(FileName, file.errorString()));
    TSaveFileWriter writer(file);
    document.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    if (!writer.Ok() || !file.commit())
        throw EXMLError(QStringLiteral("The data file \"%1\" cannot be written: %2").arg(FileName, file.errorString()));
}
