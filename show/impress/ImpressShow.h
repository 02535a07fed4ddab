// The running show of one deck, as the presentation-program interface sees it: its slides, its
// settings (which start the show), its window and the window's view.
#pragma once

#include "show/impress/Deck.h"
#include "show/PowerPoint.h"

#include <memory>

namespace show::impress {

std::shared_ptr<PpSlides> makeSlides(std::shared_ptr<Deck> deck);
std::shared_ptr<PpSlideShowSettings> makeSlideShowSettings(std::shared_ptr<Deck> deck);
std::shared_ptr<PpSlideShowWindow> makeSlideShowWindow(std::shared_ptr<Deck> deck);

} // namespace show::impress
