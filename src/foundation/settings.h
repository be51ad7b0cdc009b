#pragma once

#include <QString>

namespace kiv {

// The one setting of the system: the directory of the exported table files,
// the text value KivpcDir.
//
// On Windows it is read from the registry key
//   HKEY_LOCAL_MACHINE\Software\MORVANE\Sistemas Integrados Morvane\Ostrel
// which is opened for reading only, never created.
//
// Elsewhere an INI file stands for that key: /etc/kiv/Ostrel.ini, or the file
// named by the environment variable KIV_REGISTRY_INI when it is set. The value
// is a line "KivpcDir=/path/to/data" before any [section] (or under
// [General]); the name matches without regard to letter case, as registry
// names do. The value is taken as written, outer blanks and one pair of
// enclosing double quotes removed: no escapes, so backslashes and commas in a
// path stay. Lines starting with ";" or "#" are comments. The file is only
// ever read.
//
// A missing key, file or entry reads as an empty value.
QString ReadKivpcDir();

// The data directory for a KivpcDir value: the value followed by the
// directory separator ("\" on Windows, "/" elsewhere) unless it already ends
// with it. An empty value gives the separator alone, which the start-up takes
// as "no directory registered".
QString DirDadosFrom(const QString &value);

// DirDadosFrom(ReadKivpcDir()).
QString DirDados();

} // namespace kiv
