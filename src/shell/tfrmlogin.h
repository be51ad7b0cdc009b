#pragma once

#include "messages.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kiv {

class Table;
class TDataSource;
class TMaskEdit;
class TfrmPrincipal;
class TBtnPesquisa;

// Identifies the branch and the operator and checks the password against
// the branch and operator table; a successful confirmation fills the session
// record, enables the main window and discards the login.
class TfrmLogin : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmLogin(TfrmPrincipal *principal);

    TMaskEdit *medCdFilial = nullptr;
    TMaskEdit *medCdOperador = nullptr;
    QLineEdit *edtSenha = nullptr;
    QLineEdit *edtNmFilial = nullptr;
    QLineEdit *edtNmOperador = nullptr;
    QToolButton *sbtFilial = nullptr;
    QToolButton *sbtOperador = nullptr;
    QPushButton *btnConfirma = nullptr;
    QPushButton *btnSair = nullptr;
    Table *cdsFilial = nullptr;
    Table *cdsOperador = nullptr;
    TMessages msgPadrao;

    void btnConfirmaClick();
    void btnSairClick();
    void sbtFilialClick();
    void sbtOperadorClick();

    void Vd_Filial();
    void Vd_Operador(bool obrigatorio);
    void Vd_Senha();

protected:
    void FormCreate();
    void FormActivate();
    void FormKeyDown(int &key);
    void medCdFilialChange();
    void medCdFilialExit();
    void medCdFilialKeyDown(int &key);
    void medCdOperadorChange();
    void medCdOperadorEnter();
    void medCdOperadorExit();
    void medCdOperadorKeyDown(int &key);

    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // A failed validation: focus the field and raise the catalogue's text.
    [[noreturn]] void fail(QWidget *field, const QString &key);
    bool askExit();

    TfrmPrincipal *m_principal;
    TDataSource *m_dtsFilial = nullptr;
    TDataSource *m_dtsOperador = nullptr;
    QString m_prodMask;
    bool m_confirmed = false;
};

} // namespace kiv
