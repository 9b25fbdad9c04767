// Program entry: the crash message box (started by a crashed Kelpax) or the program itself.
#include "app/crash_message_box.h"
#include "app/kelpax_app.h"

int main(int argc, char** argv) {
  if (std::optional<int> shown = kelpax::showCrashMessageIfAsked(argc, argv))
    return *shown;
  CKelpaxApp app(argc, argv);
  return app.run();
}
