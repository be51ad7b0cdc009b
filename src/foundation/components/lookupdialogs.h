#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QToolButton>

#include <functional>

namespace kiv {

class Table;
class TDataSource;

// The lookup list: a modal dialog "dlgPesquisar" titled with the name part
// of title, listing the rows of the source's table in the grid
// "dbgPesquisa", one column per visible field, in field order, under the
// field's label and as wide as its display width. Typed characters go to
// the search line "edtPesquisa" and move to the first row whose first
// column, a code (CD..., NR...) or a name (NM..., DS...) starts with them,
// without regard to case or accents ("feij" finds "FEIJÃO CARIOCA"); the
// line "lblNaoEncontrado" under the list says when none does. Enter or a double click picks
// the current row, which stays current in the table: true. Esc cancels and
// puts the table back on the record it was on: false.
//
// A title "name|message" shows the message (an information box) instead of
// the list when the table has no rows, and returns false.
//
// upperCase: the search line upper-cases what is typed; showSearch: the
// search line is shown (typing searches either way).
bool Pesquisar(TDataSource *source, const QString &title, bool upperCase = false,
               bool showSearch = true);

// The find dialog "dlgProcura": the operator chooses one of the table's
// visible fields ("cbxCampo") and types the start of a value ("edtValor");
// OK or Enter moves the table to the first record whose field starts with
// it (any letter case) and returns true. When none does, the box "Registro
// não encontrado." is shown and the result is false; Esc gives false too.
bool Procura(Table *table);

// A lookup button beside an edit: a click runs OnBeforePesq (which may
// reload or filter the list's table, and stop the lookup by raising an
// error), opens Pesquisar over DataSource titled Title (EmptyError is the
// message for an empty list), and when a row was chosen writes its first
// visible field into the associated edit and runs OnAfterPesq.
class TBtnPesquisa : public QToolButton
{
    Q_OBJECT

public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);

    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }
    TDataSource *DataSource() const { return m_source; }
    void SetDataSource(TDataSource *source) { m_source = source; }
    QString EmptyError() const { return m_emptyError; }
    void SetEmptyError(const QString &message) { m_emptyError = message; }
    QLineEdit *Edit() const { return m_edit; }
    void SetEdit(QLineEdit *edit) { m_edit = edit; }
    bool UpperCase() const { return m_upperCase; }
    void SetUpperCase(bool upperCase) { m_upperCase = upperCase; }

    // What a click does, for code that acts as a click (F9 in the edit).
    // True when a row was chosen. Errors of the events reach the caller.
    bool Execute();

    std::function<void()> OnBeforePesq;
    std::function<void()> OnAfterPesq;

private:
    QString m_title;
    QPointer<TDataSource> m_source;
    QString m_emptyError;
    QPointer<QLineEdit> m_edit;
    bool m_upperCase = false;
};

} // namespace kiv
