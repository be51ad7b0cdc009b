#pragma once

#include <QColor>
#include <QFont>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

class QLineEdit;

namespace kiv {

class Field;
class Table;
class TDataSource;
class TDBGrid;
class TableModel;
class GridDelegate;
struct GridColumnInfo;

// The button a column shows on its current cell: none (the platform's
// "auto" style for a column without a pick list) or the ellipsis, whose
// click reaches the grid's OnEditButtonClick.
enum class ColumnButtonStyle { Auto, Ellipsis };

// One column of a grid: which field it shows and how. Changes show at once.
class TColumn
{
public:
    int Index() const { return m_index; }
    QString FieldName() const;
    // The field shown, from the grid's table; nullptr without one.
    Field *GetField() const;

    QString Title() const;
    void SetTitle(const QString &title);
    // Width in pixels.
    int Width() const;
    void SetWidth(int pixels);
    // Width as a number of average characters of the grid's font.
    void SetWidthChars(int characters);
    // The width in pixels the window was drawn with, widened only as far as
    // the column's title needs in the workstation's font and, with digits,
    // as far as that many digits need (numbers and codes are read whole).
    void SetDesignWidth(int pixels, int digits = 0);
    bool ReadOnly() const;
    void SetReadOnly(bool readOnly);
    ColumnButtonStyle ButtonStyle() const;
    void SetButtonStyle(ColumnButtonStyle style);
    Qt::Alignment Alignment() const;
    void SetAlignment(Qt::Alignment alignment);
    // The cell editor's mask in the platform's language; empty: the field's.
    QString EditMask() const;
    void SetEditMask(const QString &platformMask);

private:
    friend class TDBGridColumns;
    TColumn(TDBGrid *grid, int index) : m_grid(grid), m_index(index) {}
    const GridColumnInfo &info() const;
    void change(const std::function<void(GridColumnInfo &)> &edit);

    TDBGrid *m_grid;
    int m_index;
};

// The columns of a grid, in display order. A grid without columns of its
// own shows every visible field of its table, titled with the field's label.
class TDBGridColumns
{
public:
    TColumn *Add(const QString &fieldName, const QString &title = QString(), int width = 0);
    // The first column showing the field (any letter case); nullptr if none.
    TColumn *Find(const QString &fieldName) const;
    TColumn *Items(int index) const { return m_columns[size_t(index)].get(); }
    TColumn *operator[](int index) const { return Items(index); }
    int Count() const { return int(m_columns.size()); }
    void Clear();
    // Replaces the columns by the table's visible fields (label, display width).
    void RebuildColumns();

private:
    friend class TDBGrid;
    explicit TDBGridColumns(TDBGrid *grid) : m_grid(grid) {}
    void syncCount(int count);

    TDBGrid *m_grid;
    std::vector<std::unique_ptr<TColumn>> m_columns;
};

// What OnDrawColumnCell may change before a cell is painted. The table is
// not moved to the row being painted: read its other fields with
// Table::TextAt(row, ...).
struct TColumnCellDraw
{
    int row = -1;          // visible row of the table
    int dataCol = -1;      // column index
    TColumn *column = nullptr;
    Field *field = nullptr;
    bool selected = false; // the current cell
    bool focused = false;  // the grid has the focus
    bool editing = false;  // the cell editor is open on this cell
    QString text;          // what the cell shows
    QColor background;
    QColor foreground;
    QFont font;
};

// A grid over the visible rows of the table of a data source, edited in the
// cell the way the windows' operators are used to: typing starts editing
// the record and opens the cell editor; the text is written into the field
// when the cell is left; leaving a changed row posts it, an untouched new
// row is dropped; arrow down from the last row appends a row; Esc undoes the
// cell, then the row; Ctrl+Delete deletes after a question.
//
// The window's events run before the grid acts on a key and may drop it by
// setting it to 0. Every event runs through the guard: an error stops the
// action that raised it (the row stays in edit, the focus in the grid).
class TDBGrid : public QTableView
{
    Q_OBJECT

public:
    explicit TDBGrid(QWidget *parent = nullptr);
    ~TDBGrid() override;

    TDataSource *DataSource() const { return m_source; }
    void SetDataSource(TDataSource *source);
    Table *DataSet() const;

    TDBGridColumns &Columns() { return m_columns; }
    const TDBGridColumns &Columns() const { return m_columns; }

    // The current column. Setting it writes the cell being typed, runs
    // OnColExit for the column left (errors reach the caller), then moves.
    int SelectedIndex() const { return m_selectedCol; }
    void SetSelectedIndex(int column);
    Field *SelectedField() const;
    void SetSelectedField(const QString &fieldName);
    // The first column the operator can type in; -1 when none.
    int FirstEditableIndex() const;

    // Whether the cell editor is open, and opening or closing it (closing
    // writes the text typed).
    bool EditorMode() const;
    void SetEditorMode(bool open);
    // The text in the cell editor, literals of its mask dropped as the field
    // would keep them; empty when the editor is closed.
    QString EditorText() const;
    // The cell editor, nullptr when closed (for tests and GridText).
    QLineEdit *CellEditor() const;
    // The field of the cell being edited, nullptr when the editor is closed.
    Field *EditorField() const;
    // Writes the text typed in the cell editor into its field (starting the
    // table's edit if needed). Errors reach the caller.
    void UpdateData();

    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    bool ConfirmDelete() const { return m_confirmDelete; }
    void SetConfirmDelete(bool confirm) { m_confirmDelete = confirm; }
    QString DeleteQuestion() const { return m_deleteQuestion; }
    void SetDeleteQuestion(const QString &question) { m_deleteQuestion = question; }
    // Tab and Shift+Tab move between cells; otherwise they leave the grid
    // like any other control, unseen by its key events.
    bool TabsMoveCells() const { return m_tabsMoveCells; }
    void SetTabsMoveCells(bool tabs)
    {
        m_tabsMoveCells = tabs;
        setTabKeyNavigation(tabs);
    }

    // The ellipsis button of the current cell, in viewport coordinates;
    // empty when the current column has none.
    QRect EditButtonRect() const;

    // OnColExit runs when the current column changes, on the row being left
    // (before the row is posted when both change); the column's text is in
    // the field by then. Moving to another row in the same column is not a
    // column exit.
    std::function<void()> OnColEnter;
    std::function<void()> OnColExit;
    std::function<void()> OnEditButtonClick;
    std::function<void()> OnEnter;
    std::function<void()> OnExit;
    std::function<void()> OnDblClick;
    std::function<void(int &key, Qt::KeyboardModifiers shift)> OnKeyDown;
    std::function<void(QChar &key)> OnKeyPress;
    // Runs while painting, so an error in it is not shown: the cell is
    // painted as it would be without the handler.
    std::function<void(TColumnCellDraw &cell)> OnDrawColumnCell;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    bool event(QEvent *event) override;

private:
    friend class TColumn;
    friend class TDBGridColumns;
    friend class GridDelegate;

    // Keys from the grid or from its cell editor; true when used up.
    bool handleKey(QKeyEvent *event, bool inEditor);
    // A key for the open cell editor: the grid's handling, then the editor's.
    void editorKeyPress(QKeyEvent *event);
    bool runEvent(const std::function<void()> &body);
    bool act(const std::function<void()> &body);

    void attachTable();
    void rebuildDefaultColumns();
    void syncFromTable();
    void applyColumnLayout();
    void columnInfoChanged(int index, const GridColumnInfo &info);

    int currentRow() const;
    int lastRow() const;
    bool canModify() const;
    bool canEditColumn(int column) const;
    bool isTabStop(int column) const;
    bool editorModified() const;
    bool untouchedNewRow() const;
    bool ensureEditing();
    void showEditor(bool selectAll);
    void hideEditor();
    void reloadEditor();
    void deliverToEditor(QLineEdit *editor, QChar character);

    // The moves; each may throw, which stops the key or click that asked.
    void leaveColumn(bool *stayed);
    void enterColumn(int column);
    void moveCol(int column);
    void moveRow(int row);
    void nextRow();
    void priorRow();
    void tabMove(bool forward);
    void moveTo(int row, int column);
    void resetCurrent();
    void deleteRecord();
    void editButtonClick();

    void onFocusChanged(QWidget *old, QWidget *now);
    void doExit();
    QWidget *form() const;

    QPointer<TDataSource> m_source;
    QPointer<Table> m_table;
    TableModel *m_model;
    GridDelegate *m_delegate;
    TDBGridColumns m_columns;
    bool m_defaultColumns = true;
    int m_selectedCol = 0;
    bool m_readOnly = false;
    bool m_confirmDelete = true;
    QString m_deleteQuestion;
    bool m_tabsMoveCells = true;
    bool m_syncing = false;
    bool m_inColExit = false;
    bool m_committing = false;
    bool m_entered = false;
    bool m_exiting = false;
    bool m_forwarding = false;  // a key the grid hands to its editor itself
    QPointer<QLineEdit> m_editor;
    QPersistentModelIndex m_editorIndex;
    QMetaObject::Connection m_focusConnection;
    QList<QMetaObject::Connection> m_sourceConnections;
    QList<QMetaObject::Connection> m_tableConnections;
};

// The text typed in that field's cell: the cell editor's text while the
// field's cell is being edited, otherwise the field's text. With trim, outer
// blanks are dropped. Empty when the grid shows no such field.
QString GridText(TDBGrid *grid, const QString &fieldName, bool trim = false);
// The index of the grid's column showing the field; -1 when none.
int IndiceCol(TDBGrid *grid, const QString &fieldName);
// Writes what is being typed in every grid of the window and repaints them.
void RefreshGrid(QWidget *window);

} // namespace kiv
