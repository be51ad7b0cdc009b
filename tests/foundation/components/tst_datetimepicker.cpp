#include "datasource.h"
#include "datetimepicker.h"
#include "dialoganswerer.h"
#include "keys.h"
#include "localeservice.h"
#include "messagebox.h"
#include "table.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using kiv::DataSetState;
using kiv::FieldDef;
using kiv::FieldKind;
using kiv::Table;
using kiv::TDateTimePicker;

struct Form
{
    QWidget window;
    TDateTimePicker *picker = new TDateTimePicker(&window);
    QLineEdit *next = new QLineEdit(&window);

    Form()
    {
        picker->setObjectName(QStringLiteral("dtpEntrada"));
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(picker);
        layout->addWidget(next);
    }

    bool show()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        picker->setFocus();
        return QTest::qWaitFor([this] { return picker->hasFocus(); });
    }

    QCalendarWidget *calendar() const
    {
        auto *found = window.findChild<QCalendarWidget *>();
        return found && found->isVisible() ? found : nullptr;
    }
};

// A header table with an entry date and a date-time stamp.
struct Bound : Form
{
    Table table{QStringLiteral("cdsLancEntr")};
    kiv::TDataSource source;

    Bound()
    {
        table.SetFieldDefs({FieldDef::of(QStringLiteral("DTENTRADA"), FieldKind::Date),
                            FieldDef::of(QStringLiteral("DTHRLANC"), FieldKind::DateTime)});
        table.CreateDataSet();
        add(QDate(2026, 12, 10), QDateTime(QDate(2026, 12, 10), QTime(14, 30), Qt::UTC));
        add(QDate(), QDateTime());
        table.First();
        source.setDataSet(&table);
        picker->SetDataSource(&source);
        picker->SetDataField(QStringLiteral("DTENTRADA"));
    }

    void add(QDate day, QDateTime stamp)
    {
        table.Append();
        if (day.isValid())
            table.FieldByName(QStringLiteral("DTENTRADA"))->SetAsDate(day);
        if (stamp.isValid())
            table.FieldByName(QStringLiteral("DTHRLANC"))->SetAsDateTime(stamp);
        table.Post();
    }
};

class TestDateTimePicker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();
    void showsTheShortDateFormat_data();
    void showsTheShortDateFormat();
    void blankDate();
    void onChangeOnlyForTheOperator();
    void calendarOpensFromTheKeyboard();
    void keysReachTheWindow();
    void typingStartsAtTheFirstPartWhateverBroughtTheFocus_data();
    void typingStartsAtTheFirstPartWhateverBroughtTheFocus();
    void pageKeysLeaveTheDateAlone();
    void exitOnlyWhenTheFocusMovesOn();
    void boundFollowsTheRecord();
    void boundChangeEditsAndWrites();
    void boundDateTimeKeepsItsTime();
    void boundChangeOnAnEmptyTableInserts();
    void boundRefusedEditShowsTheRecordAgain();
};

void TestDateTimePicker::init()
{
    kiv::LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    kiv::LocaleService::setDecimalSeparator(u',');
}

void TestDateTimePicker::cleanupTestCase()
{
    kiv::LocaleService::resetToSystem();
}

void TestDateTimePicker::showsTheShortDateFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("Brazilian") << "dd/MM/yyyy" << "10/12/2026";
    QTest::newRow("ISO") << "yyyy-MM-dd" << "2026-12-10";
}

void TestDateTimePicker::showsTheShortDateFormat()
{
    QFETCH(QString, format);
    QFETCH(QString, text);
    kiv::LocaleService::setShortDateFormat(format);
    Form form;
    form.picker->SetDate(QDate(2026, 12, 10));
    QCOMPARE(form.picker->text(), text);
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 10));
    QVERIFY(form.picker->calendarPopup());
}

void TestDateTimePicker::blankDate()
{
    Form form;
    form.picker->SetDate(QDate());
    QVERIFY(!form.picker->Date().isValid());
    QVERIFY(!form.picker->DateTime().isValid());
    QCOMPARE(form.picker->text().trimmed(), QString());
    form.picker->SetDateTime(QDateTime(QDate(2026, 1, 5), QTime(8, 15), Qt::UTC));
    QCOMPARE(form.picker->DateTime(), QDateTime(QDate(2026, 1, 5), QTime(8, 15), Qt::UTC));
}

void TestDateTimePicker::onChangeOnlyForTheOperator()
{
    Form form;
    form.picker->SetDate(QDate(2026, 12, 10));
    QList<QDate> changes;
    form.picker->OnChange = [&] { changes << form.picker->Date(); };
    form.picker->SetDate(QDate(2026, 12, 11));
    form.picker->SetDateTime(QDateTime(QDate(2026, 12, 12), QTime(9, 0), Qt::UTC));
    QVERIFY(changes.isEmpty());
    QVERIFY(form.show());
    form.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(form.picker, Qt::Key_Up);
    QCOMPARE(changes, QList<QDate>({QDate(2026, 12, 13)}));
    form.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(form.picker, QStringLiteral("25"));
    QCOMPARE(changes.last(), QDate(2026, 12, 25));
}

void TestDateTimePicker::calendarOpensFromTheKeyboard()
{
    Form form;
    form.picker->SetDate(QDate(2026, 12, 10));
    QList<QDate> changes;
    form.picker->OnChange = [&] { changes << form.picker->Date(); };
    QVERIFY(form.show());
    QTest::keyClick(form.picker, Qt::Key_F4);
    QCalendarWidget *calendar = nullptr;
    QVERIFY(QTest::qWaitFor([&] { return (calendar = form.calendar()) != nullptr; }));
    QCOMPARE(calendar->selectedDate(), QDate(2026, 12, 10));
    // Picking a day in the calendar is an operator's change.
    calendar->setSelectedDate(QDate(2026, 12, 3));
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 3));
    QCOMPARE(changes, QList<QDate>({QDate(2026, 12, 3)}));
}

void TestDateTimePicker::keysReachTheWindow()
{
    Form form;
    form.picker->SetDate(QDate(2026, 12, 10));
    QList<int> keys;
    form.picker->OnKeyDown = [&](int &key, Qt::KeyboardModifiers) { keys << key; };
    // Digits dropped: the date cannot be typed, only picked.
    form.picker->OnKeyPress = [](QChar &key) {
        if (key.isDigit())
            key = QChar();
    };
    QVERIFY(form.show());
    form.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(form.picker, Qt::Key_F9);
    QTest::keyClicks(form.picker, QStringLiteral("25"));
    QCOMPARE(keys, QList<int>({kiv::VK_F9, '2', '5'}));
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 10));
}

void TestDateTimePicker::typingStartsAtTheFirstPartWhateverBroughtTheFocus_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    // How the focus comes back to a picker last typed in at its year.
    QTest::newRow("Tab") << "tab" << "10122026" << QDate(2026, 12, 10);
    QTest::newRow("Shift+Tab") << "backtab" << "10122026" << QDate(2026, 12, 10);
    QTest::newRow("a lookup's focus move") << "code" << "10122026" << QDate(2026, 12, 10);
    QTest::newRow("the window back in front") << "window" << "10122026" << QDate(2026, 12, 10);
    QTest::newRow("a click") << "click" << "10122026" << QDate(2026, 12, 10);
    QTest::newRow("separators typed too") << "window" << "05/11/2026" << QDate(2026, 11, 5);
}

void TestDateTimePicker::typingStartsAtTheFirstPartWhateverBroughtTheFocus()
{
    QFETCH(QString, how);
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    Form form;
    form.picker->SetDate(QDate(2026, 1, 1));
    QVERIFY(form.show());
    // The operator typed a day and a month and left the picker in its year.
    QTest::keyClicks(form.picker, QStringLiteral("0203"));
    QCOMPARE(form.picker->currentSection(), QDateTimeEdit::YearSection);
    form.next->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return form.next->hasFocus(); }));
    if (how == QLatin1String("tab")) {
        form.picker->setFocus(Qt::TabFocusReason);
    } else if (how == QLatin1String("backtab")) {
        QTest::keyClick(form.next, Qt::Key_Backtab, Qt::ShiftModifier);
    } else if (how == QLatin1String("code")) {
        form.picker->setFocus();
    } else if (how == QLatin1String("window")) {
        // A window manager gives the focus back to the window's last control.
        form.picker->setFocus(Qt::ActiveWindowFocusReason);
    } else {
        const QPoint year(form.picker->width() * 3 / 4, form.picker->height() / 2);
        QTest::mouseClick(form.picker, Qt::LeftButton, {}, year);
    }
    QVERIFY(QTest::qWaitFor([&] { return form.picker->hasFocus(); }));
    QTest::keyClicks(form.picker, typed);
    QCOMPARE(form.picker->Date(), date);
}

void TestDateTimePicker::pageKeysLeaveTheDateAlone()
{
    Form form;
    form.picker->SetDate(QDate(2026, 12, 10));
    QList<QDate> changes;
    form.picker->OnChange = [&] { changes << form.picker->Date(); };
    QVERIFY(form.show());
    for (QDateTimeEdit::Section section :
         {QDateTimeEdit::DaySection, QDateTimeEdit::MonthSection, QDateTimeEdit::YearSection}) {
        form.picker->setSelectedSection(section);
        QTest::keyClick(form.picker, Qt::Key_PageDown);
        QTest::keyClick(form.picker, Qt::Key_PageUp);
    }
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 10));
    QVERIFY(changes.isEmpty());
}

void TestDateTimePicker::exitOnlyWhenTheFocusMovesOn()
{
    Form form;
    QStringList log;
    form.picker->OnExit = [&] { log << QStringLiteral("Exit"); };
    form.picker->OnEnter = [&] { log << QStringLiteral("Enter"); };
    QVERIFY(form.show());
    log.clear();
    QTest::keyClick(form.picker, Qt::Key_F4);
    QVERIFY(QTest::qWaitFor([&] { return form.calendar() != nullptr; }));
    // The popup has taken the focus for a while.
    QVERIFY(QTest::qWaitFor([&] { return !form.picker->hasFocus(); }));
    form.calendar()->window()->close();
    QVERIFY(QTest::qWaitFor([&] { return form.calendar() == nullptr; }));
    form.window.activateWindow();
    QVERIFY(QTest::qWaitFor([&] { return form.picker->hasFocus(); }));
    QVERIFY2(log.isEmpty(), qPrintable(log.join(u',')));
    QTest::keyClick(form.picker, Qt::Key_Tab);
    QVERIFY(form.next->hasFocus());
    QCOMPARE(log, QStringList({"Exit"}));
}

void TestDateTimePicker::boundFollowsTheRecord()
{
    Bound form;
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 10));
    form.table.Next();
    QVERIFY(!form.picker->Date().isValid());
    form.table.First();
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 10));
    form.table.Edit();
    form.table.FieldByName(QStringLiteral("DTENTRADA"))->SetAsDate(QDate(2026, 3, 1));
    QCOMPARE(form.picker->Date(), QDate(2026, 3, 1));
    form.table.Cancel();
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 10));
}

void TestDateTimePicker::boundChangeEditsAndWrites()
{
    Bound form;
    int changes = 0;
    form.picker->OnChange = [&] { ++changes; };
    QVERIFY(form.show());
    form.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(form.picker, Qt::Key_Up);
    QCOMPARE(form.table.State(), DataSetState::Edit);
    QCOMPARE(form.table.FieldByName(QStringLiteral("DTENTRADA"))->AsDate(), QDate(2026, 12, 11));
    QCOMPARE(changes, 1);
}

void TestDateTimePicker::boundDateTimeKeepsItsTime()
{
    Bound form;
    form.picker->SetDataField(QStringLiteral("DTHRLANC"));
    QCOMPARE(form.picker->DateTime(), QDateTime(QDate(2026, 12, 10), QTime(14, 30), Qt::UTC));
    QVERIFY(form.show());
    form.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(form.picker, Qt::Key_Down);
    QCOMPARE(form.table.FieldByName(QStringLiteral("DTHRLANC"))->AsDateTime(),
             QDateTime(QDate(2026, 12, 9), QTime(14, 30), Qt::UTC));
}

void TestDateTimePicker::boundChangeOnAnEmptyTableInserts()
{
    Bound form;
    form.table.EmptyDataSet();
    QVERIFY(!form.picker->Date().isValid());
    form.picker->SetDate(QDate(2026, 12, 10));
    QVERIFY(form.show());
    form.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(form.picker, Qt::Key_Up);
    QCOMPARE(form.table.State(), DataSetState::Insert);
    QCOMPARE(form.table.FieldByName(QStringLiteral("DTENTRADA"))->AsDate(), QDate(2026, 12, 11));
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 11));
}

void TestDateTimePicker::boundRefusedEditShowsTheRecordAgain()
{
    Bound form;
    form.table.BeforeEdit = [](Table &) {
        kiv::MensErro(QStringLiteral("Documento já enviado."), true);
    };
    QVERIFY(form.show());
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    form.picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(form.picker, Qt::Key_Up);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(form.table.State(), DataSetState::Browse);
    QCOMPARE(form.picker->Date(), QDate(2026, 12, 10));
}

QTEST_MAIN(TestDateTimePicker)
#include "tst_datetimepicker.moc"
