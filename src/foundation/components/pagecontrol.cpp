#include "pagecontrol.h"

#include "guard.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcutEvent>
#include <QTabBar>

namespace kiv {

namespace {

// Every way the operator changes the page from the tab bar goes through the
// page control's SelectPage, so that OnChanging runs before anything moves
// (the focus included).
class TabBar : public QTabBar
{
public:
    explicit TabBar(TPageControl *pages) : QTabBar(pages), m_pages(pages) {}

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::Shortcut) {
            auto *shortcut = static_cast<QShortcutEvent *>(event);
            for (int i = 0; i < count(); ++i) {
                if (isTabEnabled(i) && isTabVisible(i)
                    && QKeySequence::mnemonic(tabText(i)) == shortcut->key()) {
                    m_pages->SelectPage(i);
                    return true;
                }
            }
        }
        return QTabBar::event(event);
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        const int index = tabAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && index >= 0 && index != currentIndex()) {
            event->accept();
            if (isTabEnabled(index))
                m_pages->SelectPage(index);
            return;
        }
        QTabBar::mousePressEvent(event);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        int step = 0;
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up: step = -1; break;
        case Qt::Key_Right:
        case Qt::Key_Down: step = 1; break;
        default:
            QTabBar::keyPressEvent(event);
            return;
        }
        event->accept();
        for (int i = currentIndex() + step; i >= 0 && i < count(); i += step) {
            if (isTabEnabled(i) && isTabVisible(i)) {
                m_pages->SelectPage(i);
                return;
            }
        }
    }

    // The wheel over the tabs does not turn pages: too easy to do by mistake.
    void wheelEvent(QWheelEvent *event) override { event->ignore(); }

private:
    TPageControl *m_pages;
};

} // namespace

TTabSheet::TTabSheet(QWidget *parent) : QWidget(parent) {}

void TTabSheet::setPageControl(TPageControl *pageControl)
{
    if (pageControl)
        pageControl->addPage(this, m_caption);
}

int TTabSheet::PageIndex() const
{
    return m_pageControl ? m_pageControl->indexOf(const_cast<TTabSheet *>(this)) : -1;
}

QString TTabSheet::Caption() const
{
    return m_caption;
}

void TTabSheet::SetCaption(const QString &caption)
{
    m_caption = caption;
    if (m_pageControl && PageIndex() >= 0)
        m_pageControl->setTabText(PageIndex(), caption);
}

bool TTabSheet::TabVisible() const
{
    return m_pageControl && PageIndex() >= 0 ? m_pageControl->isTabVisible(PageIndex()) : true;
}

void TTabSheet::SetTabVisible(bool visible)
{
    if (m_pageControl && PageIndex() >= 0)
        m_pageControl->setTabVisible(PageIndex(), visible);
}

void TTabSheet::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && m_pageControl)
        m_pageControl->syncTab(this);
}

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent)
{
    setTabBar(new TabBar(this));
}

int TPageControl::addPage(TTabSheet *page, const QString &caption)
{
    page->m_pageControl = this;
    page->m_caption = caption;
    // The page's own enabled state, not the one it inherits from us.
    const bool enabled = !page->testAttribute(Qt::WA_Disabled);
    const int index = addTab(page, caption);
    setTabEnabled(index, enabled);
    return index;
}

TTabSheet *TPageControl::Pages(int index) const
{
    return qobject_cast<TTabSheet *>(widget(index));
}

TTabSheet *TPageControl::ActivePage() const
{
    return qobject_cast<TTabSheet *>(currentWidget());
}

void TPageControl::SetActivePage(TTabSheet *page)
{
    setCurrentWidget(page);
}

void TPageControl::syncTab(TTabSheet *page)
{
    const int index = indexOf(page);
    if (index < 0)
        return;
    const bool enabled = !page->testAttribute(Qt::WA_Disabled);
    if (isTabEnabled(index) == enabled)
        return;
    // The tab bar moves away from a current tab being disabled; the page
    // stays where it is, its controls disabled.
    const int current = currentIndex();
    setTabEnabled(index, enabled);
    if (currentIndex() != current)
        setCurrentIndex(current);
}

bool TPageControl::SelectPage(int index)
{
    if (index < 0 || index >= count() || index == currentIndex())
        return false;
    bool allowChange = true;
    if (OnChanging && (!guarded(this, [&] { OnChanging(allowChange); }) || !allowChange))
        return false;
    setCurrentIndex(index);
    if (OnChange)
        guarded(this, OnChange);
    return true;
}

int TPageControl::neighbour(int from, int step) const
{
    for (int k = 1; k < count(); ++k) {
        const int i = ((from + step * k) % count() + count()) % count();
        if (isTabEnabled(i) && isTabVisible(i))
            return i;
    }
    return -1;
}

void TPageControl::keyPressEvent(QKeyEvent *event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    int step = 0;
    if (control && event->key() == Qt::Key_Tab)
        step = 1;
    else if (control && event->key() == Qt::Key_Backtab)
        step = -1;
    else if (control && event->key() == Qt::Key_PageDown)
        step = 1;
    else if (control && event->key() == Qt::Key_PageUp)
        step = -1;
    if (step == 0 || count() < 2) {
        QTabWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    const int target = neighbour(currentIndex(), step);
    if (target >= 0)
        SelectPage(target);
}

} // namespace kiv
