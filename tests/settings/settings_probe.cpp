// A stand-in for the installed program in the settings-location test: run from a folder of the test's
// choosing, it prints the value the previous run stored and stores its argument in its place.
#include "settings/app_ini_file_storage.h"

#include <cstdio>

int main(int argc, char** argv) {
    TAppIniFileStorage storage;
    storage.SetFileName("Quorvane.ini");
    storage.SetDefaultSection("System");
    storage.SetAutoReload(true);
    storage.SetAutoFlush(true);
    std::printf("%s", storage.GetString("Probe\\Value", "").c_str());
    if (argc > 1)
        storage.SetString("Probe\\Value", argv[1]);
    return 0;
}
