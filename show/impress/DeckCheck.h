// A cheap look at a deck before the office is given it. The office trusts the XML of a package:
// a deck whose XML parts are not XML can make it abort, and the running show goes with it. So a
// zip package (.pptx, .ppsx, .odp) is opened here first and each of its XML parts is read through
// once, streamed: the package must be whole (its directory consistent, each part read matching its
// checksum) and every XML part well-formed. Media parts, however large, are not read. Files that
// are not zip packages (.ppt and .pps, and an OOXML deck encrypted with a password, are OLE
// compound files) are left to the office.
#pragma once

#include <QString>

namespace show::impress {

// False when the file is a zip package that is damaged or holds an XML part that is not
// well-formed. Parts that an ODF manifest lists as encrypted are not read: the office asks for
// their password.
bool packageLooksSound(const QString& path);

} // namespace show::impress
