#include "history/historyrecord.h"

#include "engine/amount.h"

#include <QBrush>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTransform>
#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace {

const QString kTimePattern = QStringLiteral("yy-MM-dd hh:mm");
// A cell carries a handful of roles (text, alignment, colours, the path of a history row); far
// more means the bytes are not a cell.
constexpr quint32 kMaxRolesPerCell = 64;
// The least a stored cell can take: its role count.
constexpr qint64 kMinCellBytes = 4;

// Brush styles that are a colour and a pattern only; gradients and textures carry nested lists
// and images and are never stored.
bool isPlainBrushStyle(int style)
{
    return style >= Qt::NoBrush && style <= Qt::DiagCrossPattern;
}

bool isStorable(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QString:
    case QMetaType::QColor:
        return true;
    case QMetaType::QBrush:
        return isPlainBrushStyle(value.value<QBrush>().style());
    default:
        return value.metaType() == QMetaType::fromType<Qt::Alignment>();
    }
}

// Table items keep their alignment as Qt::Alignment, which the variant stream writes as a user
// type: its name, then the flags as an int.
bool readUserVariant(QDataStream &in, QVariant *value)
{
    QByteArray name;
    in >> name;
    if (in.status() != QDataStream::Ok)
        return false;
    if (name.endsWith('\0'))
        name.chop(1);
    if (name != QMetaType::fromType<Qt::Alignment>().name())
        return false;
    qint32 flags = 0;
    in >> flags;
    *value = QVariant::fromValue(Qt::Alignment(flags));
    return in.status() == QDataStream::Ok;
}

template<typename T> bool readPlain(QDataStream &in, QVariant *value)
{
    T v{};
    in >> v;
    *value = QVariant::fromValue(v);
    return in.status() == QDataStream::Ok;
}

// Reads one QVariant as the variant class streams it, accepting only the types isStorable allows,
// so no stored count reaches an allocation unchecked.
bool readStorableVariant(QDataStream &in, QVariant *value)
{
    quint32 typeId = 0;
    qint8 isNull = 0;
    in >> typeId >> isNull;
    if (in.status() != QDataStream::Ok)
        return false;
    switch (typeId) {
    case QMetaType::Bool:
        return readPlain<bool>(in, value);
    case QMetaType::Int:
        return readPlain<qint32>(in, value);
    case QMetaType::UInt:
        return readPlain<quint32>(in, value);
    case QMetaType::LongLong:
        return readPlain<qint64>(in, value);
    case QMetaType::ULongLong:
        return readPlain<quint64>(in, value);
    case QMetaType::Double:
        return readPlain<double>(in, value);
    case QMetaType::Float: {
        // Floats are streamed at the stream's floating-point precision.
        float v = 0;
        in >> v;
        *value = QVariant::fromValue(v);
        return in.status() == QDataStream::Ok;
    }
    case QMetaType::QString:
        return readPlain<QString>(in, value);
    case QMetaType::QColor:
        return readPlain<QColor>(in, value);
    case QMetaType::QBrush: {
        quint8 style = 0;
        QColor color;
        in >> style >> color;
        if (in.status() != QDataStream::Ok || !isPlainBrushStyle(style))
            return false;
        QTransform transform;
        in >> transform;
        if (in.status() != QDataStream::Ok)
            return false;
        QBrush brush(color, Qt::BrushStyle(style));
        brush.setTransform(transform);
        *value = QVariant::fromValue(brush);
        return true;
    }
    case QMetaType::User:
        return readUserVariant(in, value);
    default:
        return false;
    }
}

struct NameKey
{
    QString stamp;
    qint64 counter = 0;
    QString name;
};

NameKey nameKey(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{12})(?:-(\\d{1,9}))?\\.[^.]+$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch())
        return {fileName, -1, fileName};
    return {m.captured(1), m.captured(2).isEmpty() ? 0 : m.captured(2).toLongLong(), fileName};
}

void appendHistoryFiles(const QString &dir, const QString &filter, QStringList *out, int depth)
{
    // Symbolic links are not followed, so a loop of links cannot make this endless.
    QDir d(dir);
    const QFileInfoList files = d.entryInfoList({filter}, QDir::Files | QDir::NoSymLinks);
    QList<NameKey> keys;
    keys.reserve(files.size());
    for (const QFileInfo &fi : files)
        keys.append(nameKey(fi.fileName()));
    std::sort(keys.begin(), keys.end(), [](const NameKey &a, const NameKey &b) {
        if (a.stamp != b.stamp)
            return a.stamp < b.stamp;
        if (a.counter != b.counter)
            return a.counter < b.counter;
        return a.name < b.name;
    });
    const QString base = d.absolutePath() + u'/';
    for (const NameKey &k : std::as_const(keys))
        out->append(base + k.name);
    if (depth >= 16)
        return;
    const QStringList subdirs = d.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString &sub : subdirs)
        appendHistoryFiles(base + sub, filter, out, depth + 1);
}

bool readHead(QDataStream &in, HistoryHead *head)
{
    // The time text is a few characters: a damaged length is refused before the text is read.
    if (QIODevice *device = in.device()) {
        const QByteArray length = device->peek(4);
        const quint32 bytes = length.size() == 4 ? qFromBigEndian<quint32>(length.constData()) : 0;
        if (bytes != 0xFFFFFFFF && bytes > 128)
            return false;
    }
    in >> head->timeText >> head->value1 >> head->value2;
    return in.status() == QDataStream::Ok && head->timeText.size() <= 64 && std::isfinite(head->value1) &&
           std::isfinite(head->value2);
}

} // namespace

QString historyDir()
{
    const QString dir = QDir::homePath() + QStringLiteral("/lumo/log/");
    QDir().mkpath(dir);
    return dir;
}

QString newHistoryFileName(const QString &dir, const QString &extension, const QDateTime &when)
{
    QString base = dir;
    if (!base.endsWith(u'/'))
        base += u'/';
    const QString stamp = when.toString(QStringLiteral("yyMMddhhmmss"));
    QString path = base + stamp + u'.' + extension;
    for (int counter = 1; QFileInfo::exists(path); ++counter)
        path = base + stamp + u'-' + QString::number(counter) + u'.' + extension;
    return path;
}

QStringList listHistoryFiles(const QString &dir, const QString &filter)
{
    QStringList out;
    appendHistoryFiles(dir, filter, &out, 0);
    return out;
}

QString historyFigureText(double yuan)
{
    return formatAmount(fenFromInput(yuan));
}

HistoryWriter::HistoryWriter(const QString &dir, const QString &extension, double value1, double value2,
                             const QDateTime &when)
    : m_path(newHistoryFileName(dir, extension, when)), m_timeText(when.toString(kTimePattern)),
      m_value1(value1), m_value2(value2), m_buffer(&m_bytes)
{
    m_buffer.open(QIODevice::WriteOnly);
    m_stream.setDevice(&m_buffer);
    m_stream.setVersion(kHistoryStreamVersion);
    m_stream << m_timeText;
    m_bodyStart = m_buffer.pos();
    m_stream << value1 << value2;
}

bool HistoryWriter::repeats(const QString &path) const
{
    QFile file(path);
    if (m_stream.status() != QDataStream::Ok || !file.open(QIODevice::ReadOnly))
        return false;
    const qint64 bodySize = m_bytes.size() - m_bodyStart;
    // Another record's time text is as short as ours; a file of a very different size differs.
    if (file.size() < bodySize || file.size() > bodySize + 1024)
        return false;
    QDataStream in(&file);
    in.setVersion(kHistoryStreamVersion);
    QString timeText;
    in >> timeText;
    if (in.status() != QDataStream::Ok || timeText.size() > 64 || file.bytesAvailable() != bodySize)
        return false;
    return file.read(bodySize) == QByteArrayView(m_bytes).sliced(m_bodyStart);
}

bool HistoryWriter::commit()
{
    if (m_stream.status() != QDataStream::Ok)
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_bytes) != m_bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

HistoryReader::HistoryReader(const QString &path) : m_file(path)
{
    m_stream.setVersion(kHistoryStreamVersion);
    // The size is checked before a byte is read; the stream then reads the file piece by piece.
    if (!m_file.open(QIODevice::ReadOnly) || m_file.size() > kHistoryMaxFileSize)
        return;
    start(&m_file);
}

HistoryReader::HistoryReader(QIODevice *device)
{
    m_stream.setVersion(kHistoryStreamVersion);
    if (!device || !device->isReadable() || device->bytesAvailable() > kHistoryMaxFileSize)
        return;
    start(device);
}

void HistoryReader::start(QIODevice *device)
{
    m_device = device;
    m_stream.setDevice(device);
    m_ok = readHead(m_stream, &m_head);
}

qint64 HistoryReader::remaining() const
{
    return m_device ? m_device->bytesAvailable() : 0;
}

bool readHistoryHead(const QString &path, HistoryHead *head)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kHistoryMaxFileSize)
        return false;
    QDataStream in(&file);
    in.setVersion(kHistoryStreamVersion);
    return readHead(in, head);
}

void writeSnapshotCell(QDataStream &out, const QMap<int, QVariant> &roles)
{
    QList<std::pair<int, QVariant>> kept;
    for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
        if (isStorable(it.value()))
            kept.append({it.key(), it.value()});
    }
    // The layout of a table item's own stream: the role count, then role and value pairs.
    out << quint32(kept.size());
    for (const auto &[role, value] : std::as_const(kept))
        out << qint32(role) << value;
}

void writeEmptySnapshotCell(QDataStream &out)
{
    out << quint32(0);
}

bool readTableSnapshot(HistoryReader &reader, qint32 maxRows, qint32 maxColumns, TableSnapshot *table)
{
    QDataStream &in = reader.stream();
    qint32 rows = -1;
    qint32 columns = -1;
    in >> rows >> columns;
    if (in.status() != QDataStream::Ok || rows < 0 || columns < 0 || rows > maxRows || columns > maxColumns)
        return false;
    const qint64 cellCount = qint64(rows) * columns;
    if (cellCount * kMinCellBytes > reader.remaining())
        return false;
    TableSnapshot result;
    result.rows = rows;
    result.columns = columns;
    result.cells.reserve(cellCount);
    for (qint64 i = 0; i < cellCount; ++i) {
        quint32 roleCount = 0;
        in >> roleCount;
        // A role and the smallest value (type, null flag, one byte) take at least ten bytes.
        if (in.status() != QDataStream::Ok || roleCount > kMaxRolesPerCell ||
            qint64(roleCount) * 10 > reader.remaining())
            return false;
        TableSnapshot::Cell cell;
        for (quint32 k = 0; k < roleCount; ++k) {
            qint32 role = 0;
            in >> role;
            QVariant value;
            if (in.status() != QDataStream::Ok || role < 0 || !readStorableVariant(in, &value))
                return false;
            cell.append({role, value});
        }
        result.cells.append(std::move(cell));
    }
    *table = std::move(result);
    return true;
}
