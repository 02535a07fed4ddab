// Writes a whole text file in one step: the new content goes to a file beside the old one, which it
// then replaces, so a failed write leaves the earlier file whole. 8-bit text, written as given.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Throws Failure(source "Quenvar", a description that names the file and says what failed) when the
// file cannot be written: no right to write there, a folder of that name, a full disk.
void writeTextFile(const QString& path, const QByteArray& content);

} // namespace platform
