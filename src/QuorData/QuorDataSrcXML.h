#pragma once

#include "QuorData/QuorDataSrc.h"
#include "QuorData/ValueCollections.h"
#include "platform/Exceptions.h"
#include "platform/Object.h"

#include <QString>

#include <memory>
#include <vector>

class TData;
namespace pugi {
class xml_document;
struct xml_node_struct;
}

// The most cells a value grid may hold: 2^28 numbers take 2 GiB, far more
// than the plots can show. A small hostile file, or a whole sheet handed
// over from a spreadsheet, can imply a table of billions of empty cells; it
// is refused before anything is allocated.
constexpr qint64 MaxTableCells = qint64(1) << 28;

// A data file that cannot be read, parsed or written; the message names the
// file and the reason.
QUORBEL_DECLARE_EXCEPTION(EXMLError, Exception)

// An opened data file: root element "data" with "variables" (one child per
// dimension) and "records" (one child per data item). Any root name is
// accepted; the children are counted, the "count" attributes are not read.
class TXMLFile : public TObject {
public:
    TXMLFile();
    ~TXMLFile() override;

    // Loads and parses the file and counts its variables and records;
    // EXMLError when it cannot, or when the name is no regular file (a pipe,
    // a folder, a device). The former document stays when loading fails.
    void Load(const QString& FileName);
    // Load; True when the file holds variables and records.
    bool Open(const QString& FileName);
    // The parsed document, for the grids that read it; null before a load.
    const pugi::xml_document* Document() const { return FDocument.get(); }
    // The name the document was loaded from, for messages.
    const QString& FileName() const { return FFileName; }
    int VariableCount() const { return int(FVariables.size()); }
    int RecordCount() const { return int(FRecords.size()); }
    // The variable and record elements in file order, found in one walk at
    // loading, so that the grids can share the records out among threads.
    const std::vector<pugi::xml_node_struct*>& Variables() const { return FVariables; }
    const std::vector<pugi::xml_node_struct*>& Records() const { return FRecords; }

private:
    friend class TXMLDataSrc;
    friend class TXMLTextSrc;

    std::unique_ptr<pugi::xml_document> FDocument;
    std::vector<pugi::xml_node_struct*> FVariables;
    std::vector<pugi::xml_node_struct*> FRecords;
    QString FFileName;
    // The record labels, read by the value grid's pass over the records
    // while each record is at hand, until the label grid takes them: one
    // pass over a large file instead of two. Empty when none are kept.
    mutable std::vector<TVariant> FLabels;
};

// The value grid of a data file: one column per variable, one row per
// record. Texts in value places that are no numbers read as 0 and are
// registered per column.
class TXMLDataSrc : public TDataSrc {
public:
    void GetCell(int Col, int Row, TVariant& Value) override;
    void SetCell(int Col, int Row, const TVariant& Value) override;
    bool ReadsFromAnyThread() const override { return true; }
    // Reads every record's values, and the labels for a label grid to take
    // from the file; the file can be freed afterwards. A table
    // too large for memory is an EXMLError, and the grid keeps what it held.
    // Large files are converted on up to Threads threads (0: up to four, as
    // the machine has cores), with the result of one.
    virtual void Load(const TXMLFile& XMLFile, int Threads = 0);

    const TNotNumbers& NotNumbers(int Column) const { return FNotNumbers.at(size_t(Column)); }

protected:
    // The cells column after column: cell (c, r) at c * RowCount + r, in one
    // block rather than a block per column, which a one-row grid of many
    // names would make costly. A value grid keeps its cells as doubles, a
    // quarter of the memory of general cells, with a NaN (never a value of
    // the file) standing for the integer 0; the first cell set to anything
    // else turns it into general cells. Text grids hold general cells.
    // The doubles are left unset when made: every cell is written by the
    // reading threads, which also take the first touch of the memory.
    std::vector<TVariant> Columns;
    std::unique_ptr<double[]> Numbers;
    bool FCompact = false;
    std::vector<TNotNumbers> FNotNumbers; // one per column

private:
    void MakeGeneral();
};

// A one-row grid of texts: the variable names or the record labels.
class TXMLTextSrc : public TXMLDataSrc {
public:
    // Cell i: the "name" of variable i.
    void LoadNames(const TXMLFile& XMLFile);
    // Cell i: the "label" of record i, or its "id" when it has no label;
    // taken from the file when a value grid has read them, otherwise many
    // labels are made on up to Threads threads, as the values are.
    void LoadLabels(const TXMLFile& XMLFile, int Threads = 0);

private:
    void SetTexts(std::vector<TVariant> Texts);
};

// Applies the hidden flags of the variables and the colours and hidden flags
// of the records, by position, to a data object that has just been given the
// file's grids.
void ReadXMLAttributes(const QString& FileName, TData& Data);
// Raises the error that ReadXMLAttributes would raise for the file, and
// changes nothing: a load asks before it replaces the table the user has.
void CheckXMLAttributes(const TXMLFile& File);

// Writes the data object in its current view orders. A name that does not
// end in "xml" gets ".xml" appended. An existing file is replaced only when
// the new one has been written completely.
void WriteXMLFile(QString FileName, const TData& Data);

// The text of one record: a blank, then each value followed by a blank.
QString RecordValuesText(const TData& Data, int Point, int DimCount);
