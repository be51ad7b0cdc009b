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

// Text as the operator compares it: no letter case, no accents ("FEIJÃO"
// and "feijao" are alike).
QString plain(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString result;
    result.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            result.append(c);
    return result.toCaseFolded();
}

// Moves the table to the first visible row whose code (the list's first
// column) or name starts with text, without regard to case or accents;
// false (and no move) when there is none.
bool locatePrefix(Table *table, const QList<const Field *> &fields, const QString &text)
{
    if (!table || fields.isEmpty() || !table->Active())
        return false;
    const QString wanted = plain(text);
    for (int row = 0; row < table->ViewCount(); ++row) {
        for (const Field *field : fields) {
            if (plain(table->TextAt(row, field->Index())).startsWith(wanted)) {
                table->SetRecNo(row + 1);
                return true;
            }
        }
    }
    return false;
}

// The columns typing searches: the first, the codes and numbers (CD...,
// NR...) and the names (NM..., DS...).
QList<const Field *> searchedFields(const QList<Field *> &shown)
{
    QList<const Field *> fields;
    for (int i = 0; i < shown.size(); ++i) {
        const QString name = shown[i]->FieldName().toUpper();
        if (i == 0 || name.startsWith(QLatin1String("NM")) || name.startsWith(QLatin1String("DS"))
            || name.startsWith(QLatin1String("CD")) || name.startsWith(QLatin1String("NR")))
            fields.append(shown[i]);
    }
    return fields;
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

    auto *notFound = new QLabel(&dialog);
    notFound->setObjectName(QStringLiteral("lblNaoEncontrado"));
    notFound->setVisible(false);
    layout->insertWidget(layout->indexOf(grid) + 1, notFound);
    const QList<const Field *> searched = searchedFields(fields);
    const auto runSearch = [&] {
        bool found = true;
        if (!search->text().isEmpty())
            guarded(&dialog, [&] { found = locatePrefix(table, searched, search->text()); });
        notFound->setText(found ? QString()
                                : QStringLiteral("Nenhum registro começa com \"%1\".")
                                      .arg(search->text()));
        notFound->setVisible(!found);
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
        const QList<const Field *> fields =
            field ? QList<const Field *>{field} : QList<const Field *>{};
        if (!guarded(&dialog, [&] { found = locatePrefix(table, fields, value->text()); }))
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
