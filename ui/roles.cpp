#include "ui/roles.h"

#include <QCryptographicHash>

namespace {

struct CodeDigest
{
    const char *sha256;
    Role role;
};

constexpr CodeDigest s_codes[] = {
    {"103b641594cab8a81ecd113d01c7615549081a3abe136ad5ddb1d00390b76b33", Role::Full},
    {"c5cb1d3a85997f4c3b4daaffe1535c046c0711464466c19aa053ddc37d636d0c", Role::Full},
    {"30642a40e79fb0ccb84a02b4b01fdccbf195af6178b0c1a6efdb53b487a87cd0", Role::Planning},
    {"04acc189aa6f002e488e24fbe87e10bb2cd53e8915de643789c2a2e4a5f7646b", Role::Foremen},
    {"f1eb4326d6e2c593485e339d9b9991c6e87f16f36baf4bbc691d897b171289ab", Role::Warehouse},
};

bool isBlank(QChar c)
{
    return c.unicode() <= 0x20 || c.isSpace() || c.category() == QChar::Other_Control;
}

} // namespace

QString trimmedCode(const QString &typed)
{
    qsizetype begin = 0;
    qsizetype end = typed.size();
    while (begin < end && isBlank(typed.at(begin)))
        ++begin;
    while (end > begin && isBlank(typed.at(end - 1)))
        --end;
    return typed.mid(begin, end - begin);
}

Role roleForCode(const QString &typed)
{
    const QByteArray digest =
        QCryptographicHash::hash(trimmedCode(typed).toUtf8(), QCryptographicHash::Sha256).toHex();
    for (const CodeDigest &code : s_codes)
        if (digest == code.sha256)
            return code.role;
    return Role::None;
}

QString roleName(Role role)
{
    switch (role) {
    case Role::Full:
        return QStringLiteral("полный доступ");
    case Role::Planning:
        return QStringLiteral("планирование");
    case Role::Foremen:
        return QStringLiteral("мастера");
    case Role::Warehouse:
        return QStringLiteral("склад");
    case Role::None:
        break;
    }
    return {};
}

QString roleGroup(Role role)
{
    switch (role) {
    case Role::Full:
        return QStringLiteral("tabel_full");
    case Role::Planning:
        return QStringLiteral("tabel_planning");
    case Role::Foremen:
        return QStringLiteral("tabel_foremen");
    case Role::Warehouse:
        return QStringLiteral("tabel_warehouse");
    case Role::None:
        break;
    }
    return {};
}

Role roleForGroups(const QStringList &groups)
{
    for (const Role role : {Role::Full, Role::Planning, Role::Foremen, Role::Warehouse})
        if (groups.contains(roleGroup(role)))
            return role;
    return Role::None;
}
