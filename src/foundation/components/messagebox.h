#pragma once

#include <QString>

class QWidget;

namespace kiv {

class TMessages;

enum class MsgType { Warning, Error, Information, Confirmation };

// Buttons of a message box, combined with "|".
enum MsgButton { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };

// The button that closed a message box.
enum ModalResult { mrNone = 0, mrOK = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// A modal box over the active window, named "dlgMensagem", titled with the
// application's name or the caption given, with the buttons asked for in
// Portuguese ("Sim", "Não", "OK", "Cancelar"; none asked: "OK"). Enter
// answers Yes when there is a Yes, otherwise OK; Esc answers Cancel, or No
// when there is no Cancel. Returns the ModalResult of the button pressed.
int ShowMsg(const QString &text, MsgType type, int buttons,
            const QString &caption = QString());
// The same for the catalogue's text of key (the key itself when the
// catalogue lacks it, so that a missing line shows up instead of an empty
// box).
int ShowMsg(const TMessages &catalogue, const QString &key, MsgType type, int buttons);

// The error box of a validation; with abort, the operation in progress
// then stops silently (throws EAbort once the operator has closed the box).
void MensErro(const QString &text, bool abort);

// The error box the guard shows, over parent's window (or the active one).
void ShowErrorBox(QWidget *parent, const QString &text);

} // namespace kiv
