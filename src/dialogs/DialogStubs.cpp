// Placeholders until the Word Details, Report and Options dialogs land: the
// commands exist and do nothing visible.
#include "dialogs/OptionsDialog.h"
#include "dialogs/WordDetailsDialog.h"

namespace lexipond {
void RunWordDetailsDialog(AppContext&, QWidget*) {}
void OpenResultsReport(AppContext&) {}
void RunOptionsDialog(AppContext&, QWidget*) {}
} // namespace lexipond
