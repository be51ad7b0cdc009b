#pragma once

#include "basewindows.h"
#include "referencetables.h"
#include "tabledecl.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QGridLayout;
class QLabel;
class QLineEdit;
class QToolButton;

namespace kiv {

class Field;
class Table;
class TControlEvents;
class TDataSource;
class TDateTimePicker;
class TDBEdit;
class TDBGrid;
class TDBNavigator;
class TMaskEdit;
class TPageControl;
class TTabSheet;

// What tells one kind of stock document from the other: its three files,
// the names its fields and controls carry, and the few rules in which the
// two kinds differ.
struct StockDocumentKind
{
    // IDENTTIPOP of the operation types the window offers ("E", "S").
    QString operationKind;
    TableDecl header;
    TableDecl items;
    TableDecl dueDates;
    QString headerName;       // cdsLancEntr
    QString headerSourceName; // dtsLancEntr
    QString pagesName;        // pgcLancEntr
    QString numberField;      // NRLANCNFE: links items and due dates to their header
    int codeColumnWidth = 93; // pixels of the item grid's code column as drawn
    // The stored header date before which no due date may fall.
    QString documentDateField;
    QString dueDateField;
    QString dueValueField;
    RefTables::ProductReader productReader;
    // Copied from the product row, in this order, by the lookup and the check.
    QStringList productFields;
    // The origin (entries) or destination (exits) edit and its row.
    QString partnerName;
    QString partnerLabelName;
    QString partnerCaption;
    QString partnerButtonName;
    QString branchButtonName; // the disabled lookup on the filter panel
    // The item post keeps a quantity that fills its field as typed
    // (FormataValor) rather than rewriting it.
    bool quantityKeepsTypedWidth = true;
    // A document whose operation uses due dates needs at least one.
    bool dueDatesRequired = true;
    // Confirm posts a pending item before the header (its own post would).
    bool itemsPostedBeforeHeader = false;
    // Cancel on the form page asks even when nothing is being typed.
    bool cancelAlwaysAsks = false;
};

// The window both stock documents share: a header on the Formulário page,
// its items on the Produto page and, for operation types that use them, its
// due dates on the Vencimento page; three files, each holding every
// branch's documents, written together after every header post and header
// deletion. Numbering, page changes, the checks of a pending header, item or
// due date, the origin or destination by its kind, confirm, cancel, delete
// and the command bar live here, once; each window adds its own header
// fields and the rules only it has.
class StockDocumentWindow : public TfrmPadraoSimples
{
    Q_OBJECT

public:
    StockDocumentWindow(const LoginSession &session, const StockDocumentKind &kind,
                        QWidget *parent = nullptr);

    // Filter panel above the pages.
    QLabel *lblFilial = nullptr;
    TMaskEdit *medCdFilial = nullptr;
    QLineEdit *edtNmFilial = nullptr;

    TTabSheet *tshFormulario = nullptr;
    TTabSheet *tshProduto = nullptr;
    TTabSheet *tshVenc = nullptr;
    QAction *mnuFormulario = nullptr;
    QAction *mnuProduto = nullptr;
    QAction *mnuVencimento = nullptr;

    QLabel *lblOperacao = nullptr;
    TDBEdit *medOperacao = nullptr;
    QToolButton *btpTipoOperac = nullptr;
    TDBEdit *edtOperacao = nullptr;
    TDBEdit *edtOrigem = nullptr;

    TDBGrid *dbgProduto = nullptr;
    TDBGrid *dbgVenc = nullptr;
    TDBNavigator *dbnPadrao = nullptr;

    // A copy of every header, read only to find the highest number.
    Table *cdsPrxLanc = nullptr;
    Table *cdsTipoOperac = nullptr;
    TDataSource *dtsTipoOperac = nullptr;
    Table *cdsForneced = nullptr;
    TDataSource *dtsForneced = nullptr;
    Table *cdsClientes = nullptr;
    TDataSource *dtsClientes = nullptr;
    Table *cdsFilial = nullptr;
    TDataSource *dtsFilial = nullptr;
    // Items and due dates of every document.
    Table *cdsProduto = nullptr;
    TDataSource *dtsProduto = nullptr;
    Table *cdsPesqProduto = nullptr;
    TDataSource *dtsPesqProduto = nullptr;
    // Every item (due date) as it stood before the row being inserted, for
    // the duplicate checks.
    Table *cdsProdutoAux = nullptr;
    Table *cdsVenc = nullptr;
    TDataSource *dtsVenc = nullptr;
    Table *cdsVencAux = nullptr;

    // The highest document number given out so far, over every branch.
    QString UltimoLancamento;

    void Vd_Operacao(bool required);
    void Vd_Fornecedor(bool required);
    void Vd_Cliente(bool required);
    // The item's product code against the product table (filling its codes,
    // name and unit) and, for a new item, against the document's other items.
    void Vd_Produto(bool required);

protected:
    // How a pending row's numbers are brought to their formats: a post
    // keeps a text that fills its field; a page change rewrites it.
    enum class Check { Post, PageChange };

    void FormClose(bool &allowClose) override;
    void FormActivate() override;
    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;
    // The command-bar rules: what the table of the active page and the
    // header allow.
    void dtsPadraoStateChange() override;
    void mnuFormularioClick();
    void mnuProdutoClick();
    void mnuVencimentoClick();

    // Creation, around the window's own loads: the base creation, the
    // unused commands, the edit masks and today's dates first; the items,
    // the products and the due dates; then numbering and the branch.
    void prepareCreation();
    void filterOperationTypes();
    void loadItemsAndDueDates();
    void finishCreation();
    void load(Table *table, const QString &fileName);

    // The rules of the header table's events, in each window's handlers.
    void newDocument();
    void postHeader();
    void documentScrolled();
    void headerCancelled();
    // The three files, every document of every branch, all or none.
    void saveDocuments();
    void deleteDocumentRows();
    void documentDeleted();
    // The operator (or a rule) made another page active: what is pending on
    // the other pages is checked and the commands act on the new page's
    // table.
    void pageChanged();
    void headerStateChanged();

    // The origin or destination by the operation's kind of it (client,
    // supplier, branch).
    void checkPartner(bool required);
    void checkBranchPartner(bool required);
    // A lookup over clients, suppliers or branches; false when cancelled.
    bool lookupPartner(TDataSource *list, const QString &title);
    // F6 or F9 in a header field opens its lookup.
    void lookupKeys(TControlEvents *field, std::function<void()> lookup);

    // What each window adds.
    // Its own header fields, checked after operation and origin by the post
    // and by the page change alike.
    virtual void checkHeaderFields(Check) {}
    // After a partner is copied from a lookup, before it is checked.
    virtual void partnerPicked() {}
    // After the item checks of its post.
    virtual void completeItem() {}
    // After the product code column is left and checked.
    virtual void productCodeLeft() {}
    // For each item the header post adds up.
    virtual void itemSummed() {}
    // After the due-date checks of its post.
    virtual void completeDueDate() {}
    // The control where the total shows.
    virtual void focusTotal() {}

    // A header date shown in a picker: copied into the record by the post,
    // shown again on every move, today's for a new document; an operator's
    // change (or, with digitsEdit, a digit typed) starts editing the header.
    void addHeaderDate(TDateTimePicker *picker, const QString &fieldName, bool digitsEdit);
    // Enabled only for a new document (or while the branch has none).
    void addNewDocumentOnly(QWidget *widget);

    Table *headerTable() const { return m_header; }
    TDataSource *headerSource() const { return m_headerSource; }
    TPageControl *pages() const { return m_pages; }
    TDBEdit *partnerEdit() const { return m_partner; }
    QToolButton *partnerButton() const { return m_partnerButton; }
    QToolButton *branchButton() const { return m_branchButton; }
    QLabel *partnerLabel() const { return m_partnerLabel; }
    // The form page's grid; the window adds its rows after the core's two.
    QGridLayout *formLayout() const { return m_form; }
    int nextFormRow() { return m_formRow++; }
    TDBEdit *headerEdit(const QString &name, const QString &fieldName, int widthChars);
    QLabel *formLabel(const QString &name, const QString &caption);
    QToolButton *lookupButton(const QString &name, const QString &tip);

    QString header(const QString &fieldName) const;
    void setHeader(const QString &fieldName, const QString &value);
    QString item(const QString &fieldName) const;
    void setItem(const QString &fieldName, const QString &value);
    bool editingHeader() const;
    void editHeader();
    static bool editing(const Table *table);
    void error(const QString &key);
    QString dataFile(const QString &fileName) const;
    // Makes the page active and checks its menu entry alone; the rules of
    // leaving the page in front do not run.
    void showPage(TTabSheet *page);

private:
    void operationLookup();
    void operationChanged();
    void partnerChanged();
    void focusPartner();
    void focusItemColumn(const QString &fieldName);
    void enableDueDates(bool enable);
    // Shows the current document's items (or due dates) in their grid.
    void showDocumentRows(TTabSheet *page);
    void declareTables();
    void buildControls();
    void buildFormPage();
    void buildItemGrid();
    void buildDueDateGrid();
    void findLastNumber();
    void showHeaderDates();
    void checkHeader(Check mode);
    void checkItem(Check mode);
    void checkDueDate(Check mode);
    void checkDueDateSum();
    void settleTotal(double sum);
    QString normalised(Check mode, const QString &format, const Field *field) const;
    void checkRegisteredPartner(Table *partners, const QString &registrationField,
                                const QString &codeField, const QString &nameField,
                                const QString &notRegistered, bool required);
    void copyProduct();
    void disableConfirm();
    bool typing() const;
    bool askDiscard();
    // Memory as the files hold it again, after a failed save.
    void reloadDocuments();

    void cdsProdutoBeforeInsert();
    void cdsProdutoBeforePost();
    void cdsProdutoCalcFields();
    void CDARVPRODChange();
    void dtsProdutoStateChange();
    void dbgProdutoColExit();
    void dbgProdutoEditButtonClick();
    void dbgProdutoKeyDown(int &key, Qt::KeyboardModifiers shift);
    void dbgProdutoKeyPress(QChar &key);
    void cdsVencBeforeInsert();
    void cdsVencBeforePost();
    void dbgVencKeyPress(QChar &key);
    // An item or due date was inserted, changed or deleted.
    void detailChanged();

    StockDocumentKind m_kind;
    Table *m_header = nullptr;
    TDataSource *m_headerSource = nullptr;
    TPageControl *m_pages = nullptr;
    TDBEdit *m_partner = nullptr;
    QLabel *m_partnerLabel = nullptr;
    QToolButton *m_partnerButton = nullptr;
    QToolButton *m_branchButton = nullptr;
    QGridLayout *m_form = nullptr;
    int m_formRow = 0;
    QList<QPair<TDateTimePicker *, QString>> m_dates;
    QList<QWidget *> m_newDocumentOnly;
    QString m_operationFilter;
    // A header deletion is removing the document's items and due dates.
    bool m_deletingDocument = false;
    // The tables in memory hold posted changes the files do not: the last
    // save failed.
    bool m_unsaved = false;
};

} // namespace kiv
