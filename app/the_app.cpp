// The one application object of the launcher.
#include "app/launcher_app.h"

CLauncherApp theApp;
