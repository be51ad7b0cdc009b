#include "dbnavigator.h"

#include "guard.h"
#include "icons.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace kiv {

TDBNavigator::TDBNavigator(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    struct ButtonDef
    {
        TNavigateBtn which;
        const char *name;
        const char *icon;
        const char *hint;
        QKeyCombination key;
    };
    // Alt with the keys that move in a list: free in the grids and fields,
    // which use them without Alt.
    const ButtonDef buttons[] = {
        {nbFirst, "nbFirst", "go-first", "Primeiro", Qt::ALT | Qt::Key_Home},
        {nbPrior, "nbPrior", "go-previous", "Anterior", Qt::ALT | Qt::Key_PageUp},
        {nbNext, "nbNext", "go-next", "Próximo", Qt::ALT | Qt::Key_PageDown},
        {nbLast, "nbLast", "go-last", "Último", Qt::ALT | Qt::Key_End},
    };
    for (const ButtonDef &def : buttons) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(def.name));
        button->setIcon(CommandIcon(QString::fromLatin1(def.icon)));
        const QKeySequence key(def.key);
        button->setToolTip(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(def.hint),
                                                         key.toString(QKeySequence::NativeText)));
        // The key works wherever the focus is in the window that holds the
        // navigator (a child window of the main window counts as one).
        auto *action = new QAction(this);
        action->setObjectName(QLatin1String(def.name) + QStringLiteral("Tecla"));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_keys.append(action);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(false);
        const TNavigateBtn which = def.which;
        connect(button, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
        connect(action, &QAction::triggered, this, [this, button, which] {
            if (button->isEnabled() && isVisible())
                BtnClick(which);
        });
        layout->addWidget(button);
        m_buttons[which] = button;
    }
    updateButtons();
}

void TDBNavigator::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_source = source;
    if (source) {
        m_connections = {
            connect(source, &TDataSource::dataChanged, this,
                    [this](int fieldIndex) {
                        if (fieldIndex < 0)
                            updateButtons();
                    }),
            connect(source, &TDataSource::stateChanged, this, &TDBNavigator::updateButtons),
            connect(source, &TDataSource::dataSetChanged, this, &TDBNavigator::updateButtons),
            connect(source, &QObject::destroyed, this, &TDBNavigator::updateButtons),
        };
    }
    updateButtons();
}

void TDBNavigator::BtnClick(TNavigateBtn which)
{
    if (!m_source || !m_source->DataSet() || !m_source->Enabled())
        return;
    Table *table = m_source->DataSet();
    const bool moved = guarded(this, [&] {
        m_source->UpdateRecord();
        switch (which) {
        case nbFirst: table->First(); break;
        case nbPrior: table->Prior(); break;
        case nbNext: table->Next(); break;
        case nbLast: table->Last(); break;
        }
    });
    updateButtons();
    if (moved && OnClick)
        guarded(this, [&] { OnClick(which); });
}

void TDBNavigator::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The keys belong to the window the navigator is in: the nearest
    // ancestor that is a window, or a child window of the main window.
    QWidget *form = this;
    while (form->parentWidget() && !form->isWindow()
           && !form->parentWidget()->inherits("QMdiSubWindow"))
        form = form->parentWidget();
    if (form == m_keysOn)
        return;
    for (QAction *action : std::as_const(m_keys)) {
        if (m_keysOn)
            m_keysOn->removeAction(action);
        form->addAction(action);
    }
    m_keysOn = form;
}

void TDBNavigator::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateButtons();
}

void TDBNavigator::updateButtons()
{
    Table *table = m_source ? m_source->DataSet() : nullptr;
    const bool active = table && m_source->Enabled() && table->Active();
    const int position = active ? table->CurrentIndex() : -1;
    const int count = active ? table->ViewCount() : 0;
    const bool up = position > 0;
    const bool down = position >= 0 && position < count - 1;
    m_buttons[nbFirst]->setEnabled(up);
    m_buttons[nbPrior]->setEnabled(up);
    m_buttons[nbNext]->setEnabled(down);
    m_buttons[nbLast]->setEnabled(down);
}

} // namespace kiv
