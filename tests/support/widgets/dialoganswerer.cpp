#include "dialoganswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>

DialogAnswerer::DialogAnswerer(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    m_timer.start();
}

DialogAnswerer::~DialogAnswerer() = default;

DialogAnswerer &DialogAnswerer::press(const QString &buttonText)
{
    m_answers.append({Answer::Button, buttonText, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::pressEnter()
{
    m_answers.append({Answer::Enter, {}, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::pressEscape()
{
    m_answers.append({Answer::Escape, {}, {}});
    return *this;
}

DialogAnswerer &DialogAnswerer::run(std::function<void(QWidget *)> action)
{
    m_answers.append({Answer::Run, {}, std::move(action)});
    return *this;
}

QString DialogAnswerer::transcript() const
{
    QStringList lines;
    for (const Dialog &dialog : m_dialogs)
        lines << QStringLiteral("[%1] %2 -> %3").arg(dialog.title, dialog.text, dialog.answer);
    return lines.join(u'\n');
}

bool DialogAnswerer::waitFor(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_dialogs.size() >= count; }, timeoutMs);
}

void DialogAnswerer::poll()
{
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible()) {
        m_handled = nullptr;
        if (m_returnTo && !QApplication::activeWindow() && m_returnTo->isVisible())
            m_returnTo->activateWindow();
        m_returnTo = nullptr;
        if (QApplication::activeWindow())
            m_lastActive = QApplication::activeWindow();
        return;
    }
    // Still the dialog answered last (closing it is under way).
    if (dialog == m_handled)
        return;
    m_handled = dialog;
    QWidget *parent = dialog->parentWidget();
    m_returnTo = parent ? parent->window() : m_lastActive.data();

    Dialog record;
    record.title = dialog->windowTitle();
    record.objectName = dialog->objectName();
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        record.text = box->text();
    else
        record.text = dialog->objectName();

    if (m_answers.isEmpty()) {
        record.answer = QStringLiteral("<unexpected>");
        m_dialogs.append(record);
        if (auto *modal = qobject_cast<QDialog *>(dialog))
            modal->reject();
        else
            dialog->close();
        returnFrom(dialog);
        return;
    }
    const Answer next = m_answers.takeFirst();
    m_dialogs.append(record);
    QPointer<QWidget> answered = dialog;
    answer(dialog, next, m_dialogs.last());
    returnFrom(answered);
}

void DialogAnswerer::returnFrom(QWidget *dialog)
{
    if (dialog && dialog->isVisible())
        return;
    QWidget *next = QApplication::activeModalWidget();
    if (!next || next == dialog)
        next = m_returnTo;
    if (next && next->isVisible())
        next->activateWindow();
}

void DialogAnswerer::answer(QWidget *dialog, const Answer &answer, Dialog &record)
{
    switch (answer.kind) {
    case Answer::Button: {
        const auto buttons = dialog->findChildren<QAbstractButton *>();
        for (QAbstractButton *button : buttons) {
            if (button->isVisible() && button->text().remove(u'&') == answer.button) {
                record.answer = answer.button;
                button->click();
                return;
            }
        }
        record.answer = QStringLiteral("<no button %1>").arg(answer.button);
        if (auto *modal = qobject_cast<QDialog *>(dialog))
            modal->reject();
        else
            dialog->close();
        return;
    }
    case Answer::Enter: {
        record.answer = QStringLiteral("<Enter>");
        QWidget *target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClick(target, Qt::Key_Return);
        return;
    }
    case Answer::Escape: {
        record.answer = QStringLiteral("<Esc>");
        QWidget *target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClick(target, Qt::Key_Escape);
        return;
    }
    case Answer::Run:
        record.answer = QStringLiteral("<run>");
        answer.action(dialog);
        return;
    }
}
