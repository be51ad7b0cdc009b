#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// Answers the modal dialogs a test provokes, in order, and records what
// each one showed. Arm it before the call that opens them:
//
//     DialogAnswerer answerer;
//     answerer.press("Sim").press("OK");
//     window.close();
//     QCOMPARE(answerer.count(), 2);
//     QCOMPARE(answerer.at(1).text, "Senha inválida.");
//
// It polls QApplication::activeModalWidget() (the nested event loop of a
// modal dialog keeps its timer running). A dialog that arrives when no
// answer is left is recorded with the answer "<unexpected>" and rejected,
// so that a test fails on its assertions instead of hanging.
//
// Once a dialog is closed, the window that was active when it opened is
// activated again, as a window manager does (the offscreen platform has
// none), so that the focus returns where the operator left it.
class DialogAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Dialog
    {
        QString title;
        // A message box's text; for another dialog, its objectName.
        QString text;
        QString objectName;
        // What was done: the button's text, "<Enter>", "<Esc>", "<run>",
        // "<unexpected>" or "<no button X>".
        QString answer;
    };

    explicit DialogAnswerer(QObject *parent = nullptr);
    ~DialogAnswerer() override;

    // Queue the answer to the next dialog: click the button with this text
    // (mnemonic "&" ignored).
    DialogAnswerer &press(const QString &buttonText);
    DialogAnswerer &pressEnter();
    DialogAnswerer &pressEscape();
    // Hand the dialog to a function (which must close it, or leave it to a
    // later answer).
    DialogAnswerer &run(std::function<void(QWidget *dialog)> action);

    const QList<Dialog> &dialogs() const { return m_dialogs; }
    int count() const { return int(m_dialogs.size()); }
    const Dialog &at(int index) const { return m_dialogs.at(index); }
    // The texts shown so far, one a line, for failure messages.
    QString transcript() const;
    // Answers queued and not used yet.
    int pending() const { return int(m_answers.size()); }
    // Processes events until count dialogs have been seen.
    bool waitFor(int count, int timeoutMs = 5000);

private:
    struct Answer
    {
        enum Kind { Button, Enter, Escape, Run } kind;
        QString button;
        std::function<void(QWidget *)> action;
    };

    void poll();
    void answer(QWidget *dialog, const Answer &answer, Dialog &record);
    void returnFrom(QWidget *dialog);

    QTimer m_timer;
    QList<Answer> m_answers;
    QList<Dialog> m_dialogs;
    QPointer<QWidget> m_handled;
    QPointer<QWidget> m_returnTo;
    QPointer<QWidget> m_lastActive;
};
