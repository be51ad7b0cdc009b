#include "messagebox.h"

#include "errors.h"
#include "messages.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

namespace kiv {

namespace {

QMessageBox::Icon iconOf(MsgType type)
{
    switch (type) {
    case MsgType::Warning: return QMessageBox::Warning;
    case MsgType::Error: return QMessageBox::Critical;
    case MsgType::Information: return QMessageBox::Information;
    case MsgType::Confirmation: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

int showBox(QWidget *parent, const QString &text, MsgType type, int buttons,
            const QString &caption)
{
    if (!parent)
        parent = QApplication::activeWindow();
    else
        parent = parent->window();
    const QString title = caption.isEmpty() ? QGuiApplication::applicationDisplayName()
                                            : caption;
    QMessageBox box(iconOf(type), title, text, QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("dlgMensagem"));
    box.setWindowModality(Qt::ApplicationModal);
    if ((buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0)
        buttons = mbOK;

    struct Choice
    {
        MsgButton button;
        const char *name;
        QString text;
        QMessageBox::ButtonRole role;
        int result;
    };
    const Choice choices[] = {
        {mbYes, "btnSim", QStringLiteral("Sim"), QMessageBox::YesRole, mrYes},
        {mbNo, "btnNao", QStringLiteral("Não"), QMessageBox::NoRole, mrNo},
        {mbOK, "btnOK", QStringLiteral("OK"), QMessageBox::AcceptRole, mrOK},
        {mbCancel, "btnCancelar", QStringLiteral("Cancelar"), QMessageBox::RejectRole,
         mrCancel},
    };
    QHash<QAbstractButton *, int> results;
    QPushButton *yes = nullptr, *no = nullptr, *ok = nullptr, *cancel = nullptr;
    for (const Choice &choice : choices) {
        if (!(buttons & choice.button))
            continue;
        QPushButton *button = box.addButton(choice.text, choice.role);
        button->setObjectName(QLatin1String(choice.name));
        results.insert(button, choice.result);
        switch (choice.button) {
        case mbYes: yes = button; break;
        case mbNo: no = button; break;
        case mbOK: ok = button; break;
        case mbCancel: cancel = button; break;
        }
    }
    // The box is as wide as its title needs, so that the window manager
    // shows the title whole (beside the title bar's own buttons).
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        const int room = box.fontMetrics().horizontalAdvance(title) * 5 / 4 + 140;
        grid->addItem(new QSpacerItem(room, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.setDefaultButton(yes ? yes : (ok ? ok : (no ? no : cancel)));
    box.setEscapeButton(cancel ? cancel : (no ? no : ok));
    box.exec();
    return results.value(box.clickedButton(), mrCancel);
}

} // namespace

int ShowMsg(const QString &text, MsgType type, int buttons, const QString &caption)
{
    return showBox(nullptr, text, type, buttons, caption);
}

int ShowMsg(const TMessages &catalogue, const QString &key, MsgType type, int buttons)
{
    const QString text = catalogue.contains(key) ? catalogue.Msg(key) : key;
    return showBox(nullptr, text, type, buttons, QString());
}

void MensErro(const QString &text, bool abort)
{
    showBox(nullptr, text, MsgType::Error, mbOK, QString());
    if (abort)
        throw EAbort();
}

void ShowErrorBox(QWidget *parent, const QString &text)
{
    showBox(parent, text, MsgType::Error, mbOK, QString());
}

} // namespace kiv
