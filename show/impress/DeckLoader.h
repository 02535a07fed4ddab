// Opens a presentation file in the office, in an undecorated window of its own that stays hidden
// until its show starts, so that nothing of the editing view reaches the audience's display.
#pragma once

#include "show/impress/Deck.h"

#include <memory>
#include <QString>

namespace show::impress {

// The full path of the file. Throws Failure when it is missing, unreadable, not a presentation
// or damaged.
std::shared_ptr<Deck> openDeck(const std::shared_ptr<Office>& office, const QString& fileName);

} // namespace show::impress
