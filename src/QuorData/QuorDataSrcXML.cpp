#include "QuorData/QuorDataSrcXML.h"

#include "QuorData/QuorData.h"
#include "platform/Variant.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <cstring>
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

// The value of one token: the missing-value words and the empty token are 0;
// a number is a Double (the point is the separator, whatever the locale);
// anything else is 0 and registered as a text that is no number. "nan" and
// "inf" are no numbers.
TVariant TokenValue(const char* begin, const char* end, int row, TNotNumbers& notNumbers)
{
    if (begin == end || TokenIs(begin, end, "NA") || TokenIs(begin, end, "na") || TokenIs(begin, end, "missing"))
        return TVariant(int32_t(0));
    double v = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, v, std::chars_format::general);
    if (ec == std::errc() && ptr == end && std::isfinite(v))
        return TVariant(v);
    notNumbers.Add(QString::fromLatin1(begin, end - begin), row);
    return TVariant(int32_t(0));
}

// Reads the values of record `row` into the columns. Leading characters
// that are no token characters are skipped; between values only blanks are.
// Any other character ends the record's values: every later column reads 0.
void ScanRecord(const char* s, int row, std::vector<std::vector<TVariant>>& columns,
                std::vector<TNotNumbers>& notNumbers)
{
    const char* p = s;
    while (*p && !IsTokenChar(*p))
        ++p;
    for (size_t c = 0; c < columns.size(); ++c) {
        const char* begin = p;
        while (IsTokenChar(*p))
            ++p;
        const char* end = p;
        while (*p == ' ')
            ++p;
        columns[c][size_t(row)] = TokenValue(begin, end, row, notNumbers[c]);
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

// A value as the reader reads it back: the shortest text of up to 15
// significant digits, the exponent without a plus sign (1e+20 as 1e20: the
// plus sign is no token character). Rounding to 15 digits turns the
// largest doubles into "inf"; those keep their exact shortest text.
QString ValueText(double value)
{
    QString text = DoubleToText(value);
    if (std::isfinite(value) && !std::isfinite(text.toDouble()))
        text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    text.remove(QLatin1Char('+'));
    return text;
}

// Integers of the file: decimal, optional sign, blanks around allowed.
int StrToInt(const char* text)
{
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
}

bool TXMLFile::Open(const QString& FileName)
{
    Load(FileName);
    FVariableCount = CountVariables(FRoot);
    FRecordCount = CountRecords(FRoot);
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
    Value = Columns[size_t(Col)][size_t(Row)];
}

void TXMLDataSrc::SetCell(int Col, int Row, const TVariant& Value)
{
    QUOR_ASSERT(Col >= 0 && Col < FColCount, "SetCell: Col out of bounds");
    QUOR_ASSERT(Row >= 0 && Row < FRowCount, "SetCell: Row out of bounds");
    Columns[size_t(Col)][size_t(Row)] = Value;
}

void TXMLDataSrc::Load(const TXMLFile& XMLFile)
{
    const pugi::xml_node root = XMLFile.Root();
    SetColCount(TXMLFile::CountVariables(root));
    SetRowCount(TXMLFile::CountRecords(root));
    Columns.assign(size_t(FColCount), std::vector<TVariant>(size_t(FRowCount)));
    FNotNumbers.clear();
    FNotNumbers.resize(size_t(FColCount));
    for (int c = 0; c < FColCount; ++c)
        FNotNumbers[size_t(c)].Init(c);

    // From the last record to the first, so that each registry lists its
    // rows in that order.
    std::string joined;
    int r = FRowCount - 1;
    for (pugi::xml_node record = PreviousElement(Records(root).last_child()); record && r >= 0;
         record = PreviousElement(record.previous_sibling()), --r)
        ScanRecord(ElementText(record, joined), r, Columns, FNotNumbers);
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
    Columns.assign(size_t(Count), std::vector<TVariant>(1));
    FNotNumbers.clear();
    int i = 0;
    for (pugi::xml_node n = NextElement(Parent.first_child()); n && i < Count; n = NextElement(n.next_sibling()), ++i) {
        QString text = GetAttributeText(n, Name);
        if (text.isEmpty() && Fallback)
            text = GetAttributeText(n, Fallback);
        Columns[size_t(i)][0] = TVariant(text);
    }
}

void TXMLTextSrc::LoadNames(const TXMLFile& XMLFile)
{
    const pugi::xml_node root = XMLFile.Root();
    LoadTexts(Variables(root), TXMLFile::CountVariables(root), "name", nullptr);
}

void TXMLTextSrc::LoadLabels(const TXMLFile& XMLFile)
{
    const pugi::xml_node root = XMLFile.Root();
    LoadTexts(Records(root), TXMLFile::CountRecords(root), "label", "id");
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
    QString text(1, QLatin1Char(' '));
    for (int d = 0; d < DimCount; ++d) {
        text += ValueText(Data.GetValue(Point, d));
        text += QLatin1Char(' ');
    }
    return text;
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
    for (int j = 0; j < pointCount; ++j) {
        pugi::xml_node r = records.append_child("record");
        r.append_attribute("label") = Data.GetPointName(j).toUtf8().constData();
        r.append_attribute("color") = Data.GetPointColor(j);
        r.append_attribute("hide") = Data.IsPointHidden(j) ? "1" : "0";
        r.append_child(pugi::node_pcdata).set_value(RecordValuesText(Data, j, dimCount).toUtf8().constData());
    }

    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EXMLError(QStringLiteral("The data file \"%1\" cannot be written: %2").arg(FileName, file.errorString()));
    TSaveFileWriter writer(file);
    document.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    if (!writer.Ok() || !file.commit())
        throw EXMLError(QStringLiteral("The data file \"%1\" cannot be written: %2").arg(FileName, file.errorString()));
}
