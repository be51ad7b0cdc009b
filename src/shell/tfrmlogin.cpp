#include "tfrmlogin.h"

#include "basewindows.h"
#include "cripto.h"
#include "datasource.h"
#include "errors.h"
#include "guard.h"
#include "keys.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "messagebox.h"
#include "table.h"
#include "textroutines.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

QLabel *caption(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TfrmLogin::TfrmLogin(Table *dados, std::function<bool()> askToEnd, QWidget *centreOn)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint),
      m_dados(dados),
      m_askToEnd(std::move(askToEnd)),
      m_centreOn(centreOn)
{
    setObjectName(QStringLiteral("TfrmLogin"));
    setWindowTitle(QStringLiteral("Login"));
    setAttribute(Qt::WA_DeleteOnClose);
    msgPadrao = TMessages{
        QStringLiteral("filial_inf|Filial deve ser informada."),
        QStringLiteral("filial_n_cad|Filial não cadastrada para a central de Alimentação "
                       "Escolar."),
        QStringLiteral("oper_inf|Operador deve ser informado."),
        QStringLiteral("oper_n_cad|Operador não cadastrado para a filial informada."),
        QStringLiteral("senha_inf|Senha deve ser informada."),
        QStringLiteral("senha_inv|Senha inválida."),
        QStringLiteral("Filial|Filial"),
        QStringLiteral("Operador|Operador"),
    };

    medCdFilial = new TMaskEdit(this);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral("9999;0; "));
    medCdFilial->setMaxLength(4);
    medCdOperador = new TMaskEdit(this);
    medCdOperador->setObjectName(QStringLiteral("medCdOperador"));
    medCdOperador->setMaxLength(12);
    edtSenha = new TMaskEdit(this);
    edtSenha->setObjectName(QStringLiteral("edtSenha"));
    edtSenha->setEchoMode(QLineEdit::Password);
    edtSenha->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    edtSenha->setMaxLength(20);
    edtNmFilial = new QLineEdit(this);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmOperador = new QLineEdit(this);
    edtNmOperador->setObjectName(QStringLiteral("edtNmOperador"));
    for (QLineEdit *display : {edtNmFilial, edtNmOperador}) {
        display->setReadOnly(true);
        display->setFocusPolicy(Qt::NoFocus);
        display->setMinimumWidth(260);
    }
    sbtFilial = new QToolButton(this);
    sbtFilial->setObjectName(QStringLiteral("sbtFilial"));
    sbtOperador = new QToolButton(this);
    sbtOperador->setObjectName(QStringLiteral("sbtOperador"));
    for (QToolButton *lookup : {sbtFilial, sbtOperador}) {
        lookup->setText(QStringLiteral("..."));
        lookup->setToolTip(QStringLiteral("Pesquisar (F9)"));
        lookup->setFocusPolicy(Qt::NoFocus);
    }
    sbtOperador->setEnabled(false);
    btnConfirma = new QPushButton(QStringLiteral("&Confirma"), this);
    btnConfirma->setObjectName(QStringLiteral("btnConfirma"));
    btnSair = new QPushButton(QStringLiteral("&Sair"), this);
    btnSair->setObjectName(QStringLiteral("btnSair"));
    // A click on a command does not leave the field being typed in, so it
    // does not validate it first: the commands run their own checks.
    btnConfirma->setFocusPolicy(Qt::TabFocus);
    btnSair->setFocusPolicy(Qt::TabFocus);

    auto *grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("Filial &Agregada"), medCdFilial, this), 0, 0);
    grid->addWidget(medCdFilial, 0, 1);
    grid->addWidget(sbtFilial, 0, 2);
    grid->addWidget(edtNmFilial, 0, 3);
    grid->addWidget(caption(QStringLiteral("&Operador"), medCdOperador, this), 1, 0);
    grid->addWidget(medCdOperador, 1, 1);
    grid->addWidget(sbtOperador, 1, 2);
    grid->addWidget(edtNmOperador, 1, 3);
    grid->addWidget(caption(QStringLiteral("S&enha"), edtSenha, this), 2, 0);
    grid->addWidget(edtSenha, 2, 1);
    medCdFilial->setFixedWidth(medCdFilial->fontMetrics().horizontalAdvance(u'0') * 6 + 16);
    medCdOperador->setFixedWidth(medCdOperador->fontMetrics().horizontalAdvance(u'0') * 13 + 16);
    edtSenha->setFixedWidth(medCdOperador->width());
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnConfirma);
    buttons->addWidget(btnSair);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setTabOrder(medCdFilial, medCdOperador);
    setTabOrder(medCdOperador, edtSenha);
    setTabOrder(edtSenha, btnConfirma);
    setTabOrder(btnConfirma, btnSair);

    medCdFilial->OnChange = [this] { medCdFilialChange(); };
    medCdFilial->OnExit = [this] { medCdFilialExit(); };
    medCdFilial->OnKeyDown = [this](int &key, Qt::KeyboardModifiers) { medCdFilialKeyDown(key); };
    medCdOperador->OnChange = [this] { medCdOperadorChange(); };
    medCdOperador->OnEnter = [this] { medCdOperadorEnter(); };
    medCdOperador->OnExit = [this] { medCdOperadorExit(); };
    medCdOperador->OnKeyDown = [this](int &key, Qt::KeyboardModifiers) {
        medCdOperadorKeyDown(key);
    };
    // No key handler on the password: it takes any character (quotes,
    // accented letters, symbols), and Enter, which the edit does not use,
    // reaches the window's own key handler, which confirms.
    const auto onClick = [this](QAbstractButton *button, void (TfrmLogin::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    onClick(btnConfirma, &TfrmLogin::btnConfirmaClick);
    onClick(btnSair, &TfrmLogin::btnSairClick);
    onClick(sbtFilial, &TfrmLogin::sbtFilialClick);
    onClick(sbtOperador, &TfrmLogin::sbtOperadorClick);

    guarded(this, [this] { FormCreate(); });
    adjustSize();
    setFixedSize(sizeHint());
}

void TfrmLogin::FormCreate()
{
    cdsFilial = new Table(QStringLiteral("cdsFilial"), this);
    cdsFilial->SetFieldDefs(
        {FieldDef::text(QStringLiteral("CDFILIAL"), 4, QStringLiteral("Código")),
         FieldDef::text(QStringLiteral("NMFILIAL"), 30, QStringLiteral("Nome"))});
    cdsFilial->SetIndexFieldNames(QStringLiteral("CDFILIAL"));
    cdsFilial->CreateDataSet();
    FieldDef code = FieldDef::text(QStringLiteral("CDOPERADOR"), 12, QStringLiteral("Código"));
    code.displayWidth = 15;
    cdsOperador = new Table(QStringLiteral("cdsOperador"), this);
    cdsOperador->SetFieldDefs(
        {FieldDef::text(QStringLiteral("CDFILIAL"), 4, QString(), false), code,
         FieldDef::text(QStringLiteral("NMOPERADOR"), 40, QStringLiteral("Nome")),
         FieldDef::text(QStringLiteral("CDSENHAOPE"), 20, QString(), false)});
    cdsOperador->SetIndexFieldNames(QStringLiteral("CDOPERADOR"));
    cdsOperador->CreateDataSet();
    m_dtsFilial = new TDataSource(this);
    m_dtsFilial->setObjectName(QStringLiteral("dtsFilial"));
    m_dtsFilial->setDataSet(cdsFilial);
    m_dtsOperador = new TDataSource(this);
    m_dtsOperador->setObjectName(QStringLiteral("dtsOperador"));
    m_dtsOperador->setDataSet(cdsOperador);
}

void TfrmLogin::FormActivate()
{
    SetStatusPanel(3, QStringLiteral("KIS00010"));
}

void TfrmLogin::fail(QWidget *field, const QString &key)
{
    field->setFocus();
    throw KivError(msgPadrao.Msg(key));
}

void TfrmLogin::Vd_Filial()
{
    if (EmptyString(medCdFilial->Text()))
        fail(medCdFilial, QStringLiteral("filial_inf"));
    medCdFilial->SetText(Ajusta(medCdFilial->Text(), 4));
    Table *dados = m_dados;
    const FilterScope narrowed(*dados, QStringLiteral("CDFILIAL =") + medCdFilial->Text());
    if (dados->IsEmpty()) {
        medCdFilial->SetText(QString());
        edtNmFilial->clear();
        fail(medCdFilial, QStringLiteral("filial_n_cad"));
    }
    edtNmFilial->setText(dados->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

void TfrmLogin::Vd_Operador(bool obrigatorio)
{
    if (EmptyString(medCdOperador->Text())) {
        if (obrigatorio)
            fail(medCdOperador, QStringLiteral("oper_inf"));
        return;
    }
    medCdOperador->SetText(Ajusta(medCdOperador->Text(), 12));
    Table *dados = m_dados;
    const FilterScope narrowed(*dados, QStringLiteral("CDFILIAL = ") + QuotedStr(medCdFilial->Text())
                      + QStringLiteral(" AND CDOPERADOR = ") + QuotedStr(medCdOperador->Text()));
    if (dados->IsEmpty()) {
        medCdOperador->SetText(QString());
        edtNmOperador->clear();
        fail(medCdOperador, QStringLiteral("oper_n_cad"));
    }
    edtNmOperador->setText(dados->FieldByName(QStringLiteral("NMOPERADOR"))->AsString());
}

void TfrmLogin::Vd_Senha()
{
    if (EmptyString(edtSenha->text()))
        fail(edtSenha, QStringLiteral("senha_inf"));
    Table *dados = m_dados;
    // The typed password only ever appears quoted, in its stored form: no
    // quote or filter syntax typed as a password reaches the expression.
    const FilterScope narrowed(*dados, QStringLiteral("CDFILIAL =") + QuotedStr(medCdFilial->Text())
                      + QStringLiteral(" AND CDOPERADOR =") + QuotedStr(medCdOperador->Text())
                      + QStringLiteral(" AND CDSENHAOPE =")
                      + QuotedStr(CriptoPlus(edtSenha->text())));
    if (dados->IsEmpty()) {
        edtSenha->clear();
        fail(edtSenha, QStringLiteral("senha_inv"));
    }
    m_prodMask = dados->FieldByName(QStringLiteral("PRODMASK"))->AsString();
}

void TfrmLogin::btnConfirmaClick()
{
    Vd_Filial();
    Vd_Operador(true);
    Vd_Senha();
    LoginSession session;
    session.branch = medCdFilial->Text();
    session.branchName = edtNmFilial->text();
    session.operatorCode = medCdOperador->Text();
    session.operatorName = edtNmOperador->text();
    session.productMask = m_prodMask;
    session.date = QDate::currentDate();
    m_confirmed = true;
    close();
    emit LoginAccepted(session);
}

bool TfrmLogin::askExit()
{
    return m_askToEnd && m_askToEnd();
}

void TfrmLogin::btnSairClick()
{
    if (askExit())
        hide();
}

void TfrmLogin::closeEvent(QCloseEvent *event)
{
    bool leave = m_confirmed;
    if (!leave)
        guarded(this, [&] { leave = askExit(); });
    if (leave)
        event->accept();
    else
        event->ignore();
}

void TfrmLogin::sbtFilialClick()
{
    Table *dados = m_dados;
    if (cdsFilial->IsEmpty()) {
        QString last;
        for (dados->First(); !dados->Eof(); dados->Next()) {
            const QString branch = dados->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
            if (branch == last)
                continue;
            cdsFilial->Append();
            cdsFilial->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(branch);
            cdsFilial->FieldByName(QStringLiteral("NMFILIAL"))
                ->SetAsString(dados->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
            cdsFilial->Post();
            last = branch;
        }
    }
    cdsFilial->First();
    if (!Pesquisar(m_dtsFilial, msgPadrao.Msg(QStringLiteral("Filial"))))
        return;
    const QString code = cdsFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    const QString name = cdsFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString();
    medCdFilial->SetText(code);
    edtNmFilial->setText(name);
    medCdOperador->SetText(QString());
    edtNmOperador->clear();
    edtSenha->clear();
    sbtOperador->setEnabled(true);
    medCdOperador->setFocus();
}

void TfrmLogin::sbtOperadorClick()
{
    const QString branch = medCdFilial->Text();
    const bool reuse = !cdsOperador->IsEmpty()
                       && cdsOperador->FieldByName(QStringLiteral("CDFILIAL"))->AsString()
                              == branch;
    if (!reuse) {
        cdsOperador->EmptyDataSet();
        Table *dados = m_dados;
        const FilterScope narrowed(*dados, QStringLiteral("CDFILIAL =") + branch);
        QString last;
        for (dados->First(); !dados->Eof(); dados->Next()) {
            const QString code = dados->FieldByName(QStringLiteral("CDOPERADOR"))->AsString();
            if (code == last)
                continue;
            cdsOperador->Append();
            cdsOperador->FieldByName(QStringLiteral("CDFILIAL"))
                ->SetAsString(dados->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
            cdsOperador->FieldByName(QStringLiteral("CDOPERADOR"))->SetAsString(code);
            cdsOperador->FieldByName(QStringLiteral("NMOPERADOR"))
                ->SetAsString(dados->FieldByName(QStringLiteral("NMOPERADOR"))->AsString());
            cdsOperador->FieldByName(QStringLiteral("CDSENHAOPE"))
                ->SetAsString(
                    UncriptoPlus(dados->FieldByName(QStringLiteral("CDSENHAOPE"))->AsString()));
            cdsOperador->Post();
            last = code;
        }
    }
    cdsOperador->First();
    if (!Pesquisar(m_dtsOperador, msgPadrao.Msg(QStringLiteral("Operador"))))
        return;
    const QString code = cdsOperador->FieldByName(QStringLiteral("CDOPERADOR"))->AsString();
    const QString name = cdsOperador->FieldByName(QStringLiteral("NMOPERADOR"))->AsString();
    medCdOperador->SetText(code);
    edtNmOperador->setText(name);
    edtSenha->clear();
    edtSenha->setFocus();
}

void TfrmLogin::medCdFilialChange()
{
    edtNmFilial->clear();
    medCdOperador->SetText(QString());
    edtNmOperador->clear();
}

void TfrmLogin::medCdOperadorChange()
{
    edtNmOperador->clear();
    edtSenha->clear();
}

void TfrmLogin::medCdOperadorEnter()
{
    sbtOperador->setEnabled(true);
}

void TfrmLogin::medCdFilialExit()
{
    Vd_Filial();
}

void TfrmLogin::medCdOperadorExit()
{
    Vd_Operador(false);
}

void TfrmLogin::medCdFilialKeyDown(int &key)
{
    if (key == VK_F9) {
        key = 0;
        sbtFilialClick();
    } else if (key == VK_RETURN) {
        key = 0;
        btnConfirmaClick();
    }
}

void TfrmLogin::medCdOperadorKeyDown(int &key)
{
    if (key == VK_F9) {
        key = 0;
        sbtOperadorClick();
    } else if (key == VK_RETURN) {
        key = 0;
        btnConfirmaClick();
    }
}

void TfrmLogin::FormKeyDown(int &key)
{
    if (key == VK_RETURN) {
        key = 0;
        btnConfirmaClick();
    }
}

void TfrmLogin::keyPressEvent(QKeyEvent *event)
{
    int key = platformKey(event);
    guarded(this, [&] { FormKeyDown(key); });
    if (key != 0)
        QWidget::keyPressEvent(event);
}

void TfrmLogin::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        guarded(this, [this] { FormActivate(); });
}

void TfrmLogin::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_centreOn) {
        QRect frame = frameGeometry();
        frame.moveCenter(m_centreOn->frameGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace kiv
