// The office's show window has a white background, which the X server paints wherever the window
// comes into view before the office has drawn there: uncovered after its show was brought back, it
// would flash white. Given a black background, it shows black until the slide is drawn.
#pragma once

#include <QString>

namespace app {

// Gives every window of the X server whose title begins with titlePrefix, and all the windows
// inside it, a black background. Does nothing without an X display.
void blackenBackgrounds(const QString& titlePrefix);

} // namespace app
