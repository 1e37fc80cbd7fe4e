// The workbook layer: .xls (BIFF8) and .xlsx workbooks for the import and export wizards.
//
// A Workbook owns its sheets, formats and fonts; callers hold plain pointers to them only while the
// workbook lives. Reading and writing share one in-memory model: a loaded workbook is exactly what
// the same sequence of addSheet/addFormat/write calls would have built, so a file read and written
// again keeps its contents. Cells are stored sparsely, row by row in contiguous arrays, so a sheet
// whose only cell sits at row one million costs one cell. The file-format libraries (zip, compound file, xlsx
// writer) stay inside the .cpp files: nothing here may include them, and nothing here may depend on widgets.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class Workbook;

enum class CellType : int
{
    Empty = 0,
    Number = 1,
    String = 2,
    Boolean = 3,
};

// Where a cell's value came from. Error values and formulas whose result the file does not hold
// are string cells holding their text ("#N/A", "=C3*0.105"), so that nothing reads them as a
// number; their origin tells them apart from typed-in text.
enum class CellOrigin : int
{
    Value = 0,
    Error = 1,
    Formula = 2,
};

// Cell alignment, borders and fills, in the numbering the files store (so the values are plain ints
// a Format holds as it reads them). Each set has a scope of its own, so that a name such as
// CellAlignH::Left is never taken for the toolkit's Qt::AlignLeft.
namespace CellAlignH {
// Horizontal alignment: 1 left, 2 centre, 3 right, 5 justify.
enum Value : int
{
    General = 0,
    Left = 1,
    Center = 2,
    Right = 3,
    Fill = 4,
    Justify = 5,
    CenterAcross = 6,
    Distributed = 7,
};
} // namespace CellAlignH

namespace CellAlignV {
// Vertical alignment: 0 top, 1 centre, 2 bottom.
enum Value : int
{
    Top = 0,
    Center = 1,
    Bottom = 2,
    Justify = 3,
    Distributed = 4,
};
} // namespace CellAlignV

namespace CellBorder {
enum Value : int
{
    NoBorder = 0,
    Thin = 1,
};
} // namespace CellBorder

namespace CellFill {
enum Value : int
{
    NoFill = 0,
    Solid = 1,
};
} // namespace CellFill

// Excel's limits, which every position read or written must respect.
constexpr int kXlsMaxRows = 65536;
constexpr int kXlsMaxCols = 256;
constexpr int kXlsxMaxRows = 1048576;
constexpr int kXlsxMaxCols = 16384;
constexpr int kMaxCellTextLength = 32767;

struct CellRange
{
    int firstRow = 0;
    int lastRow = 0;
    int firstCol = 0;
    int lastCol = 0;
    bool contains(int r, int c) const
    {
        return r >= firstRow && r <= lastRow && c >= firstCol && c <= lastCol;
    }
    bool overlaps(const CellRange &o) const
    {
        return firstRow <= o.lastRow && o.firstRow <= lastRow && firstCol <= o.lastCol &&
               o.firstCol <= lastCol;
    }
    bool operator==(const CellRange &) const = default;
};

struct DateParts
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

class Font
{
public:
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    double size() const { return m_size; } // points
    void setSize(double points) { m_size = points; }
    bool bold() const { return m_bold; }
    void setBold(bool on) { m_bold = on; }
    bool italic() const { return m_italic; }
    void setItalic(bool on) { m_italic = on; }
    // Excel's underline kinds (1 single, 2 double, …); any non-zero value is underlined.
    int underline() const { return m_underline; }
    void setUnderline(int kind) { m_underline = kind; }
    bool strikeOut() const { return m_strikeOut; }
    void setStrikeOut(bool on) { m_strikeOut = on; }

private:
    QString m_name = QStringLiteral("Arial");
    double m_size = 10;
    bool m_bold = false;
    bool m_italic = false;
    int m_underline = 0;
    bool m_strikeOut = false;
};

class Format
{
public:
    // Never null: a format without a font of its own shows the workbook's default font.
    const Font *font() const;
    void setFont(const Font *font) { m_font = font; }
    // Excel's number format id; ids from 164 on, and lower ones the file defines, are the workbook's
    // own (Workbook::numFormatCode).
    int numFormat() const { return m_numFormat; }
    void setNumFormat(int id) { m_numFormat = id; }
    int alignH() const { return m_alignH; }
    void setAlignH(int a) { m_alignH = a; }
    int alignV() const { return m_alignV; }
    void setAlignV(int a) { m_alignV = a; }
    void setBorder(int style) { m_borderLeft = m_borderRight = m_borderTop = m_borderBottom = style; }
    int borderLeft() const { return m_borderLeft; }
    void setBorderLeft(int style) { m_borderLeft = style; }
    int borderRight() const { return m_borderRight; }
    void setBorderRight(int style) { m_borderRight = style; }
    int borderTop() const { return m_borderTop; }
    void setBorderTop(int style) { m_borderTop = style; }
    int borderBottom() const { return m_borderBottom; }
    void setBorderBottom(int style) { m_borderBottom = style; }
    int fillPattern() const { return m_fillPattern; }
    void setFillPattern(int pattern) { m_fillPattern = pattern; }
    // An index into Excel's default palette (8–63).
    int patternForegroundColor() const { return m_patternFg; }
    void setPatternForegroundColor(int paletteIndex) { m_patternFg = paletteIndex; }

private:
    friend class Workbook;
    explicit Format(const Workbook *book) : m_book(book) {}
    const Workbook *m_book;
    const Font *m_font = nullptr;
    int m_numFormat = 0;
    int m_alignH = CellAlignH::General;
    int m_alignV = CellAlignV::Bottom;
    int m_borderLeft = CellBorder::NoBorder;
    int m_borderRight = CellBorder::NoBorder;
    int m_borderTop = CellBorder::NoBorder;
    int m_borderBottom = CellBorder::NoBorder;
    int m_fillPattern = CellFill::NoFill;
    int m_patternFg = 64;
};

class Sheet
{
public:
    QString name() const { return m_name; }
    // The highest row and column index holding a cell (a value, or a blank with a format); -1 for
    // an empty sheet. Read indices 0 up to and including these.
    int lastRow() const { return m_lastRow; }
    int lastCol() const { return m_lastCol; }
    double colWidth(int col) const;  // character units
    double rowHeight(int row) const; // points
    bool hasColWidth(int col) const;
    bool hasRowHeight(int row) const;
    const Format *cellFormat(int row, int col) const;
    CellType cellType(int row, int col) const;
    CellOrigin cellOrigin(int row, int col) const;
    double readNum(int row, int col) const;
    QString readStr(int row, int col) const;
    bool readBool(int row, int col) const;
    // The merged range holding the cell, if any.
    bool getMerge(int row, int col, int *firstRow, int *lastRow, int *firstCol, int *lastCol) const;
    const std::vector<CellRange> &merges() const { return m_merges; }

    // Writing. Each returns false, changing nothing, for a position beyond the format's limits or
    // text longer than a cell holds.
    bool writeStr(int row, int col, const QString &text, const Format *format = nullptr);
    bool writeNum(int row, int col, double value, const Format *format = nullptr);
    bool writeBool(int row, int col, bool value, const Format *format = nullptr);
    bool writeBlank(int row, int col, const Format *format);
    // Used by the readers: an error value or an unevaluated formula, as a string cell with its origin.
    bool writeStr(int row, int col, const QString &text, const Format *format, CellOrigin origin);
    // False for a range beyond the limits, reversed, or overlapping a range already merged:
    // overlapping merges make files that Excel refuses to open.
    bool setMerge(int firstRow, int lastRow, int firstCol, int lastCol);
    bool setCol(int firstCol, int lastCol, double width);
    bool setRow(int row, double height);
    void setDefaultColWidth(double width) { m_defaultColWidth = width; }
    void setDefaultRowHeight(double height) { m_defaultRowHeight = height; }

    // Every row index holding cells, ascending (for writers and dumps).
    std::vector<int> rowIndexes() const;
    // The columns of one row holding cells, ascending.
    std::vector<int> colIndexes(int row) const;
    // One stored cell as forEachCell hands it over: `num` for numbers and booleans, `str` (never
    // null) for string cells, whose text lives as long as the sheet is not written to.
    struct CellView
    {
        int row;
        int col;
        CellType type;
        CellOrigin origin;
        const Format *format;
        double num;
        const QString *str;
    };
    // Calls f(const CellView &) for every stored cell, rows ascending and columns ascending within
    // each: the writers' walk, without looking each cell up again.
    template<typename F> void forEachCell(F &&f) const;
    std::vector<std::pair<int, double>> colWidths() const;  // explicit widths, by column
    std::vector<std::pair<int, double>> rowHeights() const; // explicit heights, by row
    qsizetype cellCount() const { return m_cellCount; }

private:
    friend class Workbook;
    Sheet(Workbook *book, const QString &name, int maxRows, int maxCols);

    // 24 bytes a cell: a string cell holds the index of its text in m_strings, so a text shared by
    // many cells (a workbook's shared strings) is kept once.
    struct Cell
    {
        int col;
        quint8 type;   // CellType
        quint8 origin; // CellOrigin
        const Format *format;
        union {
            double num;
            quint32 str;
        };
    };
    struct Row
    {
        int index;
        std::vector<Cell> cells; // sorted by column
    };
    const Row *findRow(int row) const;
    // Positions in m_rows in ascending order of row index (for rows that came out of order).
    std::vector<quint32> sortedRowSlots() const;
    const Cell *find(int row, int col) const;
    bool put(int row, int col, Cell cell, const QString *text = nullptr);
    const CellRange *mergeAt(int row, int col) const;

    Workbook *m_book;
    QString m_name;
    int m_maxRows;
    int m_maxCols;
    int m_lastRow = -1;
    int m_lastCol = -1;
    qsizetype m_cellCount = 0;
    // Rows in the order first written. While they come in ascending order (as every reader and
    // writer gives them) a row is found by binary search; after the first one out of order, through
    // m_rowSlot. The last row found is remembered, as cells are mostly asked for row by row.
    std::vector<Row> m_rows;
    bool m_rowsAscending = true;
    std::unordered_map<int, quint32> m_rowSlot;
    mutable qsizetype m_lastFound = -1;
    std::vector<QString> m_strings;
    std::unordered_map<int, double> m_colWidths;
    std::unordered_map<int, double> m_rowHeights;
    double m_defaultColWidth = 8.43;
    double m_defaultRowHeight;
    std::vector<CellRange> m_merges;
    // Merges sorted by first row with the running maximum of last rows, built when first asked.
    mutable std::vector<CellRange> m_mergeIndex;
    mutable std::vector<int> m_mergeMaxLast;
    mutable bool m_mergeIndexDirty = false;
};

template<typename F> void Sheet::forEachCell(F &&f) const
{
    auto visit = [&](const Row &r) {
        for (const Cell &c : r.cells) {
            const bool text = c.type == quint8(CellType::String);
            const CellView view{r.index,
                                c.col,
                                CellType(c.type),
                                CellOrigin(c.origin),
                                c.format,
                                text ? 0 : c.num,
                                text ? &m_strings[c.str] : nullptr};
            f(view);
        }
    };
    if (m_rowsAscending) {
        for (const Row &r : m_rows)
            visit(r);
    } else {
        for (const quint32 slot : sortedRowSlots())
            visit(m_rows[slot]);
    }
}

class Workbook
{
public:
    enum class Kind
    {
        Xls,
        Xlsx,
    };

    explicit Workbook(Kind kind);
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    // By suffix: "xlsx" in any case is the OOXML format, anything else BIFF8 .xls.
    static std::unique_ptr<Workbook> create(const QString &fileName);

    Kind kind() const { return m_kind; }
    int maxRows() const { return m_kind == Kind::Xls ? kXlsMaxRows : kXlsxMaxRows; }
    int maxCols() const { return m_kind == Kind::Xls ? kXlsMaxCols : kXlsxMaxCols; }

    // Replaces the workbook's contents with the file's. False, with errorMessage() saying why in
    // Chinese, for a missing, corrupt, encrypted or hostile file; the workbook is then empty.
    // `cancelled`, when given, is asked between pieces of the file (from the reading thread); once
    // it answers true the read ends within a fraction of a second, false, with cancelledMessage().
    using Cancel = std::function<bool()>;
    bool load(const QString &path, const Cancel &cancelled = {});
    bool loadFromData(const QByteArray &bytes, const Cancel &cancelled = {});
    static QString cancelledMessage() { return QStringLiteral("已取消读取工作簿。"); }
    // Writes the whole file or nothing: an existing file is replaced only when writing succeeded.
    bool save(const QString &path);
    QString errorMessage() const { return m_error; }
    // What a successful load left out, in Chinese, each said once (for the caller to show).
    const QStringList &loadWarnings() const { return m_warnings; }
    void addLoadWarning(const QString &warning);

    int sheetCount() const { return int(m_sheets.size()); }
    Sheet *getSheet(int index);
    const Sheet *getSheet(int index) const;
    // Null (with errorMessage) for a name Excel refuses: empty, longer than 31 characters, holding
    // one of []:*?/\ or already used (case-insensitively).
    Sheet *addSheet(const QString &name);

    Font *addFont();
    Format *addFormat();
    const Font *defaultFont() const { return &m_defaultFont; }
    Font *defaultFont() { return &m_defaultFont; }
    int fontCount() const { return int(m_fonts.size()); }
    Font *font(int index) const;
    int formatCount() const { return int(m_formats.size()); }
    Format *format(int index) const;

    // The format code the workbook gives a number format id: every custom id (164 on), and any lower
    // id the file defines (other programs number their own formats from 50 or 100). Empty for an id
    // the workbook leaves to its built-in meaning.
    QString numFormatCode(int id) const;
    void setNumFormatCode(int id, const QString &code);
    const std::unordered_map<int, QString> &numFormatCodes() const { return m_numFormatCodes; }

    bool isDate1904() const { return m_date1904; }
    void setDate1904(bool on) { m_date1904 = on; }
    // A serial date/time number to its parts, in this workbook's date system. False for a value
    // before the epoch or past the year 9999. Excel's serial 60 is its phantom 1900-02-29.
    bool dateUnpack(double value, DateParts *parts) const;
    static bool dateUnpack(double value, bool date1904, DateParts *parts);

    // Used by the readers: a workbook may hold no more cells than this (five times the largest
    // .xlsx salary sheet anyone sends), so a hostile file cannot take unbounded memory.
    static constexpr qsizetype kMaxCells = 10'000'000;
    qsizetype cellCount() const { return m_cellCount; }
    // Used by the readers and the writers when they reach a limit.
    void setError(const QString &message) { m_error = message; }
    void clear();

private:
    Kind m_kind;
    QString m_error;
    QStringList m_warnings;
    bool m_date1904 = false;
    Font m_defaultFont;
    std::vector<std::unique_ptr<Sheet>> m_sheets;
    std::vector<std::unique_ptr<Font>> m_fonts;
    std::vector<std::unique_ptr<Format>> m_formats;
    std::unordered_map<int, QString> m_numFormatCodes;
    friend class Sheet;
    qsizetype m_cellCount = 0;
};

// The name of a cell's type as lumo-cli sheet dump and the fixture files give it: "error" and
// "formula" for error values and formulas without a stored result (string cells by type), else
// "number", "string", "boolean" or "empty".
const char *cellTypeName(const Sheet &sheet, int row, int col);
