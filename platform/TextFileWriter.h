// Writes a whole text file in one step: the new content goes to a file beside the old one, which it
// then replaces, so a failed write leaves the earlier file whole. 8-bit text, written as given.
//
// Nothing replaces the old file until the new one has been written, flushed to the disk and read
// back whole: a full disk or an I/O error often shows only when the bytes leave the cache, and a
// rename after such a failure would put an empty or cut-off file in place of a good one.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Throws Failure(source "Quenvar", a description that names the file, says what failed and what to
// do) when the file cannot be written whole: no right to write there, a folder of that name, a
// full disk or quota, an I/O error.
void writeTextFile(const QString& path, const QByteArray& content);

} // namespace platform
