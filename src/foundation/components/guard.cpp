#include "guard.h"

#include "errors.h"
#include "messagebox.h"

#include <QCoreApplication>

namespace kiv {

bool guarded(QWidget *context, const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (const EAbort &) {
        return false;
    } catch (const KivError &error) {
        ShowErrorBox(context, error.message());
    } catch (const std::exception &error) {
        ShowErrorBox(context, QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorBox(context, QCoreApplication::translate("kiv", "Erro inesperado."));
    }
    return false;
}

} // namespace kiv
