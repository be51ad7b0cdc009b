#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace kiv {

// The icons of the command bars, the navigators and the windows, in one
// style: the desktop theme's where it has the icon (by its freedesktop name,
// "document-new"), else the bundled set, else the toolkit's own.
QIcon CommandIcon(const QString &name);

// The program's own icon, drawn here: a bowl of soup on a green tile.
QIcon ApplicationIcon();
// The same at one size, for the desktop entry's icon files.
QImage ApplicationIconImage(int size);

// Makes the program's icon the icon of every window and message box. Run
// once, at start-up.
void InstallIcons();

} // namespace kiv
