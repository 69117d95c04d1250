#include "ui/error_guard.h"

#include "db/db_error.h"
#include "db/messages.h"
#include "ui/busy.h"
#include "ui/termination.h"

#include <QGuiApplication>
#include <QString>

namespace guard {

namespace {
bool s_timerBoxOpen = false;
// A timer tick has reported the lost connection and none has succeeded since.
bool s_timerLossShown = false;
// A statement the server refused, in words a clerk can read; the server's own text goes along as
// the detail.
QString refusedByServer(const QString &sqlState)
{
    if (sqlState == QLatin1String("55P03"))
        return QStringLiteral("Данные заняты другим пользователем, повторите через несколько "
                              "секунд. Действие не выполнено.");
    if (sqlState == QLatin1String("23503"))
        return QStringLiteral("Действие не выполнено: связанная запись уже удалена или ещё "
                              "используется (возможно, её изменил другой пользователь).");
    if (sqlState == QLatin1String("23505"))
        return QStringLiteral("Действие не выполнено: такая запись уже есть.");
    if (sqlState.startsWith(QLatin1String("23")))
        return QStringLiteral("Действие не выполнено: база данных не приняла эти значения.");
    if (sqlState.startsWith(QLatin1String("22")))
        return QStringLiteral("Действие не выполнено: значение не подходит базе данных (слишком "
                              "велико или неверного вида).");
    if (sqlState.startsWith(QLatin1String("42")))
        return QStringLiteral("Действие не выполнено: база данных не такая, какую ждёт программа "
                              "(нет таблицы, поля или прав).");
    return QStringLiteral("Действие не выполнено: база данных сообщила об ошибке.");
}

} // namespace

bool timerMayRun()
{
    return !s_timerBoxOpen && !BusyScope::active() && !termination::requested();
}

void timerSucceeded()
{
    s_timerLossShown = false;
}

void report(std::exception_ptr error, bool fromTimer)
{
    QString text;
    QString detail;
    try {
        std::rethrow_exception(error);
    } catch (const DbError &e) {
        if (e.isConnectionError()) {
            // Every tick tries again; one box says the server is away.
            if (fromTimer && s_timerLossShown)
                return;
            if (fromTimer)
                s_timerLossShown = true;
            text = e.isLostAtCommit()
                       ? QStringLiteral("Связь с сервером базы данных прервалась в момент записи: "
                                        "действие могло быть выполнено. Проверьте данные, прежде "
                                        "чем повторять его.")
                       : QStringLiteral("Нет связи с сервером базы данных. Действие не выполнено; "
                                        "повторите его, когда связь восстановится.");
            detail = e.message();
        } else if (e.isRetryable()) {
            text = QStringLiteral("Эти же данные в то же время изменял другой пользователь. "
                                  "Действие не выполнено; повторите его.");
            detail = e.message();
        } else if (!e.detail().isEmpty()) {
            text = e.message();
            detail = e.detail();
        } else if (e.sqlState().startsWith(QLatin1String("TB"))) {
            // The database's own refusals (a closed month) are already one sentence for a clerk.
            text = e.primaryMessage();
        } else if (!e.sqlState().isEmpty()) {
            text = refusedByServer(e.sqlState());
            detail = e.message();
        } else {
            text = e.message();
        }
    } catch (const std::exception &e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Неизвестная ошибка");
    }
    // Once the program is ending nothing more is shown.
    if (termination::requested())
        return;
    // A busy cursor left by the failed action must not stay over the box.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        while (QGuiApplication::overrideCursor() && !BusyScope::active())
            QGuiApplication::restoreOverrideCursor();
    }
    if (fromTimer)
        s_timerBoxOpen = true;
    messages::error(QStringLiteral("Ошибка"), text, detail);
    if (fromTimer)
        s_timerBoxOpen = false;
}

} // namespace guard
