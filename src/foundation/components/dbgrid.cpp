#include "dbgrid.h"

#include "controlevents.h"

#include "datasource.h"
#include "editmask.h"
#include "guard.h"
#include "keys.h"
#include "localeservice.h"
#include "messagebox.h"
#include "table.h"
#include "tablemodel.h"
#include "textroutines.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QStyledItemDelegate>

#include <algorithm>

namespace kiv {

// Paints the cells (with the window's OnDrawColumnCell and the ellipsis
// button) and makes the cell editor. It writes nothing into the table: the
// grid writes the cell itself when it is left, so the four overrides stay
// free of the table's rules and their errors.
class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    TDBGrid *m_grid;
};

namespace {

const char *const kDefaultDeleteQuestion = "Excluir registro?";
const int kMaxDefaultChars = 60;

int buttonWidth(const QRect &cell)
{
    return std::min(cell.height(), 20);
}

bool isEditingState(const Table *table)
{
    return table && (table->State() == DataSetState::Edit
                     || table->State() == DataSetState::Insert);
}

bool acceptsChar(const Field *field, QChar c)
{
    if (!field || c.unicode() == VK_BACK)
        return true;
    switch (field->DataType()) {
    case FieldKind::Float:
        return c.isDigit() || c == LocaleService::decimalSeparator() || c == u'+' || c == u'-'
               || c == u'e' || c == u'E';
    case FieldKind::Integer:
        return c.isDigit() || c == u'+' || c == u'-';
    default:
        return true;
    }
}

// The window a widget belongs to as the operator sees it: a child window
// of the main window counts as a window of its own.
QWidget *formOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->isWindow() || qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            return w;
    }
    return nullptr;
}

} // namespace

QWidget *GridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                    const QModelIndex &index) const
{
    auto *editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("edtCelula"));
    editor->setFrame(false);
    const TableModel *model = m_grid->m_model;
    const EditMask mask = model->editMask(index.column());
    if (!mask.qtMask.isEmpty()) {
        editor->setInputMask(mask.qtMask);
    } else if (const Field *field = model->fieldOf(index.column())) {
        if (field->DataType() == FieldKind::Text && field->Size() > 0)
            editor->setMaxLength(field->Size());
    }
    const QVariant alignment = model->data(index, Qt::TextAlignmentRole);
    editor->setAlignment(alignment.value<Qt::Alignment>());
    m_grid->m_editor = editor;
    m_grid->m_editorIndex = index;
    return editor;
}

void GridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *lineEdit = qobject_cast<QLineEdit *>(editor);
    if (!lineEdit)
        return;
    const QString text = index.data(Qt::EditRole).toString();
    const EditMask mask = m_grid->m_model->editMask(index.column());
    lineEdit->setText(mask.qtMask.isEmpty() ? text : mask.displayText(text));
    lineEdit->setModified(false);
    lineEdit->selectAll();
}

void GridDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const {}

void GridDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    QRect rect = option.rect;
    if (m_grid->m_model->column(index.column()).button)
        rect.setRight(rect.right() - buttonWidth(rect));
    editor->setGeometry(rect);
}

void GridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const bool current = index.row() == m_grid->currentRow()
                         && index.column() == m_grid->m_selectedCol;
    if (m_grid->OnDrawColumnCell) {
        TColumnCellDraw cell;
        cell.row = index.row();
        cell.dataCol = index.column();
        cell.column = index.column() < m_grid->m_columns.Count()
                          ? m_grid->m_columns.Items(index.column())
                          : nullptr;
        cell.field = m_grid->m_model->fieldOf(index.column());
        cell.selected = current;
        cell.focused = m_grid->hasFocus() || m_grid->isAncestorOf(QApplication::focusWidget());
        cell.editing = m_grid->EditorMode() && m_grid->m_editorIndex == index;
        cell.text = opt.text;
        const bool highlighted = opt.state & QStyle::State_Selected;
        cell.background = highlighted ? opt.palette.color(QPalette::Highlight)
                                      : opt.backgroundBrush.style() != Qt::NoBrush
                                            ? opt.backgroundBrush.color()
                                            : opt.palette.color(QPalette::Base);
        cell.foreground = opt.palette.color(highlighted ? QPalette::HighlightedText
                                                        : QPalette::Text);
        cell.font = opt.font;
        const QColor background = cell.background;
        const QColor foreground = cell.foreground;
        // An error box raised while painting would be painted over and
        // raised again without end: a failing hook leaves the cell as it is.
        try {
            m_grid->OnDrawColumnCell(cell);
            opt.text = cell.text;
            opt.font = cell.font;
            if (cell.background != background) {
                opt.backgroundBrush = cell.background;
                opt.palette.setColor(QPalette::Highlight, cell.background);
            }
            if (cell.foreground != foreground) {
                opt.palette.setColor(QPalette::Text, cell.foreground);
                opt.palette.setColor(QPalette::HighlightedText, cell.foreground);
            }
        } catch (...) {
        }
    }
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    if (current && m_grid->m_model->column(index.column()).button) {
        QStyleOptionButton button;
        button.rect = option.rect;
        button.rect.setLeft(option.rect.right() - buttonWidth(option.rect) + 1);
        button.text = QStringLiteral("...");
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        button.palette = option.palette;
        style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
    }
}

bool GridDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *editor = qobject_cast<QLineEdit *>(object);
    if (!editor || m_grid->m_forwarding)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        m_grid->editorKeyPress(static_cast<QKeyEvent *>(event));
        return true;
    case QEvent::ShortcutOverride: {
        // Keys the grid acts on while a cell is typed must reach it rather
        // than a shortcut of the window.
        const auto *key = static_cast<QKeyEvent *>(event);
        // Ctrl+Tab and Ctrl+F6 move between the main window's child windows.
        if (key->modifiers() & Qt::ControlModifier
            && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab))
            return false;
        switch (key->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Delete:
            event->accept();
            return true;
        default:
            return false;
        }
    }
    default:
        // No write on focus out (the default delegate's): the grid writes the
        // cell when the operator leaves it, and writes it before a command
        // posts the record (TDataSource::UpdateRecord).
        return false;
    }
}

const GridColumnInfo &TColumn::info() const
{
    return m_grid->m_model->column(m_index);
}

void TColumn::change(const std::function<void(GridColumnInfo &)> &edit)
{
    GridColumnInfo changed = info();
    edit(changed);
    m_grid->columnInfoChanged(m_index, changed);
}

QString TColumn::FieldName() const
{
    return info().fieldName;
}

Field *TColumn::GetField() const
{
    return m_grid->m_model->fieldOf(m_index);
}

QString TColumn::Title() const
{
    return m_grid->m_model->headerData(m_index, Qt::Horizontal).toString();
}

void TColumn::SetTitle(const QString &title)
{
    change([&](GridColumnInfo &c) { c.title = title; });
}

int TColumn::Width() const
{
    return m_grid->columnWidth(m_index);
}

void TColumn::SetWidth(int pixels)
{
    change([&](GridColumnInfo &c) { c.width = pixels; });
}

void TColumn::SetWidthChars(int characters)
{
    // Wide enough for that many digits (codes are digits, the widest common
    // characters) and for the column's title.
    SetDesignWidth(0, characters);
}

void TColumn::SetDesignWidth(int pixels, int digits)
{
    const int text = digits > 0
                         ? digits * m_grid->fontMetrics().horizontalAdvance(QLatin1Char('0')) + 12
                         : 0;
    const int title = m_grid->horizontalHeader()->fontMetrics().horizontalAdvance(Title()) + 16;
    SetWidth(std::max({pixels, text, title}));
}

bool TColumn::ReadOnly() const
{
    return info().readOnly;
}

void TColumn::SetReadOnly(bool readOnly)
{
    change([&](GridColumnInfo &c) { c.readOnly = readOnly; });
}

ColumnButtonStyle TColumn::ButtonStyle() const
{
    return info().button ? ColumnButtonStyle::Ellipsis : ColumnButtonStyle::Auto;
}

void TColumn::SetButtonStyle(ColumnButtonStyle style)
{
    change([&](GridColumnInfo &c) { c.button = style == ColumnButtonStyle::Ellipsis; });
}

Qt::Alignment TColumn::Alignment() const
{
    return info().alignment;
}

void TColumn::SetAlignment(Qt::Alignment alignment)
{
    change([&](GridColumnInfo &c) { c.alignment = alignment; });
}

QString TColumn::EditMask() const
{
    return info().editMask;
}

void TColumn::SetEditMask(const QString &platformMask)
{
    change([&](GridColumnInfo &c) { c.editMask = platformMask; });
}

TColumn *TDBGridColumns::Add(const QString &fieldName, const QString &title, int width)
{
    if (m_grid->m_defaultColumns) {
        m_grid->m_defaultColumns = false;
        m_grid->m_model->setColumns({});
        syncCount(0);
    }
    QList<GridColumnInfo> infos = m_grid->m_model->columns();
    GridColumnInfo info;
    info.fieldName = fieldName;
    info.title = title;
    info.width = width;
    infos.append(info);
    m_grid->m_model->setColumns(infos);
    syncCount(int(infos.size()));
    m_grid->applyColumnLayout();
    m_grid->syncFromTable();
    return m_columns.back().get();
}

TColumn *TDBGridColumns::Find(const QString &fieldName) const
{
    const int index = m_grid->m_model->columnOfField(fieldName);
    return index >= 0 ? Items(index) : nullptr;
}

void TDBGridColumns::Clear()
{
    m_grid->hideEditor();
    m_grid->m_defaultColumns = false;
    m_grid->m_model->setColumns({});
    syncCount(0);
}

void TDBGridColumns::RebuildColumns()
{
    m_grid->rebuildDefaultColumns();
    m_grid->m_defaultColumns = false;
}

void TDBGridColumns::syncCount(int count)
{
    while (int(m_columns.size()) > count)
        m_columns.pop_back();
    while (int(m_columns.size()) < count)
        m_columns.push_back(std::unique_ptr<TColumn>(new TColumn(m_grid, Count())));
}

TDBGrid::TDBGrid(QWidget *parent)
    : QTableView(parent),
      m_model(new TableModel(this)),
      m_delegate(new GridDelegate(this)),
      m_columns(this),
      m_deleteQuestion(QString::fromUtf8(kDefaultDeleteQuestion))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    // The grid opens its editor itself: typing starts the record's edit first.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setWordWrap(false);
    verticalHeader()->hide();
    // Rows of one height: a table of 100,000 rows scrolls without measuring them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this,
                                &TDBGrid::onFocusChanged);
}

TDBGrid::~TDBGrid()
{
    // Focus leaves the grid while QWidget destroys it: by then this class is gone.
    disconnect(m_focusConnection);
    for (const QMetaObject::Connection &connection : std::as_const(m_tableConnections))
        disconnect(connection);
    for (const QMetaObject::Connection &connection : std::as_const(m_sourceConnections))
        disconnect(connection);
}

void TDBGrid::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    for (const QMetaObject::Connection &connection : std::as_const(m_sourceConnections))
        disconnect(connection);
    m_sourceConnections.clear();
    m_source = source;
    if (source) {
        m_sourceConnections << connect(source, &TDataSource::dataSetChanged, this,
                                       &TDBGrid::attachTable)
                            << connect(source, &TDataSource::stateChanged, this, [this] {
                                   const Table *wanted = m_source && m_source->Enabled()
                                                             ? m_source->DataSet()
                                                             : nullptr;
                                   if (wanted != m_table)
                                       attachTable();
                               })
                            << connect(source, &QObject::destroyed, this, [this] {
                                   m_source = nullptr;
                                   attachTable();
                               });
        // A command that posts the record first writes what is being typed here.
        source->addPendingWriter(this, [this, source] {
            if (m_source == source)
                UpdateData();
        });
    }
    attachTable();
}

Table *TDBGrid::DataSet() const
{
    return m_table;
}

void TDBGrid::attachTable()
{
    Table *table = m_source && m_source->Enabled() ? m_source->DataSet() : nullptr;
    hideEditor();
    for (const QMetaObject::Connection &connection : std::as_const(m_tableConnections))
        disconnect(connection);
    m_tableConnections.clear();
    m_table = table;
    m_model->setTable(table);
    if (table) {
        // Connected after the model, so the model has caught up when these run.
        m_tableConnections
            << connect(table, &Table::currentChanged, this, &TDBGrid::syncFromTable)
            << connect(table, &Table::viewReset, this, &TDBGrid::syncFromTable)
            << connect(table, &Table::rowInserted, this, &TDBGrid::syncFromTable)
            << connect(table, &Table::rowRemoved, this, &TDBGrid::syncFromTable)
            << connect(table, &Table::stateChanged, this,
                       [this] {
                           // A post or cancel from elsewhere ends the cell being typed.
                           if (!m_committing && m_table
                               && m_table->State() != DataSetState::Edit
                               && m_table->State() != DataSetState::Insert)
                               hideEditor();
                       })
            << connect(table, &Table::fieldChanged, this,
                       [this](int fieldIndex) {
                           // A rule that changes the field being typed shows its value.
                           if (m_committing || !EditorMode())
                               return;
                           const Field *field = m_model->fieldOf(m_editorIndex.column());
                           if (field && field->Index() == fieldIndex)
                               reloadEditor();
                       })
            << connect(table, &Table::fieldsChanged, this, [this] {
                   if (m_defaultColumns)
                       rebuildDefaultColumns();
               });
    }
    if (m_defaultColumns)
        rebuildDefaultColumns();
    applyColumnLayout();
    syncFromTable();
}

void TDBGrid::rebuildDefaultColumns()
{
    hideEditor();
    QList<GridColumnInfo> infos;
    if (m_table) {
        for (int i = 0; i < m_table->FieldCount(); ++i) {
            const Field *field = m_table->Fields(i);
            if (!field->Visible())
                continue;
            GridColumnInfo info;
            info.fieldName = field->FieldName();
            infos.append(info);
        }
    }
    m_model->setColumns(infos);
    m_columns.syncCount(int(infos.size()));
    applyColumnLayout();
    syncFromTable();
}

void TDBGrid::applyColumnLayout()
{
    const int charWidth = fontMetrics().averageCharWidth();
    for (int i = 0; i < m_model->columnCount(); ++i) {
        int width = m_model->column(i).width;
        if (width <= 0) {
            const Field *field = m_model->fieldOf(i);
            const int chars = field ? std::clamp(field->DisplayWidth(), 4, kMaxDefaultChars)
                                    : 10;
            const int title = fontMetrics().horizontalAdvance(
                                  m_model->headerData(i, Qt::Horizontal).toString())
                              + 12;
            width = std::max(chars * charWidth + 8, title);
        }
        setColumnWidth(i, width);
    }
}

void TDBGrid::columnInfoChanged(int index, const GridColumnInfo &info)
{
    const GridColumnInfo before = m_model->column(index);
    m_model->setColumn(index, info);
    if (info.width != before.width || info.fieldName != before.fieldName)
        applyColumnLayout();
    if (info.editMask != before.editMask && EditorMode() && m_editorIndex.column() == index)
        hideEditor();
    updateEditorGeometries();
    viewport()->update();
}

int TDBGrid::currentRow() const
{
    return m_table && m_table->Active() ? m_table->CurrentIndex() : -1;
}

int TDBGrid::lastRow() const
{
    return m_table && m_table->Active() ? m_table->ViewCount() - 1 : -1;
}

void TDBGrid::syncFromTable()
{
    const int columns = m_model->columnCount();
    if (columns > 0)
        m_selectedCol = std::clamp(m_selectedCol, 0, columns - 1);
    const int row = currentRow();
    if (row < 0 || row >= m_model->rowCount() || columns == 0) {
        hideEditor();
        m_syncing = true;
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
        m_syncing = false;
        return;
    }
    const QModelIndex index = m_model->index(row, m_selectedCol);
    if (EditorMode() && m_editorIndex != index)
        hideEditor();
    if (currentIndex() != index || !selectionModel()->isSelected(index)) {
        m_syncing = true;
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_syncing = false;
    }
    scrollTo(index);
    viewport()->update();
}

void TDBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    // The view moved on its own (rows removed under the cursor...): the
    // table's cursor is what the grid shows, so go back to it.
    if (!m_syncing && m_table && current.isValid() && current.row() != currentRow())
        QMetaObject::invokeMethod(this, &TDBGrid::syncFromTable, Qt::QueuedConnection);
}

bool TDBGrid::canModify() const
{
    return !m_readOnly && m_table && m_table->Active();
}

bool TDBGrid::canEditColumn(int column) const
{
    return canModify() && column >= 0 && column < m_model->columnCount()
           && m_model->isColumnEditable(column);
}

bool TDBGrid::isTabStop(int column) const
{
    if (column < 0 || column >= m_model->columnCount())
        return false;
    return m_readOnly || m_model->isColumnEditable(column);
}

bool TDBGrid::EditorMode() const
{
    return m_editor && m_editorIndex.isValid() && indexWidget(m_editorIndex) == m_editor;
}

void TDBGrid::SetEditorMode(bool open)
{
    if (open) {
        if (!EditorMode() && canEditColumn(m_selectedCol))
            showEditor(false);
    } else {
        UpdateData();
        hideEditor();
    }
}

QLineEdit *TDBGrid::CellEditor() const
{
    return EditorMode() ? m_editor.data() : nullptr;
}

Field *TDBGrid::EditorField() const
{
    return EditorMode() ? m_model->fieldOf(m_editorIndex.column()) : nullptr;
}

QString TDBGrid::EditorText() const
{
    if (!EditorMode())
        return QString();
    const EditMask mask = m_model->editMask(m_editorIndex.column());
    return mask.qtMask.isEmpty() ? m_editor->text() : mask.storedText(m_editor->text());
}

bool TDBGrid::editorModified() const
{
    return EditorMode() && m_editor->isModified();
}

bool TDBGrid::untouchedNewRow() const
{
    return m_table && m_table->State() == DataSetState::Insert && !m_table->Modified()
           && !editorModified();
}

void TDBGrid::showEditor(bool selectAll)
{
    const QModelIndex index = currentIndex();
    if (EditorMode() || !index.isValid() || !canEditColumn(index.column()))
        return;
    if (state() == QAbstractItemView::EditingState)
        setState(QAbstractItemView::NoState);
    edit(index);
    if (QLineEdit *editor = CellEditor()) {
        if (selectAll)
            editor->selectAll();
        else
            editor->end(false);
    }
}

void TDBGrid::hideEditor()
{
    QPointer<QLineEdit> editor = m_editor;
    const QModelIndex index = m_editorIndex;
    m_editor = nullptr;
    m_editorIndex = QPersistentModelIndex();
    if (editor && index.isValid() && indexWidget(index) == editor)
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    // Qt has already let go of an editor whose row went away; only the
    // view's editing state may be left behind.
    if (state() == QAbstractItemView::EditingState)
        setState(QAbstractItemView::NoState);
}

void TDBGrid::reloadEditor()
{
    if (EditorMode())
        m_delegate->setEditorData(m_editor, m_editorIndex);
}

void TDBGrid::UpdateData()
{
    if (!editorModified())
        return;
    Field *field = EditorField();
    if (!field || m_editorIndex.row() != currentRow()) {
        hideEditor();
        return;
    }
    const QString text = EditorText();
    if (!isEditingState(m_table))
        m_table->Edit();
    {
        m_committing = true;
        const auto done = qScopeGuard([this] { m_committing = false; });
        field->SetText(text);
    }
    if (EditorMode()) {
        m_editor->setModified(false);
        reloadEditor();
    }
}

bool TDBGrid::ensureEditing()
{
    if (!canModify())
        return false;
    if (isEditingState(m_table))
        return true;
    // The record's BeforeEdit may refuse; an empty table starts a new row.
    return act([this] { m_table->Edit(); });
}

void TDBGrid::deliverToEditor(QLineEdit *editor, QChar character)
{
    const int key = character.unicode() == VK_BACK ? int(Qt::Key_Backspace) : 0;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier,
                    key ? QString() : QString(character));
    m_forwarding = true;
    const auto done = qScopeGuard([this] { m_forwarding = false; });
    QCoreApplication::sendEvent(editor, &press);
}

void TDBGrid::leaveColumn(bool *stayed)
{
    *stayed = false;
    UpdateData();
    if (m_inColExit || !OnColExit)
        return;
    const int column = m_selectedCol;
    m_inColExit = true;
    const auto done = qScopeGuard([this] { m_inColExit = false; });
    OnColExit();
    // The handler chose the column itself (an error points at another one).
    *stayed = m_selectedCol != column;
}

void TDBGrid::enterColumn(int column)
{
    if (column == m_selectedCol)
        return;
    hideEditor();
    m_selectedCol = column;
    syncFromTable();
    if (OnColEnter)
        OnColEnter();
}

void TDBGrid::moveCol(int column)
{
    UpdateData();
    if (column == m_selectedCol || column < 0 || column >= m_model->columnCount())
        return;
    bool stayed = false;
    leaveColumn(&stayed);
    if (!stayed)
        enterColumn(column);
}

void TDBGrid::SetSelectedIndex(int column)
{
    if (m_model->columnCount() == 0)
        return;
    moveCol(std::clamp(column, 0, m_model->columnCount() - 1));
}

int TDBGrid::FirstEditableIndex() const
{
    for (int column = 0; column < m_model->columnCount(); ++column)
        if (!m_readOnly && m_model->isColumnEditable(column))
            return column;
    return -1;
}

Field *TDBGrid::SelectedField() const
{
    return m_model->fieldOf(m_selectedCol);
}

void TDBGrid::SetSelectedField(const QString &fieldName)
{
    const int column = m_model->columnOfField(fieldName);
    if (column >= 0)
        SetSelectedIndex(column);
}

void TDBGrid::moveRow(int row)
{
    if (!m_table || !m_table->Active())
        return;
    UpdateData();
    if (row == currentRow())
        return;
    hideEditor();
    if (isEditingState(m_table)) {
        // Posting may move the row being left (the table's order) and
        // dropping an untouched new row removes it: follow the target row.
        bool lost = false;
        QList<QMetaObject::Connection> follow{
            connect(m_table, &Table::rowInserted, this,
                    [&row](int at) {
                        if (at <= row)
                            ++row;
                    }),
            connect(m_table, &Table::rowRemoved, this,
                    [&row](int at) {
                        if (at < row)
                            --row;
                    }),
            connect(m_table, &Table::viewReset, this, [&lost] { lost = true; }),
        };
        const auto done = qScopeGuard([&follow] {
            for (const QMetaObject::Connection &connection : std::as_const(follow))
                disconnect(connection);
        });
        m_table->CheckBrowseMode();
        if (lost)
            return;
    }
    if (m_table->ViewCount() == 0)
        return;
    row = std::clamp(row, 0, m_table->ViewCount() - 1);
    if (row != m_table->CurrentIndex())
        m_table->SetRecNo(row + 1);
}

void TDBGrid::nextRow()
{
    if (!m_table || !m_table->Active())
        return;
    if (untouchedNewRow()) {
        // A new row nobody typed in: at the end it stays, elsewhere it goes.
        if (currentRow() < lastRow()) {
            hideEditor();
            m_table->Cancel();
        }
        return;
    }
    UpdateData();
    hideEditor();
    if (currentRow() >= lastRow()) {
        if (canModify())
            m_table->Append();
        return;
    }
    moveRow(currentRow() + 1);
}

void TDBGrid::priorRow()
{
    if (!m_table || !m_table->Active())
        return;
    if (untouchedNewRow() && currentRow() == lastRow()) {
        hideEditor();
        m_table->Cancel();
        return;
    }
    UpdateData();
    hideEditor();
    if (currentRow() > 0)
        moveRow(currentRow() - 1);
    else
        m_table->CheckBrowseMode();
}

void TDBGrid::tabMove(bool forward)
{
    const int count = m_model->columnCount();
    if (count == 0)
        return;
    const int original = m_selectedCol;
    int column = original;
    bool left = false;
    for (int step = 0; step <= 2 * count; ++step) {
        column += forward ? 1 : -1;
        if (column >= count || column < 0) {
            if (!left) {
                bool stayed = false;
                leaveColumn(&stayed);
                if (stayed)
                    return;
                left = true;
            }
            if (forward) {
                nextRow();
                column = 0;
            } else {
                priorRow();
                column = count - 1;
            }
        }
        if (column == original)
            return;
        if (isTabStop(column)) {
            if (left)
                enterColumn(column);
            else
                moveCol(column);
            return;
        }
    }
}

void TDBGrid::moveTo(int row, int column)
{
    UpdateData();
    bool left = false;
    if (column != m_selectedCol) {
        bool stayed = false;
        leaveColumn(&stayed);
        if (stayed)
            return;
        left = true;
    }
    if (row != currentRow())
        moveRow(row);
    if (left)
        enterColumn(column);
}

void TDBGrid::resetCurrent()
{
    if (editorModified()) {
        hideEditor();
        return;
    }
    hideEditor();
    if (isEditingState(m_table))
        m_table->Cancel();
}

void TDBGrid::deleteRecord()
{
    if (!canModify() || m_table->ViewCount() == 0)
        return;
    if (m_confirmDelete
        && ShowMsg(m_deleteQuestion, MsgType::Confirmation, mbYes | mbNo) != mrYes)
        return;
    hideEditor();
    m_table->Delete();
}

void TDBGrid::editButtonClick()
{
    if (m_selectedCol < m_model->columnCount() && m_model->column(m_selectedCol).button
        && OnEditButtonClick)
        OnEditButtonClick();
}

QRect TDBGrid::EditButtonRect() const
{
    const int row = currentRow();
    if (row < 0 || m_selectedCol >= m_model->columnCount()
        || !m_model->column(m_selectedCol).button)
        return QRect();
    const QRect cell = visualRect(m_model->index(row, m_selectedCol));
    if (cell.isEmpty())
        return QRect();
    const int width = buttonWidth(cell);
    return QRect(cell.right() - width + 1, cell.top(), width, cell.height());
}

void TDBGrid::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (readOnly)
        hideEditor();
}

bool TDBGrid::runEvent(const std::function<void()> &body)
{
    const bool hadFocus = hasFocus() || isAncestorOf(QApplication::focusWidget());
    const bool done = guarded(this, body);
    // A box (an error, the delete question, a lookup) came and went and no
    // control has the focus: it goes back to the grid, where the operator was.
    if (hadFocus && isVisible() && !QApplication::focusWidget()) {
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
    return done;
}

bool TDBGrid::act(const std::function<void()> &body)
{
    const bool done = runEvent(body);
    if (!done)
        syncFromTable();
    return done;
}

bool TDBGrid::handleKey(QKeyEvent *event, bool inEditor)
{
    int key = platformKey(event);
    const Qt::KeyboardModifiers shift = platformShift(event);
    const bool ctrl = shift & Qt::ControlModifier;

    // The window's OnKeyDown sees every key first and may drop it.
    if (key != 0 && OnKeyDown && (!runEvent([&] { OnKeyDown(key, shift); }) || key == 0))
        return true;

    switch (event->key()) {
    case Qt::Key_Up:
        // Up leaves the row (posting it); an untouched new last row goes away.
        act([this] { priorRow(); });
        return true;
    case Qt::Key_Down:
        // Down leaves the row; below the last one it appends a row.
        act([this] { nextRow(); });
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        // A page at a time, never appending.
        const int rowPixels = std::max(1, verticalHeader()->defaultSectionSize());
        const int page = std::max(1, viewport()->height() / rowPixels - 1);
        const int target = currentRow() + (event->key() == Qt::Key_PageUp ? -page : page);
        act([this, target] { moveRow(std::clamp(target, 0, std::max(0, lastRow()))); });
        return true;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // Tab walks the cells the operator can type in, row after row;
        // without that option it leaves the grid. Ctrl+Tab is the main
        // window's (the next child window).
        if (!m_tabsMoveCells || ctrl)
            return false;
        act([this, event, shift] {
            tabMove(event->key() == Qt::Key_Tab && !(shift & Qt::ShiftModifier));
        });
        return true;
    case Qt::Key_Escape:
        // Esc undoes the cell being typed, or else the pending row; with
        // nothing to undo it belongs to the window (a dialog closes).
        if (!editorModified() && !isEditingState(m_table)) {
            if (!inEditor)
                return false;
            hideEditor();
            return true;
        }
        act([this] { resetCurrent(); });
        return true;
    case Qt::Key_Delete:
        // Ctrl+Delete deletes the row after the question; plain Delete edits text.
        if (ctrl) {
            act([this] { deleteRecord(); });
            return true;
        }
        break;
    case Qt::Key_Insert:
        // Insert opens a new row before the current one.
        if (!inEditor && shift == Qt::NoModifier) {
            if (canModify())
                act([this] {
                    UpdateData();
                    hideEditor();
                    m_table->Insert();
                });
            return true;
        }
        break;
    case Qt::Key_F2:
        // F2 opens the cell editor without changing the text.
        if (!EditorMode())
            showEditor(false);
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        // Home and End go to the first and last column (with Ctrl, row);
        // in the editor they move the caret.
        if (inEditor && !ctrl)
            break;
        act([this, event, ctrl] {
            const bool home = event->key() == Qt::Key_Home;
            if (ctrl)
                moveRow(home ? 0 : std::max(0, lastRow()));
            else
                moveCol(home ? 0 : m_model->columnCount() - 1);
        });
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        // Arrows move between columns; in the editor they move the caret.
        if (inEditor)
            break;
        act([this, event] { moveCol(m_selectedCol + (event->key() == Qt::Key_Left ? -1 : 1)); });
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Ctrl+Enter is the ellipsis button's key.
        if (ctrl) {
            act([this] { editButtonClick(); });
            return true;
        }
        break;
    default:
        break;
    }

    QChar character = platformChar(event);
    if (character.isNull()) {
        // Keys that type nothing; in the editor, Delete and the clipboard
        // keys change the text, so the record's edit starts first.
        if (!inEditor)
            return false;
        const bool changesText = event->key() == Qt::Key_Delete
                                 || event->matches(QKeySequence::Paste)
                                 || event->matches(QKeySequence::Cut);
        return changesText && !(canEditColumn(m_selectedCol) && ensureEditing());
    }
    if (character.unicode() == VK_TAB || character.unicode() == VK_ESCAPE)
        return true;

    // The window's OnKeyPress filters the characters and may drop them.
    if (OnKeyPress && (!runEvent([&] { OnKeyPress(character); }) || character.isNull()))
        return true;

    if (character.unicode() == VK_RETURN) {
        // Enter writes the cell and goes to the next one now, as Tab does:
        // the keys typed ahead of it, already waiting behind it, are meant
        // for the next cell. The editor it closes is only deleted later.
        act([this] {
            UpdateData();
            hideEditor();
            tabMove(true);
        });
        return true;
    }
    if (character.unicode() < 32 && character.unicode() != VK_BACK)
        return true;
    // A character for the cell: the first one starts the record's edit and
    // opens the editor, replacing the cell's text. A number field refuses
    // what can never be part of a number.
    if (!canEditColumn(m_selectedCol) || !acceptsChar(SelectedField(), character)
        || !ensureEditing())
        return true;
    if (!EditorMode()) {
        showEditor(true);
        if (QLineEdit *editor = CellEditor())
            deliverToEditor(editor, character);
        return true;
    }
    if (!inEditor || !typesItself(event, character)) {
        deliverToEditor(m_editor, character);
        return true;
    }
    return false;
}

void TDBGrid::editorKeyPress(QKeyEvent *event)
{
    QPointer<QLineEdit> editor = m_editor;
    if (handleKey(event, true) || !editor) {
        event->accept();
        return;
    }
    // The editor types the key itself; what it does not use stops here, so
    // the window's key handlers never see a key twice.
    m_forwarding = true;
    const auto done = qScopeGuard([this] { m_forwarding = false; });
    QCoreApplication::sendEvent(editor, event);
    event->accept();
}

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    // A key handed to the editor that it did not use comes back up here.
    if (m_forwarding) {
        event->accept();
        return;
    }
    if (EditorMode()) {
        editorKeyPress(event);
        return;
    }
    if (handleKey(event, false))
        event->accept();
    else
        event->ignore();
}

bool TDBGrid::event(QEvent *event)
{
    // Tab reaches the grid's keys (with its modifiers) before Qt moves the
    // focus to the next control.
    if (event->type() == QEvent::KeyPress && m_tabsMoveCells) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            if (key->isAccepted())
                return true;
        }
    }
    return QTableView::event(event);
}

void TDBGrid::mousePressEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    if (focusPolicy() != Qt::NoFocus && !hasFocus()
        && !isAncestorOf(QApplication::focusWidget()))
        setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return;
    if (index.row() == currentRow() && index.column() == m_selectedCol) {
        if (EditButtonRect().contains(position))
            act([this] { editButtonClick(); });
        return;
    }
    act([this, index] { moveTo(index.row(), index.column()); });
}

void TDBGrid::mouseMoveEvent(QMouseEvent *event)
{
    // Dragging would select cells and move the view's cursor behind the table's back.
    if (event->buttons() == Qt::NoButton)
        QTableView::mouseMoveEvent(event);
}

void TDBGrid::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()
        || EditButtonRect().contains(event->position().toPoint()))
        return;
    // The first click of the pair has normally made the cell current already.
    if ((index.row() != currentRow() || index.column() != m_selectedCol)
        && !act([this, index] { moveTo(index.row(), index.column()); }))
        return;
    if (OnDblClick && !runEvent(OnDblClick))
        return;
    if (index.row() == currentRow() && index.column() == m_selectedCol)
        showEditor(false);
}

QWidget *TDBGrid::form() const
{
    return formOf(const_cast<TDBGrid *>(this));
}

void TDBGrid::onFocusChanged(QWidget *, QWidget *now)
{
    if (now && (now == this || isAncestorOf(now))) {
        if (!m_entered) {
            enterOtherControl(this);
            if (!(hasFocus() || isAncestorOf(QApplication::focusWidget())))
                return;  // the control left kept the focus
            m_entered = true;
            if (OnEnter)
                runEvent(OnEnter);
        }
        return;
    }
    // A message box or a lookup over the window is not leaving the grid.
    if (!m_entered || !now || formOf(now) != form())
        return;
    m_entered = false;
    doExit();
}

void TDBGrid::doExit()
{
    if (m_exiting)
        return;
    m_exiting = true;
    const auto done = qScopeGuard([this] { m_exiting = false; });
    const bool written = guarded(this, [this] {
        if (!m_table || !m_table->Active())
            return;
        // Leaving the grid drops a new row nobody typed in and keeps the
        // text of the cell being typed.
        if (untouchedNewRow()) {
            hideEditor();
            m_table->Cancel();
        } else {
            UpdateData();
        }
    });
    if (!written) {
        m_entered = true;
        setFocus(Qt::OtherFocusReason);
        return;
    }
    hideEditor();
    if (OnExit)
        runEvent(OnExit);
}

QString GridText(TDBGrid *grid, const QString &fieldName, bool trim)
{
    if (!grid)
        return QString();
    const int column = IndiceCol(grid, fieldName);
    if (column < 0)
        return QString();
    QString text;
    const Field *editing = grid->EditorField();
    const TColumn *shown = grid->Columns().Items(column);
    const Field *field = shown->GetField();
    if (editing && field && editing == field)
        text = grid->EditorText();
    else if (field && grid->DataSet() && grid->DataSet()->Active())
        text = field->AsString();
    return trim ? AllTrim(text) : text;
}

int IndiceCol(TDBGrid *grid, const QString &fieldName)
{
    if (!grid)
        return -1;
    const TColumn *column = grid->Columns().Find(fieldName);
    return column ? column->Index() : -1;
}

void RefreshGrid(QWidget *window)
{
    if (!window)
        return;
    QList<TDBGrid *> grids = window->findChildren<TDBGrid *>();
    if (auto *grid = qobject_cast<TDBGrid *>(window))
        grids.prepend(grid);
    for (TDBGrid *grid : std::as_const(grids)) {
        grid->UpdateData();
        grid->viewport()->update();
    }
}

} // namespace kiv
