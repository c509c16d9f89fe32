#pragma once
// How the window and the engine's pages reach the screen. Melorin's pages are small and mostly
// still (a player's face, a card), so it composes them in software: cheaper in CPU than driving
// OpenGL for them, and no GL driver in the process (tens of MiB; on a machine without a GPU a
// software rasteriser that brings a compiler along). A user who sets QT_XCB_GL_INTEGRATION,
// QT_QUICK_BACKEND or QSG_RHI_BACKEND chooses for Melorin.

namespace melorin::composition {

// Call before the QApplication exists.
void chooseBeforeStart();
// Call once it exists: the choice is made, and programs Melorin starts later (a desktop's
// player for a downloaded file) do not inherit it.
void settleAfterStart();

}  // namespace melorin::composition
