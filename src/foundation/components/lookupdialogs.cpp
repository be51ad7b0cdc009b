#include "lookupdialogs.h"

#include "datasource.h"
#include "dbgrid.h"
#include "guard.h"
#include "keys.h"
#include "maskedit.h"
#include "messagebox.h"
#include "table.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kiv {

namespace {

// Moves the table to the first visible row whose field starts with text,
// any letter case; false (and no move) when there is none.
bool locatePrefix(Table *table, const Field *field, const QString &text)
{
    if (!table || !field || !table->Active())
        return false;
    if (field->DataType() == FieldKind::Text && !field->Calculated())
        return table->Locate(field->FieldName(), text, loPartialKey | loCaseInsensitive);
    // Numbers and dates are compared as the operator reads them.
    for (int row = 0; row < table->ViewCount(); ++row) {
        if (table->TextAt(row, field->Index()).startsWith(text, Qt::CaseInsensitive)) {
            table->SetRecNo(row + 1);
            return true;
        }
    }
    return false;
}

QList<Field *> visibleFields(const Table *table)
{
    QList<Field *> fields;
    for (int i = 0; i < table->FieldCount(); ++i)
        if (table->Fields(i)->Visible())
            fields.append(table->Fields(i));
    return fields;
}

QDialogButtonBox *okCancelButtons(QDialog *dialog)
{
    auto *buttons = new QDialogButtonBox(dialog);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancelar"),
                                             QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// Hands the row keys typed in the search line to the list, so the operator
// can type and choose without leaving the keyboard's home row.
class RowKeysToGrid : public QObject
{
public:
    RowKeysToGrid(QObject *parent, TDBGrid *grid) : QObject(parent), m_grid(grid) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QCoreApplication::sendEvent(m_grid, key);
            return true;
        default:
            return false;
        }
    }

private:
    TDBGrid *m_grid;
};

} // namespace

bool Pesquisar(TDataSource *source, const QString &title, bool upperCase, bool showSearch)
{
    const qsizetype bar = title.indexOf(u'|');
    const QString name = bar >= 0 ? title.left(bar) : title;
    const QString emptyMessage = bar >= 0 ? title.mid(bar + 1) : QString();
    Table *table = source ? source->DataSet() : nullptr;
    const bool empty = !table || !table->Active() || table->RecordCount() == 0;
    if (empty && !emptyMessage.isEmpty()) {
        ShowMsg(emptyMessage, MsgType::Information, mbOK);
        return false;
    }
    if (!table || !table->Active())
        return false;
    const int startRecNo = table->RecNo();

    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("dlgPesquisar"));
    dialog.setWindowTitle(name);
    auto *layout = new QVBoxLayout(&dialog);

    auto *search = new QLineEdit(&dialog);
    search->setObjectName(QStringLiteral("edtPesquisa"));
    search->setPlaceholderText(QStringLiteral("Pesquisar"));
    search->setVisible(showSearch);
    layout->addWidget(search);

    auto *listSource = new TDataSource(&dialog);
    listSource->setDataSet(table);
    auto *grid = new TDBGrid(&dialog);
    grid->setObjectName(QStringLiteral("dbgPesquisa"));
    grid->SetReadOnly(true);
    grid->SetTabsMoveCells(false);
    grid->SetDataSource(listSource);
    QList<Field *> fields = visibleFields(table);
    if (fields.isEmpty())
        for (int i = 0; i < table->FieldCount(); ++i)
            fields.append(table->Fields(i));
    for (const Field *field : std::as_const(fields))
        grid->Columns().Add(field->FieldName(), field->DisplayLabel())
            ->SetWidthChars(std::clamp(field->DisplayWidth(), 4, 60));
    layout->addWidget(grid);
    QDialogButtonBox *buttons = okCancelButtons(&dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);

    const Field *key = fields.first();
    const auto runSearch = [&] {
        if (!search->text().isEmpty())
            guarded(&dialog, [&] { locatePrefix(table, key, search->text()); });
    };
    const auto typed = [&](const QString &text) {
        search->setText(upperCase ? text.toUpper() : text);
        runSearch();
    };
    QObject::connect(search, &QLineEdit::textEdited, &dialog, [&](const QString &text) {
        if (upperCase && text != text.toUpper()) {
            const int cursor = search->cursorPosition();
            search->setText(text.toUpper());
            search->setCursorPosition(cursor);
        }
        runSearch();
    });
    QObject::connect(search, &QLineEdit::returnPressed, &dialog, &QDialog::accept);
    search->installEventFilter(new RowKeysToGrid(search, grid));

    grid->OnKeyDown = [&](int &code, Qt::KeyboardModifiers) {
        if (code == VK_RETURN) {
            code = 0;
            dialog.accept();
        }
    };
    grid->OnKeyPress = [&](QChar &c) {
        if (c.unicode() == VK_BACK) {
            QString text = search->text();
            text.chop(1);
            typed(text);
            c = QChar();
        } else if (c.isPrint()) {
            typed(search->text() + c);
            c = QChar();
        }
    };
    grid->OnDblClick = [&] { dialog.accept(); };

    int width = 2 * grid->frameWidth() + grid->verticalScrollBar()->sizeHint().width() + 4;
    for (int i = 0; i < grid->Columns().Count(); ++i)
        width += grid->columnWidth(i);
    int maxWidth = 900;
    if (const QScreen *screen = dialog.screen())
        maxWidth = std::min(maxWidth, screen->availableGeometry().width() - 40);
    dialog.resize(std::clamp(width + 24, 320, std::max(320, maxWidth)), 420);
    grid->setFocus();

    const bool picked = dialog.exec() == QDialog::Accepted && table->Active()
                        && table->RecordCount() > 0;
    if (!picked && table->Active() && startRecNo > 0 && startRecNo <= table->ViewCount()
        && table->RecNo() != startRecNo)
        table->SetRecNo(startRecNo);
    return picked;
}

bool Procura(Table *table)
{
    if (!table || !table->Active())
        return false;
    QDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("dlgProcura"));
    dialog.setWindowTitle(QStringLiteral("Procurar"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *form = new QFormLayout;
    auto *fieldBox = new QComboBox(&dialog);
    fieldBox->setObjectName(QStringLiteral("cbxCampo"));
    auto *value = new QLineEdit(&dialog);
    value->setObjectName(QStringLiteral("edtValor"));
    form->addRow(QStringLiteral("Campo:"), fieldBox);
    form->addRow(QStringLiteral("Valor:"), value);
    layout->addLayout(form);
    QDialogButtonBox *buttons = okCancelButtons(&dialog);
    layout->addWidget(buttons);

    QList<Field *> fields = visibleFields(table);
    if (fields.isEmpty())
        for (int i = 0; i < table->FieldCount(); ++i)
            fields.append(table->Fields(i));
    for (const Field *field : std::as_const(fields))
        fieldBox->addItem(field->DisplayLabel(), field->FieldName());
    // The table's browsing order says what the operator most likely looks for.
    const QString orderField = table->IndexFieldNames().section(u';', 0, 0).trimmed();
    const int ordered = orderField.isEmpty() ? -1 : fieldBox->findData(orderField,
                                                                       Qt::UserRole,
                                                                       Qt::MatchFixedString);
    if (ordered >= 0)
        fieldBox->setCurrentIndex(ordered);

    bool found = false;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        const Field *field = table->FindField(fieldBox->currentData().toString());
        if (!guarded(&dialog, [&] { found = locatePrefix(table, field, value->text()); }))
            return;
        if (!found)
            ShowMsg(QStringLiteral("Registro não encontrado."), MsgType::Information, mbOK);
        dialog.done(found ? QDialog::Accepted : QDialog::Rejected);
    });
    value->setFocus();
    dialog.exec();
    return found;
}

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : QToolButton(parent)
{
    setText(QStringLiteral("..."));
    setToolTip(QStringLiteral("Pesquisar"));
    // Like the platform's speed button: clicking it leaves the focus (and the
    // edit's exit rules) where they are.
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QToolButton::clicked, this, [this] { guarded(this, [this] { Execute(); }); });
}

bool TBtnPesquisa::Execute()
{
    if (OnBeforePesq)
        OnBeforePesq();
    QString title = m_title;
    if (!m_emptyError.isEmpty() && !title.contains(u'|'))
        title += u'|' + m_emptyError;
    if (!Pesquisar(m_source, title, m_upperCase, true))
        return false;
    if (m_edit && m_source && m_source->DataSet()) {
        const Table *table = m_source->DataSet();
        const QList<Field *> fields = visibleFields(table);
        const QString text = fields.isEmpty() ? QString() : fields.first()->AsString();
        if (auto *maskEdit = qobject_cast<TMaskEdit *>(m_edit.data()))
            maskEdit->SetText(text);
        else
            m_edit->setText(text);
    }
    if (OnAfterPesq)
        OnAfterPesq();
    return true;
}

} // namespace kiv
