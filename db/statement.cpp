#include "db/statement.h"

#include "db/db_error.h"
#include "db/sql_text.h"

#include <functional>

void Parameters::set(const QString &name, const QVariant &value)
{
    m_values.insert(name.toLower(), value);
}

QVariant Parameters::value(const QString &name) const
{
    return m_values.value(name.toLower());
}

bool Parameters::contains(const QString &name) const
{
    return m_values.contains(name.toLower());
}

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Walks the statement and calls onPlaceholder(start, length, name) for every ":name" outside
// quotes and comments.
void scanPlaceholders(
    const QString &s,
    const std::function<void(qsizetype, qsizetype, const QString &)> &onPlaceholder)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A quoted text or identifier; a doubled quote stays inside.
            ++i;
            while (i < n) {
                if (s.at(i) == c) {
                    if (i + 1 < n && s.at(i + 1) == c) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && s.at(i + 1) == QLatin1Char('-')) {
            while (i < n && s.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && s.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('$')) {
            // Dollar quoting: $tag$ ... $tag$
            qsizetype j = i + 1;
            while (j < n && isNameChar(s.at(j)))
                ++j;
            if (j < n && s.at(j) == QLatin1Char('$')) {
                const QString tag = s.mid(i, j - i + 1);
                const qsizetype end = s.indexOf(tag, j + 1);
                i = end < 0 ? n : end + tag.size();
            } else {
                i = j;
            }
        } else if (c == QLatin1Char(':')) {
            if (i + 1 < n && s.at(i + 1) == QLatin1Char(':')) {
                i += 2; // a cast
                continue;
            }
            if (i + 1 < n && isNameStart(s.at(i + 1))) {
                qsizetype j = i + 1;
                while (j < n && isNameChar(s.at(j)))
                    ++j;
                onPlaceholder(i, j - i, s.mid(i + 1, j - i - 1));
                i = j;
                continue;
            }
            ++i;
        } else {
            ++i;
        }
    }
}

} // namespace

QStringList placeholderNames(const QString &statement)
{
    QStringList names;
    scanPlaceholders(statement,
                     [&](qsizetype, qsizetype, const QString &name) { names.append(name); });
    return names;
}

QString inlineParameters(const QString &statement, const Parameters &parameters)
{
    QString result;
    result.reserve(statement.size() + 32);
    qsizetype copied = 0;
    scanPlaceholders(statement, [&](qsizetype start, qsizetype length, const QString &name) {
        if (!parameters.contains(name))
            throw DbError(QStringLiteral("Параметр \"%1\" не задан").arg(name), statement);
        result.append(QStringView(statement).mid(copied, start - copied));
        result.append(sql::literal(parameters.value(name)));
        copied = start + length;
    });
    result.append(QStringView(statement).mid(copied));
    return result;
}
