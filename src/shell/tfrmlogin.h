#pragma once

#include "messages.h"
#include "session.h"

#include <QPointer>

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kiv {

class Table;
class TDataSource;
class TMaskEdit;
class TBtnPesquisa;

// Identifies the branch and the operator and checks the password against
// the branch and operator table; a successful confirmation reports the
// session and discards the login. Leaving it asks askToEnd, which ends the
// run when the operator says so.
class TfrmLogin : public QWidget
{
    Q_OBJECT

public:
    TfrmLogin(Table *dados, std::function<bool()> askToEnd, QWidget *centreOn);

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

signals:
    void LoginAccepted(const kiv::LoginSession &session);

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

    Table *m_dados;
    std::function<bool()> m_askToEnd;
    QPointer<QWidget> m_centreOn;
    TDataSource *m_dtsFilial = nullptr;
    TDataSource *m_dtsOperador = nullptr;
    QString m_prodMask;
    bool m_confirmed = false;
};

} // namespace kiv
