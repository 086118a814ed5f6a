#pragma once
#include <QString>
#include <functional>

class QWidget;

// Message boxes with an OK button and the application's title, and questions before a risky step.
// Tests replace the presenter to read the texts and answer the questions instead of clicking.
namespace ui {

inline constexpr const char* kAppTitle = "TorvanReader";
// Why a test does not start: a firmware update has the wire to itself.
inline constexpr const char* kUpdateRunning =
    "A firmware update is running. Start the test again when it has ended.";

void ShowMessage(QWidget* parent, const QString& text);
// Shows what a job met while it ran, told in the command line's words ("the update history …"),
// as a sentence in a box once the event loop runs again: so it may be told from within the job,
// on any thread.
void TellLater(const QString& message);

// "Yes" and "No", "No" the default, so that Enter and Esc answer No. True for Yes.
bool Ask(QWidget* parent, const QString& title, const QString& text);
// Whether the file name may be written: true where nothing is there yet, or where the user answered
// Yes to the question about the file there.
bool MayReplace(QWidget* parent, const QString& name, const QString& title, const QString& text);
// Closes the questions open over parent, answered No whatever the user does: their reason went
// away (the job they asked about has ended).
void WithdrawQuestions(const QWidget* parent);

struct Box {
    QString title;
    QString text;
    bool question = false;
};
// Gets every box; its answer counts for questions only. An empty presenter restores the real boxes.
using BoxPresenter = std::function<bool(const Box& box)>;
void SetBoxPresenter(BoxPresenter presenter);

} // namespace ui
