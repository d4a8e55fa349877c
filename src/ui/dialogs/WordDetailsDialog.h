#pragma once
class QWidget;

namespace lexipond {
struct AppContext;

// Runs the Word Details dialog modally for tutor.state.detailsTarget (a slot or -2).
void RunWordDetailsDialog(AppContext& app, QWidget* owner);
// Opens the Results Report (no owner; the main window stays usable). Does nothing
// while app.reportOpen is set.
void OpenResultsReport(AppContext& app);

} // namespace lexipond
