// Opens a presentation file in the office, in an undecorated window of its own at the place of the
// show, without a question to anyone: a deck the office would ask about (in use, damaged, locked
// by a password) opens anyway or fails plainly, and one the office could not read without
// aborting is refused before the office sees it (DeckCheck). The window stays unmapped while the
// office loads and is shown, without the editing window's bars, once the deck is open.
#pragma once

#include "show/impress/Deck.h"

#include <memory>
#include <QString>

namespace show::impress {

// The full path of the file. Throws Failure when it is missing, unreadable, not a presentation,
// damaged or protected by a password, or when the office died opening it.
std::shared_ptr<Deck> openDeck(const std::shared_ptr<Office>& office, const QString& fileName);

} // namespace show::impress
