// The library's one browser window, for the exports, the offline browser and tests.
#pragma once

namespace nodeview {

class CMainFrame;

// The current browser window, or null.
CMainFrame* currentFrame();
// Deletes the browser window (the next export call makes a new one).
void destroyFrame();
// Deletes the window and the node maps the library built itself (RunDeviceProperty,
// RunDeviceProperty_CXP); their ports must still exist.
void releaseLibraryNodeMaps();

} // namespace nodeview
