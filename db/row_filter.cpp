#include "db/row_filter.h"

#include "db/db_error.h"

#include <QStringList>

namespace {

class Parser
{
public:
    explicit Parser(const QString &text)
        : m_text(text)
    {}

    RowFilter parse()
    {
        RowFilter filter;
        skipSpace();
        if (atEnd())
            return filter;
        for (;;) {
            filter.andAlso(condition());
            skipSpace();
            if (atEnd())
                return filter;
            if (!keyword(QStringLiteral("and")))
                error();
        }
    }

private:
    RowFilter condition()
    {
        skipSpace();
        const QString field = name();
        if (field.isEmpty())
            error();
        skipSpace();
        RowFilter::Op op;
        if (m_text.mid(m_pos, 2) == QLatin1String("<>")) {
            op = RowFilter::Op::NotEqual;
            m_pos += 2;
        } else if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('=')) {
            op = RowFilter::Op::Equal;
            ++m_pos;
        } else if (keyword(QStringLiteral("like"))) {
            op = RowFilter::Op::Like;
        } else {
            error();
        }
        skipSpace();
        return RowFilter::compare(field, op, literal());
    }

    QString name()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() &&
               (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == QLatin1Char('_') ||
                m_text.at(m_pos) == QLatin1Char('.')))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    QVariant literal()
    {
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('\'')) {
            QString value;
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size())
                    error();
                const QChar c = m_text.at(m_pos++);
                if (c == QLatin1Char('\'')) {
                    if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('\'')) {
                        value.append(c);
                        ++m_pos;
                        continue;
                    }
                    return value;
                }
                value.append(c);
            }
        }
        const qsizetype start = m_pos;
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('-'))
            ++m_pos;
        while (m_pos < m_text.size() &&
               (m_text.at(m_pos).isDigit() || m_text.at(m_pos) == QLatin1Char('.')))
            ++m_pos;
        bool ok = false;
        const QString number = m_text.mid(start, m_pos - start);
        const double value = number.toDouble(&ok);
        if (!ok)
            error();
        return value;
    }

    bool keyword(const QString &word)
    {
        if (m_text.mid(m_pos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = m_pos + word.size();
        if (after < m_text.size() && (m_text.at(after).isLetterOrNumber()))
            return false;
        m_pos = after;
        return true;
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }
    bool atEnd() const { return m_pos >= m_text.size(); }
    [[noreturn]] void error() const
    {
        throw DbError(QStringLiteral("Ошибка в условии фильтра: ") + m_text);
    }

    QString m_text;
    qsizetype m_pos = 0;
};

} // namespace

RowFilter RowFilter::parse(const QString &expression)
{
    return Parser(expression).parse();
}

RowFilter RowFilter::compare(const QString &field, Op op, const QVariant &value)
{
    RowFilter filter;
    filter.m_conditions.append({field, op, value});
    return filter;
}

RowFilter RowFilter::like(const QString &field, const QString &pattern)
{
    return compare(field, Op::Like, pattern);
}

RowFilter RowFilter::equal(const QString &field, const QVariant &value)
{
    return compare(field, Op::Equal, value);
}

RowFilter RowFilter::startsWith(const QString &field, const QString &text)
{
    return compare(field, Op::StartsWith, searchText(text));
}

RowFilter RowFilter::contains(const QString &field, const QString &text)
{
    return compare(field, Op::Contains, searchText(text));
}

QString RowFilter::searchText(const QString &text)
{
    // Most people type "е" for "ё" and some the other way round: both read as "е".
    QString folded = text.toCaseFolded();
    folded.replace(QChar(0x0451), QChar(0x0435));
    return folded;
}

RowFilter &RowFilter::andAlso(const RowFilter &other)
{
    m_conditions.append(other.m_conditions);
    return *this;
}

namespace {

// Numbers compare as numbers when both sides read as numbers; everything else as text without
// regard to case. A null field value reads as an empty text.
bool valuesEqual(const QVariant &fieldValue, const QVariant &wanted)
{
    const QString fieldText = fieldValue.isNull() ? QString() : fieldValue.toString();
    if (wanted.typeId() != QMetaType::QString) {
        bool fieldIsNumber = false;
        const double x = fieldText.toDouble(&fieldIsNumber);
        if (fieldIsNumber)
            return x == wanted.toDouble();
    }
    return fieldText.compare(wanted.toString(), Qt::CaseInsensitive) == 0 ||
           fieldText.toCaseFolded() == wanted.toString().toCaseFolded();
}

} // namespace

bool RowFilter::likeMatches(const QString &text, const QString &pattern)
{
    const QString subject = text.toCaseFolded();
    const QStringList parts = pattern.toCaseFolded().split(QLatin1Char('%'));
    if (parts.size() == 1)
        return subject == parts.first();
    // The first part anchors at the start, the last at the end, the others in order between.
    if (!subject.startsWith(parts.first()))
        return false;
    qsizetype pos = parts.first().size();
    for (qsizetype i = 1; i < parts.size() - 1; ++i) {
        if (parts.at(i).isEmpty())
            continue;
        const qsizetype found = subject.indexOf(parts.at(i), pos);
        if (found < 0)
            return false;
        pos = found + parts.at(i).size();
    }
    const QString &last = parts.last();
    return subject.size() - pos >= last.size() && subject.endsWith(last);
}

bool RowFilter::accepts(const std::function<QVariant(const QString &)> &fieldValue) const
{
    for (const Condition &condition : m_conditions) {
        const QVariant value = fieldValue(condition.field);
        switch (condition.op) {
        case Op::Equal:
            if (!valuesEqual(value, condition.value))
                return false;
            break;
        case Op::NotEqual:
            if (valuesEqual(value, condition.value))
                return false;
            break;
        case Op::Like:
            if (!likeMatches(value.isNull() ? QString() : value.toString(),
                             condition.value.toString()))
                return false;
            break;
        case Op::StartsWith:
            if (!searchText(value.toString()).startsWith(condition.value.toString()))
                return false;
            break;
        case Op::Contains:
            if (!searchText(value.toString()).contains(condition.value.toString()))
                return false;
            break;
        }
    }
    return true;
}
