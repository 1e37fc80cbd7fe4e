#include "excel/workbook.h"

#include "excel/formats.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

// A workbook file larger than this is refused before it is read: no salary sheet comes near it,
// and it keeps a hostile file from exhausting memory.
constexpr qint64 kMaxFileSize = 512 * 1024 * 1024;

} // namespace

const Font *Format::font() const
{
    return m_font ? m_font : m_book->defaultFont();
}

// ---- Sheet -----------------------------------------------------------------------------------------

Sheet::Sheet(Workbook *book, const QString &name, int maxRows, int maxCols)
    : m_book(book), m_name(name), m_maxRows(maxRows), m_maxCols(maxCols),
      m_defaultRowHeight(book->kind() == Workbook::Kind::Xls ? 12.75 : 15)
{}

double Sheet::colWidth(int col) const
{
    const auto it = m_colWidths.find(col);
    return it == m_colWidths.end() ? m_defaultColWidth : it->second;
}

double Sheet::rowHeight(int row) const
{
    const auto it = m_rowHeights.find(row);
    return it == m_rowHeights.end() ? m_defaultRowHeight : it->second;
}

bool Sheet::hasColWidth(int col) const
{
    return m_colWidths.count(col) != 0;
}

bool Sheet::hasRowHeight(int row) const
{
    return m_rowHeights.count(row) != 0;
}

const Sheet::Row *Sheet::findRow(int row) const
{
    if (m_lastFound >= 0 && m_rows[size_t(m_lastFound)].index == row)
        return &m_rows[size_t(m_lastFound)];
    qsizetype slot = -1;
    if (m_rowsAscending) {
        const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), row,
                                         [](const Row &r, int wanted) { return r.index < wanted; });
        if (it != m_rows.end() && it->index == row)
            slot = it - m_rows.begin();
    } else {
        const auto it = m_rowSlot.find(row);
        if (it != m_rowSlot.end())
            slot = qsizetype(it->second);
    }
    if (slot < 0)
        return nullptr;
    m_lastFound = slot;
    return &m_rows[size_t(slot)];
}

const Sheet::Cell *Sheet::find(int row, int col) const
{
    const Row *r = findRow(row);
    if (!r)
        return nullptr;
    const std::vector<Cell> &cells = r->cells;
    // Mostly a row holds every column from 0 on, so the column is its own position.
    if (size_t(col) < cells.size() && cells[size_t(col)].col == col)
        return &cells[size_t(col)];
    const auto c = std::lower_bound(cells.begin(), cells.end(), col,
                                    [](const Cell &cell, int wanted) { return cell.col < wanted; });
    return c != cells.end() && c->col == col ? &*c : nullptr;
}

bool Sheet::put(int row, int col, Cell cell, const QString *text)
{
    if (row < 0 || col < 0 || row >= m_maxRows || col >= m_maxCols)
        return false;
    cell.col = col;
    Row *r = const_cast<Row *>(findRow(row));
    if (!r) {
        if (m_rowsAscending && !m_rows.empty() && m_rows.back().index > row) {
            m_rowsAscending = false;
            m_rowSlot.reserve(m_rows.size() + 1);
            for (size_t i = 0; i < m_rows.size(); ++i)
                m_rowSlot.emplace(m_rows[i].index, quint32(i));
        }
        if (!m_rowsAscending)
            m_rowSlot.emplace(row, quint32(m_rows.size()));
        // Rows mostly hold as many cells as the row before: room for them is made at once.
        const size_t likely = m_rows.empty() ? 0 : m_rows.back().cells.size();
        m_rows.push_back(Row{row, {}});
        m_lastFound = qsizetype(m_rows.size()) - 1;
        r = &m_rows.back();
        r->cells.reserve(likely);
    }
    std::vector<Cell> &cells = r->cells;
    Cell *existing = nullptr;
    auto at = cells.end();
    if (cells.empty() || cells.back().col < col) {
        at = cells.end();
    } else {
        at = std::lower_bound(cells.begin(), cells.end(), col,
                              [](const Cell &c, int wanted) { return c.col < wanted; });
        if (at != cells.end() && at->col == col)
            existing = &*at;
    }
    if (text) {
        // A string cell written again keeps its slot for the new text.
        if (existing && existing->type == quint8(CellType::String)) {
            cell.str = existing->str;
            m_strings[cell.str] = *text;
        } else {
            cell.str = quint32(m_strings.size());
            m_strings.push_back(*text);
        }
    }
    if (existing) {
        *existing = cell;
        return true;
    }
    cells.insert(at, cell);
    ++m_cellCount;
    ++m_book->m_cellCount;
    m_lastRow = std::max(m_lastRow, row);
    m_lastCol = std::max(m_lastCol, col);
    return true;
}

const Format *Sheet::cellFormat(int row, int col) const
{
    const Cell *c = find(row, col);
    return c ? c->format : nullptr;
}

CellType Sheet::cellType(int row, int col) const
{
    const Cell *c = find(row, col);
    return c ? CellType(c->type) : CellType::Empty;
}

CellOrigin Sheet::cellOrigin(int row, int col) const
{
    const Cell *c = find(row, col);
    return c ? CellOrigin(c->origin) : CellOrigin::Value;
}

double Sheet::readNum(int row, int col) const
{
    const Cell *c = find(row, col);
    return c && (c->type == quint8(CellType::Number) || c->type == quint8(CellType::Boolean)) ? c->num : 0.0;
}

QString Sheet::readStr(int row, int col) const
{
    const Cell *c = find(row, col);
    return c && c->type == quint8(CellType::String) ? m_strings[c->str] : QString();
}

bool Sheet::readBool(int row, int col) const
{
    const Cell *c = find(row, col);
    return c && c->type == quint8(CellType::Boolean) && c->num != 0;
}

bool Sheet::writeStr(int row, int col, const QString &text, const Format *format)
{
    return writeStr(row, col, text, format, CellOrigin::Value);
}

bool Sheet::writeStr(int row, int col, const QString &text, const Format *format, CellOrigin origin)
{
    if (text.size() > kMaxCellTextLength)
        return false;
    Cell cell{0, quint8(CellType::String), quint8(origin), format, {}};
    cell.str = 0;
    return put(row, col, cell, &text);
}

bool Sheet::writeNum(int row, int col, double value, const Format *format)
{
    if (!std::isfinite(value)) // Excel has no NaN or infinity
        return false;
    return put(row, col, Cell{0, quint8(CellType::Number), 0, format, {value}});
}

bool Sheet::writeBool(int row, int col, bool value, const Format *format)
{
    return put(row, col, Cell{0, quint8(CellType::Boolean), 0, format, {value ? 1.0 : 0.0}});
}

bool Sheet::writeBlank(int row, int col, const Format *format)
{
    return put(row, col, Cell{0, quint8(CellType::Empty), 0, format, {0.0}});
}

bool Sheet::setMerge(int firstRow, int lastRow, int firstCol, int lastCol)
{
    if (firstRow < 0 || firstCol < 0 || lastRow < firstRow || lastCol < firstCol || lastRow >= m_maxRows ||
        lastCol >= m_maxCols)
        return false;
    const CellRange range{firstRow, lastRow, firstCol, lastCol};
    for (const CellRange &m : m_merges) {
        if (m.overlaps(range))
            return false;
    }
    m_merges.push_back(range);
    m_mergeIndexDirty = true;
    return true;
}

const CellRange *Sheet::mergeAt(int row, int col) const
{
    if (m_merges.empty())
        return nullptr;
    if (m_mergeIndexDirty || m_mergeIndex.size() != m_merges.size()) {
        m_mergeIndex = m_merges;
        std::sort(m_mergeIndex.begin(), m_mergeIndex.end(),
                  [](const CellRange &a, const CellRange &b) { return a.firstRow < b.firstRow; });
        m_mergeMaxLast.resize(m_mergeIndex.size());
        int maxLast = -1;
        for (size_t i = 0; i < m_mergeIndex.size(); ++i) {
            maxLast = std::max(maxLast, m_mergeIndex[i].lastRow);
            m_mergeMaxLast[i] = maxLast;
        }
        m_mergeIndexDirty = false;
    }
    // Walk back from the last range starting at or above the row; stop once no earlier range
    // reaches down to it.
    auto end = std::upper_bound(m_mergeIndex.begin(), m_mergeIndex.end(), row,
                                [](int r, const CellRange &m) { return r < m.firstRow; });
    for (auto i = end - m_mergeIndex.begin() - 1; i >= 0; --i) {
        if (m_mergeMaxLast[size_t(i)] < row)
            break;
        if (m_mergeIndex[size_t(i)].contains(row, col))
            return &m_mergeIndex[size_t(i)];
    }
    return nullptr;
}

bool Sheet::getMerge(int row, int col, int *firstRow, int *lastRow, int *firstCol, int *lastCol) const
{
    const CellRange *m = mergeAt(row, col);
    if (!m)
        return false;
    if (firstRow)
        *firstRow = m->firstRow;
    if (lastRow)
        *lastRow = m->lastRow;
    if (firstCol)
        *firstCol = m->firstCol;
    if (lastCol)
        *lastCol = m->lastCol;
    return true;
}

bool Sheet::setCol(int firstCol, int lastCol, double width)
{
    if (firstCol < 0 || lastCol < firstCol || lastCol >= m_maxCols || !(width >= 0) || width > 255)
        return false;
    for (int c = firstCol; c <= lastCol; ++c)
        m_colWidths[c] = width;
    return true;
}

bool Sheet::setRow(int row, double height)
{
    if (row < 0 || row >= m_maxRows || !(height >= 0) || height > 409)
        return false;
    m_rowHeights[row] = height;
    return true;
}

std::vector<int> Sheet::rowIndexes() const
{
    std::vector<int> rows;
    rows.reserve(m_rows.size());
    for (const Row &r : m_rows) {
        if (!r.cells.empty())
            rows.push_back(r.index);
    }
    if (!m_rowsAscending)
        std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<quint32> Sheet::sortedRowSlots() const
{
    std::vector<quint32> order(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = quint32(i);
    std::sort(order.begin(), order.end(),
              [this](quint32 a, quint32 b) { return m_rows[a].index < m_rows[b].index; });
    return order;
}

std::vector<int> Sheet::colIndexes(int row) const
{
    std::vector<int> cols;
    if (const Row *r = findRow(row)) {
        cols.reserve(r->cells.size());
        for (const Cell &c : r->cells)
            cols.push_back(c.col);
    }
    return cols;
}

std::vector<std::pair<int, double>> Sheet::colWidths() const
{
    std::vector<std::pair<int, double>> out(m_colWidths.begin(), m_colWidths.end());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::pair<int, double>> Sheet::rowHeights() const
{
    std::vector<std::pair<int, double>> out(m_rowHeights.begin(), m_rowHeights.end());
    std::sort(out.begin(), out.end());
    return out;
}

// ---- Workbook --------------------------------------------------------------------------------------

Workbook::Workbook(Kind kind) : m_kind(kind)
{
    if (kind == Kind::Xlsx) {
        m_defaultFont.setName(QStringLiteral("Calibri"));
        m_defaultFont.setSize(11);
    }
}

Workbook::~Workbook() = default;

std::unique_ptr<Workbook> Workbook::create(const QString &fileName)
{
    const bool xlsx = QFileInfo(fileName).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0;
    return std::make_unique<Workbook>(xlsx ? Kind::Xlsx : Kind::Xls);
}

void Workbook::clear()
{
    m_sheets.clear();
    m_formats.clear();
    m_fonts.clear();
    m_numFormatCodes.clear();
    m_warnings.clear();
    m_date1904 = false;
    m_cellCount = 0;
    m_defaultFont = Font();
    if (m_kind == Kind::Xlsx) {
        m_defaultFont.setName(QStringLiteral("Calibri"));
        m_defaultFont.setSize(11);
    }
}

bool Workbook::load(const QString &path, const Cancel &cancelled)
{
    QFile file(path);
    if (!file.exists()) {
        clear();
        m_error = QStringLiteral("文件不存在：%1").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        clear();
        m_error = QStringLiteral("无法打开文件：%1（%2）").arg(path, file.errorString());
        return false;
    }
    if (file.size() > kMaxFileSize) {
        clear();
        m_error = QStringLiteral("文件过大（超过 512 MB），无法作为工作簿读取。");
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        clear();
        m_error = QStringLiteral("读取文件失败：%1").arg(file.errorString());
        return false;
    }
    return loadFromData(bytes, cancelled);
}

bool Workbook::loadFromData(const QByteArray &bytes, const Cancel &cancelled)
{
    clear();
    m_error.clear();
    const bool ok = m_kind == Kind::Xlsx ? readXlsx(bytes, this, kXlsxChunkSize, cancelled)
                                         : readXls(bytes, this, cancelled);
    if (!ok) {
        const QString message = m_error;
        clear();
        m_error = message.isEmpty() ? QStringLiteral("无法读取工作簿。") : message;
    }
    return ok;
}

bool Workbook::save(const QString &path)
{
    if (m_sheets.empty()) { // Excel does not open a workbook without a sheet
        m_error = QStringLiteral("工作簿中没有工作表，无法保存。");
        return false;
    }
    QByteArray bytes;
    QString error;
    const bool ok = m_kind == Kind::Xlsx ? writeXlsx(*this, &bytes, &error) : writeXls(*this, &bytes, &error);
    if (!ok) {
        m_error = error;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_error = QStringLiteral("无法写入文件：%1（%2）").arg(path, file.errorString());
        return false;
    }
    m_error.clear();
    return true;
}

Sheet *Workbook::getSheet(int index)
{
    return index >= 0 && index < sheetCount() ? m_sheets[size_t(index)].get() : nullptr;
}

const Sheet *Workbook::getSheet(int index) const
{
    return index >= 0 && index < sheetCount() ? m_sheets[size_t(index)].get() : nullptr;
}

Sheet *Workbook::addSheet(const QString &name)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    if (name.isEmpty() || name.size() > 31) {
        m_error = QStringLiteral("工作表名称必须是 1 到 31 个字符：%1").arg(name);
        return nullptr;
    }
    for (const QChar c : name) {
        if (forbidden.contains(c)) {
            m_error = QStringLiteral("工作表名称不能含有 []:*?/\\ 这些字符：%1").arg(name);
            return nullptr;
        }
    }
    for (const auto &s : m_sheets) {
        if (s->name().compare(name, Qt::CaseInsensitive) == 0) {
            m_error = QStringLiteral("工作表名称重复：%1").arg(name);
            return nullptr;
        }
    }
    m_sheets.push_back(std::unique_ptr<Sheet>(new Sheet(this, name, maxRows(), maxCols())));
    return m_sheets.back().get();
}

Sheet *addSheetForReading(Workbook *book, const QString &name)
{
    const QString keepError = book->errorMessage();
    Sheet *sheet = book->addSheet(name);
    if (!sheet) {
        QString fixed = name.isEmpty() ? QStringLiteral("Sheet") : name;
        for (QChar &c : fixed) {
            if (QStringLiteral("[]:*?/\\").contains(c))
                c = QLatin1Char('_');
        }
        fixed.truncate(31);
        sheet = book->addSheet(fixed);
        for (int n = 2; !sheet && n < 100000; ++n) {
            const QString suffix = QStringLiteral("(%1)").arg(n);
            sheet = book->addSheet(fixed.left(31 - suffix.size()) + suffix);
        }
    }
    book->setError(keepError);
    return sheet;
}

Font *Workbook::addFont()
{
    m_fonts.push_back(std::make_unique<Font>(m_defaultFont));
    return m_fonts.back().get();
}

Format *Workbook::addFormat()
{
    m_formats.push_back(std::unique_ptr<Format>(new Format(this)));
    return m_formats.back().get();
}

Font *Workbook::font(int index) const
{
    return index >= 0 && index < fontCount() ? m_fonts[size_t(index)].get() : nullptr;
}

Format *Workbook::format(int index) const
{
    return index >= 0 && index < formatCount() ? m_formats[size_t(index)].get() : nullptr;
}

void Workbook::addLoadWarning(const QString &warning)
{
    if (!m_warnings.contains(warning))
        m_warnings.push_back(warning);
}

QString Workbook::numFormatCode(int id) const
{
    const auto it = m_numFormatCodes.find(id);
    return it == m_numFormatCodes.end() ? QString() : it->second;
}

void Workbook::setNumFormatCode(int id, const QString &code)
{
    m_numFormatCodes[id] = code;
}

bool Workbook::dateUnpack(double value, DateParts *parts) const
{
    return dateUnpack(value, m_date1904, parts);
}

bool Workbook::dateUnpack(double value, bool date1904, DateParts *parts)
{
    // Past 9999-12-31 in either system, or before the epoch, Excel shows ##### instead of a date.
    const double limit = date1904 ? 2957004.0 : 2958466.0;
    if (!(value >= 0) || value >= limit)
        return false;
    qint64 days = qint64(std::floor(value));
    qint64 ms = std::llround((value - double(days)) * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        ++days;
    }
    if (double(days) >= limit)
        return false; // rounded up past the last day
    DateParts p;
    p.hour = int(ms / 3600000);
    p.minute = int(ms / 60000 % 60);
    p.second = int(ms / 1000 % 60);
    p.msec = int(ms % 1000);
    if (date1904) {
        const QDate d = QDate(1904, 1, 1).addDays(days);
        p.year = d.year();
        p.month = d.month();
        p.day = d.day();
    } else if (days == 0) {
        // Excel's day zero, shown as 1900-01-00.
        p.year = 1900;
        p.month = 1;
        p.day = 0;
    } else if (days == 60) {
        // The 1900 leap day that never was, kept by Excel for compatibility with older programs.
        p.year = 1900;
        p.month = 2;
        p.day = 29;
    } else {
        const QDate d = QDate(1899, 12, days < 60 ? 31 : 30).addDays(days);
        p.year = d.year();
        p.month = d.month();
        p.day = d.day();
    }
    if (parts)
        *parts = p;
    return true;
}

const char *cellTypeName(const Sheet &sheet, int row, int col)
{
    switch (sheet.cellOrigin(row, col)) {
    case CellOrigin::Error:
        return "error";
    case CellOrigin::Formula:
        return "formula";
    default:
        break;
    }
    switch (sheet.cellType(row, col)) {
    case CellType::Number:
        return "number";
    case CellType::String:
        return "string";
    case CellType::Boolean:
        return "boolean";
    default:
        return "empty";
    }
}
