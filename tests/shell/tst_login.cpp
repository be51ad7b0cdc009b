#include "cripto.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "localeservice.h"
#include "maskedit.h"
#include "shellfixture.h"
#include "statusbar.h"
#include "table.h"
#include "tfrmlogin.h"
#include "tfrmprincipal.h"

#include <QApplication>
#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace kiv;

namespace {

const QString branchNotFound =
    QStringLiteral("Filial não cadastrada para a central de Alimentação Escolar.");
const QString operatorNotFound =
    QStringLiteral("Operador não cadastrado para a filial informada.");
const QString invalidPassword = QStringLiteral("Senha inválida.");

// The rows a lookup list shows: its cells, "|"-joined, one entry a row.
QStringList listed(QWidget *dialog)
{
    QStringList rows;
    auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
    if (!grid)
        return {QStringLiteral("<no dbgPesquisa>")};
    const QAbstractItemModel *model = grid->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        rows << cells.join(u'|');
    }
    return rows;
}

QStringList titles(QWidget *dialog)
{
    QStringList result;
    if (auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa")))
        for (int i = 0; i < grid->Columns().Count(); ++i)
            result << grid->Columns()[i]->Title();
    return result;
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void theWindowAsItOpens();
    void leavingTheBranch_data();
    void leavingTheBranch();
    void leavingTheOperator_data();
    void leavingTheOperator();
    void enterWithoutOperator();
    void changingTheBranchClearsTheOperator();
    void passwordCheck_data();
    void passwordCheck();
    void wrongPasswordKeepsBranchAndOperator();
    void successFillsTheSession_data();
    void successFillsTheSession();
    void enterConfirmsFromEveryField_data();
    void enterConfirmsFromEveryField();
    void everyDemoOperatorLogsIn();
    void branchLookup_data();
    void branchLookup();
    void operatorLookupListsTheBranchOperators();
    void leavingTheLoginAnsweredNo_data();
    void leavingTheLoginAnsweredNo();

private:
    bool start(bool demo = false);
    void typeInto(QWidget *field, const QString &text);
    void tab(QWidget *from);
    // Branch and operator typed and left: the password field has the focus.
    void reachPassword(const QString &branch, const QString &operatorCode);
    void verifyUnfiltered();
    QWidget *focused() const { return QApplication::focusWidget(); }

    std::unique_ptr<ShellDataDir> m_data;
    std::unique_ptr<TfrmPrincipal> m_principal;
    QPointer<TfrmLogin> m_login;
};

void TestLogin::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("Kiv - School Meals"));
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TestLogin::init()
{
    m_data = std::make_unique<ShellDataDir>();
}

void TestLogin::cleanup()
{
    m_principal.reset();
    m_data.reset();
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

bool TestLogin::start(bool demo)
{
    if (demo)
        DemoData::writeDemoDirectory(m_data->path(), QDate::currentDate());
    else
        m_data->writeOperators();
    m_data->registerDirectory();
    m_principal = std::make_unique<TfrmPrincipal>();
    m_principal->Create();
    if (!m_principal->Started())
        return false;
    m_principal->show();
    m_principal->activateWindow();
    if (!QTest::qWaitFor([this] { return m_principal->LoginWindow(); }))
        return false;
    m_login = m_principal->LoginWindow();
    m_login->activateWindow();
    if (!QTest::qWaitFor([this] { return m_login->isActiveWindow(); }))
        return false;
    m_login->medCdFilial->setFocus();
    return QTest::qWaitFor([this] { return m_login->medCdFilial->hasFocus(); });
}

void TestLogin::typeInto(QWidget *field, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(field, c.toLatin1());
            continue;
        }
        // Accented letters: the key of the letter, with its text.
        const auto key = Qt::Key(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, field, key, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, field, key, QString(c), Qt::NoModifier);
    }
}

void TestLogin::tab(QWidget *from)
{
    QTest::keyClick(from, Qt::Key_Tab);
}

void TestLogin::reachPassword(const QString &branch, const QString &operatorCode)
{
    typeInto(m_login->medCdFilial, branch);
    tab(m_login->medCdFilial);
    QCOMPARE(focused(), m_login->medCdOperador);
    typeInto(m_login->medCdOperador, operatorCode);
    tab(m_login->medCdOperador);
    QCOMPARE(focused(), m_login->edtSenha);
}

void TestLogin::verifyUnfiltered()
{
    QVERIFY(!m_principal->cdsDados->Filtered());
    QCOMPARE(m_principal->cdsDados->RecordCount(), defaultOperators().size());
}

void TestLogin::theWindowAsItOpens()
{
    QVERIFY(start());
    QCOMPARE(m_login->windowTitle(), QStringLiteral("Login"));
    QCOMPARE(m_principal->stbStatus->PanelText(3), QStringLiteral("KIS00010"));
    QVERIFY(!m_principal->isEnabled());
    QCOMPARE(m_login->minimumSize(), m_login->maximumSize());
    const QPoint offset =
        m_login->frameGeometry().center() - m_principal->frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2")
                                                           .arg(offset.x()).arg(offset.y())));

    for (const char *name : {"medCdFilial", "medCdOperador", "edtSenha", "edtNmFilial",
                             "edtNmOperador", "sbtFilial", "sbtOperador", "btnConfirma",
                             "btnSair"})
        QVERIFY2(m_login->findChild<QWidget *>(name), name);
    QVERIFY(m_login->sbtFilial->isEnabled());
    QVERIFY(!m_login->sbtOperador->isEnabled());
    QCOMPARE(m_login->edtSenha->echoMode(), QLineEdit::Password);
    QCOMPARE(m_login->medCdOperador->maxLength(), 12);
    for (QLineEdit *display : {m_login->edtNmFilial, m_login->edtNmOperador}) {
        QVERIFY(display->isReadOnly());
        QCOMPARE(display->focusPolicy(), Qt::NoFocus);
    }

    // Up to four digits in the branch field, nothing else.
    typeInto(m_login->medCdFilial, QStringLiteral("a12345"));
    QCOMPARE(m_login->medCdFilial->Text(), QStringLiteral("1234"));

    // Tab order: branch, operator, password, the two commands.
    QStringList order;
    QWidget *widget = m_login->medCdFilial;
    for (int i = 0; i < 5; ++i) {
        order << widget->objectName();
        widget = widget->nextInFocusChain();
        while (widget->focusPolicy() == Qt::NoFocus || !widget->isEnabled()
               || !widget->isVisibleTo(m_login))
            widget = widget->nextInFocusChain();
    }
    QCOMPARE(order, (QStringList{"medCdFilial", "medCdOperador", "edtSenha", "btnConfirma",
                                 "btnSair"}));
}

void TestLogin::leavingTheBranch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    QTest::newRow("1 reads 0001") << "1" << "0001" << "COZINHA CENTRAL NORTE" << QString();
    QTest::newRow("02 reads 0002") << "02" << "0002" << "ESCOLA VILA NOVA" << QString();
    QTest::newRow("full code") << "0003" << "0003" << "CRECHE SOL NASCENTE" << QString();
    QTest::newRow("unknown branch") << "9" << QString() << QString() << branchNotFound;
    QTest::newRow("branch 0000") << "0" << QString() << QString() << branchNotFound;
    QTest::newRow("nothing typed") << QString() << QString() << QString()
                                   << "Filial deve ser informada.";
}

void TestLogin::leavingTheBranch()
{
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QVERIFY(start());

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    typeInto(m_login->medCdFilial, typed);
    tab(m_login->medCdFilial);

    QCOMPARE(m_login->medCdFilial->Text(), code);
    QCOMPARE(m_login->edtNmFilial->text(), name);
    if (message.isEmpty()) {
        QVERIFY2(answerer.count() == 0, qPrintable(answerer.transcript()));
        QCOMPARE(focused(), m_login->medCdOperador);
        QVERIFY(m_login->sbtOperador->isEnabled());
    } else {
        QTRY_VERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
        QCOMPARE(answerer.at(0).text, message);
        QTRY_COMPARE(focused(), m_login->medCdFilial);
    }
    verifyUnfiltered();
}

void TestLogin::leavingTheOperator_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");

    QTest::newRow("1 of 0001") << "1" << "1" << "000000000001" << "ANA LIMA" << QString();
    QTest::newRow("the same code in 0002") << "2" << "1" << "000000000001" << "CARLA DIAS"
                                           << QString();
    QTest::newRow("full code") << "2" << "000000000003" << "000000000003" << "DAVI REIS"
                               << QString();
    QTest::newRow("operator of another branch") << "1" << "3" << QString() << QString()
                                                << operatorNotFound;
    QTest::newRow("quote in the code") << "1" << "1' OR ''='" << QString() << QString()
                                       << operatorNotFound;
    QTest::newRow("left empty") << "1" << QString() << QString() << QString() << QString();
}

void TestLogin::leavingTheOperator()
{
    QFETCH(QString, branch);
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QVERIFY(start());

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    typeInto(m_login->medCdFilial, branch);
    tab(m_login->medCdFilial);
    typeInto(m_login->medCdOperador, typed);
    tab(m_login->medCdOperador);

    QCOMPARE(m_login->medCdOperador->Text(), code);
    QCOMPARE(m_login->edtNmOperador->text(), name);
    if (message.isEmpty()) {
        // Leaving the field empty is allowed: the confirmation asks for it.
        QVERIFY2(answerer.count() == 0, qPrintable(answerer.transcript()));
        QCOMPARE(focused(), m_login->edtSenha);
    } else {
        QTRY_VERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
        QCOMPARE(answerer.at(0).text, message);
        QTRY_COMPARE(focused(), m_login->medCdOperador);
    }
    QVERIFY(!m_login->edtNmFilial->text().isEmpty());
    verifyUnfiltered();
}

void TestLogin::enterWithoutOperator()
{
    QVERIFY(start());
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    typeInto(m_login->medCdFilial, QStringLiteral("1"));
    tab(m_login->medCdFilial);
    QTest::keyClick(m_login->medCdOperador, Qt::Key_Return);

    QTRY_VERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, QStringLiteral("Operador deve ser informado."));
    QTRY_COMPARE(focused(), m_login->medCdOperador);
    QVERIFY(m_login);
    QVERIFY(!m_principal->isEnabled());
    QCOMPARE(m_principal->cdsPrincipal->RecordCount(), 0);
    verifyUnfiltered();
}

void TestLogin::changingTheBranchClearsTheOperator()
{
    QVERIFY(start());
    DialogAnswerer answerer;
    reachPassword(QStringLiteral("1"), QStringLiteral("2"));
    typeInto(m_login->edtSenha, QStringLiteral("qualquer"));
    QCOMPARE(m_login->edtNmOperador->text(), QStringLiteral("BRUNO COSTA"));

    // Back to the branch (the operator's own rule does not fire from there).
    QTest::keyClick(m_login->edtSenha, Qt::Key_Backtab);
    QTest::keyClick(m_login->medCdOperador, Qt::Key_Backtab);
    QCOMPARE(focused(), m_login->medCdFilial);
    QCOMPARE(m_login->medCdOperador->Text(), QStringLiteral("000000000002"));
    m_login->medCdFilial->selectAll();
    typeInto(m_login->medCdFilial, QStringLiteral("2"));

    QCOMPARE(m_login->edtNmFilial->text(), QString());
    QCOMPARE(m_login->medCdOperador->Text(), QString());
    QCOMPARE(m_login->edtNmOperador->text(), QString());
    QCOMPARE(m_login->edtSenha->text(), QString());
    tab(m_login->medCdFilial);
    QCOMPARE(m_login->edtNmFilial->text(), QStringLiteral("ESCOLA VILA NOVA"));
    QVERIFY2(answerer.count() == 0, qPrintable(answerer.transcript()));
}

void TestLogin::passwordCheck_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("operatorCode");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");

    QTest::newRow("right password") << "1" << "1" << "senha1" << QString();
    QTest::newRow("a real password with a quote") << "1" << "2" << "d'água" << QString();
    QTest::newRow("accented letters") << "3" << "7" << "eva7" << QString();
    QTest::newRow("wrong password") << "1" << "1" << "senha2" << invalidPassword;
    QTest::newRow("other letter case") << "1" << "1" << "SENHA1" << invalidPassword;
    QTest::newRow("same code, other branch's password") << "1" << "1" << "vila2"
                                                        << invalidPassword;
    QTest::newRow("quote without the rest") << "1" << "2" << "d'agua" << invalidPassword;
    QTest::newRow("always-true filter") << "1" << "1" << "' OR ''='" << invalidPassword;
    // As long as the field takes (20 characters, the stored form's size).
    QTest::newRow("filter on the branch") << "1" << "1" << "' OR CDFILIAL ='0001"
                                          << invalidPassword;
    QTest::newRow("filter on the operator") << "1" << "1" << "x' AND CDOPERADOR ='"
                                            << invalidPassword;
    QTest::newRow("closing quote only") << "1" << "1" << "'" << invalidPassword;
    QTest::newRow("wildcard") << "1" << "1" << "*" << invalidPassword;
    QTest::newRow("the stored form typed") << "1" << "1" << CriptoPlus("senha1")
                                           << invalidPassword;
    QTest::newRow("nothing typed") << "1" << "1" << QString() << "Senha deve ser informada.";
}

void TestLogin::passwordCheck()
{
    QFETCH(QString, branch);
    QFETCH(QString, operatorCode);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QVERIFY(start());

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    reachPassword(branch, operatorCode);
    typeInto(m_login->edtSenha, password);
    QCOMPARE(m_login->edtSenha->text(), password);
    QTest::keyClick(m_login->edtSenha, Qt::Key_Return);

    if (message.isEmpty()) {
        QVERIFY2(answerer.count() == 0, qPrintable(answerer.transcript()));
        QTRY_VERIFY(m_login.isNull());
        QCOMPARE(m_principal->cdsPrincipal->RecordCount(), 1);
        QVERIFY(m_principal->isEnabled());
    } else {
        QTRY_VERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
        QCOMPARE(answerer.at(0).text, message);
        QVERIFY(m_login);
        QCOMPARE(m_login->edtSenha->text(), QString());
        QTRY_COMPARE(focused(), m_login->edtSenha);
        QVERIFY(!m_principal->isEnabled());
        QCOMPARE(m_principal->cdsPrincipal->RecordCount(), 0);
    }
    verifyUnfiltered();
}

void TestLogin::wrongPasswordKeepsBranchAndOperator()
{
    QVERIFY(start());
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    reachPassword(QStringLiteral("2"), QStringLiteral("3"));
    typeInto(m_login->edtSenha, QStringLiteral("errada"));
    m_login->btnConfirma->click();
    QTRY_VERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, invalidPassword);

    QCOMPARE(m_login->medCdFilial->Text(), QStringLiteral("0002"));
    QCOMPARE(m_login->edtNmFilial->text(), QStringLiteral("ESCOLA VILA NOVA"));
    QCOMPARE(m_login->medCdOperador->Text(), QStringLiteral("000000000003"));
    QCOMPARE(m_login->edtNmOperador->text(), QStringLiteral("DAVI REIS"));
    QCOMPARE(m_login->edtSenha->text(), QString());

    // The failed check left no filter behind: the branch list is whole.
    QStringList branches;
    answerer.run([&](QWidget *dialog) {
        branches = listed(dialog);
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    });
    m_login->medCdFilial->setFocus();
    QTRY_COMPARE(focused(), m_login->medCdFilial);
    QTest::keyClick(m_login->medCdFilial, Qt::Key_F9);
    QTRY_VERIFY2(answerer.count() == 2, qPrintable(answerer.transcript()));
    QCOMPARE(branches.size(), 3);

    // Then the right password goes through.
    m_login->edtSenha->setFocus();
    typeInto(m_login->edtSenha, QStringLiteral("davi3"));
    QTest::keyClick(m_login->edtSenha, Qt::Key_Return);
    QTRY_VERIFY(m_login.isNull());
    QCOMPARE(m_principal->cdsPrincipal->FieldByName("NMOPERADOR")->AsString(),
             QStringLiteral("DAVI REIS"));
}

void TestLogin::successFillsTheSession_data()
{
    QTest::addColumn<QString>("dateFormat");
    QTest::newRow("day first") << "dd/MM/yyyy";
    QTest::newRow("year first") << "yyyy-MM-dd";
}

void TestLogin::successFillsTheSession()
{
    QFETCH(QString, dateFormat);
    LocaleService::setShortDateFormat(dateFormat);
    QVERIFY(start());
    DialogAnswerer answerer;
    reachPassword(QStringLiteral("2"), QStringLiteral("3"));
    typeInto(m_login->edtSenha, QStringLiteral("davi3"));
    m_login->btnConfirma->click();
    QVERIFY2(answerer.count() == 0, qPrintable(answerer.transcript()));
    QTRY_VERIFY(m_login.isNull());

    Table *session = m_principal->cdsPrincipal;
    QCOMPARE(session->RecordCount(), 1);
    QCOMPARE(session->State(), DataSetState::Browse);
    QCOMPARE(session->FieldByName("CDFILIAL")->AsString(), QStringLiteral("0002"));
    QCOMPARE(session->FieldByName("NMFILIAL")->AsString(), QStringLiteral("ESCOLA VILA NOVA"));
    QCOMPARE(session->FieldByName("CDOPERADOR")->AsString(), QStringLiteral("000000000003"));
    QCOMPARE(session->FieldByName("NMOPERADOR")->AsString(), QStringLiteral("DAVI REIS"));
    QCOMPARE(session->FieldByName("PRODMASK")->AsString(), QStringLiteral("99-9999"));

    const TStatusBar *bar = m_principal->stbStatus;
    QCOMPARE(bar->PanelText(0),
             QStringLiteral("Proc.: ") + QDate::currentDate().toString(dateFormat));
    QCOMPARE(bar->PanelText(1), QStringLiteral("Filial 0002"));
    QCOMPARE(bar->PanelText(2), QStringLiteral("DAVI REIS"));
    QCOMPARE(bar->PanelText(3), QStringLiteral("KIS00000"));
    QVERIFY(m_principal->isEnabled());
    QVERIFY(!m_principal->cdsDados->Filtered());
}

void TestLogin::enterConfirmsFromEveryField_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("branch field") << "medCdFilial";
    QTest::newRow("operator field") << "medCdOperador";
    QTest::newRow("password field") << "edtSenha";
    QTest::newRow("Confirma button") << "btnConfirma";
}

void TestLogin::enterConfirmsFromEveryField()
{
    QFETCH(QString, where);
    QVERIFY(start());
    DialogAnswerer answerer;
    reachPassword(QStringLiteral("1"), QStringLiteral("1"));
    typeInto(m_login->edtSenha, QStringLiteral("senha1"));
    auto *target = m_login->findChild<QWidget *>(where);
    QVERIFY(target);
    target->setFocus();
    QTRY_COMPARE(focused(), target);
    QTest::keyClick(target, Qt::Key_Return);
    QVERIFY2(answerer.count() == 0, qPrintable(answerer.transcript()));
    QTRY_VERIFY(m_login.isNull());
    QCOMPARE(m_principal->cdsPrincipal->FieldByName("NMOPERADOR")->AsString(),
             QStringLiteral("ANA LIMA"));
}

void TestLogin::everyDemoOperatorLogsIn()
{
    // The logins the README shows work on the demonstration directory,
    // typed as an operator types them: codes without their leading zeros.
    const QList<DemoData::DemoLogin> logins = DemoData::demoLogins();
    QVERIFY(!logins.isEmpty());
    for (const DemoData::DemoLogin &demo : logins) {
        m_data = std::make_unique<ShellDataDir>();
        QVERIFY(start(true));
        DialogAnswerer answerer;
        QString branch = demo.branch;
        QString code = demo.operatorCode;
        while (branch.startsWith(u'0'))
            branch.remove(0, 1);
        while (code.startsWith(u'0'))
            code.remove(0, 1);
        reachPassword(branch, code);
        typeInto(m_login->edtSenha, demo.password);
        QTest::keyClick(m_login->edtSenha, Qt::Key_Return);
        QVERIFY2(answerer.count() == 0, qPrintable(demo.operatorCode + u' '
                                                   + answerer.transcript()));
        QTRY_VERIFY(m_login.isNull());
        QCOMPARE(m_principal->cdsPrincipal->FieldByName("CDFILIAL")->AsString(), demo.branch);
        QCOMPARE(m_principal->cdsPrincipal->FieldByName("CDOPERADOR")->AsString(),
                 demo.operatorCode);
        m_principal.reset();
    }
}

void TestLogin::branchLookup_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("picks");
    QTest::newRow("F9 then Enter") << "F9" << true;
    QTest::newRow("button then Enter") << "button" << true;
    QTest::newRow("F9 then Esc") << "F9" << false;
}

void TestLogin::branchLookup()
{
    QFETCH(QString, how);
    QFETCH(bool, picks);
    QVERIFY(start());

    DialogAnswerer answerer;
    QStringList rows, columns;
    answerer.run([&](QWidget *dialog) {
        rows = listed(dialog);
        columns = titles(dialog);
        auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, picks ? Qt::Key_Return : Qt::Key_Escape);
    });
    if (how == "F9")
        QTest::keyClick(m_login->medCdFilial, Qt::Key_F9);
    else
        m_login->sbtFilial->click();

    QTRY_VERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).objectName, QStringLiteral("dlgPesquisar"));
    QCOMPARE(answerer.at(0).title, QStringLiteral("Filial"));
    QCOMPARE(columns, (QStringList{"Código", "Nome"}));
    // Two rows of a branch in a row give one entry.
    QCOMPARE(rows, (QStringList{"0001|COZINHA CENTRAL NORTE", "0002|ESCOLA VILA NOVA",
                                "0003|CRECHE SOL NASCENTE"}));
    if (picks) {
        QCOMPARE(m_login->medCdFilial->Text(), QStringLiteral("0002"));
        QCOMPARE(m_login->edtNmFilial->text(), QStringLiteral("ESCOLA VILA NOVA"));
        QVERIFY(m_login->sbtOperador->isEnabled());
        QTRY_COMPARE(focused(), m_login->medCdOperador);
    } else {
        QCOMPARE(m_login->medCdFilial->Text(), QString());
        QCOMPARE(m_login->edtNmFilial->text(), QString());
        QVERIFY(!m_login->sbtOperador->isEnabled());
    }
    QCOMPARE(answerer.count(), 1);
    verifyUnfiltered();
}

void TestLogin::operatorLookupListsTheBranchOperators()
{
    QVERIFY(start());
    DialogAnswerer answerer;
    QStringList rows, columns;
    const auto pickSecond = [&](QWidget *dialog) {
        rows = listed(dialog);
        columns = titles(dialog);
        auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
    };
    answerer.run(pickSecond);
    typeInto(m_login->medCdFilial, QStringLiteral("2"));
    tab(m_login->medCdFilial);
    QTest::keyClick(m_login->medCdOperador, Qt::Key_F9);
    QTRY_VERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).title, QStringLiteral("Operador"));
    // The plain password and the branch stay out of sight.
    QCOMPARE(columns, (QStringList{"Código", "Nome"}));
    QCOMPARE(rows, (QStringList{"000000000001|CARLA DIAS", "000000000003|DAVI REIS"}));
    QCOMPARE(m_login->medCdOperador->Text(), QStringLiteral("000000000003"));
    QCOMPARE(m_login->edtNmOperador->text(), QStringLiteral("DAVI REIS"));
    QCOMPARE(m_login->edtSenha->text(), QString());
    QTRY_COMPARE(focused(), m_login->edtSenha);
    verifyUnfiltered();

    // Another branch: the list is built again for it.
    answerer.run(pickSecond);
    m_login->medCdFilial->setFocus();
    QTRY_COMPARE(focused(), m_login->medCdFilial);
    m_login->medCdFilial->selectAll();
    typeInto(m_login->medCdFilial, QStringLiteral("1"));
    tab(m_login->medCdFilial);
    m_login->sbtOperador->click();
    QTRY_VERIFY2(answerer.count() == 2, qPrintable(answerer.transcript()));
    QCOMPARE(rows, (QStringList{"000000000001|ANA LIMA", "000000000002|BRUNO COSTA"}));
    QCOMPARE(m_login->edtNmOperador->text(), QStringLiteral("BRUNO COSTA"));

    typeInto(m_login->edtSenha, QStringLiteral("d'água"));
    QTest::keyClick(m_login->edtSenha, Qt::Key_Return);
    QTRY_VERIFY(m_login.isNull());
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(m_principal->cdsPrincipal->FieldByName("PRODMASK")->AsString(),
             QStringLiteral("999.999"));
}

void TestLogin::leavingTheLoginAnsweredNo_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Sair") << false;
    QTest::newRow("close box") << true;
}

void TestLogin::leavingTheLoginAnsweredNo()
{
    QFETCH(bool, closeBox);
    QVERIFY(start());
    typeInto(m_login->medCdFilial, QStringLiteral("1"));
    tab(m_login->medCdFilial);

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("Não"));
    if (closeBox)
        QVERIFY(!m_login->close());
    else
        m_login->btnSair->click();

    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, QStringLiteral("Deseja sair do sistema ?"));
    QTest::qWait(20);
    QVERIFY(m_login);
    QVERIFY(m_login->isVisible());
    QVERIFY(!m_principal->isEnabled());
    QVERIFY(m_principal->isVisible());
    QCOMPARE(m_login->medCdFilial->Text(), QStringLiteral("0001"));
    QCOMPARE(m_login->edtNmFilial->text(), QStringLiteral("COZINHA CENTRAL NORTE"));
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
