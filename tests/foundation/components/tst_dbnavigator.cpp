#include "datasource.h"
#include "dbnavigator.h"
#include "dialoganswerer.h"
#include "maskedit.h"
#include "messagebox.h"
#include "table.h"

#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using kiv::DataSetState;
using kiv::FieldDef;
using kiv::Table;
using kiv::TDBNavigator;

struct Fixture
{
    Table table{QStringLiteral("cdsLancEntr")};
    QWidget window;
    kiv::TDataSource *source = new kiv::TDataSource(&window);
    TDBNavigator *navigator = new TDBNavigator(&window);
    kiv::TDBEdit *number = new kiv::TDBEdit(&window);

    explicit Fixture(int rows = 3)
    {
        table.SetFieldDefs({FieldDef::text(QStringLiteral("NRLANCNFE"), 18)});
        table.CreateDataSet();
        for (int i = 1; i <= rows; ++i) {
            table.Append();
            table.FieldByName(QStringLiteral("NRLANCNFE"))->SetAsString(QString::number(i));
            table.Post();
        }
        table.First();
        source->setDataSet(&table);
        navigator->setObjectName(QStringLiteral("dbnPadrao"));
        navigator->SetDataSource(source);
        number->SetDataSource(source);
        number->SetDataField(QStringLiteral("NRLANCNFE"));
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(number);
        layout->addWidget(navigator);
    }

    QString enabled() const
    {
        QString flags;
        for (auto which : {kiv::nbFirst, kiv::nbPrior, kiv::nbNext, kiv::nbLast})
            flags += navigator->button(which)->isEnabled() ? u'1' : u'0';
        return flags;
    }

    QString current() const { return table.FieldByName(QStringLiteral("NRLANCNFE"))->AsString(); }

    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        number->setFocus();
        return QTest::qWaitFor([this] { return number->hasFocus(); });
    }
};

class TestDBNavigator : public QObject
{
    Q_OBJECT

private slots:
    void buttonsFollowThePosition_data();
    void buttonsFollowThePosition();
    void clicksMove();
    void refusedPostKeepsTheRecord();
    void typedTextIsWrittenBeforeMoving();
};

void TestDBNavigator::buttonsFollowThePosition_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("enabled");  // first, prior, next, last
    QTest::newRow("first record") << 3 << "first" << "0011";
    QTest::newRow("middle record") << 3 << "middle" << "1111";
    QTest::newRow("last record") << 3 << "last" << "1100";
    QTest::newRow("one record") << 1 << "first" << "0000";
    QTest::newRow("empty table") << 0 << "first" << "0000";
    QTest::newRow("new record at the end") << 3 << "append" << "1100";
    QTest::newRow("table closed") << 3 << "closed" << "0000";
    QTest::newRow("source disabled") << 3 << "disabled" << "0000";
    QTest::newRow("no table") << 3 << "detached" << "0000";
}

void TestDBNavigator::buttonsFollowThePosition()
{
    QFETCH(int, rows);
    QFETCH(QString, situation);
    QFETCH(QString, enabled);
    Fixture f(rows);
    if (situation == QLatin1String("middle"))
        f.table.Next();
    else if (situation == QLatin1String("last"))
        f.table.Last();
    else if (situation == QLatin1String("append"))
        f.table.Append();
    else if (situation == QLatin1String("closed"))
        f.table.Close();
    else if (situation == QLatin1String("disabled"))
        f.source->setEnabled(false);
    else if (situation == QLatin1String("detached"))
        f.source->setDataSet(nullptr);
    QCOMPARE(f.enabled(), enabled);
}

void TestDBNavigator::clicksMove()
{
    Fixture f;
    QList<kiv::TNavigateBtn> clicks;
    QStringList seen;
    f.navigator->OnClick = [&](kiv::TNavigateBtn which) {
        clicks << which;
        seen << f.current();
    };
    QVERIFY(f.show());
    QTest::mouseClick(f.navigator->button(kiv::nbLast), Qt::LeftButton);
    QTest::mouseClick(f.navigator->button(kiv::nbPrior), Qt::LeftButton);
    QTest::mouseClick(f.navigator->button(kiv::nbFirst), Qt::LeftButton);
    QTest::mouseClick(f.navigator->button(kiv::nbNext), Qt::LeftButton);
    QCOMPARE(seen, QStringList({"3", "2", "1", "2"}));
    QCOMPARE(clicks, QList<kiv::TNavigateBtn>({kiv::nbLast, kiv::nbPrior, kiv::nbFirst,
                                               kiv::nbNext}));
    QCOMPARE(f.number->Text(), QStringLiteral("2"));
    // The buttons take no focus from the edit.
    QVERIFY(f.number->hasFocus());
}

void TestDBNavigator::refusedPostKeepsTheRecord()
{
    Fixture f;
    f.table.BeforePost = [](Table &) {
        kiv::MensErro(QStringLiteral("Número da nota fiscal deve ser informado."), true);
    };
    int clicks = 0;
    f.navigator->OnClick = [&](kiv::TNavigateBtn) { ++clicks; };
    f.table.Edit();
    f.table.FieldByName(QStringLiteral("NRLANCNFE"))->SetAsString(QStringLiteral("10"));
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    f.navigator->BtnClick(kiv::nbNext);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QStringLiteral("Número da nota fiscal deve ser informado."));
    QCOMPARE(f.table.State(), DataSetState::Edit);
    QCOMPARE(f.table.RecNo(), 1);
    QCOMPARE(f.current(), QStringLiteral("10"));
    QCOMPARE(clicks, 0);
}

void TestDBNavigator::typedTextIsWrittenBeforeMoving()
{
    Fixture f;
    QVERIFY(f.show());
    f.number->selectAll();
    QTest::keyClicks(f.number, QStringLiteral("99"));
    QTest::mouseClick(f.navigator->button(kiv::nbNext), Qt::LeftButton);
    QCOMPARE(f.table.State(), DataSetState::Browse);
    QCOMPARE(f.current(), QStringLiteral("2"));
    f.table.First();
    QCOMPARE(f.current(), QStringLiteral("99"));
}

QTEST_MAIN(TestDBNavigator)
#include "tst_dbnavigator.moc"
