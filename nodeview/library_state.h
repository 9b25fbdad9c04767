// The library's one browser window, for the exports, the offline browser and tests.
#pragma once

namespace nodeview {

class CMainFrame;

// The current browser window, or null.
CMainFrame* currentFrame();
// Deletes the browser window (the next export call makes a new one).
void destroyFrame();

} // namespace nodeview
