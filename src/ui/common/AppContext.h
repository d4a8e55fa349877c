#pragma once
// What the window layer shares: the one instance of each core object (owned by
// the application), the folders and the dialogs' open flags.
#include <string>

#include "core/tutor/TutorState.h"

namespace lexipond {

struct AppContext {
    RecordFile& db;
    SettingsBlock& settings;
    TutorState& state;
    Tutor& tutor;
    std::string programFolder; // with a trailing '/'
    std::string dataFolder;    // with a trailing '/'
    bool optionsOpen = false;
    bool aboutOpen = false;
    bool reportOpen = false;
};

// Opens programFolder + "ReadMe.htm" with the desktop's browser.
void OpenReadMe(const AppContext& app);

} // namespace lexipond
