#include "db/dataset.h"

#include "db/answer.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/number_format.h"
#include "db/sql_text.h"

#include <QCollator>
#include <QLocale>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

Dataset::Dataset(Connection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{}

void Dataset::setSql(const QString &text)
{
    m_lines = text.split(QLatin1Char('\n'));
}

void Dataset::setSql(const QStringList &lines)
{
    m_lines = lines;
}

void Dataset::open()
{
    fetch(statementText());
}

void Dataset::openTable(const QString &relation, const QString &keyField)
{
    fetch(QStringLiteral("select * from ") + relation);
    m_relation = relation;
    m_keyField = keyField;
    m_wholeTable = true;
    if (columnOf(keyField) < 0)
        missingField(keyField);
}

void Dataset::setEditTable(const QString &relation, const QString &keyField)
{
    m_relation = relation;
    m_keyField = keyField;
    m_wholeTable = false;
}

void Dataset::fetch(const QString &statement)
{
    close();
    QSqlQuery query = m_connection.run(statement);
    const int end = query.record().count();
    const answer::Columns columns = answer::columns(query.record(), 0, end);
    QVector<QVector<QVariant>> rows;
    while (query.next())
        rows.append(answer::values(query, 0, end));
    take(columns.names, columns.types, std::move(rows));
}

void Dataset::take(const QStringList &names, const QList<QMetaType> &types,
                   QVector<QVector<QVariant>> rows)
{
    close();
    m_fieldNames = names;
    m_fieldTypes = types;
    m_rows = std::move(rows);
    m_open = true;
    rebuildVisible(-1);
    setCurrent(m_visible.isEmpty() ? -1 : 0);
    Q_EMIT rowsReset();
}

QString Dataset::statementText()
{
    // Opened by a statement: no longer the whole table it may have been opened as.
    if (m_wholeTable) {
        m_wholeTable = false;
        m_relation.clear();
    }
    return inlineParameters(sql(), m_params);
}

void Dataset::close()
{
    const bool wasOpen = m_open;
    m_open = false;
    m_rows.clear();
    m_visible.clear();
    m_fieldNames.clear();
    m_fieldTypes.clear();
    m_current = -1;
    m_eof = false;
    m_state = State::Browse;
    m_buffer.clear();
    m_changed.clear();
    if (wasOpen)
        Q_EMIT rowsReset();
}

void Dataset::reopen()
{
    // A list read again must not move the user to another row: the next command would act on a
    // record the user never chose.
    const QString keyField = m_keyField.isEmpty() ? QStringLiteral("id") : m_keyField;
    QVariant current;
    if (m_open && !isEmpty() && columnOf(keyField) >= 0)
        current = value(keyField);
    if (m_wholeTable)
        openTable(QString(m_relation), QString(m_keyField));
    else
        open();
    if (current.isValid() && !current.isNull())
        locate(keyField, current);
}

bool Dataset::passes(const QVector<QVariant> &row) const
{
    if (!m_filtered || m_filter.isEmpty())
        return true;
    return m_filter.accepts([&](const QString &name) {
        const int column = columnOf(name);
        if (column < 0)
            missingField(name);
        return row.at(column);
    });
}

void Dataset::rebuildVisible(qsizetype keepRow)
{
    m_visible.clear();
    m_visible.reserve(m_rows.size());
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (passes(m_rows.at(i)))
            m_visible.append(i);
    if (!m_sortField.isEmpty()) {
        const int column = columnOf(m_sortField);
        if (column >= 0)
            sortVisible(column);
    }
    if (keepRow >= 0) {
        const qsizetype at = m_visible.indexOf(keepRow);
        m_current = at >= 0 ? int(at) : (m_visible.isEmpty() ? -1 : 0);
    }
}

namespace {

enum class SortKind { Number, Date, Text };

SortKind sortKindOf(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
        return SortKind::Number;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
    case QMetaType::QTime:
        return SortKind::Date;
    default:
        return SortKind::Text;
    }
}

double dateKey(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return double(value.toDate().toJulianDay());
    case QMetaType::QTime:
        return double(value.toTime().msecsSinceStartOfDay());
    default:
        return double(value.toDateTime().toMSecsSinceEpoch());
    }
}

// Names as Russian readers look them up: alphabetical, capitals with small letters, "ё" with "е".
QCollator russianCollator()
{
    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

QString withoutYo(QString text)
{
    text.replace(QChar(0x0451), QChar(0x0435)); // ё → е
    text.replace(QChar(0x0401), QChar(0x0415)); // Ё → Е
    return text;
}

} // namespace

void Dataset::sortVisible(int column)
{
    const bool ascending = m_sortOrder == Qt::AscendingOrder;
    // Each row's key is made once; the comparison of two rows then costs little.
    const auto ordered = [&](auto &keyed, auto less) {
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
            if (a.null || b.null)
                return ascending ? (a.null && !b.null) : (b.null && !a.null);
            return ascending ? less(a.key, b.key) : less(b.key, a.key);
        });
        for (qsizetype i = 0; i < m_visible.size(); ++i)
            m_visible[i] = keyed[size_t(i)].row;
    };
    const SortKind kind = sortKindOf(m_fieldTypes.value(column));
    if (kind == SortKind::Text) {
        struct Keyed
        {
            qsizetype row;
            bool null;
            QCollatorSortKey key;
        };
        const QCollator collator = russianCollator();
        std::vector<Keyed> keyed;
        keyed.reserve(size_t(m_visible.size()));
        for (qsizetype row : std::as_const(m_visible)) {
            const QVariant &value = m_rows.at(row).at(column);
            keyed.push_back({row, value.isNull(), collator.sortKey(withoutYo(textOf(value)))});
        }
        ordered(keyed, [](const QCollatorSortKey &a, const QCollatorSortKey &b) {
            return a.compare(b) < 0;
        });
        return;
    }
    struct Keyed
    {
        qsizetype row;
        bool null;
        double key;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(size_t(m_visible.size()));
    for (qsizetype row : std::as_const(m_visible)) {
        const QVariant &value = m_rows.at(row).at(column);
        const bool null = value.isNull() || !value.isValid();
        keyed.push_back({row, null,
                         null                       ? 0.0
                         : kind == SortKind::Number ? value.toDouble()
                                                    : dateKey(value)});
    }
    ordered(keyed, [](double a, double b) { return a < b; });
}

void Dataset::setCurrent(int index)
{
    m_eof = false;
    if (index == m_current)
        return;
    m_current = index;
    Q_EMIT currentChanged(recNo());
}

void Dataset::setRecNo(int recNo)
{
    if (m_visible.isEmpty()) {
        setCurrent(-1);
        return;
    }
    setCurrent(std::clamp(recNo, 1, recordCount()) - 1);
}

void Dataset::next()
{
    if (m_current + 1 >= recordCount()) {
        m_eof = true;
        return;
    }
    setCurrent(m_current + 1);
}

void Dataset::prior()
{
    if (m_current > 0)
        setCurrent(m_current - 1);
}

int Dataset::columnOf(const QString &name) const
{
    for (int pass = 0; pass < 2; ++pass) {
        const QString wanted = pass == 0 ? name : name.section(QLatin1Char('.'), -1);
        for (int i = 0; i < m_fieldNames.size(); ++i)
            if (m_fieldNames.at(i).compare(wanted, Qt::CaseInsensitive) == 0)
                return i;
    }
    return -1;
}

void Dataset::missingField(const QString &name) const
{
    throw DbError(QStringLiteral("Поле \"%1\" не найдено").arg(name), sql());
}

const QVector<QVariant> *Dataset::currentRow() const
{
    if (m_state != State::Browse)
        return &m_buffer;
    if (m_current < 0 || m_current >= m_visible.size())
        return nullptr;
    return &m_rows.at(m_visible.at(m_current));
}

QVariant Dataset::value(const QString &name) const
{
    const int column = columnOf(name);
    if (column < 0)
        missingField(name);
    const QVector<QVariant> *row = currentRow();
    return row ? row->at(column) : QVariant();
}

QString Dataset::textOf(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return numbers::text(value.toDouble());
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        if (moment.time() == QTime(0, 0))
            return moment.toString(QStringLiteral("dd.MM.yyyy"));
        return moment.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    }
    default:
        return value.toString();
    }
}

QString Dataset::text(const QString &name) const
{
    return textOf(value(name));
}

qint64 Dataset::integer(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::QString)
        return qRound64(v.toDouble());
    return v.toLongLong();
}

double Dataset::decimal(const QString &name) const
{
    const QVariant v = value(name);
    return v.isNull() ? 0.0 : v.toDouble();
}

QDate Dataset::date(const QString &name) const
{
    const QVariant v = value(name);
    if (v.isNull())
        return QDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    return v.toDate();
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= m_visible.size() || column < 0 || column >= m_fieldNames.size())
        return QVariant();
    if (row == m_current && m_state != State::Browse)
        return m_buffer.at(column);
    return m_rows.at(m_visible.at(row)).at(column);
}

QString Dataset::textAt(int row, int column) const
{
    return textOf(valueAt(row, column));
}

void Dataset::setFilter(const RowFilter &filter)
{
    m_filter = filter;
    if (m_filtered && m_open) {
        rebuildVisible(-1);
        m_current = -1;
        setCurrent(m_visible.isEmpty() ? -1 : 0);
        Q_EMIT rowsReset();
    }
}

void Dataset::setFiltered(bool on)
{
    m_filtered = on;
    if (!m_open)
        return;
    rebuildVisible(-1);
    m_current = -1;
    setCurrent(m_visible.isEmpty() ? -1 : 0);
    Q_EMIT rowsReset();
}

bool Dataset::locate(const QString &field, const QVariant &value)
{
    const int column = columnOf(field);
    if (column < 0)
        missingField(field);
    const RowFilter wanted = RowFilter::equal(field, value);
    for (int i = 0; i < m_visible.size(); ++i) {
        const QVector<QVariant> &row = m_rows.at(m_visible.at(i));
        if (wanted.accepts([&](const QString &) { return row.at(column); })) {
            setCurrent(i);
            return true;
        }
    }
    return false;
}

void Dataset::setSortField(const QString &field, Qt::SortOrder order)
{
    m_sortField = field;
    m_sortOrder = order;
    if (!m_open)
        return;
    const qsizetype keep = m_current >= 0 ? m_visible.at(m_current) : -1;
    rebuildVisible(keep);
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(recNo());
}

void Dataset::requireTable() const
{
    if (m_relation.isEmpty() || !m_open || columnOf(m_keyField) < 0)
        throw DbError(QStringLiteral("Набор данных не открыт для изменения"), sql());
}

void Dataset::edit()
{
    requireTable();
    if (m_state != State::Browse)
        return;
    const QVector<QVariant> *row = currentRow();
    if (!row)
        throw DbError(QStringLiteral("Нет записи для изменения"), sql());
    m_buffer = *row;
    m_changed.clear();
    m_state = State::Edit;
}

void Dataset::append()
{
    requireTable();
    if (m_state != State::Browse)
        post();
    m_buffer = QVector<QVariant>(m_fieldNames.size());
    m_changed.clear();
    // The new row shows at the end until it is posted.
    m_rows.append(m_buffer);
    m_visible.append(m_rows.size() - 1);
    m_state = State::Insert;
    Q_EMIT rowsReset();
    m_current = -1;
    setCurrent(recordCount() - 1);
}

void Dataset::setValue(const QString &name, const QVariant &value)
{
    const int column = columnOf(name);
    if (column < 0)
        missingField(name);
    if (m_state == State::Browse)
        edit();
    m_buffer[column] = value;
    if (!m_changed.contains(column))
        m_changed.append(column);
    if (m_current >= 0)
        Q_EMIT rowChanged(m_current);
}

void Dataset::post()
{
    if (m_state == State::Browse)
        return;
    requireTable();
    const auto quoted = [](const QString &name) {
        return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
               QLatin1Char('"');
    };
    const int keyColumn = columnOf(m_keyField);
    QString statement;
    if (m_state == State::Insert) {
        QStringList columns;
        QStringList values;
        for (int column : std::as_const(m_changed)) {
            columns.append(quoted(m_fieldNames.at(column)));
            values.append(sql::literal(m_buffer.at(column)));
        }
        statement =
            columns.isEmpty()
                ? QStringLiteral("insert into %1 default values returning *").arg(m_relation)
                : QStringLiteral("insert into %1 (%2) values (%3) returning *")
                      .arg(m_relation, columns.join(QLatin1String(", ")),
                           values.join(QLatin1String(", ")));
    } else {
        if (m_changed.isEmpty()) {
            cancel();
            return;
        }
        QStringList assignments;
        for (int column : std::as_const(m_changed))
            assignments.append(quoted(m_fieldNames.at(column)) + QLatin1String(" = ") +
                               sql::literal(m_buffer.at(column)));
        const QVariant key = m_rows.at(m_visible.at(m_current)).at(keyColumn);
        statement = QStringLiteral("update %1 set %2 where %3 = %4 returning *")
                        .arg(m_relation, assignments.join(QLatin1String(", ")),
                             quoted(m_fieldNames.at(keyColumn)), sql::literal(key));
    }
    QSqlQuery query = m_connection.run(statement);
    const qsizetype rowIndex = m_visible.at(m_current);
    if (query.next()) {
        QVector<QVariant> row(m_fieldNames.size());
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i) {
            const int column = columnOf(record.fieldName(i));
            if (column >= 0)
                row[column] = query.value(i);
        }
        m_rows[rowIndex] = row;
    } else if (m_state == State::Edit) {
        // Another copy deleted the row meanwhile: nothing was written; the typed values stay.
        throw DbError::rowDeleted(statement);
    }
    m_state = State::Browse;
    m_buffer.clear();
    m_changed.clear();
    rebuildVisible(rowIndex);
    Q_EMIT rowsReset();
    Q_EMIT currentChanged(recNo());
}

void Dataset::cancel()
{
    if (m_state == State::Insert) {
        const qsizetype rowIndex = m_visible.at(m_current);
        m_rows.removeAt(rowIndex);
        m_state = State::Browse;
        m_buffer.clear();
        m_changed.clear();
        rebuildVisible(-1);
        m_current = -1;
        setCurrent(m_visible.isEmpty() ? -1 : int(m_visible.size()) - 1);
        Q_EMIT rowsReset();
        return;
    }
    m_state = State::Browse;
    m_buffer.clear();
    m_changed.clear();
    if (m_current >= 0)
        Q_EMIT rowChanged(m_current);
}

void Dataset::remove()
{
    requireTable();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    m_state = State::Browse;
    m_buffer.clear();
    m_changed.clear();
    if (m_current < 0)
        return;
    const qsizetype rowIndex = m_visible.at(m_current);
    const int keyColumn = columnOf(m_keyField);
    m_connection.run(QStringLiteral("delete from %1 where %2 = %3")
                         .arg(m_relation, m_fieldNames.at(keyColumn),
                              sql::literal(m_rows.at(rowIndex).at(keyColumn))));
    const int position = m_current;
    m_rows.removeAt(rowIndex);
    rebuildVisible(-1);
    m_current = -1;
    setCurrent(m_visible.isEmpty() ? -1 : std::min(position, int(m_visible.size()) - 1));
    Q_EMIT rowsReset();
}
