#pragma once

#include <QTabWidget>

#include <functional>

namespace kiv {

class TPageControl;

// A page of a page control (tshFormulario, tshProduto...). Disabling it
// (setEnabled(false)) disables its controls and its tab: the operator can
// no longer click to it, while code can still make it the active page.
class TTabSheet : public QWidget
{
    Q_OBJECT

public:
    explicit TTabSheet(QWidget *parent = nullptr);

    TPageControl *PageControl() const { return m_pageControl; }
    // Adds the page at the end of pageControl.
    void setPageControl(TPageControl *pageControl);
    int PageIndex() const;

    QString Caption() const;
    void SetCaption(const QString &caption);
    // A hidden page has no tab, and cannot be active.
    bool TabVisible() const;
    void SetTabVisible(bool visible);

protected:
    void changeEvent(QEvent *event) override;

private:
    friend class TPageControl;
    TPageControl *m_pageControl = nullptr;
    QString m_caption;
};

// Pages with tabs. Only the operator's changes of page (a click on a tab,
// Ctrl+Tab, Ctrl+PageUp/PageDown, a tab's mnemonic) raise events:
// OnChanging first, whose handler may refuse the change by clearing
// allowChange (an error in it refuses too), then the change, then
// OnChange. Code moving to a page (SetActivePage) raises neither.
class TPageControl : public QTabWidget
{
    Q_OBJECT

public:
    explicit TPageControl(QWidget *parent = nullptr);

    int addPage(TTabSheet *page, const QString &caption);
    int PageCount() const { return count(); }
    TTabSheet *Pages(int index) const;

    TTabSheet *ActivePage() const;
    void SetActivePage(TTabSheet *page);
    int ActivePageIndex() const { return currentIndex(); }
    void SetActivePageIndex(int index) { setCurrentIndex(index); }

    // What the operator's choice of a page does (events included). True
    // when the page changed.
    bool SelectPage(int index);

    std::function<void(bool &allowChange)> OnChanging;
    std::function<void()> OnChange;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    friend class TTabSheet;
    int neighbour(int from, int step) const;
    void syncTab(TTabSheet *page);
};

} // namespace kiv
