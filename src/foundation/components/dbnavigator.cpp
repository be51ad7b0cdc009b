#include "dbnavigator.h"

#include "guard.h"

#include <QEvent>
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
        QStyle::StandardPixmap icon;
        const char *hint;
    };
    const ButtonDef buttons[] = {
        {nbFirst, "nbFirst", QStyle::SP_MediaSkipBackward, "Primeiro"},
        {nbPrior, "nbPrior", QStyle::SP_ArrowLeft, "Anterior"},
        {nbNext, "nbNext", QStyle::SP_ArrowRight, "Próximo"},
        {nbLast, "nbLast", QStyle::SP_MediaSkipForward, "Último"},
    };
    for (const ButtonDef &def : buttons) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(def.name));
        button->setIcon(style()->standardIcon(def.icon));
        button->setToolTip(QString::fromUtf8(def.hint));
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(false);
        const TNavigateBtn which = def.which;
        connect(button, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
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
