#pragma once

#include <QString>

namespace kiv {

// The version text of an executable file, as the main window's caption
// shows it ("1.0.0.0"). Only the running program's own version is known (it
// is compiled in), so the text is empty for any other file, for a path that
// names no file, and before the application object exists.
QString GetFileVersion(const QString &path);

// A dotted version brought to four parts: missing parts read as 0, parts
// past the fourth are dropped ("1.0" gives "1.0.0.0").
QString FourPartVersion(const QString &version);

} // namespace kiv
